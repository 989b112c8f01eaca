#pragma once

#include <QString>

#include <functional>
#include <stdexcept>

// A failed request to the character layer; what() is the message the
// application's error report shows. Every character call may throw it.
class AgentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Follows one Speak request: each word of its text as it starts to sound (its
// place in that text), then its end, spoken out, cut or dropped. Either may be empty.
struct SpeechProgress {
    std::function<void(int position, int length)> word;
    std::function<void()> ended;
};

// One loaded character (the window's CurrentCharacter). Requests return at
// once and run in order, one queue per character.
class AgentCharacter {
public:
    virtual ~AgentCharacter() = default;

    virtual void show(bool fast) = 0;
    // Leaves the screen (animated unless fast); the character stays loaded.
    virtual void hide(bool fast) = 0;
    // Glides to a screen point; coordinates are 16-bit as the callers pass them.
    // speed is the time the glide takes, in milliseconds (0: at once).
    virtual void moveTo(qint16 x, qint16 y, int speed) = 0;
    // An animation by name, without regard to case: "Wave", "THINK". A name
    // the character does not have is skipped.
    virtual void play(const QString& animation) = 0;
    // Speaks with a word balloon, queued after earlier requests. The language
    // and speech mode are the ones set when Speak is called.
    virtual void speak(const QString& text, const QString& url = QString()) = 0;
    // As Speak, telling `progress` how the request goes; a character that cannot
    // tell its words says at once that it has ended.
    virtual void speakFollowed(const QString& text, const SpeechProgress& progress)
    {
        speak(text);
        if (progress.ended)
            progress.ended();
    }
    // Breaks off what the character is doing and drops every queued request.
    virtual void stop() = 0;

    // A Windows language ID (1033, 2057, ...); reading returns the last value written.
    virtual void setLanguageId(int languageId) = 0;
    virtual int languageId() const = 0;
    // A speech-mode GUID in braces; reading returns the last value written.
    virtual void setTtsModeId(const QString& modeId) = 0;
    virtual QString ttsModeId() const = 0;

    // A command of the character's own pop-up menu; adding a name again
    // replaces that command.
    virtual void addCommand(const QString& name, const QString& caption, int voice, int enabled, bool visible) = 0;
};

// What the user chose in a character's pop-up menu.
struct AgentUserInput {
    QString CharacterID;
    QString Name;  // the command's name as added
};

// The window's agent control (MainWindow::characterStage): connects to the character layer and
// loads characters by ID. Failures throw AgentError.
class AgentControl {
public:
    virtual ~AgentControl() = default;

    // Connecting fails when the Agent core is not installed.
    virtual void setConnected(bool connected) = 0;
    virtual bool connected() const = 0;
    // Loads the character file loadKey (a file name) from the characters
    // folder; a character already loaded under this ID is replaced.
    virtual void load(const QString& characterId, const QString& loadKey) = 0;
    // The loaded character with this ID; owned by the control.
    virtual AgentCharacter* character(const QString& characterId) = 0;
    // Takes the character off the screen and forgets it; an ID that is not
    // loaded is ignored.
    virtual void unload(const QString& characterId) = 0;

    // Events, raised on the window's thread; any may be left empty. A command and a
    // double-click arrive once the character's window has finished with the user's event, so
    // a handler may wait (download, message box) and may unload the character.
    std::function<void(const AgentUserInput& input)> OnCommand;
    std::function<void(const QString& characterId)> OnDblClick;
    std::function<void(const QString& characterId)> OnIdleStart;
};
