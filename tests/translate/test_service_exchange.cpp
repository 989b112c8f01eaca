#include "ServiceExchange.h"

#include "LoopbackService.h"
#include "QtPrinting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

std::string utf8(const QString& s) { return s.toStdString(); }

// A service elsewhere, which only a proxy can reach.
const QString RemoteEndpoint = QStringLiteral("http://service.linguaro.test/translate");

// Runs the body and returns the ServiceError's message; fails the test when nothing is thrown.
template <typename F>
std::string errorOf(F&& body)
{
    try {
        body();
    } catch (const ServiceError& e) {
        return e.what();
    }
    ADD_FAILURE() << "no ServiceError";
    return {};
}

class ServiceExchange : public ::testing::Test {
protected:
    LoopbackService service;
    ServiceClient client{service.qurl("/translate")};
    ProxySettings noProxy;
};

}  // namespace

TEST(ExtractTranslation, QuotedReplies)
{
    EXPECT_EQ(extractTranslation("\"Hola\""), "Hola");
    EXPECT_EQ(extractTranslation("\"one\\r\\ntwo\""), "one two");
    EXPECT_EQ(extractTranslation("\"One.\\r\\n \\r\\nTwo.\""), "One.\r\n\r\nTwo.");
    EXPECT_EQ(extractTranslation("\"One?\\r\\n?\\r\\nTwo\""), "One?\r\n\r\nTwo");
    EXPECT_EQ(extractTranslation("\"say \\\"hi\\\" now\""), "say \"hi\" now");
    EXPECT_EQ(extractTranslation("\"a ACAEAZA b\""), "a \r\n\r\n b");
    // real line breaks of the reply are dropped
    EXPECT_EQ(extractTranslation("\"Ho\r\nla\"\r\n"), "Hola");
}

TEST(ExtractTranslation, ShortRepliesAreEmpty)
{
    EXPECT_EQ(extractTranslation(""), "");
    EXPECT_EQ(extractTranslation("\""), "");
    EXPECT_EQ(extractTranslation("\"\""), "");
    EXPECT_EQ(extractTranslation("\"x\""), "x");
}

TEST(ExtractTranslation, OtherEscapesStay)
{
    EXPECT_EQ(extractTranslation(R"("a\nb\tc\\d\u00e9")"), R"(a\nb\tc\\d\u00e9)");
}

TEST(ExtractTranslation, FullUnicodeAndDamagedBytes)
{
    const QString face = QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(extractTranslation(("\"smile " + face + "\"").toUtf8()), "smile " + face);
    // the last character is a pair of UTF-16 units; it is dropped whole
    EXPECT_EQ(extractTranslation(("\"ok" + face).toUtf8()), "ok");
    // one bad byte spoils one character, not the whole translation
    const QString damaged = extractTranslation(QByteArray("\"caf\xC3 ok\""));
    EXPECT_TRUE(damaged.startsWith("caf"));
    EXPECT_TRUE(damaged.endsWith(" ok"));
    EXPECT_TRUE(damaged.contains(QChar(0xFFFD)));
}

TEST(ServiceEndpoint, EnvironmentOverridesTheBuiltInAddress)
{
    unsetenv("LINGUARO_SERVICE_URL");
    EXPECT_EQ(ServiceClient::defaultEndpoint(), ServiceClient::builtInEndpoint());
    EXPECT_TRUE(ServiceClient::builtInEndpoint().startsWith("http://127.0.0.1:"));
    setenv("LINGUARO_SERVICE_URL", "http://127.0.0.1:9/other", 1);
    EXPECT_EQ(ServiceClient::defaultEndpoint(), "http://127.0.0.1:9/other");
    EXPECT_EQ(ServiceClient().endpoint(), "http://127.0.0.1:9/other");
    unsetenv("LINGUARO_SERVICE_URL");
}

TEST_F(ServiceExchange, FormFieldsArriveInOrderAndIntact)
{
    const QString face = QString::fromUcs4(U"\U0001F600");
    const QString chunk = QStringLiteral("Tom & Jerry + 50% = 1\r\n\u00DCber ") + face;
    const QByteArray reply = client.sendChunk(chunk, "EN", "ZH-TW", noProxy);

    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    const RecordedRequest& r = requests[0];
    EXPECT_EQ(r.body, "v=2&q=Tom%20%26%20Jerry%20%2B%2050%25%20%3D%201%0D%0A%C3%9Cber%20%F0%9F%98%80"
                      "&ui=en&from=en&to=zh-tw&nl=1&esc=1&utf=1");
    EXPECT_EQ(r.param("q"), utf8(chunk));
    EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(r.header("Accept"), "text/html, */*");
    EXPECT_EQ(r.header("User-Agent"),
              "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.0; SLCC1; .NET CLR 2.0.50727; .NET CLR 3.0.04506)");
    EXPECT_EQ(extractTranslation(reply), "zh-tw:" + chunk.left(chunk.indexOf('\r')) + " \u00DCber " + face);
}

// A service busy with other documents asks the next to come back: it is asked again, the same document.
TEST_F(ServiceExchange, BusyServiceIsAskedAgainForADocument)
{
    service.busyDocuments = 2;
    EXPECT_EQ(client.sendDocument("<p>caf\xc3\xa9</p>", "html", "EN", "ES", noProxy),
              QByteArray("es:<p>caf\xc3\xa9</p>"));
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const RecordedRequest& r : requests)
        EXPECT_EQ(r.body, "<p>caf\xc3\xa9</p>");
    EXPECT_EQ(requests[2].param("format"), "html");
}

// Translations run several clients on worker threads at once: the service's
// session cookie, set once, goes back from every client on every thread.
TEST_F(ServiceExchange, CookiesAreSharedByEveryClientOnEveryThread)
{
    // a name of its own: cookies of the other tests' services (127.0.0.1) stay out
    const QString endpoint = QStringLiteral("http://localhost:%1/translate").arg(service.port());
    std::thread([&] { ServiceClient(endpoint).sendChunk("one", "EN", "FR", noProxy); }).join();
    constexpr int PerThread = 20;
    std::vector<std::thread> workers;
    for (int t = 0; t < 2; ++t)
        workers.emplace_back([&] {
            ServiceClient own(endpoint);
            for (int i = 0; i < PerThread; ++i)
                own.sendChunk("more", "EN", "FR", noProxy);
        });
    for (std::thread& worker : workers)
        worker.join();

    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u + 2 * PerThread);
    EXPECT_EQ(requests[0].header("Cookie"), "");
    for (size_t i = 1; i < requests.size(); ++i)
        EXPECT_EQ(requests[i].header("Cookie"), "session=abc123") << i;
}

TEST_F(ServiceExchange, FailedPostFallsBackToLocation)
{
    const QByteArray reply = client.sendChunk("MOVED", "EN", "FR", noProxy);
    // the failed POST's error page is not part of the reply
    EXPECT_EQ(reply, "\"from fallback\"");
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].target, "/fallback?id=7");
}

TEST_F(ServiceExchange, FailedPostWithoutLocationNamesStatusAndMessage)
{
    const std::string error = errorOf([&] { client.sendChunk("FAIL", "EN", "FR", noProxy); });
    EXPECT_NE(error.find("500"), std::string::npos) << error;
    EXPECT_NE(error.find("Engine crashed while translating"), std::string::npos) << error;
    EXPECT_EQ(service.requests().size(), 1u);
}

TEST_F(ServiceExchange, NoServiceListening)
{
    int port;
    {
        LoopbackServer closed;
        port = closed.port();
    }
    ServiceClient nowhere(QStringLiteral("http://127.0.0.1:%1/translate").arg(port));
    const std::string error = errorOf([&] { nowhere.sendChunk("text", "EN", "FR", noProxy); });
    EXPECT_EQ(error.rfind("Could not connect to the translation service at 127.0.0.1:" + std::to_string(port), 0), 0u)
        << error;
}

TEST_F(ServiceExchange, StalledServiceTimesOut)
{
    ServiceClient stalled(service.qurl("/stall"));
    stalled.setTimeouts(5, 1);
    const std::string error = errorOf([&] { stalled.sendChunk("text", "EN", "FR", noProxy); });
    EXPECT_EQ(error, "The translation service did not answer within 1 seconds.");
}

// Another thread stops a request that waits on the service: it ends as
// cancelled, not as a failure of the service.
TEST_F(ServiceExchange, CancelFlagEndsARequestUnderWay)
{
    ServiceClient stalled(service.qurl("/stall"));
    std::atomic<bool> cancelled{false};
    stalled.setCancelFlag(&cancelled);
    std::thread canceller([&] {
        while (service.requests().empty())
            std::this_thread::yield();
        cancelled = true;
    });
    EXPECT_THROW(stalled.sendChunk("text", "EN", "FR", noProxy), ServiceCancelled);
    canceller.join();
    // raised before a request starts: nothing is sent
    EXPECT_THROW(stalled.sendChunk("again", "EN", "FR", noProxy), ServiceCancelled);
    EXPECT_EQ(service.requests().size(), 1u);
}

TEST_F(ServiceExchange, EndlessRedirectsEndInAnError)
{
    ServiceClient looping(service.qurl("/loop"));
    const std::string error = errorOf([&] { looping.sendChunk("text", "EN", "FR", noProxy); });
    EXPECT_NE(error.find("redirect"), std::string::npos) << error;
}

TEST_F(ServiceExchange, LocationNeverLeadsToLocalFiles)
{
    ServiceClient evil(service.qurl("/evil"));
    const std::string error = errorOf([&] { evil.sendChunk("text", "EN", "FR", noProxy); });
    EXPECT_EQ(error.find("root:"), std::string::npos) << error;
}

TEST_F(ServiceExchange, LargeRepliesAreKeptUpToTheLimit)
{
    service.bigReplySize = 8 * 1024 * 1024;
    ServiceClient big(service.qurl("/big"));
    EXPECT_EQ(big.sendChunk("text", "EN", "FR", noProxy).size(), qsizetype(service.bigReplySize));
    big.setReplyLimit(1024 * 1024);
    const std::string error = errorOf([&] { big.sendChunk("text", "EN", "FR", noProxy); });
    EXPECT_NE(error.find("larger than 1 MiB"), std::string::npos) << error;
}

TEST_F(ServiceExchange, ProxyWithoutUserSendsNoCredentials)
{
    RecordingProxy proxy;
    ProxySettings viaProxy{true, "127.0.0.1", QString::number(proxy.port()), "", ""};
    ServiceClient(RemoteEndpoint).sendChunk("one", "EN", "FR", viaProxy);
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].header("Proxy-Authorization"), "");
}

TEST_F(ServiceExchange, BadProxyPortStopsBeforeSending)
{
    for (const char* port : {"", "80x", "70000", "-1"}) {
        ProxySettings broken{true, "127.0.0.1", port, "", ""};
        const std::string error = errorOf([&] { client.sendChunk("one", "EN", "FR", broken); });
        EXPECT_NE(error.find("proxy port"), std::string::npos) << port << ": " << error;
    }
    EXPECT_TRUE(service.requests().empty());
}
