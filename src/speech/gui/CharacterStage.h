#pragma once

#include "AgentCharacter.h"

#include <QObject>

#include <memory>
#include <vector>

class AgentClock;
class CharacterCore;
class CharacterWindow;
class SpeechOutput;

// The agent control of the main window (MainWindow::characterStage): checks that the Agent core
// is installed, loads characters from the characters folder below W and
// shows each in a window of its own. Characters are matched by ID without
// regard to case.
class CharacterStage : public QObject, public AgentControl {
    Q_OBJECT
public:
    // Installed components, below Folders::WindowsFolder(), matched without regard to case.
    static const QString CoreFile;          // "msagent/agentsvr.exe"
    static const QString CharactersFolder;  // "msagent/chars"

    // clock: null for the system clock; it must outlive the control.
    explicit CharacterStage(QObject* parent = nullptr, AgentClock* clock = nullptr);
    ~CharacterStage() override;

    // What characters loaded from now on speak through; it must outlive the
    // control. Unset, the first load starts espeak-ng speech (EspeakSpeech,
    // set up from the environment) for all of them.
    void setSpeechOutput(SpeechOutput* speech) { m_speech = speech; }

    void setConnected(bool connected) override;
    bool connected() const override { return m_connected; }
    void load(const QString& characterId, const QString& loadKey) override;
    AgentCharacter* character(const QString& characterId) override;
    void unload(const QString& characterId) override;

    // A loaded character's core and window; null when it is not loaded.
    CharacterCore* core(const QString& characterId) const;
    CharacterWindow* window(const QString& characterId) const;

private:
    struct Loaded;
    Loaded* find(const QString& characterId) const;
    // Whether this window still shows the character loaded under this ID.
    bool stillShown(const QString& characterId, const CharacterWindow* window) const;

    AgentClock& m_clock;
    std::unique_ptr<SpeechOutput> m_ownSpeech;
    SpeechOutput* m_speech = nullptr;
    bool m_connected = false;
    std::vector<std::unique_ptr<Loaded>> m_loaded;
    // unloaded characters whose windows are still to go: one may be unloaded
    // from inside its own event
    std::vector<std::unique_ptr<Loaded>> m_unloaded;
};
