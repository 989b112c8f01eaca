// The bounds every request of the HTTP layer keeps, against a real HTTP
// server on loopback: a stalled reply is broken off, a body past the size
// limit is refused, and the caller can cancel, from another thread while the
// request blocks it, or from the wait of a request driven step by step.
#include "NetRequest.h"

#include "../translate/LoopbackService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace {

// /big: 100000 bytes. /stall: the head and a first piece, then nothing until
// the server goes away.
class StallingServer : public LoopbackServer {
public:
    StallingServer()
    {
        m_server.Get("/big", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(100000, 'x'), "application/octet-stream");
        });
        // /hop/<n>: n redirects, then "arrived"; /tofile: a redirect to a local file
        m_server.Get(R"(/hop/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            const int left = std::stoi(req.matches[1]);
            if (left == 0)
                res.set_content("arrived", "text/plain");
            else
                res.set_redirect("/hop/" + std::to_string(left - 1));
        });
        m_server.Get("/tofile", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("file:///etc/hostname");
        });
        m_server.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream",
                                             [this](size_t offset, httplib::DataSink& sink) {
                                                 if (offset > 0) {
                                                     waitForRelease();
                                                     sink.done();
                                                     return true;
                                                 }
                                                 sink.write("first", 5);
                                                 std::lock_guard lock(m_stallMutex);
                                                 m_stalled = true;
                                                 m_stallStarted.notify_all();
                                                 return true;
                                             });
        });
    }

    QByteArray address(const char* path) const { return QByteArray::fromStdString(url(path)); }
    // Blocks until a stalled reply has sent its first piece.
    void waitForStall()
    {
        std::unique_lock lock(m_stallMutex);
        m_stallStarted.wait(lock, [this] { return m_stalled; });
    }

private:
    std::mutex m_stallMutex;
    std::condition_variable m_stallStarted;
    bool m_stalled = false;
};

NetLimits limits(int stallSeconds, qint64 maxBytes = -1)
{
    NetLimits limits;
    limits.connectSeconds = 10;
    limits.stallSeconds = stallSeconds;
    limits.maxBytes = maxBytes;
    return limits;
}

}  // namespace

TEST(HttpLayer, StalledReplyIsBrokenOff)
{
    StallingServer server;
    NetRequest request(server.address("/stall"), NetProxy::direct(), limits(1));
    const NetResult& result = request.perform();
    EXPECT_TRUE(result.stalled);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.code, NetCode::Stalled);
    EXPECT_EQ(request.body(), "first");
}

TEST(HttpLayer, BodyPastTheLimitIsRefused)
{
    StallingServer server;
    for (const qint64 limit : {qint64(100000), qint64(99999)}) {
        SCOPED_TRACE(limit);
        NetRequest request(server.address("/big"), NetProxy::direct(), limits(10, limit));
        const NetResult& result = request.perform();
        const bool fits = limit >= 100000;
        EXPECT_EQ(result.ok(), fits) << result.message.toStdString();
        EXPECT_EQ(result.tooLarge, !fits);
        EXPECT_EQ(result.status, 200);
        if (fits)
            EXPECT_EQ(request.body().size(), 100000);
        else
            EXPECT_LE(request.body().size(), limit);
    }
}

TEST(HttpLayer, CancelFromAnotherThreadEndsABlockedRequest)
{
    StallingServer server;
    std::atomic<bool> cancelled{false};
    std::thread canceller([&] {
        server.waitForStall();
        cancelled = true;
    });
    NetRequest request(server.address("/stall"), NetProxy::direct(), limits(600));
    request.setCancelCheck([&] { return cancelled.load(); });
    const NetResult& result = request.perform();
    canceller.join();
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.stalled);
    EXPECT_EQ(result.code, NetCode::Cancelled);
}

// The way a transfer drives a download: taking the body piece by piece, Cancel
// asked between the waits once the first piece is in.
TEST(HttpLayer, CancelFromTheWaitOfARequestTakenInPieces)
{
    StallingServer server;
    int waits = 0;
    QByteArray taken;
    NetRequest request(server.address("/stall"), NetProxy::direct(), limits(600));
    request.setCancelCheck([&] {
        ++waits;
        return !taken.isEmpty();
    });
    char buffer[2];
    while (request.pending() || request.step())
        taken.append(buffer, request.take(buffer, sizeof buffer));
    EXPECT_EQ(taken, "first");
    EXPECT_TRUE(request.result().cancelled);
    EXPECT_GT(waits, 0);
}

// Every request that follows redirects keeps one rule, whatever protocols it
// speaks itself: at most MaxRedirects of them, and never to a local file.
TEST(HttpLayer, OneRedirectRuleForEveryRequest)
{
    StallingServer server;
    const std::string most = std::to_string(NetRequest::MaxRedirects);
    const std::string tooMany = std::to_string(NetRequest::MaxRedirects + 1);
    const NetProtocols web = NetHttp | NetHttps;
    const NetProtocols everything = web | NetFtp | NetFtps | NetFile;
    for (const NetProtocols protocols : {web, everything}) {
        for (const auto& [path, arrives] :
             {std::pair{"/hop/" + most, true}, {"/hop/" + tooMany, false}, {std::string("/tofile"), false}}) {
            SCOPED_TRACE(path + (protocols == web ? " (web)" : " (every protocol)"));
            NetRequest request(server.address(path.c_str()), NetProxy::direct(), limits(10));
            request.allowProtocols(protocols);
            request.followRedirects();
            const NetResult& result = request.perform();
            EXPECT_EQ(result.ok(), arrives) << result.message.toStdString();
            EXPECT_EQ(request.body() == "arrived", arrives);
        }
    }
}
