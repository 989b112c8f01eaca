#include "RegStore.h"
#include "StoreFixture.h"
#include "WindowSettings.h"

namespace {

using SettingsTest = StoreFixture;

WindowSettings startup(const QString& detected = "French")
{
    WindowSettings s;
    s.InterfaceLanguage = detected;
    RegStore store;
    readStartupSettings(store, s);
    return s;
}

TEST_F(SettingsTest, FirstStartKeepsEveryDefaultAndIgnoresTheSystemProxy)
{
    qputenv("http_proxy", "http://gateway:8080/");
    const WindowSettings s = startup();
    EXPECT_EQ(s.SourcePosition, 0);
    EXPECT_EQ(s.TargetPosition, 1);
    EXPECT_EQ(s.InterfaceLanguage, "French");
    EXPECT_EQ(s.StartCharacter, "");
    EXPECT_EQ(s.VoiceName, "");
    EXPECT_FALSE(s.Proxy.UseProxy);
    EXPECT_EQ(s.Proxy.Address, "");
    EXPECT_FALSE(s.SerbianCyrillic);
    EXPECT_TRUE(s.KeepHistory);
    EXPECT_TRUE(s.ReuseTranslations);
    EXPECT_TRUE(s.DetectSource);
    EXPECT_FALSE(s.KeepFormatting);
}

TEST_F(SettingsTest, StoredValuesReplaceDefaultsAndEmptyLangIsEnglish)
{
    // no "UseProxy": the values after the proxy are read all the same
    writeKey("\"src\"=dword:00000003\n\"trg\"=dword:00000036\n\"lang\"=\"\"\n\"character\"=\"Genie\"\n"
             "\"voice\"=\"Russian\"\n\"SerbianCyrillic\"=dword:00000001\n\"KeepHistory\"=dword:00000000\n"
             "\"ReuseTranslations\"=dword:00000000\n\"DetectSource\"=dword:00000000\n");
    const WindowSettings s = startup();
    EXPECT_EQ(s.SourcePosition, 3);
    EXPECT_EQ(s.TargetPosition, 54);  // out of range: the window leaves the list unselected
    EXPECT_EQ(s.InterfaceLanguage, "English");
    EXPECT_EQ(s.StartCharacter, "Genie");
    EXPECT_EQ(s.VoiceName, "Russian");
    EXPECT_TRUE(s.SerbianCyrillic);
    EXPECT_FALSE(s.KeepHistory);
    EXPECT_FALSE(s.ReuseTranslations);
    EXPECT_FALSE(s.DetectSource);
}

TEST_F(SettingsTest, WrongTypeStopsReadingAfterWhatWasRead)
{
    writeKey("\"src\"=dword:00000002\n\"trg\"=\"Spanish\"\n\"lang\"=\"German\"\n");
    WindowSettings s;
    s.InterfaceLanguage = "English";
    RegStore store;
    EXPECT_THROW(readStartupSettings(store, s), RegistryError);
    EXPECT_EQ(s.SourcePosition, 2);
    EXPECT_EQ(s.TargetPosition, 1);
    EXPECT_EQ(s.InterfaceLanguage, "English");
    // the key was closed all the same: the next start can read and write it
    ASSERT_TRUE(store.openKey(false));
    store.closeKey();
}

TEST_F(SettingsTest, ProxyRule)
{
    // on: the stored strings, as far as they exist
    writeKey("\"UseProxy\"=dword:00000002\n\"ProxyAddr\"=\"proxy.lan\"\n\"Password\"=\"pw\"\n");
    qputenv("http_proxy", "http://gateway:8080");
    WindowSettings s = startup();
    EXPECT_TRUE(s.Proxy.UseProxy);
    EXPECT_EQ(s.Proxy.Address, "proxy.lan");
    EXPECT_EQ(s.Proxy.Port, "");
    EXPECT_EQ(s.Proxy.Password, "pw");

    // off with the system proxy on: the system's address and port, stored strings unread
    writeKey("\"UseProxy\"=dword:00000000\n\"ProxyAddr\"=\"proxy.lan\"\n\"UserName\"=\"me\"\n");
    s = startup();
    EXPECT_TRUE(s.Proxy.UseProxy);
    EXPECT_EQ(s.Proxy.Address, "gateway");
    EXPECT_EQ(s.Proxy.Port, "8080");
    EXPECT_EQ(s.Proxy.UserName, "");

    // off with no system proxy
    qunsetenv("http_proxy");
    s = startup();
    EXPECT_FALSE(s.Proxy.UseProxy);
    EXPECT_EQ(s.Proxy.Address, "");
}

TEST_F(SettingsTest, ShutdownWritesInOrderAndKeepsProxyStringsWhenOff)
{
    writeKey("\"src\"=dword:00000004\n\"ProxyAddr\"=\"old\"\n\"ProxyPort\"=\"3128\"\n\"UserName\"=\"u\"\n"
             "\"Password\"=\"p\"\n");
    WindowSettings s;
    s.SourcePosition = -1;  // no selection: the stored position stays
    s.TargetPosition = 2;
    s.InterfaceLanguage = "Dutch";
    s.Proxy.Address = "ignored";
    RegStore store;
    ASSERT_TRUE(writeShutdownSettings(store, s, "", "USEnglish"));
    EXPECT_EQ(
        fileBytes(),
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n\"src\"=dword:00000004\n"
        "\"ProxyAddr\"=\"old\"\n\"ProxyPort\"=\"3128\"\n\"UserName\"=\"u\"\n\"Password\"=\"p\"\n"
        "\"trg\"=dword:00000002\n\"lang\"=\"Dutch\"\n\"character\"=\"\"\n\"voice\"=\"USEnglish\"\n"
        "\"UseProxy\"=dword:00000000\n\"SerbianCyrillic\"=dword:00000000\n\"KeepHistory\"=dword:00000001\n"
        "\"ReuseTranslations\"=dword:00000001\n\"DetectSource\"=dword:00000001\n\"KeepFormatting\"=dword:00000000\n");

    s.Proxy = {true, "gw", "8080", "", "secret"};
    s.SerbianCyrillic = true;
    s.KeepHistory = false;
    s.ReuseTranslations = false;
    s.DetectSource = false;
    s.KeepFormatting = true;
    ASSERT_TRUE(writeShutdownSettings(store, s, "Merlin", "French"));
    WindowSettings back = startup();
    EXPECT_EQ(back.SourcePosition, 4);
    EXPECT_EQ(back.TargetPosition, 2);
    EXPECT_EQ(back.StartCharacter, "Merlin");
    EXPECT_EQ(back.VoiceName, "French");
    EXPECT_TRUE(back.Proxy.UseProxy);
    EXPECT_EQ(back.Proxy.Address, "gw");
    EXPECT_EQ(back.Proxy.Port, "8080");
    EXPECT_EQ(back.Proxy.UserName, "");
    EXPECT_EQ(back.Proxy.Password, "secret");
    EXPECT_TRUE(back.SerbianCyrillic);
    EXPECT_FALSE(back.KeepHistory);
    EXPECT_FALSE(back.ReuseTranslations);
    EXPECT_FALSE(back.DetectSource);
    EXPECT_TRUE(back.KeepFormatting);
}

TEST_F(SettingsTest, UnwritableStoreLosesTheRunQuietly)
{
    QDir().mkpath(storePath());  // a folder where the file belongs
    RegStore store;
    EXPECT_FALSE(writeShutdownSettings(store, WindowSettings{}, "", ""));
}

}  // namespace
