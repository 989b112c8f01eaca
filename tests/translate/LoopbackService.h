#pragma once

// A small translation service on 127.0.0.1 for the tests: it speaks the form
// exchange, records what it receives and misbehaves on request.
//   POST /translate  "\"<to>:<q>\"" escaped; q holding FAIL -> 500 without
//                    Location, MOVED -> 500 with Location /fallback, HOLD -> answered
//                    only once holdUntil requests have come in, STALL -> only when
//                    the fixture is torn down; sets a cookie
//   GET  /fallback   "\"from fallback\""
//   POST /versioned/translate  as /translate, at a service whose
//   GET  /versioned/pairs      names the engine version "fake 1" for en -> fr
//   POST /translate-document  "<to>:<body>", or 503 with Retry-After 0 while busyDocuments is above 0
//   POST /held/translate-document  answers only when the fixture is torn down; GET of its
//                    /held/translate-document/progress is {"done":1,"total":2} and DELETE 202
//   POST /stall      answers only when the fixture is torn down
//   POST /loop       redirects to itself forever
//   POST /evil       500 pointing at a local file
//   POST /big        a reply of bigReplySize bytes

#include "LoopbackHttpServer.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using RecordedRequest = LoopbackHttpServer::Request;

class LoopbackServer {
public:
    LoopbackServer()
    {
        // one request per connection: no worker lingers on an idle keep-alive socket at teardown
        m_server.set_keep_alive_max_count(1);
        m_http.start();
    }
    ~LoopbackServer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_release.notify_all();
        m_http.stop();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return m_http.port(); }
    std::string url(const std::string& path) const { return m_http.url(path); }
    QString qurl(const std::string& path) const { return m_http.qurl(path); }

    std::vector<RecordedRequest> requests() const { return m_http.requests(); }
    // The texts of the translate requests in the order they were answered.
    std::vector<std::string> answerOrder() const
    {
        std::lock_guard lock(m_mutex);
        return m_answered;
    }

protected:
    void record(const httplib::Request& req)
    {
        {
            // under the lock the waiters hold, so none misses it
            std::lock_guard lock(m_mutex);
            m_http.record(req);
        }
        m_release.notify_all();
    }
    // Blocks the handler until the fixture goes away.
    void waitForRelease()
    {
        std::unique_lock lock(m_mutex);
        m_release.wait(lock, [this] { return m_released; });
    }
    // Blocks the handler until `count` requests have come in (or the fixture goes away).
    void waitForRequests(size_t count)
    {
        std::unique_lock lock(m_mutex);
        m_release.wait(lock, [this, count] { return m_released || m_http.requests().size() >= count; });
    }
    void noteAnswered(const std::string& text)
    {
        std::lock_guard lock(m_mutex);
        m_answered.push_back(text);
    }

    LoopbackHttpServer m_http;
    httplib::Server& m_server = m_http.server();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_release;
    bool m_released = false;
    std::vector<std::string> m_answered;
};

// The reply form of the service: a quoted string, line breaks and quotes escaped.
inline std::string quotedReply(const std::string& text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            out += "\\r\\n";
            ++i;
        } else if (text[i] == '"') {
            out += "\\\"";
        } else {
            out += text[i];
        }
    }
    return out + "\"";
}

class LoopbackService : public LoopbackServer {
public:
    size_t bigReplySize = 0;
    std::atomic<size_t> holdUntil{0};
    std::atomic<int> busyDocuments{0};  // documents answered 503 "come back" before the next is taken

    LoopbackService()
    {
        m_server.Post("/translate-document", [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            if (busyDocuments > 0) {
                --busyDocuments;
                res.status = 503;
                res.set_header("Retry-After", "0");
                res.set_content("Other documents are being translated; try again shortly.", "text/plain");
                return;
            }
            res.set_content(req.get_param_value("to") + ":" + req.body, "application/octet-stream");
        });
        m_server.Post("/held/translate-document", [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            waitForRelease();
            res.set_content("too late", "application/octet-stream");
        });
        m_server.Get("/held/translate-document/progress", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("{\"done\":1,\"total\":2}", "application/json");
        });
        m_server.Delete("/held/translate-document/progress",
                        [this](const httplib::Request& req, httplib::Response& res) {
                            record(req);
                            res.status = 202;
                        });
        auto translate = [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            const std::string q = req.get_param_value("q");
            if (q.find("FAIL") != std::string::npos) {
                res.status = 500;
                res.set_content("  Engine crashed\n while translating  \n", "text/plain");
                return;
            }
            if (q.find("MOVED") != std::string::npos) {
                res.status = 500;
                res.set_header("Location", "/fallback?id=7");
                res.set_content("moved elsewhere", "text/plain");
                return;
            }
            if (q.find("HOLD") != std::string::npos)
                waitForRequests(holdUntil);
            if (q.find("STALL") != std::string::npos)
                waitForRelease();
            res.set_header("Set-Cookie", "session=abc123; Path=/");
            res.set_content(quotedReply(req.get_param_value("to") + ":" + q), "text/plain; charset=utf-8");
            noteAnswered(q);
        };
        m_server.Post("/translate", translate);
        m_server.Post("/versioned/translate", translate);
        m_server.Get("/versioned/pairs", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"pairs":[{"from":"en","to":"fr","version":"fake 1"}]})", "application/json");
        });
        m_server.Get("/fallback", [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            res.set_content("\"from fallback\"", "text/plain");
        });
        m_server.Post("/stall", [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            waitForRelease();
            res.set_content("\"too late\"", "text/plain");
        });
        auto loop = [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            res.set_redirect("/loop", 302);
        };
        m_server.Post("/loop", loop);
        m_server.Get("/loop", loop);
        m_server.Post("/evil", [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            res.status = 500;
            res.set_header("Location", "file:///etc/passwd");
        });
        m_server.Post("/big", [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            res.set_content(std::string(bigReplySize, 'x'), "text/plain");
        });
    }
};

// A service that keeps a session by cookie: its first answer (whatever was asked) sets the
// session, and a translate request or fallback without it is refused with 403 "no session".
// q holding MOVED -> 500 with Location /fallback, whose GET answers "\"from fallback\"".
class SessionService : public LoopbackServer {
public:
    std::atomic<int> refused{0};

    SessionService()
    {
        auto session = [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            if (m_answers++ == 0) {
                res.set_header("Set-Cookie", "sid=s3ss10n; Path=/");
                return true;
            }
            if (req.get_header_value("Cookie").find("sid=s3ss10n") != std::string::npos)
                return true;
            ++refused;
            res.status = 403;
            res.set_content("no session", "text/plain");
            return false;
        };
        m_server.Post("/translate", [session](const httplib::Request& req, httplib::Response& res) {
            if (!session(req, res))
                return;
            const std::string q = req.get_param_value("q");
            if (q.find("MOVED") != std::string::npos) {
                res.status = 500;
                res.set_header("Location", "/fallback");
                return;
            }
            res.set_content(quotedReply(req.get_param_value("to") + ":" + q), "text/plain; charset=utf-8");
        });
        m_server.Get("/fallback", [session](const httplib::Request& req, httplib::Response& res) {
            if (session(req, res))
                res.set_content("\"from fallback\"", "text/plain");
        });
        m_server.Get("/pairs", [session](const httplib::Request& req, httplib::Response& res) {
            if (session(req, res))
                res.status = 404;
        });
    }

    // Eight chunks, one a line; the third is refused with a Location.
    static QString runText()
    {
        QStringList lines;
        for (int i = 0; i < 8; ++i)
            lines << (i == 2 ? QStringLiteral("MOVED ") : QStringLiteral("line%1 ").arg(i)) + QString(2980, 'a');
        return lines.join('\n');
    }
    // Its translation into `to`, a paragraph a chunk.
    static QStringList runTranslation(const QString& to)
    {
        QStringList paragraphs;
        for (const QString& line : runText().split('\n'))
            paragraphs << (line.startsWith("MOVED") ? QStringLiteral("from fallback") : to + ':' + line + ' ');
        return paragraphs;
    }

private:
    std::atomic<int> m_answers{0};
};

// Stands in for a proxy: records the absolute request line and the proxy
// credentials and answers every request itself.
class RecordingProxy : public LoopbackServer {
public:
    RecordingProxy()
    {
        auto answer = [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            res.set_content("\"via proxy\"", "text/plain");
        };
        m_server.Post(".*", answer);
        m_server.Get(".*", answer);
    }
};
