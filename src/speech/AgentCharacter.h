#pragma once

#include <QString>

#include <stdexcept>

// A failed request to the character layer; what() is the message the
// application's error report shows. Every character call may throw it.
class AgentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One loaded character (the window's CurrentCharacter). Requests return at
// once and run in order, one queue per character.
class AgentCharacter {
public:
    virtual ~AgentCharacter() = default;

    virtual void Show(bool fast) = 0;
    // Glides to a screen point; coordinates are 16-bit as the callers pass them.
    virtual void MoveTo(qint16 x, qint16 y, int speed) = 0;
    // An animation by name: "Wave", "THINK".
    virtual void Play(const QString& animation) = 0;
    // Speaks with a word balloon, queued after earlier requests.
    virtual void Speak(const QString& text, const QString& url = QString()) = 0;
    // Breaks off what the character is doing.
    virtual void Stop() = 0;

    // A Windows language ID (1033, 2057, ...); reading returns the last value written.
    virtual void SetLanguageID(int languageId) = 0;
    virtual int LanguageID() const = 0;
    // A speech-mode GUID in braces.
    virtual void SetTTSModeID(const QString& modeId) = 0;

    // A command of the character's own pop-up menu.
    virtual void AddCommand(const QString& name, const QString& caption, int voice, int enabled,
                            bool visible) = 0;
};

// The window's agent control (Agent1): connects to the character layer and
// loads characters by ID. Failures throw AgentError.
class AgentControl {
public:
    virtual ~AgentControl() = default;

    virtual void SetConnected(bool connected) = 0;
    virtual void Load(const QString& characterId, const QString& loadKey) = 0;
    // The loaded character with this ID; owned by the control.
    virtual AgentCharacter* Character(const QString& characterId) = 0;
    virtual void Unload(const QString& characterId) = 0;
};
