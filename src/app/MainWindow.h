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
class CharacterStage;
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
class TranslationOptions;
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
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

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
    CharacterStage* characterStage = nullptr;
    // the window's transfer component: downloads of converters, components and the version file
    TTransfer* transfer = nullptr;
    QString OpenedFileName;     // the document last opened into the source pane
    FileOpenDialog openDialog;  // the Open command's dialog: title, filter, proposed name
    // The system language asked the program to end before its window opened.
    bool EndRequested = false;

    // --- the widgets the window's controllers share; the rest are its own ---
    QTextEdit* sourcePane = nullptr;
    QTextEdit* targetPane = nullptr;
    LanguageComboBox* sourceList = nullptr;
    LanguageComboBox* targetList = nullptr;
    SourceLanguageBar* SourceBar = nullptr;  // above the panes: "The text looks French. Translate from French?"
    QToolButton* translateButton = nullptr;
    QToolButton* readAloudButton = nullptr;
    QAction *merlinItem, *genieItem, *peedyItem, *robbyItem;
    QAction *readSourceItem, *readTargetItem, *americanEnglishVoice, *britishEnglishVoice, *dutchVoice, *frenchVoice,
        *germanVoice, *italianVoice, *japaneseVoice, *koreanVoice, *portugueseVoice, *russianVoice, *spanishVoice;
    QMenu* miscMenu = nullptr;
    QAction *IdentifyLang, *ReadAloud, *CopyToClipboard;

    // First panel of the status bar; repaintNow repaints it before returning.
    void setStatus(const QString& text, bool repaintNow);
    QString statusText() const;
    // The proxy and the Misc menu's options that every translation of the window follows.
    TranslationOptions& options() { return *m_options; }
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
    QList<QAction*> voiceItems() const
    {
        return {americanEnglishVoice, britishEnglishVoice, dutchVoice,      frenchVoice,  germanVoice, italianVoice,
                japaneseVoice,        koreanVoice,         portugueseVoice, russianVoice, spanishVoice};
    }
    // Lays the window out as it will first be shown, so that places in it can
    // be told before it is on screen; nothing once it is shown.
    void layOutBeforeShow();

    // The character's notifications.
    void characterCommand(const AgentUserInput& input);
    void characterDoubleClicked();
    void characterIdle();

    // Runs a handler body; an unexpected failure ends it and goes to the
    // application's error report. Returns false when it failed.
    static bool runHandler(const std::function<void()>& body);

public slots:
    // the commands the command line, D-Bus, the character and the tests also give
    void formClose();
    void translateOrStop();  // a run under way is stopped
    void detectLanguage();
    void swapLanguages();
    void readAloud();
    void markSpeechMenu();
    void showInGerman();
    void openChosenDocument();
    void translateDocument();  // File > Translate document...
    void installAgent();
    void installMerlin();
    void installGenie();
    void installPeedy();
    void installRobby();
    void installSpeechEngine(const QString& file);
    bool speechEngineFetched(const QString& file);
    bool isWow64();

private slots:
    void formCreate();
    void formResize();
    void startTranslation();
    void openHistory();
    void clearHistory();
    void readSourceChosen();
    void readTargetChosen();
    void chooseMerlin();
    void chooseGenie();
    void choosePeedy();
    void chooseRobby();
    void chooseVoice(QAction* item);  // every voice item of the Text-To-Speech menu
    void showInEnglish();
    void showInFrench();
    void showInSpanish();
    void showInItalian();
    void showInPortuguese();
    void showInDutch();
    void editProxy();
    void applyPaneFont();
    void openManual();
    void checkForUpdate();
    void openHomepage();
    void showAbout();
    void newDocument();
    void saveDocument();
    void saveDocumentAs();
    void exportMemory();
    void importMemory();
    void printDocument();
    void setUpPrinter();
    void beforeFind();
    void findText();
    void findFromDialog(SearchDialog* dialog);
    void findNext();
    void replaceText();
    void openDocument();  // the Open dialog, then openChosenDocument
    void fontSizeChanged();
    void fontNameChanged();
    void colourChanged();
    void installAgentPackage();
    void installSapi4();
    void installSapi5();
    void installAmericanEnglishEngine();
    void installBritishEnglishEngine();
    void installDutchEngine();
    void installFrenchEngine();
    void installGermanEngine();
    void installItalianEngine();
    void installJapaneseEngine();
    void installKoreanEngine();
    void installPortugueseEngine();
    void installRussianEngine();
    void installSpanishEngine();
    void installAllComponents();

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

    // Start-up's installs of missing components (MainWindowComponents.cpp).
    void runStartupInstallRule();
    // start-up and shut-down steps of the character and its voice
    void loadStartCharacter();
    void restoreVoice();
    void greetAtStart();
    QString storeVoice();

    QToolBar* toolBar = nullptr;    // first row
    QToolBar* formatBar = nullptr;  // second row: paragraph and font controls
    QToolButton *newButton = nullptr, *openButton = nullptr, *translateDocumentButton = nullptr;
    QToolButton *saveButton = nullptr, *printButton = nullptr;
    QToolButton *cutButton = nullptr, *copyButton = nullptr, *pasteButton = nullptr;
    QToolButton *boldButton = nullptr, *italicButton = nullptr, *underlineButton = nullptr;
    QComboBox* domainList = nullptr;
    QToolButton* swapButton = nullptr;
    QToolButton *alignRightButton = nullptr, *alignCenterButton = nullptr, *alignLeftButton = nullptr;
    QToolButton* bulletsButton = nullptr;
    QComboBox *fontSizeBox = nullptr, *fontNameBox = nullptr, *colourBox = nullptr;
    QStatusBar* statusLine = nullptr;
    QAction *SerbianCyrillic, *KeepHistory, *ReuseTranslations, *DetectSource, *KeepFormatting;
    QLabel* statusPanel = nullptr;  // the status bar's one panel

    // menus, in their order on screen
    QMenu* fileMenu = nullptr;
    QAction *newItem, *openItem, *translateDocumentItem, *saveItem, *saveAsItem, *printItem, *printerSetupItem,
        *exitItem;
    QAction *exportMemoryItem, *importMemoryItem;
    QMenu* editMenu = nullptr;
    QAction *cutItem, *copyItem, *pasteItem, *findItem, *findNextItem, *replaceItem, *undoItem, *selectAllItem;
    QMenu* translateMenu = nullptr;
    QAction *translateItem, *detectLanguageItem, *historyItem;
    QMenu* optionsMenu = nullptr;
    QMenu* interfaceLanguageMenu = nullptr;
    QAction *englishItem, *frenchItem, *spanishItem, *germanItem, *italianItem, *portugueseItem, *dutchItem;
    QMenu* characterMenu = nullptr;
    QMenu* speechMenu = nullptr;
    QAction *clearHistoryItem, *proxyServerItem;
    QMenu* toolsMenu = nullptr;
    QAction* installAgentItem;
    QMenu* installCharacterMenu = nullptr;
    QAction *installMerlinItem, *installGenieItem, *installPeedyItem, *installRobbyItem;
    QMenu* installSapiMenu = nullptr;
    QAction *installSapi4Item, *installSapi5Item;
    QMenu* installEngineMenu = nullptr;
    QAction *americanEnglishEngineItem, *britishEnglishEngineItem, *dutchEngineItem, *frenchEngineItem,
        *germanEngineItem, *italianEngineItem, *japaneseEngineItem, *koreanEngineItem, *portugueseEngineItem,
        *russianEngineItem, *spanishEngineItem;
    QAction* installAllItem;
    QMenu* helpMenu = nullptr;
    QAction *manualItem, *updateItem, *homepageItem, *aboutItem;
    // the panes' shared pop-up menu
    QMenu* paneMenu = nullptr;
    QAction *paneCutItem, *paneCopyItem, *panePasteItem, *paneSelectAllItem;

    PaneArea* m_paneArea = nullptr;
    TranslationOptions* m_options = nullptr;
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
