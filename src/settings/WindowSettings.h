#pragma once

#include "ProxySettings.h"

#include <QString>

class RegStore;

// The values of the settings store, each declared once with its name and its
// default (the value an item keeps when the store does not hold it).
namespace Setting {
struct Integer {
    const char* name;
    int defaultValue;
};
struct Text {
    const char* name;
    const char* defaultValue;
};

inline constexpr Integer Source{"src", 0};         // English
inline constexpr Integer Target{"trg", 1};         // French
inline constexpr Text Language{"lang", ""};        // empty: the detected language stays
inline constexpr Text Character{"character", ""};  // empty: taken as Merlin by its readers
inline constexpr Text Voice{"voice", ""};
inline constexpr Integer UseProxy{"UseProxy", 0};  // read as a boolean
inline constexpr Text ProxyAddr{"ProxyAddr", ""};
inline constexpr Text ProxyPort{"ProxyPort", ""};
inline constexpr Text UserName{"UserName", ""};
inline constexpr Text Password{"Password", ""};
inline constexpr Integer SerbianCyrillic{"SerbianCyrillic", 0};      // read as a boolean
inline constexpr Integer KeepHistory{"KeepHistory", 1};              // read as a boolean
inline constexpr Integer ReuseTranslations{"ReuseTranslations", 1};  // read as a boolean
inline constexpr Integer DetectSource{"DetectSource", 1};            // read as a boolean
inline constexpr Integer KeepFormatting{"KeepFormatting", 0};        // read as a boolean

// A stored "lang" that is empty stands for this language.
inline constexpr const char* EmptyLanguage = "English";
}  // namespace Setting

// What the main window loads from the store at start-up and keeps for it at
// shut-down. Positions are list positions, -1 for no selection.
struct WindowSettings {
    int SourcePosition = Setting::Source.defaultValue;
    int TargetPosition = Setting::Target.defaultValue;
    QString InterfaceLanguage;  // the detected language until the store says otherwise
    QString StartCharacter = QString::fromLatin1(Setting::Character.defaultValue);
    QString VoiceName = QString::fromLatin1(Setting::Voice.defaultValue);
    ProxySettings Proxy;
    bool SerbianCyrillic = Setting::SerbianCyrillic.defaultValue != 0;  // Serbian output in Cyrillic
    bool KeepHistory = Setting::KeepHistory.defaultValue != 0;          // translations go into the history
    // pieces translated before come from the translation memory
    bool ReuseTranslations = Setting::ReuseTranslations.defaultValue != 0;
    // Translate first asks when the text looks written in another language than the source
    bool DetectSource = Setting::DetectSource.defaultValue != 0;
    bool KeepFormatting = Setting::KeepFormatting.defaultValue != 0;  // Translate keeps the source's formatting
};

// Start-up: opens the key for reading only and reads, each only when its value
// exists and in this order, "src", "trg", "lang", "character", "voice" and
// "UseProxy" with the proxy rule: true reads the four proxy strings as far as
// they exist; false takes the use flag from SystemProxyDetect; then
// "SerbianCyrillic", "KeepHistory", "ReuseTranslations", "DetectSource" and
// "KeepFormatting". A missing key
// reads nothing. A value of the wrong type throws RegistryError; what was read
// before it is already in `settings`.
void readStartupSettings(RegStore& store, WindowSettings& settings);

// Shut-down: opens the key for writing, creating it, and writes "src" and
// "trg" (each only when 0 or more), "lang", "character", "voice", "UseProxy"
// and, with the use flag on, the four proxy strings, then "SerbianCyrillic", "KeepHistory",
// "ReuseTranslations", "DetectSource" and "KeepFormatting". `characterName` and
// `voice` are the values of this run. False when the key could not be opened
// or written; the settings of this run are then lost.
bool writeShutdownSettings(RegStore& store, const WindowSettings& settings, const QString& characterName,
                           const QString& voice);
