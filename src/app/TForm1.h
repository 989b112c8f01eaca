#pragma once

#include "FileOpenDialog.h"
#include "LanguageListDelegate.h"
#include "ProxySettings.h"
#include "WindowsVersion.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class AgentCharacter;
class CharacterManagement;
class ComponentInstaller;
class SpeechWindowHost;
class TAgent;
class VoiceSelection;
struct AgentUserInput;
class PaneArea;
class QComboBox;
class QLabel;
class QMenu;
class QTextEdit;
class QToolBar;
class QToolButton;
class TTransfer;
class TranslationController;
class DocumentCommands;
class DocumentTranslationCommands;
class DocumentOpening;
class HistoryCommands;
class LiveUpdate;
class MemoryFiles;
class PaneEditing;
class SearchDialog;
class SourceDetection;
class SourceLanguageBar;

// The main window: source pane, target pane, the toolbar with the domain and
// language lists, the menus and the status line. Widgets and actions carry
// their layout names (also as object names, which the interface languages
// look them up by); handlers keep their layout names and stay short, the
// work itself lives in the subsystem libraries.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    static const QString EditionCaption;  // " Pro 6.2"
    static const QString IdleStatus;      // "Ready."

    // --- window state ---
    int WindowsVersion = 0;
    QString WindowsName;
    bool AgentUnavailable = false;
    QString InterfaceLanguage;
    ::WindowsVersion::Query VersionQuery;
    AgentCharacter* CurrentCharacter = nullptr;  // the character on screen; none until one is loaded
    QString CharacterName;
    QString StartCharacter;  // the stored "character", read at start-up
    QString VoiceName;
    // the agent control: characters and their windows; connected and loaded only when asked
    TAgent* Agent1 = nullptr;
    // the window's transfer component: downloads of converters, components and the version file
    TTransfer* Transfer1 = nullptr;
    ProxySettings Proxy;
    QString OpenedFileName;          // the document last opened into the source pane
    FileOpenDialog FileOpen1Dialog;  // the Open command's dialog: title, filter, proposed name
    // The system language asked the program to end before its window opened.
    bool EndRequested = false;

    // --- components ---
    QToolBar* ToolBar1 = nullptr;        // first row
    QToolBar* ToolBar1Row2 = nullptr;    // second row: paragraph and font controls
    QToolButton* ToolButton1 = nullptr;  // New
    QToolButton* ToolButton2 = nullptr;  // Open
    QToolButton* ToolButtonTranslateDocument = nullptr;
    QToolButton* ToolButton3 = nullptr;   // Save
    QToolButton* ToolButton4 = nullptr;   // Print
    QToolButton* ToolButton6 = nullptr;   // Cut
    QToolButton* ToolButton7 = nullptr;   // Copy
    QToolButton* ToolButton8 = nullptr;   // Paste
    QToolButton* ToolButton10 = nullptr;  // Bold
    QToolButton* ToolButton11 = nullptr;  // Italic
    QToolButton* ToolButton12 = nullptr;  // Underline
    QComboBox* wl_glossary = nullptr;
    LanguageComboBox* wl_srclang = nullptr;
    LanguageComboBox* wl_trglang = nullptr;
    QToolButton* ToolButton20 = nullptr;  // Translate
    QToolButton* ToolButton21 = nullptr;  // Swap
    QToolButton* ToolButton22 = nullptr;  // Read aloud
    QToolButton* ToolButtonAlignRight = nullptr;
    QToolButton* ToolButtonAlignCenter = nullptr;
    QToolButton* ToolButtonAlignLeft = nullptr;
    QToolButton* ToolButtonBullets = nullptr;
    QComboBox* ComboBox1 = nullptr;          // font size
    QComboBox* ComboBox2 = nullptr;          // font name
    QComboBox* ColorBox1 = nullptr;          // text colour
    QTextEdit* RichEdit1 = nullptr;          // source pane
    QTextEdit* RichEdit2 = nullptr;          // target pane
    SourceLanguageBar* SourceBar = nullptr;  // above the panes: "The text looks French. Translate from French?"
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel = nullptr;  // the status bar's one panel

    // menus, in their order on screen
    QMenu* Nouveau1 = nullptr;  // "&File"
    QAction *sfsf1, *Ouvrir1, *TranslateDocument1, *Enregistrer1, *Enregistrersous1, *Print1, *N2, *Quitter1;
    QAction *ExportMemory1, *ImportMemory1;
    QMenu* Edit1 = nullptr;
    QAction *Couper2, *Copier1, *Coller1, *Find1, *FindNext1, *Replace1, *Dfaire1, *outslectionner1;
    QMenu* ranslate1 = nullptr;
    QAction *ranslate2, *DetectLanguage1, *History1;
    QMenu* Options1 = nullptr;
    QMenu* InterfaceLanguage1 = nullptr;
    QAction *English1, *Francais1, *Spanish2, *German2, *Italian2, *Portuguese1, *Dutch2;
    QMenu* Character1 = nullptr;
    QAction *Merlin2, *Genie2, *Peedy2, *Robby2;
    QMenu* TS1 = nullptr;
    QAction *ReadSrc, *ReadTgt, *AE, *BE, *NL, *FR, *DE, *IT, *JA, *KO, *PT, *RU, *ES;
    QMenu* Misc1 = nullptr;
    QAction *IdentifyLang, *ReadAloud, *CopyToClipboard, *SerbianCyrillic, *KeepHistory, *ReuseTranslations;
    QAction *DetectSource, *KeepFormatting;
    QAction *ClearHistory1, *ProxyServer1;
    QMenu* ools1 = nullptr;
    QAction* Install1;
    QMenu* Install2 = nullptr;
    QAction *Merlin1, *Genie1, *Peedy1, *Robby1;
    QMenu* InstallSAPI1 = nullptr;
    QAction *N401, *N501;
    QMenu* InstallTextToSpeechEngine1 = nullptr;
    QAction *USEnglish1, *BritishEnglish1, *Dutch1, *French1, *German1, *Italian1, *Japanese1, *Korean1,
        *PortugueseBrazil1, *Russian1, *Spanish1;
    QAction* Installalloptionalcomponents1;
    QMenu* Help1 = nullptr;
    QAction *Manual1, *U1, *Homepage1, *About1;
    // the panes' shared pop-up menu
    QMenu* PopupMenu1 = nullptr;
    QAction *Cut1, *Copy1, *Paste1, *SelectAll1;

    // First panel of the status bar; repaintNow repaints it before returning.
    void setStatus(const QString& text, bool repaintNow);
    QString statusText() const;
    // The translation runs: the job behind the Translate command shown in the panes.
    TranslationController& translation() { return *m_translation; }
    // A translation run is under way (the window stays live meanwhile).
    bool translating() const;
    // The document commands (save, print, find, pane font) and the pane editing actions.
    DocumentCommands& documents() { return *m_documents; }
    DocumentOpening& opening() { return *m_opening; }
    // The History window, clearing the history and stepping through it.
    HistoryCommands& history() { return *m_history; }
    // File > Translate document...
    DocumentTranslationCommands& documentTranslation() { return *m_documentTranslation; }
    PaneEditing* editing() const { return m_editing.get(); }
    // The character and voice commands behind the Character and Text-To-Speech menus.
    CharacterManagement& characters() { return *m_characters; }
    VoiceSelection& voices() { return *m_voices; }
    // The eleven voice items of the Text-To-Speech menu, in menu order.
    QList<QAction*> voiceItems() const { return {AE, BE, NL, FR, DE, IT, JA, KO, PT, RU, ES}; }
    // Lays the window out as it will first be shown, so that places in it can
    // be told before it is on screen; nothing once it is shown.
    void layOutBeforeShow();

    // The character's notifications.
    void agent1Command(const AgentUserInput& input);
    void agent1DblClick();
    void agent1IdleStart();

    // Runs a handler body; an unexpected failure ends it and goes to the
    // application's error report. Returns false when it failed.
    static bool runHandler(const std::function<void()>& body);

public slots:
    void formCreate();
    void formClose();
    void formResize();
    void toolButton20Click();
    void ranslate2Click();
    void detectLanguage1Click();
    void history1Click();
    void clearHistory1Click();
    void toolButton21Click();
    void toolButton22Click();
    void readSrcClick();
    void readTgtClick();
    void merlin2Click();
    void genie2Click();
    void peedy2Click();
    void robby2Click();
    void aeClick(QAction* item);  // every voice item of the Text-To-Speech menu
    void tS1Click();
    void english1Click();
    void francais1Click();
    void spanish2Click();
    void german2Click();
    void italian2Click();
    void portuguese1Click();
    void dutch2Click();
    void proxyServer1Click();
    void applyPaneFont();
    // help menu
    void manual1Click();
    void u1Click();
    void homepage1Click();
    void about1Click();
    // documents and editing
    void toolButton1Click();
    void sfsf1Click();
    void enregistrerExecute();
    void nouveauExecute();
    void enregistrersous1Click();
    void exportMemory1Click();
    void importMemory1Click();
    void print1Click();
    void toolButton4Click();
    void filePrintSetup1Execute();
    void searchFind1BeforeExecute();
    void searchFind1Execute();
    void searchFind1FindDialogFind(SearchDialog* dialog);
    void searchFindNext1Execute();
    void searchReplace1Execute();
    void fileOpen1Execute();  // the Open dialog, then FileOpen1Accept
    void fileOpen1Accept();
    void translateDocument1Click();  // File > Translate document...
    void comboBox1Change();
    void comboBox2Change();
    void colorBox1Change();

    // --- optional component installation ---
public slots:
    void install1Click();
    void installAgentPackage();
    void merlin1Click();
    void genie1Click();
    void peedy1Click();
    void robby1Click();
    void n401Click();
    void n501Click();
    void installSpeechEngine(const QString& file);
    bool speechEngineFetched(const QString& file);
    void usEnglish1Click();
    void britishEnglish1Click();
    void dutch1Click();
    void french1Click();
    void german1Click();
    void italian1Click();
    void japanese1Click();
    void korean1Click();
    void portugueseBrazil1Click();
    void russian1Click();
    void spanish1Click();
    void installalloptionalcomponents1Click();
    bool isWow64();

private:
    // The Tools menu's entries, connected and enabled.
    void wireComponents();
    ComponentInstaller& components();
    std::unique_ptr<ComponentInstaller> m_components;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildPanes();
    void buildToolBar();
    void buildMenus();
    void fillFontNames();
    void readSettings();
    void applyInterfaceLanguage();
    void applyLanguageColumn(int column);
    void selectPosition(QComboBox* list, int position);
    void wireDocuments();
    void wireFontBoxes();
    void wireHelp();

    // Runs a command once the event under way (a menu's, a button's) has been handled: a
    // command that waits with the window live must not run inside a widget's handler.
    void afterEvent(const std::function<void()>& command);
    void wireCharacter();
    void enableCharacterCommands();
    void switchCharacter(const char* characterId);

    // Start-up's installs of missing components (TForm1Components.cpp).
    void runStartupInstallRule();
    // start-up and shut-down steps of the character and its voice
    void loadStartCharacter();
    void restoreVoice();
    void greetAtStart();
    QString storeVoice();

    PaneArea* m_paneArea = nullptr;
    TranslationController* m_translation = nullptr;
    bool m_closed = false;
    std::unique_ptr<SourceDetection> m_detection;
    std::unique_ptr<DocumentCommands> m_documents;
    std::unique_ptr<DocumentOpening> m_opening;
    std::unique_ptr<DocumentTranslationCommands> m_documentTranslation;
    std::unique_ptr<LiveUpdate> m_update;
    HistoryCommands* m_history = nullptr;
    MemoryFiles* m_memoryFiles = nullptr;
    // destroyed with the window's members, before the panes it watches
    std::unique_ptr<PaneEditing> m_editing;
    // each refers to the ones before it
    std::unique_ptr<SpeechWindowHost> m_speechHost;
    std::unique_ptr<VoiceSelection> m_voices;
    std::unique_ptr<CharacterManagement> m_characters;
};
