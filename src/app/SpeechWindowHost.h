#pragma once

#include "CharacterHost.h"
#include "VoiceHost.h"

#include <memory>

class QAction;
class SpokenWordHighlight;
class MainWindow;

// The main window's side of character management and voice selection: the
// Character and Text-To-Speech menus, the panes with their language lists,
// the read options and the component installers.
class SpeechWindowHost final : public CharacterHost, public VoiceHost {
public:
    explicit SpeechWindowHost(MainWindow& form);

    // --- CharacterHost ---
    bool characterItemChecked(const QString& characterId) override;
    void checkCharacterItem(const QString& characterId) override;
    void currentCharacterChanged() override;
    QRect sourcePaneGeometry() override;
    QPoint clientToScreen(QPoint client) override;
    void installAgentCore() override;
    void installCharacter(const QString& characterId) override;

    // --- VoiceHost ---
    void checkVoiceItem(const QString& voiceName) override;
    Pane targetPane() override;
    Pane sourcePane() override;
    bool readTargetOption() override;
    bool readSourceOption() override;
    bool identifyLanguageOption() override;
    void installSpeechEngine(const QString& installer) override;
    bool speechEngineFetched(const QString& installer) override;

private:
    QAction* characterItem(const QString& characterId) const;
    // Where the client area starts: below the menu bar, which is not part of it.
    QPoint clientOrigin() const;

    MainWindow& m_form;
    // owned by their panes
    SpokenWordHighlight* m_sourceWords;
    SpokenWordHighlight* m_targetWords;
};
