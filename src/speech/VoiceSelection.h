#pragma once

#include "VoiceHost.h"
#include "WindowsVersion.h"

#include <QString>

class AgentCharacter;

// The voice the character speaks in, and reading the panes aloud. The voice
// state lives in the character (its language and speech mode) and in the
// window's VoiceName, the name last chosen from the menu or restored at
// start-up. Without a character nothing is spoken: choosing a voice then
// only marks it in the menu and keeps its name for the next start.
class VoiceSelection {
public:
    // currentCharacter, characterName, voiceName and version are the
    // window's; they must outlive this object. From Windows 7 on every
    // speech engine counts as installed.
    VoiceSelection(VoiceHost& host, AgentCharacter* const& currentCharacter, const QString& characterName,
                   QString& voiceName, const WindowsVersion::Query& version);

    static const QString DownloadRequestTitle;  // "Download Request"

    // A voice item of the Text-To-Speech menu was chosen, by its layout name ("AE", "BE", ...).
    void chooseVoice(const QString& menuItem);
    // Switches the voice (the menu's check marks and VoiceName stay): fetches
    // its engine when its installer was never fetched, sets the language and
    // greets in it. A name that is no voice changes nothing.
    void selectVoice(const QString& voiceName);
    // The Text-To-Speech menu opens: the check mark goes to the voice of the
    // character's language.
    void markSpeechMenu();
    // Sets the speech language for a language list entry; an American or
    // British voice stays for an English entry.
    void identifyVoiceLanguage(const QString& entry);
    // At start-up: the stored voice, chosen as from the menu.
    void restoreVoice();
    // At shut-down: the voice of the character's language, to be stored.
    QString storeVoice();

    // The list entry whose voice reads `text`: the language the detector finds
    // in it, or `entry` (the pane's list entry) when it cannot tell.
    static QString identifiedLanguage(const QString& text, const QString& entry);

    // The engine installer offered for a language list entry.
    static QString speechEngineFile(const QString& entry);
    // Whether the engine for a language list entry counts as installed.
    bool speechEngineReady(const QString& entry) const;

    // The read-aloud command: the target pane, the source pane or both,
    // each its selection or else its whole text.
    void readAloud();

private:
    // Reads one pane; false when it was empty and the command ends.
    bool readPane(const VoiceHost::Pane& pane, const QString& nothingToRead);
    void offerEngine(const QString& entry);

    VoiceHost& m_host;
    AgentCharacter* const& m_character;
    const QString& m_characterName;
    QString& m_voiceName;
    const WindowsVersion::Query& m_version;
};
