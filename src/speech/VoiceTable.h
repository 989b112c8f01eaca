#pragma once

#include <QString>

#include <span>

// One voice of the Text-To-Speech menu.
struct Voice {
    QString menuItem;         // "AE"
    QString caption;          // "American English"
    QString voiceName;        // "USEnglish": the pop-up command and the stored "voice"
    int languageId;           // Windows language ID
    QString engineInstaller;  // "tv_enua.exe"
    QString greeting;         // said when the voice is chosen
    QString espeakLanguage;   // espeak-ng language code that speaks it
};

// A speech mode (TTSModeID) and the espeak-ng voice variant that gives it its sound.
struct SpeechMode {
    QString modeId;  // GUID in braces, as the callers write it
    QString owner;   // who speaks in it: a character or the British voice
    QString variant;
};

// A row of the list-language table: which engine and language a language-list
// entry reads with.
struct ListLanguage {
    QString entry;  // empty in the last row: any other entry
    bool matchContains;
    QString engineInstaller;
    int languageId;
};

// The voices, speech modes and list languages, and the lookups over them.
class VoiceTable {
public:
    static const QString BritishModeId;

    // The eleven voices in menu order.
    static std::span<const Voice> voices();
    static std::span<const SpeechMode> speechModes();
    // Ends with the row for any other entry.
    static std::span<const ListLanguage> listLanguages();

    // Exact, case-sensitive names; nullptr when there is none.
    static const Voice* byVoiceName(const QString& voiceName);
    static const Voice* byLanguageId(int languageId);
    // Never null: an entry without a row of its own gets the last row.
    static const ListLanguage& byListEntry(const QString& entry);
    // The variant for a mode ID (GUIDs compared without regard to case);
    // empty for an unknown or empty mode: the language's own voice.
    static QString variantFor(const QString& modeId);
    // The engine's folder name under speech/engines: the installer without its extension.
    static QString engineName(const QString& engineInstaller);
};
