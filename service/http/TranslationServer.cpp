#include "TranslationServer.h"

#include "DocumentTranslation.h"
#include "FormDecoding.h"
#include "LanguageCodes.h"
#include "LanguageDetection.h"
#include "ReplyEscaping.h"
#include "ServiceMetrics.h"
#include "StopFlag.h"
#include "TranslationEngine.h"

#include <microhttpd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <functional>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <optional>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <set>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kTextType = "text/plain; charset=utf-8";
constexpr const char* kSerbianArgument = "serbian";
constexpr const char* kMetricsType = "text/plain; version=0.0.4; charset=utf-8";
constexpr const char* kNoSuchJob = "No document with this job is being translated.";

struct Request;

// One connection as the reading thread sees it: while it waits for a
// request (or sends a reply) it has a deadline; while a worker has its
// request it has none.
struct Connection {
    MHD_Connection* handle = nullptr;
    bool timed = true;
    Clock::time_point deadline;
    int fd = -1;
    Request* request = nullptr;  // from its headers until it is answered; none while idle
    bool closing = false;        // shut down by the service; the daemon forgets it next
};

// A folder of its own for one document, removed with everything in it
// whatever becomes of the request.
struct PrivateFolder {
    std::filesystem::path path;
    PrivateFolder()
    {
        std::error_code ec;
        std::string pattern = (std::filesystem::temp_directory_path(ec) / "linguaro-document.XXXXXX").string();
        if (!ec && ::mkdtemp(pattern.data()))
            path = pattern;
    }
    ~PrivateFolder()
    {
        std::error_code ec;
        if (!path.empty())
            std::filesystem::remove_all(path, ec);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
};

// One document on its way in.
struct Upload {
    std::string format, from, to;
    std::string job;               // the client's token for asking how far the document is; may be empty
    bool serbianCyrillic = false;  // Serbian written in Cyrillic, as for text
    PrivateFolder folder;
    int fd = -1;
    size_t received = 0;
    std::function<void()> finished;  // frees its place among the documents at work and forgets its progress
    ~Upload()
    {
        if (fd >= 0)
            ::close(fd);
        if (finished)
            finished();
    }
};

// One request from its headers to its reply.
struct Request {
    enum class Stage { Receiving, Translating, Answered };
    // Why nobody waits for its answer any more: the client closed the
    // connection, sent DELETE for the document's job, or the service ending
    // could wait no longer.
    enum class Abandoned { No, ClientGone, Cancelled, Drained };
    MHD_Connection* connection = nullptr;
    const char* route = "other";
    Stage stage = Stage::Receiving;
    bool translate = false;
    bool detect = false;
    std::optional<std::string> query;  // a GET /detect's text
    bool tooLarge = false;
    bool serbianCyrillic = false;
    std::string body;
    int status = 200;
    std::string reply;
    std::string contentType = kTextType;
    std::unique_ptr<Upload> upload;  // a document's
    // set by the reading thread only; the worker sees the flag
    Abandoned abandoned = Abandoned::No;
    std::unique_ptr<StopFlag> stop;  // made when a worker is to have it
};

// A document a client gave a token: how far it is, and the request to stop for DELETE.
struct DocumentJob {
    size_t done = 0;
    size_t total = 0;
    Request* request = nullptr;
};

// allowed: the methods a path answers, for a 405; closeAfter: the connection
// ends with this reply
MHD_Result queue(MHD_Connection* connection, int status, const std::string& body, const char* type, bool closeAfter,
                 const char* allowed = nullptr, const char* retryAfter = nullptr)
{
    MHD_Response* response =
        MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    if (closeAfter)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    if (allowed)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, allowed);
    if (retryAfter)
        MHD_add_response_header(response, MHD_HTTP_HEADER_RETRY_AFTER, retryAfter);
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(status), response);
    MHD_destroy_response(response);
    return queued;
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

struct TranslationServer::Impl {
    TranslationEngine& engine;
    Options options;
    // the daemon does not wake its caller's loop for a resumed connection
    int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    MHD_Daemon* daemon = nullptr;
    std::atomic<bool> stopRequested{false};
    // the reading thread's: from the stop (or the last user leaving) on,
    // /health says so and every reply closes its connection
    bool draining = false;
    std::atomic<int> documentsAtWork{0};
    ServiceMetrics metrics;

    // the reading thread's own bookkeeping
    std::set<Connection*> connections;
    // At its connection limit the daemon stops watching for new connections and starts
    // again only at the beginning of a later run, which nothing may come to cause.
    bool listenPaused = false;

    std::mutex jobsMutex;
    std::condition_variable jobsReady;
    std::deque<Request*> jobs;
    bool workersStopping = false;
    std::vector<std::thread> workers;

    // the documents being worked on that a client gave a token
    std::mutex progressMutex;
    std::map<std::string, DocumentJob> progress;

    Impl(TranslationEngine& e, Options o) : engine(e), options(o) {}

    Clock::time_point nextDeadline() { return Clock::now() + options.requestTimeout; }

    static Connection* connectionOf(MHD_Connection* handle)
    {
        const MHD_ConnectionInfo* info = MHD_get_connection_info(handle, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        return info ? static_cast<Connection*>(info->socket_context) : nullptr;
    }

    void setTimed(MHD_Connection* handle, bool timed)
    {
        if (Connection* c = connectionOf(handle)) {
            c->timed = timed;
            c->deadline = nextDeadline();
        }
    }

    // --- the reading thread

    MHD_Result onRequest(MHD_Connection* handle, const char* url, const char* method, const char* data,
                         size_t* dataSize, void** context)
    {
        auto* request = static_cast<Request*>(*context);
        if (!request) {
            request = new Request;
            request->connection = handle;
            *context = request;
            if (Connection* c = connectionOf(handle))
                c->request = request;
            const std::string path = url;
            request->route = ServiceMetrics::route(path);
            const auto is = [method](const char* name) { return std::strcmp(method, name) == 0; };
            if (path == "/translate-document")
                return is(MHD_HTTP_METHOD_POST)
                           ? acceptDocument(*request)
                           : respond(*request, 405, "Documents are sent with POST.", kTextType, "POST");
            if (path == "/translate-document/progress") {
                request->stage = Request::Stage::Answered;
                if (is(MHD_HTTP_METHOD_DELETE))
                    return cancelDocument(*request);
                return is(MHD_HTTP_METHOD_GET) || is(MHD_HTTP_METHOD_HEAD)
                           ? answerProgress(*request)
                           : respond(*request, 405,
                                     "The progress is read with GET and the document stopped with DELETE.", kTextType,
                                     "GET, HEAD, DELETE");
            }
            if (path == "/detect")
                return acceptDetection(*request, is(MHD_HTTP_METHOD_GET) || is(MHD_HTTP_METHOD_HEAD),
                                       is(MHD_HTTP_METHOD_POST));
            if (path != "/translate") {
                request->stage = Request::Stage::Answered;
                // the daemon leaves the body out of the answer to HEAD
                const bool read = is(MHD_HTTP_METHOD_GET) || is(MHD_HTTP_METHOD_HEAD);
                if (path == "/pairs")
                    return read ? respond(*request, 200, engine.pairsJson(), "application/json")
                                : respond(*request, 405, "The pairs are read with GET.", kTextType, "GET, HEAD");
                if (path == "/health")
                    return read ? answerHealth(*request)
                                : respond(*request, 405, "The health is read with GET.", kTextType, "GET, HEAD");
                if (path == "/metrics")
                    return read ? respond(*request, 200, metrics.exposition(engine), kMetricsType)
                                : respond(*request, 405, "The metrics are read with GET.", kTextType, "GET, HEAD");
                return respond(*request, 404, "Not found.", kTextType);
            }
            if (!is(MHD_HTTP_METHOD_POST)) {
                request->stage = Request::Stage::Answered;
                return respond(*request, 405, "Translations are asked for with POST.", kTextType, "POST");
            }
            request->translate = true;
            // a choice of this service's own, asked for in the address so the translator's form stays as it is
            const char* serbian = MHD_lookup_connection_value(handle, MHD_GET_ARGUMENT_KIND, kSerbianArgument);
            request->serbianCyrillic = serbian && std::strcmp(serbian, "cyrillic") == 0;
            const char* length = MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
            if (length && std::strtoull(length, nullptr, 10) > options.maxBody)
                return refuseTooLarge(request);
            return MHD_YES;
        }
        if (request->stage != Request::Stage::Receiving) {
            // the rest of a refused upload is dropped
            *dataSize = 0;
            if (request->stage == Request::Stage::Answered)
                return MHD_YES;
            // called again after a worker resumed the connection
            if (request->abandoned != Request::Abandoned::No)
                return answerAbandoned(*request);
            request->stage = Request::Stage::Answered;
            setTimed(handle, true);
            return respond(*request, request->status, request->reply, request->contentType.c_str());
        }
        if (request->upload && *dataSize > 0)
            return receiveDocument(*request, data, dataSize);
        if (*dataSize > 0) {
            if (!request->tooLarge && request->body.size() + *dataSize <= options.maxBody)
                request->body.append(data, *dataSize);
            else
                request->tooLarge = true;
            *dataSize = 0;
            // the daemon would read the rest before answering: answer now and hang up
            if (request->tooLarge) {
                metrics.countAnswer(request->route, 413);
                return refuseMidUpload(handle, tooLargeMessage());
            }
            return MHD_YES;
        }
        if (request->abandoned != Request::Abandoned::No)
            return answerAbandoned(*request);
        // the whole request is here: a worker translates while the connection waits
        request->stage = Request::Stage::Translating;
        request->stop = std::make_unique<StopFlag>();
        setTimed(handle, false);
        MHD_suspend_connection(handle);
        {
            std::lock_guard lock(jobsMutex);
            jobs.push_back(request);
        }
        jobsReady.notify_one();
        return MHD_YES;
    }

    // The text comes as the argument q of a GET or the field q of a POST's form;
    // either way a worker detects, so the reading thread never waits on a long text.
    MHD_Result acceptDetection(Request& request, bool get, bool post)
    {
        if (!get && !post) {
            request.stage = Request::Stage::Answered;
            return respond(request, 405, "The language is detected with GET or POST.", kTextType, "GET, HEAD, POST");
        }
        request.detect = true;
        if (get) {
            if (const char* text = MHD_lookup_connection_value(request.connection, MHD_GET_ARGUMENT_KIND, "q"))
                request.query = text;
            return MHD_YES;
        }
        const char* length =
            MHD_lookup_connection_value(request.connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (length && std::strtoull(length, nullptr, 10) > options.maxBody)
            return refuseTooLarge(&request);
        return MHD_YES;
    }

    static std::string argument(MHD_Connection* handle, const char* name)
    {
        const char* value = MHD_lookup_connection_value(handle, MHD_GET_ARGUMENT_KIND, name);
        return value ? value : "";
    }

    // A token the client makes up for its document: 8 to 64 letters, digits and "-".
    static bool isJobToken(const std::string& job)
    {
        return job.size() >= 8 && job.size() <= 64 && std::all_of(job.begin(), job.end(), [](char c) {
                   return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
               });
    }

    MHD_Result answerProgress(const Request& request)
    {
        const std::string job = argument(request.connection, "job");
        std::pair<size_t, size_t> counts;
        {
            std::lock_guard lock(progressMutex);
            const auto it = progress.find(job);
            if (it == progress.end())
                return respond(request, 404, kNoSuchJob, kTextType);
            counts = {it->second.done, it->second.total};
        }
        return respond(request, 200,
                       "{\"done\":" + std::to_string(counts.first) + ",\"total\":" + std::to_string(counts.second)
                           + "}",
                       "application/json");
    }

    // DELETE of a job: its document's work stops as when its client goes away,
    // for a client whose connection a proxy keeps open after it has gone.
    MHD_Result cancelDocument(const Request& request)
    {
        Request* document = nullptr;
        {
            std::lock_guard lock(progressMutex);
            const auto it = progress.find(argument(request.connection, "job"));
            if (it != progress.end())
                document = it->second.request;
        }
        // a document's request is deleted on this thread only, after its job is forgotten
        if (!document)
            return respond(request, 404, kNoSuchJob, kTextType);
        abandon(*document, Request::Abandoned::Cancelled);
        return respond(request, 202, "The document's translation is being stopped.", kTextType);
    }

    // Nobody waits for this request's answer: its work stops at its next look.
    void abandon(Request& request, Request::Abandoned why)
    {
        if (request.abandoned != Request::Abandoned::No)
            return;
        request.abandoned = why;
        if (request.stop)
            request.stop->raise();
    }

    // A request abandoned before its answer: one its client stopped is told
    // so, should its connection still be open; otherwise the connection is
    // closed without an answer, which a balancer retries on another service.
    MHD_Result answerAbandoned(Request& request)
    {
        request.stage = Request::Stage::Answered;
        if (request.abandoned != Request::Abandoned::Cancelled)
            return MHD_NO;
        setTimed(request.connection, true);
        metrics.countAnswer(request.route, 409);
        return queue(request.connection, 409, cancelledMessage(), kTextType, true);
    }

    static std::string cancelledMessage() { return "The document's translation was stopped at its client's request."; }

    void forgetProgress(const std::string& job)
    {
        if (job.empty())
            return;
        std::lock_guard lock(progressMutex);
        progress.erase(job);
    }

    // Checks what can be checked before the document arrives; refusals go out at once.
    MHD_Result acceptDocument(Request& request)
    {
        request.translate = true;
        auto upload = std::make_unique<Upload>();
        upload->format = LanguageCodes::lower(argument(request.connection, "format"));
        upload->from = LanguageCodes::lower(argument(request.connection, "from"));
        upload->to = LanguageCodes::lower(argument(request.connection, "to"));
        upload->serbianCyrillic = argument(request.connection, kSerbianArgument) == "cyrillic";
        const char* job = MHD_lookup_connection_value(request.connection, MHD_GET_ARGUMENT_KIND, "job");
        const auto refuse = [&](int status, const std::string& message, const char* retryAfter = nullptr) {
            request.stage = Request::Stage::Answered;
            metrics.countAnswer(request.route, status);
            return queue(request.connection, status, message, kTextType, draining, nullptr, retryAfter);
        };
        if (upload->format.empty() || upload->from.empty() || upload->to.empty())
            return refuse(400, "The request needs the arguments format, from and to.");
        if (job && !isJobToken(job))
            return refuse(400, "The job is 8 to 64 characters of A-Z, a-z, 0-9 and \"-\".");
        const auto support = DocumentTranslation::supports(upload->format);
        if (support == DocumentTranslation::Support::Unknown)
            return refuse(400, "The format \"" + upload->format + "\" is unknown.");
        if (support == DocumentTranslation::Support::NotKept)
            return refuse(422, "Documents in the format \"" + upload->format
                                   + "\" cannot be translated with their layout kept.");
        const char* length =
            MHD_lookup_connection_value(request.connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (length && std::strtoull(length, nullptr, 10) > options.maxDocument)
            return refuse(413, documentTooLargeMessage());
        if (++documentsAtWork > std::max(1, options.documents)) {
            --documentsAtWork;
            return refuse(503, "Other documents are being translated; try again shortly.", "5");
        }
        if (job) {
            std::lock_guard lock(progressMutex);
            if (!progress.emplace(job, DocumentJob{0, 0, &request}).second) {
                --documentsAtWork;
                return refuse(409, "A document with this job is already being translated.");
            }
            upload->job = job;
        }
        upload->finished = [this, job = upload->job] {
            --documentsAtWork;
            forgetProgress(job);
        };
        if (upload->folder.path.empty())
            return refuse(500, "The service has no folder to work in.");
        upload->fd = ::open((upload->folder.path / "input").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (upload->fd < 0)
            return refuse(500, "The service cannot store the document.");
        request.upload = std::move(upload);
        return MHD_YES;
    }

    // A piece of a document: written straight to disk, and the connection
    // given another stall time-out.
    MHD_Result receiveDocument(Request& request, const char* data, size_t* dataSize)
    {
        Upload& upload = *request.upload;
        const size_t size = *dataSize;
        *dataSize = 0;
        if (request.abandoned == Request::Abandoned::Cancelled) {
            metrics.countAnswer(request.route, 409);
            return refuseMidUpload(request.connection, cancelledMessage(), "409 Conflict");
        }
        if (upload.received + size > options.maxDocument) {
            metrics.countAnswer(request.route, 413);
            return refuseMidUpload(request.connection, documentTooLargeMessage());
        }
        upload.received += size;
        for (size_t done = 0; done < size;) {
            const ssize_t n = ::write(upload.fd, data + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                metrics.countAnswer(request.route, 507);
                return refuseMidUpload(request.connection, "The service has no room to store the document.",
                                       "507 Insufficient Storage");
            }
            done += static_cast<size_t>(n);
        }
        setTimed(request.connection, true);
        return MHD_YES;
    }

    std::string documentTooLargeMessage() const
    {
        return "The document is larger than " + std::to_string(options.maxDocument >> 20) + " MB.";
    }

    MHD_Result refuseTooLarge(Request* request)
    {
        request->tooLarge = true;
        request->body.clear();
        request->body.shrink_to_fit();
        const MHD_Result queued = respond(*request, 413, tooLargeMessage(), kTextType);
        if (queued == MHD_YES)
            request->stage = Request::Stage::Answered;
        return queued;
    }

    MHD_Result refuseMidUpload(MHD_Connection* handle, const std::string& message,
                               const std::string& statusLine = "413 Content Too Large")
    {
        const std::string reply = "HTTP/1.1 " + statusLine + "\r\nContent-Type: " + std::string(kTextType)
                                  + "\r\nContent-Length: " + std::to_string(message.size())
                                  + "\r\nConnection: close\r\n\r\n" + message;
        if (const MHD_ConnectionInfo* info = MHD_get_connection_info(handle, MHD_CONNECTION_INFO_CONNECTION_FD)) {
            [[maybe_unused]] const ssize_t n =
                ::send(info->connect_fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            ::shutdown(info->connect_fd, SHUT_WR);
        }
        return MHD_NO;
    }

    MHD_Result respond(const Request& request, int status, const std::string& body, const char* type,
                       const char* allowed = nullptr)
    {
        metrics.countAnswer(request.route, status);
        return queue(request.connection, status, body, type, draining, allowed);
    }

    // Ready while some pair can be translated: a balancer sends nothing to a
    // service whose every engine is out of use or that has none installed.
    MHD_Result answerHealth(const Request& request)
    {
        const size_t pairs = engine.reachablePairCount();
        // the stop is read as it is asked for, before the loop has turned
        const bool stopping = stopRequested || draining;
        const bool ready = pairs > 0 && !stopping;
        const std::string state = stopping ? "stopping" : ready ? "ready" : "no pair works";
        return respond(request, ready ? 200 : 503,
                       "{\"status\":\"" + state + "\",\"pairs\":" + std::to_string(pairs) + "}", "application/json");
    }

    std::string tooLargeMessage() const
    {
        return "The request is larger than " + std::to_string(options.maxBody / 1024) + " KiB.";
    }

    void onCompleted(void** context)
    {
        auto* request = static_cast<Request*>(*context);
        if (!request)
            return;
        setTimed(request->connection, true);
        if (Connection* c = connectionOf(request->connection))
            c->request = nullptr;
        const char* route = request->route;
        const bool cancelled =
            request->abandoned == Request::Abandoned::ClientGone || request->abandoned == Request::Abandoned::Cancelled;
        // its private folder goes with it, so a cancel is counted once nothing of it is left
        delete request;
        *context = nullptr;
        if (cancelled)
            metrics.countCancel(route);
    }

    void onConnection(MHD_Connection* handle, void** socketContext, MHD_ConnectionNotificationCode code)
    {
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto* c = new Connection{handle, true, nextDeadline()};
            connections.insert(c);
            if (connections.size() >= options.maxConnections)
                listenPaused = true;
            *socketContext = c;
            // replies go out at once instead of waiting on the client's delayed acknowledgement
            if (const MHD_ConnectionInfo* info = MHD_get_connection_info(handle, MHD_CONNECTION_INFO_CONNECTION_FD)) {
                c->fd = info->connect_fd;
                const int on = 1;
                ::setsockopt(c->fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            }
        } else if (auto* c = static_cast<Connection*>(*socketContext)) {
            connections.erase(c);
            delete c;
            *socketContext = nullptr;
        }
    }

    // Closes every connection whose request did not arrive in time; returns
    // the milliseconds until the next deadline (-1: none).
    int enforceDeadlines()
    {
        const auto now = Clock::now();
        Clock::time_point next = Clock::time_point::max();
        for (Connection* c : connections) {
            if (!c->timed)
                continue;
            if (c->deadline <= now) {
                closeConnection(*c);
                c->timed = false;
            } else {
                next = std::min(next, c->deadline);
            }
        }
        if (next == Clock::time_point::max())
            return -1;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1;
        return static_cast<int>(std::min<long long>(ms, INT_MAX));
    }

    // The reading thread notices the closed socket and forgets the connection.
    static void closeConnection(Connection& c)
    {
        if (c.fd >= 0 && !c.closing)
            ::shutdown(c.fd, SHUT_RDWR);
        c.closing = true;
    }

    // The requests a worker has or will have, whose client may yet go away.
    std::vector<Connection*> awaitingWorkers() const
    {
        std::vector<Connection*> waiting;
        for (Connection* c : connections) {
            if (c->fd >= 0 && c->request && c->request->stage == Request::Stage::Translating
                && c->request->abandoned == Request::Abandoned::No)
                waiting.push_back(c);
        }
        return waiting;
    }

    // --- the drain: once the listener is closed

    void stopListening()
    {
        const MHD_socket listening = MHD_quiesce_daemon(daemon);
        if (listening != MHD_INVALID_SOCKET)
            ::close(listening);
        if (options.listeningStopped)
            options.listeningStopped();
    }

    // A connection waiting for its next request gets none; once the drain's
    // time is up, neither does one still sending or receiving, and every
    // request a worker has is stopped (its connection closes when handed back).
    void closeFinishedConnections(bool timeUp)
    {
        for (Connection* c : connections) {
            Request* request = c->request;
            if (timeUp && request)
                abandon(*request, Request::Abandoned::Drained);
            if (!request || (timeUp && request->stage != Request::Stage::Translating))
                closeConnection(*c);
        }
    }

    static MHD_Result accessHandler(void* cls, MHD_Connection* connection, const char* url, const char* method,
                                    const char* /*version*/, const char* data, size_t* dataSize, void** context)
    {
        return static_cast<Impl*>(cls)->onRequest(connection, url, method, data, dataSize, context);
    }

    static void completedHandler(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode)
    {
        static_cast<Impl*>(cls)->onCompleted(context);
    }

    static void connectionHandler(void* cls, MHD_Connection* connection, void** socketContext,
                                  MHD_ConnectionNotificationCode code)
    {
        static_cast<Impl*>(cls)->onConnection(connection, socketContext, code);
    }

    // --- the workers

    // Every request handed over is worked on, also while the service ends;
    // one whose stop is raised before it begins is only handed back.
    void work()
    {
        for (;;) {
            Request* request = nullptr;
            {
                std::unique_lock lock(jobsMutex);
                jobsReady.wait(lock, [&] { return workersStopping || !jobs.empty(); });
                if (jobs.empty())
                    return;
                request = jobs.front();
                jobs.pop_front();
            }
            if (!request->stop->raised())
                translate(*request);
            MHD_resume_connection(request->connection);
            wake();
        }
    }

    void wake()
    {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    }

    void translateDocument(Request& request)
    {
        Upload& upload = *request.upload;
        ::close(upload.fd);
        upload.fd = -1;
        const auto allowed =
            options.documentTimeBase + options.documentTimePerMB * static_cast<long>(upload.received >> 20);
        const std::filesystem::path output = upload.folder.path / "output";
        const auto started = Clock::now();
        const DocumentTranslation::Result result = DocumentTranslation::translate(
            engine, upload.folder.path, upload.folder.path / "input", output, upload.format, upload.from, upload.to,
            started + allowed,
            [this, &upload](size_t done, size_t total) {
                if (upload.job.empty())
                    return;
                std::lock_guard lock(progressMutex);
                if (const auto it = progress.find(upload.job); it != progress.end()) {
                    it->second.done = done;
                    it->second.total = total;
                }
            },
            upload.serbianCyrillic, request.stop.get());
        // the client asks no more once it has the answer
        forgetProgress(upload.job);
        metrics.countTranslation(Clock::now() - started, result.status == 200, {});
        request.status = result.status;
        request.reply = result.message;
        if (result.status != 200)
            return;
        std::ifstream in(output, std::ios::binary);
        request.reply.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        request.contentType = DocumentTranslation::mediaType(upload.format);
        if (!in && !in.eof()) {
            request.status = 500;
            request.reply = "The translated document could not be read back.";
            request.contentType = kTextType;
        }
    }

    // The candidates, best first, with the list's codes and their shares of the text;
    // none, and the reason, when the language cannot be told.
    void detect(Request& request)
    {
        const auto text = request.query ? request.query : FormDecoding::field(FormDecoding::decode(request.body), "q");
        request.body.clear();
        if (!text) {
            request.status = 400;
            request.reply = "The request needs the text as q.";
            return;
        }
        const LanguageDetection::Result result = LanguageDetection::detect(*text);
        // codes, names and reasons are the service's own words: nothing in them needs escaping
        std::string json = std::string("{\"verdict\":\"") + LanguageDetection::verdictName(result.verdict) + "\"";
        if (!result.detected())
            json += ",\"reason\":\"" + LanguageDetection::cannotTellReason(result.verdict) + "\"";
        json += ",\"candidates\":[";
        for (const LanguageDetection::Candidate& c : result.candidates)
            json += std::string(&c == &result.candidates.front() ? "" : ",") + "{\"code\":\"" + c.code
                    + "\",\"name\":\"" + LanguageCodes::displayName(c.code)
                    + "\",\"percent\":" + std::to_string(c.percent) + "}";
        request.status = 200;
        request.reply = json + "]}";
        request.contentType = "application/json";
    }

    void translate(Request& request)
    {
        if (request.upload)
            return translateDocument(request);
        if (request.detect)
            return detect(request);
        const FormDecoding::Fields fields = FormDecoding::decode(request.body);
        request.body.clear();
        const auto text = FormDecoding::field(fields, "q");
        const auto from = FormDecoding::field(fields, "from");
        const auto to = FormDecoding::field(fields, "to");
        request.status = 400;
        if (!text || !from || !to) {
            request.reply = "The request needs the fields q, from and to.";
            return;
        }
        if (!FormDecoding::isValidUtf8(*text)) {
            request.reply = "The text is not valid UTF-8.";
            return;
        }
        const auto started = Clock::now();
        const TranslationEngine::Outcome outcome = engine.translate(
            *text, LanguageCodes::lower(*from), LanguageCodes::lower(*to), request.serbianCyrillic, request.stop.get());
        metrics.countTranslation(Clock::now() - started, outcome.status == 200, *text);
        request.status = outcome.status;
        request.reply = outcome.status == 200 ? ReplyEscaping::escape(outcome.text) : outcome.text;
    }
};

TranslationServer::TranslationServer(TranslationEngine& engine) : TranslationServer(engine, Options{}) {}

TranslationServer::TranslationServer(TranslationEngine& engine, Options options)
    : m(std::make_unique<Impl>(engine, options))
{}

TranslationServer::~TranslationServer()
{
    if (m->daemon)
        MHD_stop_daemon(m->daemon);
    closeFd(m->wakeFd);
}

int TranslationServer::bind(const std::string& host, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return -1;
    int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    const int on = 1;
    const bool bound = fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0
                       && ::bind(fd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0;
    ::freeaddrinfo(found);
    if (!bound) {
        closeFd(fd);
        return -1;
    }
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    const int boundPort = ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                                              : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    m->daemon =
        MHD_start_daemon(MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr, nullptr, &Impl::accessHandler, m.get(),
                         MHD_OPTION_LISTEN_SOCKET, fd, MHD_OPTION_NOTIFY_COMPLETED, &Impl::completedHandler, m.get(),
                         MHD_OPTION_NOTIFY_CONNECTION, &Impl::connectionHandler, m.get(), MHD_OPTION_CONNECTION_TIMEOUT,
                         static_cast<unsigned>(m->options.requestTimeout.count()), MHD_OPTION_CONNECTION_LIMIT,
                         m->options.maxConnections, MHD_OPTION_END);
    if (!m->daemon) {
        closeFd(fd);
        return -1;
    }
    // the daemon owns the socket from here on and closes it when it stops
    return boundPort;
}

bool TranslationServer::run()
{
    if (!m->daemon)
        return false;
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m->daemon, MHD_DAEMON_INFO_EPOLL_FD);
    if (!info)
        return false;
    const int events = info->epoll_fd;
    for (int i = 0; i < std::max(1, m->options.workers); ++i)
        m->workers.emplace_back([this] { m->work(); });
    auto nextUseCheck = Clock::now() + std::chrono::seconds(1);
    // The drain, from the stop (or the last user leaving) on: the listener
    // closes after the grace, then the service ends once every request it
    // has read is answered, or once the drain's time is up.
    std::optional<Clock::time_point> closeListenerAt;
    std::optional<Clock::time_point> giveUpAt;
    for (;;) {
        const auto now = Clock::now();
        if (!closeListenerAt && m->stopRequested)
            closeListenerAt = now + m->options.drainGrace;
        if (!closeListenerAt && m->options.unused && now >= nextUseCheck) {
            nextUseCheck = now + std::chrono::seconds(1);
            // nobody is left to be let in: no grace
            if (m->options.unused())
                closeListenerAt = now;
        }
        m->draining = closeListenerAt.has_value();
        if (closeListenerAt && !giveUpAt && now >= *closeListenerAt) {
            m->stopListening();
            giveUpAt = now + m->options.drainTimeout;
        }
        if (giveUpAt) {
            m->closeFinishedConnections(now >= *giveUpAt);
            if (m->connections.empty())
                break;
        }
        // waits for the network, a worker's answer, a client leaving, the next deadline,
        // the drain's next step or the next look at its users
        int timeout = m->enforceDeadlines();
        const auto wakeAt = [&timeout](Clock::time_point at) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - Clock::now()).count();
            const int until = static_cast<int>(std::clamp<long long>(ms + 1, 0, INT_MAX));
            timeout = timeout < 0 ? until : std::min(timeout, until);
        };
        if (m->options.unused && !closeListenerAt)
            wakeAt(nextUseCheck);
        if (closeListenerAt && !giveUpAt)
            wakeAt(*closeListenerAt);
        if (giveUpAt && now < *giveUpAt)
            wakeAt(*giveUpAt);
        MHD_UNSIGNED_LONG_LONG daemonTimeout = 0;
        if (MHD_get_timeout(m->daemon, &daemonTimeout) == MHD_YES) {
            const int capped = static_cast<int>(std::min<MHD_UNSIGNED_LONG_LONG>(daemonTimeout, INT_MAX));
            timeout = timeout < 0 ? capped : std::min(timeout, capped);
        }
        // the daemon does not watch a connection while a worker has it: a client
        // that goes away meanwhile is seen here, so its work stops
        const std::vector<Connection*> waiting = m->awaitingWorkers();
        std::vector<pollfd> fds{{events, POLLIN, 0}, {m->wakeFd, POLLIN, 0}};
        for (const Connection* c : waiting)
            fds.push_back({c->fd, POLLRDHUP, 0});
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            break;
        for (size_t i = 0; i < waiting.size(); ++i) {
            if (fds[i + 2].revents & (POLLRDHUP | POLLHUP | POLLERR))
                m->abandon(*waiting[i]->request, Request::Abandoned::ClientGone);
        }
        uint64_t drained = 0;
        [[maybe_unused]] const ssize_t n = ::read(m->wakeFd, &drained, sizeof drained);
        MHD_run(m->daemon);
        if (m->listenPaused && m->connections.size() < m->options.maxConnections) {
            m->listenPaused = false;
            MHD_run(m->daemon);
        }
    }

    // the workers hand back what they still have, so every suspended
    // connection is resumed before the daemon stops
    {
        std::lock_guard lock(m->jobsMutex);
        m->workersStopping = true;
    }
    m->jobsReady.notify_all();
    for (std::thread& worker : m->workers)
        worker.join();
    m->workers.clear();
    MHD_run(m->daemon);
    MHD_stop_daemon(m->daemon);
    m->daemon = nullptr;
    return true;
}

void TranslationServer::stop()
{
    m->stopRequested = true;
    m->wake();
}
