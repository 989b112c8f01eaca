#pragma once

#include "AgentCharacter.h"

#include <QString>

// What voice selection and read-aloud need of the main window: the voice
// items of its Text-To-Speech menu, the two panes with their language
// lists, the read options, and the speech engines' installer.
class VoiceHost {
public:
    virtual ~VoiceHost() = default;

    // Puts the check mark on this voice's item alone; an empty name leaves
    // every voice item unchecked.
    virtual void checkVoiceItem(const QString& voiceName) = 0;

    // A pane as read-aloud takes it.
    struct Pane {
        QString text;       // the whole text
        QString selection;  // the selected text; empty without a selection
        QString language;   // the display name of its language list's entry; empty without one
        // shows in the pane the word being spoken of what is read (its selection or its text)
        SpeechProgress progress;
    };
    virtual Pane targetPane() = 0;
    virtual Pane sourcePane() = 0;
    virtual bool readTargetOption() = 0;
    virtual bool readSourceOption() = 0;
    virtual bool identifyLanguageOption() = 0;

    // Fetches and runs an engine installer ("lhttsfrf.exe"), waiting until it has ended.
    virtual void installSpeechEngine(const QString& installer) = 0;
    // Whether the installer has been fetched once: then its engine counts as installed.
    virtual bool speechEngineFetched(const QString& installer) = 0;
};
