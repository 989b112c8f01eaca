// Translation requests through a real HTTP proxy on loopback (tinyproxy with
// basic authentication) to a small loopback service.
#include "LoopbackHttpServer.h"
#include "TinyProxy.h"
#include "ServiceExchange.h"

#include "../i18n/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

class ProxyRoute : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        ASSERT_GT(m_service.port(), 0);
        ASSERT_TRUE(m_proxy.ready()) << "tinyproxy did not start: " << m_proxy.log().toStdString();
        m_client.setTimeouts(10, 10);
    }

    ProxySettings through(const char* user, const char* password) const
    {
        return ProxySettings{true, "127.0.0.1", QString::number(m_proxy.port()), user, password};
    }
    // The message of the error that the request ends with; a success is a test failure.
    QString failureOf(const ProxySettings& proxy)
    {
        try {
            m_client.SendChunk("Hello", "en", "es", proxy);
        } catch (const ServiceError& error) {
            return QString::fromUtf8(error.what());
        }
        ADD_FAILURE() << "a failed request was taken for a translation";
        return {};
    }
    QString endpoint() const
    {
        return QStringLiteral("http://127.0.0.1:%1/translate").arg(m_service.port());
    }

    // Proxy variables of the session must not steer these requests.
    ScopedEnvironment m_environment{{"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY",
                                     "no_proxy", "NO_PROXY"}};
    QTemporaryDir m_folder;
    LoopbackHttpServer m_service{"\"Hola\""};
    TinyProxy m_proxy{m_folder.path(), "linguaro", "s3cret"};
    ServiceClient m_client{endpoint()};
};

bool hasHeader(const std::string& head, const char* name)
{
    std::string lower = head;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find(std::string("\r\n") + name + ":") != std::string::npos;
}

}  // namespace

TEST_F(ProxyRoute, RightCredentialsCarryTheRequestThroughTheProxy)
{
    const QByteArray reply = m_client.SendChunk("Hello", "EN", "es", through("linguaro", "s3cret"));
    EXPECT_EQ(ExtractTranslation(reply), QString("Hola"));

    const auto requests = m_service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].head.rfind("POST /translate", 0), 0u) << requests[0].head;
    // the proxy forwarded it, and took its own credentials off the request
    EXPECT_TRUE(hasHeader(requests[0].head, "via")) << requests[0].head;
    EXPECT_FALSE(hasHeader(requests[0].head, "proxy-authorization"));
    EXPECT_NE(requests[0].body.find("Hello"), std::string::npos);
    EXPECT_TRUE(m_proxy.log().contains(QStringLiteral("127.0.0.1:%1").arg(m_service.port())));
}

// The user must be able to tell that the proxy, not the service, is at fault.
TEST_F(ProxyRoute, WrongCredentialsFailWithAClearError)
{
    const QString message = failureOf(through("linguaro", "wrong"));
    EXPECT_TRUE(message.contains("proxy", Qt::CaseInsensitive)) << message.toStdString();
    EXPECT_TRUE(m_service.requests().empty());
}

TEST_F(ProxyRoute, ProxyThatIsDownFailsWithAClearError)
{
    ProxySettings proxy = through("linguaro", "s3cret");
    proxy.Port = QString::number(LoopbackHttpServer::freePort());
    const QString message = failureOf(proxy);
    EXPECT_TRUE(message.contains("proxy", Qt::CaseInsensitive)) << message.toStdString();
    EXPECT_TRUE(m_service.requests().empty());
}

TEST_F(ProxyRoute, PortThatIsNoNumberIsAnError)
{
    ProxySettings proxy = through("linguaro", "s3cret");
    for (const char* port : {"31a8", ""}) {
        proxy.Port = port;
        EXPECT_THROW(m_client.SendChunk("Hello", "en", "es", proxy), ServiceError) << port;
    }
    EXPECT_TRUE(m_service.requests().empty());
}

TEST_F(ProxyRoute, TurningTheProxyOffGoesDirectEvenWithASessionProxy)
{
    m_client.SendChunk("one", "en", "es", through("linguaro", "s3cret"));
    // a session proxy that would refuse the request: the use flag off must not fall back to it
    m_environment.set("http_proxy", QStringLiteral("http://127.0.0.1:%1").arg(m_proxy.port()).toUtf8().constData());
    const QByteArray reply = m_client.SendChunk("two", "en", "es", ProxySettings{});
    EXPECT_EQ(ExtractTranslation(reply), QString("Hola"));

    const auto requests = m_service.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(hasHeader(requests[0].head, "via"));
    EXPECT_FALSE(hasHeader(requests[1].head, "via")) << requests[1].head;
}
