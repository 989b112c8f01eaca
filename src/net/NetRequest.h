#pragma once

#include "NetConnection.h"
#include "NetLimits.h"
#include "NetProxy.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class NetCookieJar;

// How a request ended.
struct NetResult {
    CURLcode code = CURLE_OK;
    long status = 0;         // the last response's status; 0 when none came
    bool connected = false;  // a connection to the server (or proxy) was made
    bool stalled = false;    // nothing moved for the stall limit
    bool tooLarge = false;   // the body went past the size limit
    bool cancelled = false;  // the caller's cancel check said so
    QString message;         // what went wrong, for a report; empty on success
};

// One request through the HTTP layer. The constructor applies the common rule:
// the proxy route (NetProxy), the connect time-out, the stall watch and size
// limit, the cancel check; the caller then adds what its protocol needs on
// Handle() (method, body, headers, redirects) and runs the request, either to
// its end (Perform) or step by step while it takes the body in pieces (Start,
// Step, Take). Waiting is never longer than a poll interval between checks.
//
// Without a connection of its caller's the request borrows its thread's (one
// per thread); a request made while the one it would use is busy (from a
// callback run while waiting) gets a fresh one.
class NetRequest {
public:
    NetRequest(const QByteArray& url, const NetProxy& proxy, const NetLimits& limits,
               NetConnection* connection = nullptr);
    ~NetRequest();
    NetRequest(const NetRequest&) = delete;
    NetRequest& operator=(const NetRequest&) = delete;

    CURL* handle() const { return m_connection->easy(); }
    const NetRoute& route() const { return m_route; }

    // Asked whenever libcurl reports progress and between waits: True ends the
    // request as cancelled. Must be cheap and safe to call from libcurl.
    void setCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }
    // Run between waits while nothing arrives (keeps a window live).
    void setIdle(std::function<void()> idle) { m_idle = std::move(idle); }
    // Cookies kept in and sent from the jar.
    void useCookies(NetCookieJar& jar);
    // The body is counted against the limit but not kept.
    void discardBody() { m_keepBody = false; }

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
    // The whole body received (after Perform).
    const QByteArray& body() const { return m_body; }

    // How long one wait lasts at the most.
    static constexpr int PollMilliseconds = 50;

private:
    static size_t onBody(char* data, size_t size, size_t count, void* self);
    static int onConnected(void* self, char*, char*, int, int);
    static int onProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded);
    bool cancelAsked();
    void finish(CURLcode code);
    // The stall clock runs only while the request is being driven, so time the
    // caller spends between steps (writing a block, a prompt) is no stall.
    void runClock();
    void stopClock();

    std::unique_ptr<NetConnection> m_own;
    NetConnection* m_connection = nullptr;
    NetRoute m_route;
    NetLimits m_limits;
    std::function<bool()> m_cancelled;
    std::function<void()> m_idle;
    bool m_hasCookies = false;
    bool m_keepBody = true;

    bool m_started = false;
    bool m_finished = false;
    bool m_arrived = false;  // body bytes came in the current step
    NetResult m_result;
    QByteArray m_body;
    qsizetype m_taken = 0;
    qint64 m_received = 0;
    curl_off_t m_moved = 0;
    std::chrono::steady_clock::time_point m_lastMove{};
    std::chrono::steady_clock::time_point m_clockStopped{};
    bool m_clockRunning = false;
    char m_errorText[CURL_ERROR_SIZE] = {};
};
