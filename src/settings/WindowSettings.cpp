#include "WindowSettings.h"

#include "RegStore.h"
#include "SystemProxy.h"

namespace {

struct KeyCloser {
    RegStore& store;
    ~KeyCloser() { store.closeKey(); }
};

QString name(const char* text) { return QString::fromLatin1(text); }

void readIfExists(const RegStore& store, const Setting::Text& setting, QString& into)
{
    if (store.valueExists(name(setting.name)))
        into = store.readString(name(setting.name));
}

void readProxy(const RegStore& store, ProxySettings& proxy)
{
    if (!store.valueExists(name(Setting::UseProxy.name)))
        return;  // never chosen: the system proxy is not consulted
    if (store.readBool(name(Setting::UseProxy.name))) {
        proxy.UseProxy = true;
        readIfExists(store, Setting::ProxyAddr, proxy.Address);
        readIfExists(store, Setting::ProxyPort, proxy.Port);
        readIfExists(store, Setting::UserName, proxy.UserName);
        readIfExists(store, Setting::Password, proxy.Password);
    } else {
        proxy.UseProxy = systemProxyDetect(proxy);
    }
}

}  // namespace

void readStartupSettings(RegStore& store, WindowSettings& settings)
{
    if (!store.openKeyReadOnly())
        return;
    KeyCloser closer{store};
    if (store.valueExists(name(Setting::Source.name)))
        settings.SourcePosition = store.readInteger(name(Setting::Source.name));
    if (store.valueExists(name(Setting::Target.name)))
        settings.TargetPosition = store.readInteger(name(Setting::Target.name));
    if (store.valueExists(name(Setting::Language.name))) {
        settings.InterfaceLanguage = store.readString(name(Setting::Language.name));
        if (settings.InterfaceLanguage.isEmpty())
            settings.InterfaceLanguage = name(Setting::EmptyLanguage);
    }
    readIfExists(store, Setting::Character, settings.StartCharacter);
    readIfExists(store, Setting::Voice, settings.VoiceName);
    readProxy(store, settings.Proxy);
    if (store.valueExists(name(Setting::SerbianCyrillic.name)))
        settings.SerbianCyrillic = store.readBool(name(Setting::SerbianCyrillic.name));
    if (store.valueExists(name(Setting::KeepHistory.name)))
        settings.KeepHistory = store.readBool(name(Setting::KeepHistory.name));
    if (store.valueExists(name(Setting::ReuseTranslations.name)))
        settings.ReuseTranslations = store.readBool(name(Setting::ReuseTranslations.name));
    if (store.valueExists(name(Setting::DetectSource.name)))
        settings.DetectSource = store.readBool(name(Setting::DetectSource.name));
    if (store.valueExists(name(Setting::KeepFormatting.name)))
        settings.KeepFormatting = store.readBool(name(Setting::KeepFormatting.name));
}

bool writeShutdownSettings(RegStore& store, const WindowSettings& settings, const QString& characterName,
                           const QString& voice)
{
    if (!store.openKey(true))
        return false;
    if (settings.SourcePosition >= 0)
        store.writeInteger(name(Setting::Source.name), settings.SourcePosition);
    if (settings.TargetPosition >= 0)
        store.writeInteger(name(Setting::Target.name), settings.TargetPosition);
    store.writeString(name(Setting::Language.name), settings.InterfaceLanguage);
    store.writeString(name(Setting::Character.name), characterName);
    store.writeString(name(Setting::Voice.name), voice);
    const ProxySettings& proxy = settings.Proxy;
    store.writeBool(name(Setting::UseProxy.name), proxy.UseProxy);
    if (proxy.UseProxy) {
        store.writeString(name(Setting::ProxyAddr.name), proxy.Address);
        store.writeString(name(Setting::ProxyPort.name), proxy.Port);
        store.writeString(name(Setting::UserName.name), proxy.UserName);
        store.writeString(name(Setting::Password.name), proxy.Password);
    }
    store.writeBool(name(Setting::SerbianCyrillic.name), settings.SerbianCyrillic);
    store.writeBool(name(Setting::KeepHistory.name), settings.KeepHistory);
    store.writeBool(name(Setting::ReuseTranslations.name), settings.ReuseTranslations);
    store.writeBool(name(Setting::DetectSource.name), settings.DetectSource);
    store.writeBool(name(Setting::KeepFormatting.name), settings.KeepFormatting);
    return store.closeKey();
}
