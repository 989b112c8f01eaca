#pragma once

#include "NetLimits.h"
#include "NetProxy.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <chrono>
#include <functional>
#include <memory>

class NetConnection;
class NetCookieJar;

// How a request ended, in the layer's own terms.
enum class NetCode {
    Ok,
    Cancelled,         // the caller's cancel check said so
    Stalled,           // nothing moved for the stall limit
    TooLarge,          // the body went past the size limit
    CouldNotResolve,   // the server's name is unknown
    CouldNotResolveProxy,
    CouldNotConnect,   // refused, or no route
    TimedOut,          // the connect time-out ran out
    BadAddress,        // the address cannot be used at all
    UploadFailed,      // the upload source failed
    Refused,           // the server (an FTP one) turned the request down
    NoClient,          // the client could not be created
    Failed,            // any other fault on the way; the message tells which
};

// What a request brought back and how it ended.
struct NetResult {
    NetCode code = NetCode::Ok;
    long status = 0;         // the last response's status; 0 when none came
    bool connected = false;  // a connection to the server (or proxy) was made
    bool stalled = false;    // nothing moved for the stall limit
    bool tooLarge = false;   // the body went past the size limit
    bool cancelled = false;  // the caller's cancel check said so
    int number = 0;          // the client library's own number for the fault, for reports that show one
    QString message;         // what went wrong, for a report; empty on success
    QString summary;         // the fault in general words ("Couldn't connect to server"); empty on success

    bool ok() const { return code == NetCode::Ok; }
};

// The protocols a request may speak. Redirects may lead to any of them but a local file.
enum NetProtocol : unsigned {
    NetHttp = 1,
    NetHttps = 2,
    NetFtp = 4,
    NetFtps = 8,
    NetFile = 16,
};
using NetProtocols = unsigned;

// One request through the network layer. The constructor applies the common
// rule: the proxy route (NetProxy), the connect time-out, the stall watch and
// size limit, the cancel check, the web protocols only. The caller then states
// what its request is with the typed options below and runs it, either to its
// end (perform) or step by step while it takes the body in pieces (start,
// step, take). Waiting is never longer than a poll interval between checks.
//
// Without a connection of its caller's the request borrows its thread's (one
// per thread); a request made while the one it would use is busy gets a fresh one.
class NetRequest {
public:
    NetRequest(const QByteArray& url, const NetProxy& proxy, const NetLimits& limits,
               NetConnection* connection = nullptr);
    ~NetRequest();
    NetRequest(const NetRequest&) = delete;
    NetRequest& operator=(const NetRequest&) = delete;

    const NetRoute& route() const { return m_route; }

    // Asked whenever the client reports progress and between waits: True ends the
    // request as cancelled. Must be cheap and safe to call from the client.
    void setCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }
    // Cookies kept in and sent from the jar.
    void useCookies(NetCookieJar& jar);
    // The body is counted against the limit but not kept.
    void discardBody() { m_keepBody = false; }

    // What is sent: GET unless told otherwise.
    void setPost(const QByteArray& body);
    void setMethod(const QByteArray& method);  // a method of its own name ("DELETE"), or an FTP command
    void setNoBody();                          // only the head (or, for FTP, only the commands)
    // The upload source fills buffer with up to max bytes: the count, 0 at the
    // end, -1 on a failure, -2 to give up.
    using Source = std::function<qint64(char* buffer, qint64 max)>;
    enum class Upload { Put, Post };
    void setUpload(Upload how, qint64 size, Source source);
    bool uploadFailed() const { return m_sourceFailed; }
    bool uploadGaveUp() const { return m_sourceGaveUp; }

    // Header lines sent, in order ("Name: value"; "Name:" removes one the client would add).
    void setHeaders(const QList<QByteArray>& lines);
    void setUserAgent(const QString& agent);
    void setLogin(const QString& user, const QString& password);
    // Redirects are followed, up to MaxRedirects, to the allowed protocols but a local file.
    void followRedirects(bool follow = true);
    void allowProtocols(NetProtocols protocols);
    // The server's modification time of what is fetched is asked for (see fileTime).
    void askFileTime();
    // Every response header line as it arrives, the status lines included.
    void setHeaderSink(std::function<void(const QByteArray& line)> sink) { m_headerSink = std::move(sink); }

    // Runs the request to its end on this thread.
    const NetResult& perform();

    void start();
    // One round of transferring and, when nothing arrived, waiting; False once the request has ended.
    bool step();
    bool finished() const { return m_finished; }
    const NetResult& result() const { return m_result; }

    // Body bytes received and not yet taken.
    bool pending() const { return m_taken < m_body.size(); }
    qint64 take(char* buffer, qint64 max);
    // The whole body received (after perform).
    const QByteArray& body() const { return m_body; }

    // What the response told so far.
    long status() const;
    qint64 contentLength() const;  // -1 when unknown
    qint64 fileTime() const;       // seconds since 1970, -1 when the server sent none
    QString effectiveUrl() const;  // where the request ended up after redirects

    // How long one wait lasts at the most.
    static constexpr int PollMilliseconds = 50;
    // The one redirect limit of every request that follows redirects.
    static constexpr int MaxRedirects = 20;

private:
    friend class FtpSession;
    struct Callbacks;
    // the client's easy handle of this request (null when the client could not be made)
    void* easy() const;
    bool cancelAsked();
    void finish(int code);
    // The stall clock runs only while the request is being driven, so time the
    // caller spends between steps (writing a block, a prompt) is no stall.
    void runClock();
    void stopClock();

    std::unique_ptr<NetConnection> m_own;
    NetConnection* m_connection = nullptr;
    NetRoute m_route;
    NetLimits m_limits;
    NetProtocols m_protocols = NetHttp | NetHttps;
    std::function<bool()> m_cancelled;
    std::function<void(const QByteArray&)> m_headerSink;
    Source m_source;
    bool m_sourceFailed = false;
    bool m_sourceGaveUp = false;
    std::shared_ptr<void> m_headerList;  // the client's list of the header lines, kept while the request lives
    bool m_hasCookies = false;
    bool m_keepBody = true;

    bool m_started = false;
    bool m_finished = false;
    bool m_arrived = false;  // body bytes came in the current step
    NetResult m_result;
    QByteArray m_body;
    qsizetype m_taken = 0;
    qint64 m_received = 0;
    qint64 m_moved = 0;
    std::chrono::steady_clock::time_point m_lastMove{};
    std::chrono::steady_clock::time_point m_clockStopped{};
    bool m_clockRunning = false;
    std::array<char, 256> m_errorText{};
};
