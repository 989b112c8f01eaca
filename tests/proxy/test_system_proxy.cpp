#include "SystemProxy.h"

#include "../i18n/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace {

ProxySettings applied(const QString& serverText)
{
    ProxySettings proxy{false, "old", "1", "user", "pass"};
    systemProxyServerApply(serverText, proxy);
    return proxy;
}

// The proxy variables, unset for one test.
class ProxyEnvironment : public ScopedEnvironment {
public:
    ProxyEnvironment() : ScopedEnvironment({"http_proxy", "HTTP_PROXY"}) {}
};

}  // namespace

TEST(ServerText, HostColonPortGivesAddressAndPort)
{
    const ProxySettings proxy = applied("gateway:8080");
    EXPECT_EQ(proxy.Address, QString("gateway"));
    EXPECT_EQ(proxy.Port, QString("8080"));
    // only the address and port are touched
    EXPECT_EQ(proxy.UserName, QString("user"));
    EXPECT_FALSE(proxy.UseProxy);
}

TEST(ServerText, PerProtocolListIsCutAtTheFirstColon)
{
    const ProxySettings proxy = applied("ftp=gateway:21;socks=gateway:1080");
    EXPECT_EQ(proxy.Address, QString("ftp=gateway"));
    EXPECT_EQ(proxy.Port, QString("21;so"));
}

TEST(ServerText, BlanksAreRemovedAndThePortKeepsFiveCharacters)
{
    const ProxySettings proxy = applied(" gate way : 80 80 ");
    EXPECT_EQ(proxy.Address, QString("gateway"));
    EXPECT_EQ(proxy.Port, QString("808"));  // the five characters " 80 8", blanks dropped
    EXPECT_EQ(applied("gateway:1234567").Port, QString("12345"));
    EXPECT_EQ(applied("gateway:").Port, QString());
}

TEST(ServerText, NoColonOrLeadingColonChangesNothing)
{
    for (const char* text : {"gateway", ":8080", ""}) {
        const ProxySettings proxy = applied(text);
        EXPECT_EQ(proxy.Address, QString("old")) << text;
        EXPECT_EQ(proxy.Port, QString("1")) << text;
    }
}

// An IPv6 address holds colons of its own: the port is the one after its bracket.
TEST(ServerText, BracketedAddressIsKeptWhole)
{
    const std::pair<const char*, std::pair<const char*, const char*>> cases[] = {
        {"[::1]:3128", {"[::1]", "3128"}},
        {"[fe80::1:2]:8080", {"[fe80::1:2]", "8080"}},
        {" [::1] : 3128 ", {"[::1]", "3128"}},
        {"[::1]", {"old", "1"}},  // no port: nothing changes, as for a bare host
    };
    for (const auto& [text, expected] : cases) {
        const ProxySettings proxy = applied(text);
        EXPECT_EQ(proxy.Address, QString(expected.first)) << text;
        EXPECT_EQ(proxy.Port, QString(expected.second)) << text;
    }
}

TEST(VariableValue, SchemeCredentialsAndPathAreDropped)
{
    const std::pair<const char*, const char*> cases[] = {
        {"http://gateway:8080/", "gateway:8080"},
        {"gateway:3128", "gateway:3128"},
        {"http://user:p@ss@gateway:8080/some/path", "gateway:8080"},
        {"HTTP://10.0.0.1:3128", "10.0.0.1:3128"},
        {"http://gateway", "gateway:80"},
        {"https://gateway/", "gateway:443"},
        {"http://[::1]:3128/", "[::1]:3128"},
        {"  http://gateway:8080  ", "gateway:8080"},
        {"http://", ""},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(systemProxyServerText(value), QString(text)) << value;
}

TEST(Detection, UnsetOrEmptyVariableMeansNoSystemProxy)
{
    ProxyEnvironment env;
    ProxySettings proxy{false, "kept", "1", "", ""};
    EXPECT_FALSE(systemProxyDetect(proxy));
    env.set("http_proxy", "");
    EXPECT_FALSE(systemProxyDetect(proxy));
    EXPECT_EQ(proxy.Address, QString("kept"));
}

TEST(Detection, LowerCaseVariableComesFirst)
{
    ProxyEnvironment env;
    env.set("HTTP_PROXY", "http://upper:1111");
    ProxySettings proxy;
    EXPECT_TRUE(systemProxyDetect(proxy));
    EXPECT_EQ(proxy.Address, QString("upper"));
    env.set("http_proxy", "http://lower:2222/");
    EXPECT_TRUE(systemProxyDetect(proxy));
    EXPECT_EQ(proxy.Address, QString("lower"));
    EXPECT_EQ(proxy.Port, QString("2222"));
    EXPECT_TRUE(proxy.UserName.isEmpty());
}
