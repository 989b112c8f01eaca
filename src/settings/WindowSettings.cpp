#include "WindowSettings.h"

#include "RegStore.h"
#include "SystemProxy.h"

namespace {

struct KeyCloser {
    RegStore& store;
    ~KeyCloser() { store.CloseKey(); }
};

QString name(const char* text) { return QString::fromLatin1(text); }

void readIfExists(const RegStore& store, const Setting::Text& setting, QString& into)
{
    if (store.ValueExists(name(setting.name)))
        into = store.ReadString(name(setting.name));
}

void readProxy(const RegStore& store, ProxySettings& proxy)
{
    if (!store.ValueExists(name(Setting::UseProxy.name)))
        return;  // never chosen: the system proxy is not consulted
    if (store.ReadBool(name(Setting::UseProxy.name))) {
        proxy.UseProxy = true;
        readIfExists(store, Setting::ProxyAddr, proxy.Address);
        readIfExists(store, Setting::ProxyPort, proxy.Port);
        readIfExists(store, Setting::UserName, proxy.UserName);
        readIfExists(store, Setting::Password, proxy.Password);
    } else {
        proxy.UseProxy = SystemProxyDetect(proxy);
    }
}

}  // namespace

void ReadStartupSettings(RegStore& store, WindowSettings& settings)
{
    if (!store.OpenKeyReadOnly())
        return;
    KeyCloser closer{store};
    if (store.ValueExists(name(Setting::Source.name)))
        settings.SourcePosition = store.ReadInteger(name(Setting::Source.name));
    if (store.ValueExists(name(Setting::Target.name)))
        settings.TargetPosition = store.ReadInteger(name(Setting::Target.name));
    if (store.ValueExists(name(Setting::Language.name))) {
        settings.InterfaceLanguage = store.ReadString(name(Setting::Language.name));
        if (settings.InterfaceLanguage.isEmpty())
            settings.InterfaceLanguage = name(Setting::EmptyLanguage);
    }
    readIfExists(store, Setting::Character, settings.StartCharacter);
    readIfExists(store, Setting::Voice, settings.VoiceName);
    readProxy(store, settings.Proxy);
    if (store.ValueExists(name(Setting::SerbianCyrillic.name)))
        settings.SerbianCyrillic = store.ReadBool(name(Setting::SerbianCyrillic.name));
    if (store.ValueExists(name(Setting::KeepHistory.name)))
        settings.KeepHistory = store.ReadBool(name(Setting::KeepHistory.name));
    if (store.ValueExists(name(Setting::ReuseTranslations.name)))
        settings.ReuseTranslations = store.ReadBool(name(Setting::ReuseTranslations.name));
    if (store.ValueExists(name(Setting::DetectSource.name)))
        settings.DetectSource = store.ReadBool(name(Setting::DetectSource.name));
    if (store.ValueExists(name(Setting::KeepFormatting.name)))
        settings.KeepFormatting = store.ReadBool(name(Setting::KeepFormatting.name));
}

bool WriteShutdownSettings(RegStore& store, const WindowSettings& settings, const QString& characterName,
                           const QString& voice)
{
    if (!store.OpenKey(true))
        return false;
    if (settings.SourcePosition >= 0)
        store.WriteInteger(name(Setting::Source.name), settings.SourcePosition);
    if (settings.TargetPosition >= 0)
        store.WriteInteger(name(Setting::Target.name), settings.TargetPosition);
    store.WriteString(name(Setting::Language.name), settings.InterfaceLanguage);
    store.WriteString(name(Setting::Character.name), characterName);
    store.WriteString(name(Setting::Voice.name), voice);
    const ProxySettings& proxy = settings.Proxy;
    store.WriteBool(name(Setting::UseProxy.name), proxy.UseProxy);
    if (proxy.UseProxy) {
        store.WriteString(name(Setting::ProxyAddr.name), proxy.Address);
        store.WriteString(name(Setting::ProxyPort.name), proxy.Port);
        store.WriteString(name(Setting::UserName.name), proxy.UserName);
        store.WriteString(name(Setting::Password.name), proxy.Password);
    }
    store.WriteBool(name(Setting::SerbianCyrillic.name), settings.SerbianCyrillic);
    store.WriteBool(name(Setting::KeepHistory.name), settings.KeepHistory);
    store.WriteBool(name(Setting::ReuseTranslations.name), settings.ReuseTranslations);
    store.WriteBool(name(Setting::DetectSource.name), settings.DetectSource);
    store.WriteBool(name(Setting::KeepFormatting.name), settings.KeepFormatting);
    return store.CloseKey();
}
