// The proxy settings kept in the settings store: the password file stays the
// owner's alone, and awkward credentials come back as they were typed.
#include "RegStore.h"
#include "WindowSettings.h"

#include "../settings/StoreFixture.h"

#include <sys/stat.h>

namespace {

class ProxyStoreTest : public StoreFixture {
protected:
    WindowSettings roundTrip(const ProxySettings& proxy)
    {
        WindowSettings settings;
        settings.InterfaceLanguage = "English";
        settings.Proxy = proxy;
        RegStore writer;
        EXPECT_TRUE(writeShutdownSettings(writer, settings, "", ""));
        RegStore reader;
        WindowSettings back;
        readStartupSettings(reader, back);
        return back;
    }
};

mode_t modeOf(const QString& path)
{
    struct stat info {};
    return ::stat(path.toLocal8Bit().constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

}  // namespace

TEST_F(ProxyStoreTest, FileWithAPasswordIsReadableByItsOwnerOnly)
{
    const mode_t previous = ::umask(022);
    const WindowSettings back = roundTrip({true, "proxy.lan", "3128", "alice", "s3cret"});
    ::umask(previous);
    EXPECT_EQ(back.Proxy.Password, QString("s3cret"));
    EXPECT_EQ(modeOf(storePath()), mode_t(0600));
    EXPECT_TRUE(fileBytes().contains("\"Password\"=\"s3cret\""));

    // a file someone opened up is closed again by the next write
    ::chmod(storePath().toLocal8Bit().constData(), 0644);
    roundTrip({true, "proxy.lan", "3128", "alice", "n3w"});
    EXPECT_EQ(modeOf(storePath()), mode_t(0600));
}

TEST_F(ProxyStoreTest, AwkwardCredentialsComeBackAsTyped)
{
    const ProxySettings typed{true, "proxy.lan", "8080", "DOMAIN\\alice \"the\" user",
                              "p@ss:w=rd\\\"; \xC3\xA9\xE2\x82\xAC end\\"};
    const WindowSettings back = roundTrip(typed);
    EXPECT_TRUE(back.Proxy.UseProxy);
    EXPECT_EQ(back.Proxy.Address, typed.Address);
    EXPECT_EQ(back.Proxy.Port, typed.Port);
    EXPECT_EQ(back.Proxy.UserName, typed.UserName);
    EXPECT_EQ(back.Proxy.Password, typed.Password);
}

TEST_F(ProxyStoreTest, LineBreakInAPasswordCannotForgeOtherValues)
{
    const ProxySettings typed{true, "proxy.lan", "8080", "alice", "x\"\n\"UseProxy\"=dword:00000000"};
    const WindowSettings back = roundTrip(typed);
    EXPECT_TRUE(back.Proxy.UseProxy);
    EXPECT_EQ(back.Proxy.Address, QString("proxy.lan"));
    EXPECT_EQ(back.Proxy.Password, typed.Password);
}

TEST_F(ProxyStoreTest, SystemProxyTakenOverAtStartIsStoredAsOnAtShutDown)
{
    writeKey("\"UseProxy\"=dword:00000000\n\"ProxyAddr\"=\"old.lan\"\n\"ProxyPort\"=\"3128\"\n"
             "\"UserName\"=\"alice\"\n\"Password\"=\"s3cret\"\n");
    qputenv("http_proxy", "http://gateway:8080/");
    RegStore reader;
    WindowSettings started;
    started.InterfaceLanguage = "English";
    readStartupSettings(reader, started);
    EXPECT_TRUE(started.Proxy.UseProxy);
    EXPECT_EQ(started.Proxy.Address, QString("gateway"));
    EXPECT_EQ(started.Proxy.Port, QString("8080"));
    EXPECT_TRUE(started.Proxy.UserName.isEmpty());

    RegStore writer;
    ASSERT_TRUE(writeShutdownSettings(writer, started, "", ""));
    qunsetenv("http_proxy");
    RegStore again;
    WindowSettings next;
    readStartupSettings(again, next);
    EXPECT_TRUE(next.Proxy.UseProxy);
    EXPECT_EQ(next.Proxy.Address, QString("gateway"));
    EXPECT_EQ(next.Proxy.Port, QString("8080"));
    EXPECT_TRUE(next.Proxy.UserName.isEmpty());
    EXPECT_TRUE(next.Proxy.Password.isEmpty());
    EXPECT_FALSE(fileBytes().contains("s3cret"));
}
