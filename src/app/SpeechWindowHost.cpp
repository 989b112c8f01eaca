#include "SpeechWindowHost.h"

#include "LanguageListDelegate.h"
#include "SpokenWordHighlight.h"
#include "MainWindow.h"
#include "VoiceTable.h"

#include <QMenuBar>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QToolButton>

namespace {

VoiceHost::Pane paneOf(const QTextEdit* pane, const QComboBox* list, SpokenWordHighlight& words)
{
    const QTextCursor cursor = pane->textCursor();
    // the spoken words' places are in what is read: the selection, or else the whole text
    const QString selection = cursor.selection().toPlainText();
    return {pane->toPlainText(), selection, list->currentText(),
            words.follow(selection.isEmpty() ? 0 : cursor.selectionStart())};
}

}  // namespace

SpeechWindowHost::SpeechWindowHost(MainWindow& form)
    : m_form(form), m_sourceWords(new SpokenWordHighlight(form.sourcePane)),
      m_targetWords(new SpokenWordHighlight(form.targetPane))
{}

QAction* SpeechWindowHost::characterItem(const QString& characterId) const
{
    // the items' object names are their characters' IDs with a 2: "Merlin2", "Genie2", ...
    for (QAction* item : {m_form.merlinItem, m_form.genieItem, m_form.peedyItem, m_form.robbyItem})
        if (!characterId.isEmpty() && item->objectName() == characterId + u'2')
            return item;
    return nullptr;
}

bool SpeechWindowHost::characterItemChecked(const QString& characterId)
{
    const QAction* item = characterItem(characterId);
    return item && item->isChecked();
}

void SpeechWindowHost::checkCharacterItem(const QString& characterId)
{
    const QAction* checked = characterItem(characterId);
    for (QAction* item : {m_form.merlinItem, m_form.genieItem, m_form.peedyItem, m_form.robbyItem})
        item->setChecked(item == checked);
}

void SpeechWindowHost::currentCharacterChanged()
{
    m_form.readAloudButton->setEnabled(m_form.CurrentCharacter != nullptr);
}

QPoint SpeechWindowHost::clientOrigin() const
{
    const QWidget* menu = m_form.menuWidget();
    return menu && !menu->isHidden() ? QPoint(0, menu->geometry().bottom() + 1) : QPoint(0, 0);
}

QRect SpeechWindowHost::sourcePaneGeometry()
{
    m_form.layOutBeforeShow();
    return QRect(m_form.sourcePane->mapTo(&m_form, QPoint(0, 0)) - clientOrigin(), m_form.sourcePane->size());
}

QPoint SpeechWindowHost::clientToScreen(QPoint client)
{
    m_form.layOutBeforeShow();
    return m_form.mapToGlobal(client + clientOrigin());
}

void SpeechWindowHost::installAgentCore() { m_form.installAgent(); }

void SpeechWindowHost::installCharacter(const QString& characterId)
{
    const std::pair<const char*, void (MainWindow::*)()> installers[] = {{"Merlin", &MainWindow::installMerlin},
                                                                         {"Genie", &MainWindow::installGenie},
                                                                         {"Peedy", &MainWindow::installPeedy},
                                                                         {"Robby", &MainWindow::installRobby}};
    for (const auto& [id, install] : installers)
        if (characterId == QLatin1String(id))
            (m_form.*install)();
}

void SpeechWindowHost::checkVoiceItem(const QString& voiceName)
{
    const Voice* voice = VoiceTable::byVoiceName(voiceName);
    for (QAction* item : m_form.voiceItems())
        item->setChecked(voice && item->objectName() == voice->menuItem);
}

VoiceHost::Pane SpeechWindowHost::targetPane() { return paneOf(m_form.targetPane, m_form.targetList, *m_targetWords); }
VoiceHost::Pane SpeechWindowHost::sourcePane() { return paneOf(m_form.sourcePane, m_form.sourceList, *m_sourceWords); }
bool SpeechWindowHost::readTargetOption() { return m_form.readTargetItem->isChecked(); }
bool SpeechWindowHost::readSourceOption() { return m_form.readSourceItem->isChecked(); }
bool SpeechWindowHost::identifyLanguageOption() { return m_form.IdentifyLang->isChecked(); }
void SpeechWindowHost::installSpeechEngine(const QString& installer) { m_form.installSpeechEngine(installer); }
bool SpeechWindowHost::speechEngineFetched(const QString& installer) { return m_form.speechEngineFetched(installer); }
