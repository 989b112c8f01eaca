#include "MainWindow.h"

#include "AgentCharacter.h"
#include "CharacterManagement.h"
#include "CharacterWindow.h"
#include "ComponentInstaller.h"
#include "DocumentCommands.h"
#include "DocumentOpening.h"
#include "DocumentTranslationCommands.h"
#include "HelpLinks.h"
#include "HistoryCommands.h"
#include "InterfaceCaptions.h"
#include "InterfaceLanguage.h"
#include "LanguageListDelegate.h"
#include "LanguageTable.h"
#include "LiveUpdate.h"
#include "MemoryFiles.h"
#include "PaneDropOpener.h"
#include "PaneArea.h"
#include "SourceLanguageBar.h"
#include "PaneColours.h"
#include "PaneEditing.h"
#include "RegStore.h"
#include "SearchDialog.h"
#include "CharacterStage.h"
#include "SourcePane.h"
#include "SourceDetection.h"
#include "SpeechWindowHost.h"
#include "AboutBox.h"
#include "ProxyDialog.h"
#include "TTransfer.h"
#include "TranslationController.h"
#include "TranslationOptions.h"
#include "ToolbarIcons.h"
#include "UserPrompts.h"
#include "VoiceSelection.h"
#include "WindowObjectNames.h"
#include "WindowSettings.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <tuple>

using ToolbarIcons::Glyph;

const QString MainWindow::EditionCaption = QStringLiteral(" Pro 6.2");
const QString MainWindow::IdleStatus = QStringLiteral("Ready.");

namespace {

constexpr int ClientWidth = 781;
constexpr int ClientHeight = 486;
constexpr int TargetPaneHeight = 212;
constexpr int ButtonHeight = 26;

// A menu entry with its layout name; entries start disabled and are enabled
// once the command behind them exists.
QAction* addItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& keys = {})
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(keys);
    action->setEnabled(false);
    return action;
}

QMenu* addSubmenu(QMenu* parent, const char* name, const QString& caption)
{
    QMenu* menu = parent->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    return menu;
}

QAction* addCheckItem(QMenu* menu, const char* name, const QString& caption, bool checked)
{
    QAction* action = addItem(menu, name, caption);
    action->setCheckable(true);
    action->setChecked(checked);
    action->setEnabled(true);
    return action;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QLatin1String(ObjectName::window));
    transfer = new TTransfer(this);
    transfer->setObjectName(QLatin1String(ObjectName::transfer));
    characterStage = new CharacterStage(this);
    characterStage->setObjectName(QLatin1String(ObjectName::characterStage));
    buildPanes();
    buildToolBar();
    buildMenus();
    m_options =
        new TranslationOptions({SerbianCyrillic, KeepHistory, ReuseTranslations, DetectSource, KeepFormatting}, this);
    statusLine = statusBar();
    statusLine->setObjectName(QLatin1String(ObjectName::statusLine));
    statusPanel = new QLabel(statusLine);
    statusPanel->setObjectName(QLatin1String(ObjectName::statusPanel));
    statusLine->addWidget(statusPanel, 1);
    wireDocuments();
    m_translation = new TranslationController(*this);
    connect(m_translation, &TranslationController::readAloudWanted, this, [this] {
        readTargetItem->setChecked(true);
        readAloud();
    });
    connect(m_translation, &TranslationController::runStarted, this, [this] {
        if (CurrentCharacter)
            runHandler([this] { m_characters->thinkOverSource(); });
    });
    m_detection = std::make_unique<SourceDetection>(*this);
    m_history = new HistoryCommands(*this);
    // the clearing asks first: once the menu is done with its event
    for (const auto& [item, handler] :
         {std::pair{historyItem, &MainWindow::openHistory}, {clearHistoryItem, &MainWindow::clearHistory}}) {
        item->setEnabled(true);
        connect(item, &QAction::triggered, this, handler, Qt::QueuedConnection);
    }
    wireHelp();
    wireCharacter();
    wireComponents();

    // wide enough for the whole tool bar, so no button's caption is cut short
    resize(std::max(ClientWidth, toolBar->sizeHint().width()), ClientHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    formCreate();
    enableCharacterCommands();
    wireFontBoxes();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildPanes()
{
    sourcePane = new QTextEdit;
    sourcePane->setObjectName(QLatin1String(ObjectName::sourcePane));
    sourcePane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    targetPane = new QTextEdit;
    targetPane->setObjectName(QLatin1String(ObjectName::targetPane));
    targetPane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (QTextEdit* pane : {sourcePane, targetPane}) {
        pane->setAcceptRichText(true);
        pane->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(pane, &QWidget::customContextMenuRequested, this,
                [this, pane](const QPoint& at) { paneMenu->popup(pane->viewport()->mapToGlobal(at)); });
    }
    // the bar takes room above the panes only while it asks
    auto* client = new QWidget(this);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    SourceBar = new SourceLanguageBar(client);
    m_paneArea = new PaneArea(sourcePane, targetPane, TargetPaneHeight, client);
    column->addWidget(SourceBar);
    column->addWidget(m_paneArea, 1);
    connect(m_paneArea, &PaneArea::laidOut, this, &MainWindow::formResize);
    setCentralWidget(client);
}

void MainWindow::buildToolBar()
{
    toolBar = addToolBar(QString());
    toolBar->setObjectName(QLatin1String(ObjectName::toolBar));
    addToolBarBreak();
    formatBar = addToolBar(QString());
    formatBar->setObjectName(QLatin1String(ObjectName::formatBar));
    for (QToolBar* bar : {toolBar, formatBar}) {
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setIconSize(QSize(16, 16));
        bar->toggleViewAction()->setEnabled(false);
    }
    setContextMenuPolicy(Qt::NoContextMenu);

    auto button = [](QToolBar* bar, const char* name, Glyph glyph, const QString& hint) {
        auto* b = new QToolButton(bar);
        b->setObjectName(QLatin1String(name));
        b->setIcon(ToolbarIcons::icon(glyph));
        b->setToolTip(hint);
        b->setAutoRaise(true);
        b->setFixedHeight(ButtonHeight);
        b->setMinimumWidth(ButtonHeight - 3);
        b->setEnabled(false);
        bar->addWidget(b);
        return b;
    };
    auto combo = [](QToolBar* bar, QComboBox* box, const char* name, int width) {
        box->setObjectName(QLatin1String(name));
        box->setFixedWidth(width);
        box->setFixedHeight(ButtonHeight - 4);
        bar->addWidget(box);
        return box;
    };

    newButton = button(toolBar, ObjectName::newButton, Glyph::New, QStringLiteral("New"));
    openButton = button(toolBar, ObjectName::openButton, Glyph::Open, QStringLiteral("Open"));
    translateDocumentButton = button(toolBar, ObjectName::translateDocumentButton, Glyph::TranslateDocument,
                                     QStringLiteral("Translate a document"));
    saveButton = button(toolBar, ObjectName::saveButton, Glyph::Save, QStringLiteral("Save"));
    printButton = button(toolBar, ObjectName::printButton, Glyph::Print, QStringLiteral("Print"));
    toolBar->addSeparator();
    cutButton = button(toolBar, ObjectName::cutButton, Glyph::Cut, QStringLiteral("Cut"));
    copyButton = button(toolBar, ObjectName::copyButton, Glyph::Copy, QStringLiteral("Copy"));
    pasteButton = button(toolBar, ObjectName::pasteButton, Glyph::Paste, QStringLiteral("Paste"));
    toolBar->addSeparator();
    boldButton = button(toolBar, ObjectName::boldButton, Glyph::Bold, QStringLiteral("Bold"));
    italicButton = button(toolBar, ObjectName::italicButton, Glyph::Italic, QStringLiteral("Italic"));
    underlineButton = button(toolBar, ObjectName::underlineButton, Glyph::Underline, QStringLiteral("Underline"));
    toolBar->addSeparator();

    domainList = combo(toolBar, new QComboBox, ObjectName::domainList, 100);
    domainList->addItems(LanguageTable::domainNames());
    domainList->setMaxVisibleItems(22);
    domainList->setCurrentIndex(LanguageTable::DefaultDomain);
    domainList->setToolTip(QStringLiteral("Terminology"));
    sourceList = new LanguageComboBox;
    targetList = new LanguageComboBox;
    for (QComboBox* list : {static_cast<QComboBox*>(sourceList), static_cast<QComboBox*>(targetList)})
        list->addItems(LanguageTable::displayNames());
    combo(toolBar, sourceList, ObjectName::sourceList, 118)->setCurrentIndex(LanguageTable::DefaultSource);
    combo(toolBar, targetList, ObjectName::targetList, 118)->setCurrentIndex(LanguageTable::DefaultTarget);
    sourceList->setToolTip(QStringLiteral("Source Language"));
    targetList->setToolTip(QStringLiteral("Target Language"));

    translateButton = button(toolBar, ObjectName::translateButton, Glyph::Translate, QStringLiteral("Translate"));
    translateButton->setEnabled(true);
    translateButton->setText(QStringLiteral("Translate"));
    translateButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(translateButton, &QToolButton::clicked, this, &MainWindow::translateOrStop);
    swapButton =
        button(toolBar, ObjectName::swapButton, Glyph::Swap, QStringLiteral("Swap source and target language"));
    swapButton->setEnabled(true);
    swapButton->setText(QStringLiteral("&Swap"));
    swapButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(swapButton, &QToolButton::clicked, this, &MainWindow::swapLanguages);
    readAloudButton = button(toolBar, ObjectName::readAloudButton, Glyph::ReadAloud, QStringLiteral("Read text aloud"));

    alignRightButton =
        button(formatBar, ObjectName::alignRightButton, Glyph::AlignRight, QStringLiteral("Align right"));
    alignCenterButton = button(formatBar, ObjectName::alignCenterButton, Glyph::AlignCenter, QStringLiteral("Centre"));
    alignLeftButton = button(formatBar, ObjectName::alignLeftButton, Glyph::AlignLeft, QStringLiteral("Align left"));
    bulletsButton = button(formatBar, ObjectName::bulletsButton, Glyph::Bullets, QStringLiteral("Bullets"));
    formatBar->addSeparator();
    fontSizeBox = combo(formatBar, new QComboBox, ObjectName::fontSizeBox, 48);
    fontSizeBox->setEditable(true);
    fontSizeBox->addItems({"6", "8", "10", "12", "14", "16", "20", "26", "32", "48"});
    fontSizeBox->setMaxVisibleItems(12);
    fontSizeBox->setCurrentText(QStringLiteral("10"));
    fontNameBox = combo(formatBar, new QComboBox, ObjectName::fontNameBox, 170);
    colourBox = combo(formatBar, new QComboBox, ObjectName::colourBox, 110);
    // standard, extended and system colours, with their names
    for (const auto& [name, colour] : PaneColours::all(palette()))
        colourBox->addItem(ToolbarIcons::colourSwatch(colour), name, colour);
    colourBox->setCurrentIndex(0);
}

void MainWindow::buildMenus()
{
    QMenuBar* bar = menuBar();
    auto topMenu = [bar](const char* name, const QString& caption) {
        QMenu* menu = bar->addMenu(caption);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };

    fileMenu = topMenu(ObjectName::fileMenu, QStringLiteral("&File"));
    newItem = addItem(fileMenu, ObjectName::newItem, QStringLiteral("&New"), QKeySequence(QStringLiteral("Ctrl+N")));
    openItem = addItem(fileMenu, ObjectName::openItem, QStringLiteral("Open"), QKeySequence(QStringLiteral("Ctrl+O")));
    translateDocumentItem =
        addItem(fileMenu, ObjectName::translateDocumentItem, QString::fromUtf8("&Translate document…"));
    saveItem = addItem(fileMenu, ObjectName::saveItem, QStringLiteral("&Save"), QKeySequence(QStringLiteral("Ctrl+S")));
    saveAsItem = addItem(fileMenu, ObjectName::saveAsItem, QStringLiteral("Save &As ..."));
    fileMenu->addSeparator();
    exportMemoryItem =
        addItem(fileMenu, ObjectName::exportMemoryItem, QString::fromUtf8("&Export translation memory…"));
    importMemoryItem =
        addItem(fileMenu, ObjectName::importMemoryItem, QString::fromUtf8("&Import translation memory…"));
    fileMenu->addSeparator();
    printItem =
        addItem(fileMenu, ObjectName::printItem, QStringLiteral("&Print"), QKeySequence(QStringLiteral("Ctrl+P")));
    printerSetupItem = addItem(fileMenu, ObjectName::printerSetupItem, QStringLiteral("Setup Printer"));
    fileMenu->addSeparator();
    exitItem = addItem(fileMenu, ObjectName::exitItem, QStringLiteral("E&xit"));
    exitItem->setEnabled(true);
    connect(exitItem, &QAction::triggered, this, &QWidget::close);

    editMenu = topMenu(ObjectName::editMenu, QStringLiteral("&Edit"));
    cutItem = addItem(editMenu, ObjectName::cutItem, QStringLiteral("Cu&t"), QKeySequence(QStringLiteral("Ctrl+X")));
    copyItem =
        addItem(editMenu, ObjectName::copyItem, QString::fromUtf8("&Copier"), QKeySequence(QStringLiteral("Ctrl+C")));
    pasteItem =
        addItem(editMenu, ObjectName::pasteItem, QStringLiteral("Co&ller"), QKeySequence(QStringLiteral("Ctrl+V")));
    editMenu->addSeparator();
    findItem =
        addItem(editMenu, ObjectName::findItem, QStringLiteral("&Find..."), QKeySequence(QStringLiteral("Ctrl+F")));
    findNextItem =
        addItem(editMenu, ObjectName::findNextItem, QStringLiteral("Find &Next"), QKeySequence(QStringLiteral("F3")));
    replaceItem =
        addItem(editMenu, ObjectName::replaceItem, QStringLiteral("&Replace"), QKeySequence(QStringLiteral("Ctrl+R")));
    editMenu->addSeparator();
    undoItem =
        addItem(editMenu, ObjectName::undoItem, QString::fromUtf8("&Défaire"), QKeySequence(QStringLiteral("Ctrl+Z")));
    selectAllItem = addItem(editMenu, ObjectName::selectAllItem, QString::fromUtf8("&Tout sélectionner"),
                            QKeySequence(QStringLiteral("Ctrl+A")));

    translateMenu = topMenu(ObjectName::translateMenu, QStringLiteral("&Translate"));
    translateItem = addItem(translateMenu, ObjectName::translateItem, QStringLiteral("&Translate"),
                            QKeySequence(QStringLiteral("Ctrl+T")));
    translateItem->setEnabled(true);
    connect(translateItem, &QAction::triggered, this, &MainWindow::startTranslation);
    detectLanguageItem = addItem(translateMenu, ObjectName::detectLanguageItem, QStringLiteral("&Detect language"),
                                 QKeySequence(QStringLiteral("Ctrl+D")));
    detectLanguageItem->setEnabled(true);
    connect(detectLanguageItem, &QAction::triggered, this, &MainWindow::detectLanguage);
    historyItem = addItem(translateMenu, ObjectName::historyItem, QString::fromUtf8("&History…"),
                          QKeySequence(QStringLiteral("Ctrl+H")));

    optionsMenu = topMenu(ObjectName::optionsMenu, QStringLiteral("&Options"));
    interfaceLanguageMenu =
        addSubmenu(optionsMenu, ObjectName::interfaceLanguageMenu, QStringLiteral("Interface Language"));
    auto* languages = new QActionGroup(this);
    const std::pair<QAction**, const char*> languageItems[] = {
        {&englishItem, ObjectName::englishItem}, {&frenchItem, ObjectName::frenchItem},
        {&spanishItem, ObjectName::spanishItem}, {&germanItem, ObjectName::germanItem},
        {&italianItem, ObjectName::italianItem}, {&portugueseItem, ObjectName::portugueseItem},
        {&dutchItem, ObjectName::dutchItem}};
    for (int i = 0; i < 7; ++i) {
        QAction* item =
            addCheckItem(interfaceLanguageMenu, languageItems[i].second, interfaceLanguageNames()[i], i == 0);
        languages->addAction(item);
        *languageItems[i].first = item;
    }
    connect(englishItem, &QAction::triggered, this, &MainWindow::showInEnglish);
    connect(frenchItem, &QAction::triggered, this, &MainWindow::showInFrench);
    connect(spanishItem, &QAction::triggered, this, &MainWindow::showInSpanish);
    connect(germanItem, &QAction::triggered, this, &MainWindow::showInGerman);
    connect(italianItem, &QAction::triggered, this, &MainWindow::showInItalian);
    connect(portugueseItem, &QAction::triggered, this, &MainWindow::showInPortuguese);
    connect(dutchItem, &QAction::triggered, this, &MainWindow::showInDutch);

    // the character and voice items are exclusive; their handlers place the check marks
    characterMenu = addSubmenu(optionsMenu, ObjectName::characterMenu, QStringLiteral("Character"));
    const std::tuple<QAction**, const char*, const char*> characterItems[] = {
        {&merlinItem, ObjectName::merlinItem, "Merlin"},
        {&genieItem, ObjectName::genieItem, "Genie"},
        {&peedyItem, ObjectName::peedyItem, "Peedy"},
        {&robbyItem, ObjectName::robbyItem, "Robby"}};
    for (auto [item, name, caption] : characterItems)
        *item = addCheckItem(characterMenu, name, QLatin1String(caption), item == &merlinItem);

    speechMenu = addSubmenu(optionsMenu, ObjectName::speechMenu, QStringLiteral("Text-To-Speech"));
    readSourceItem =
        addCheckItem(speechMenu, ObjectName::readSourceItem, QStringLiteral("Read the source text"), false);
    readTargetItem = addCheckItem(speechMenu, ObjectName::readTargetItem, QStringLiteral("Read the target text"), true);
    connect(readSourceItem, &QAction::triggered, this, &MainWindow::readSourceChosen);
    connect(readTargetItem, &QAction::triggered, this, &MainWindow::readTargetChosen);
    speechMenu->addSeparator();
    const std::pair<QAction**, const char*> voiceItems[] = {{&americanEnglishVoice, "American English"},
                                                            {&britishEnglishVoice, "British English"},
                                                            {&dutchVoice, "Dutch"},
                                                            {&frenchVoice, "French"},
                                                            {&germanVoice, "German"},
                                                            {&italianVoice, "Italian"},
                                                            {&japaneseVoice, "Japanese"},
                                                            {&koreanVoice, "Korean"},
                                                            {&portugueseVoice, "Portuguese(Brazil)"},
                                                            {&russianVoice, "Russian"},
                                                            {&spanishVoice, "Spanish"}};
    const char* voiceNames[] = {
        ObjectName::americanEnglishVoice, ObjectName::britishEnglishVoice, ObjectName::dutchVoice,
        ObjectName::frenchVoice,          ObjectName::germanVoice,         ObjectName::italianVoice,
        ObjectName::japaneseVoice,        ObjectName::koreanVoice,         ObjectName::portugueseVoice,
        ObjectName::russianVoice,         ObjectName::spanishVoice};
    for (int i = 0; i < 11; ++i)
        *voiceItems[i].first = addCheckItem(speechMenu, voiceNames[i], QLatin1String(voiceItems[i].second), i == 0);

    miscMenu = addSubmenu(optionsMenu, ObjectName::miscMenu, QStringLiteral("Misc"));
    IdentifyLang =
        addCheckItem(miscMenu, ObjectName::identifyLang, QStringLiteral("Identify language before read aloud"), true);
    ReadAloud =
        addCheckItem(miscMenu, ObjectName::readAloud, QStringLiteral("Read aloud results after translation"), false);
    CopyToClipboard = addCheckItem(miscMenu, ObjectName::copyToClipboard,
                                   QStringLiteral("Copy results to clipboard after translation"), false);
    SerbianCyrillic = addCheckItem(miscMenu, ObjectName::serbianCyrillic, QStringLiteral("Serbian in Cyrillic"), false);
    KeepHistory =
        addCheckItem(miscMenu, ObjectName::keepHistory, QStringLiteral("Keep a history of translations"), true);
    ReuseTranslations =
        addCheckItem(miscMenu, ObjectName::reuseTranslations, QStringLiteral("Reuse earlier translations"), true);
    DetectSource = addCheckItem(miscMenu, ObjectName::detectSource, QStringLiteral("Detect the source language"), true);
    // greyed out until the service says the route takes HTML documents
    KeepFormatting = addCheckItem(miscMenu, ObjectName::keepFormatting, QStringLiteral("Keep formatting"), false);
    KeepFormatting->setEnabled(false);
    clearHistoryItem = addItem(optionsMenu, ObjectName::clearHistoryItem, QString::fromUtf8("Clear &history…"));
    optionsMenu->addSeparator();
    proxyServerItem = addItem(optionsMenu, ObjectName::proxyServerItem, QStringLiteral("Proxy Server..."));
    proxyServerItem->setEnabled(true);
    connect(proxyServerItem, &QAction::triggered, this, &MainWindow::editProxy, Qt::QueuedConnection);

    toolsMenu = topMenu(ObjectName::toolsMenu, QStringLiteral("&Tools"));
    installAgentItem = addItem(toolsMenu, ObjectName::installAgentItem, QStringLiteral("Install MS Agent Components"));
    installCharacterMenu =
        addSubmenu(toolsMenu, ObjectName::installCharacterMenu, QStringLiteral("Install Characters"));
    installMerlinItem = addItem(installCharacterMenu, ObjectName::installMerlinItem, QStringLiteral("Merlin"));
    installGenieItem = addItem(installCharacterMenu, ObjectName::installGenieItem, QStringLiteral("Genie"));
    installPeedyItem = addItem(installCharacterMenu, ObjectName::installPeedyItem, QStringLiteral("Peedy"));
    installRobbyItem = addItem(installCharacterMenu, ObjectName::installRobbyItem, QStringLiteral("Robby"));
    installSapiMenu = addSubmenu(toolsMenu, ObjectName::installSapiMenu, QStringLiteral("Install SAPI Runtime"));
    installSapi4Item = addItem(installSapiMenu, ObjectName::installSapi4Item, QStringLiteral("4.0"));
    installSapi5Item = addItem(installSapiMenu, ObjectName::installSapi5Item, QStringLiteral("5.0"));
    installEngineMenu =
        addSubmenu(toolsMenu, ObjectName::installEngineMenu, QStringLiteral("Install Text-To-Speech Engine"));
    const std::pair<QAction**, const char*> engineItems[] = {
        {&americanEnglishEngineItem, ObjectName::americanEnglishEngineItem},
        {&britishEnglishEngineItem, ObjectName::britishEnglishEngineItem},
        {&dutchEngineItem, ObjectName::dutchEngineItem},
        {&frenchEngineItem, ObjectName::frenchEngineItem},
        {&germanEngineItem, ObjectName::germanEngineItem},
        {&italianEngineItem, ObjectName::italianEngineItem},
        {&japaneseEngineItem, ObjectName::japaneseEngineItem},
        {&koreanEngineItem, ObjectName::koreanEngineItem},
        {&portugueseEngineItem, ObjectName::portugueseEngineItem},
        {&russianEngineItem, ObjectName::russianEngineItem},
        {&spanishEngineItem, ObjectName::spanishEngineItem}};
    for (int i = 0; i < 11; ++i)
        *engineItems[i].first = addItem(installEngineMenu, engineItems[i].second, QLatin1String(voiceItems[i].second));
    toolsMenu->addSeparator();
    installAllItem = addItem(toolsMenu, ObjectName::installAllItem, QStringLiteral("Install all optional components"));

    helpMenu = topMenu(ObjectName::helpMenu, QStringLiteral("&Help"));
    manualItem = addItem(helpMenu, ObjectName::manualItem, QStringLiteral("Manual"));
    helpMenu->addSeparator();
    updateItem = addItem(helpMenu, ObjectName::updateItem, QStringLiteral("Update"));
    homepageItem = addItem(helpMenu, ObjectName::homepageItem, QStringLiteral("Homepage"));
    helpMenu->addSeparator();
    aboutItem = addItem(helpMenu, ObjectName::aboutItem, QStringLiteral("About"));

    paneMenu = new QMenu(this);
    paneMenu->setObjectName(QLatin1String(ObjectName::paneMenu));
    paneCutItem = addItem(paneMenu, ObjectName::paneCutItem, QStringLiteral("Cut"));
    paneCopyItem = addItem(paneMenu, ObjectName::paneCopyItem, QStringLiteral("&Copy"));
    panePasteItem = addItem(paneMenu, ObjectName::panePasteItem, QStringLiteral("&Paste"));
    paneMenu->addSeparator();
    paneSelectAllItem = addItem(paneMenu, ObjectName::paneSelectAllItem, QStringLiteral("&Select All"));
}

// --- start-up, shut-down, resize ---

void MainWindow::formCreate()
{
    runHandler([this] {
        AgentUnavailable = false;
        VersionQuery = ::WindowsVersion::current();
        const auto detected = detectInterfaceLanguage(VersionQuery.platform == ::WindowsVersion::Platform::Win9x);
        if (!detected) {
            EndRequested = true;  // simplified Chinese: the program ends before its window opens
            return;
        }
        InterfaceLanguage = *detected;
        WindowsVersion = ::WindowsVersion::detect(VersionQuery);
        WindowsName = ::WindowsVersion::name(WindowsVersion);
        OpenedFileName.clear();
        m_documents->resultFile().clear();
        setStatus(IdleStatus, false);
        fillFontNames();
        readSettings();
        AgentUnavailable = ::WindowsVersion::agentUnavailable(WindowsVersion);
        if (!AgentUnavailable) {
            runStartupInstallRule();
            loadStartCharacter();
        }
        // the panes hold Unicode text: there is no character set to pick
        QApplication::setWindowIcon(ToolbarIcons::applicationIcon());
        setWindowIcon(ToolbarIcons::applicationIcon());
        setWindowTitle(QCoreApplication::applicationName() + EditionCaption);
        applyInterfaceLanguage();
        if (!AgentUnavailable) {
            restoreVoice();
            greetAtStart();
        }
        applyPaneFont();
    });
}

void MainWindow::fillFontNames()
{
    fontNameBox->clear();
    fontNameBox->addItems(QFontDatabase::families());
    const QString current = sourcePane->font().family();
    if (fontNameBox->findText(current) < 0)
        fontNameBox->addItem(current);
    fontNameBox->setCurrentIndex(fontNameBox->findText(current));
}

void MainWindow::selectPosition(QComboBox* list, int position)
{
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

void MainWindow::readSettings()
{
    WindowSettings settings;
    settings.SourcePosition = sourceList->currentIndex();
    settings.TargetPosition = targetList->currentIndex();
    settings.InterfaceLanguage = InterfaceLanguage;
    settings.StartCharacter = StartCharacter;
    settings.VoiceName = VoiceName;
    settings.Proxy = m_options->proxy;
    // what was read before a failing value stays in force
    auto apply = [&] {
        selectPosition(sourceList, settings.SourcePosition);
        selectPosition(targetList, settings.TargetPosition);
        InterfaceLanguage = settings.InterfaceLanguage;
        StartCharacter = settings.StartCharacter;
        VoiceName = settings.VoiceName;
        m_options->readFrom(settings);
    };
    RegStore store;
    try {
        readStartupSettings(store, settings);
    } catch (...) {
        apply();
        throw;
    }
    apply();
}

void MainWindow::formClose()
{
    if (m_closed)
        return;
    m_closed = true;
    runHandler([this] {
        WindowSettings settings;
        settings.SourcePosition = sourceList->currentIndex();
        settings.TargetPosition = targetList->currentIndex();
        settings.InterfaceLanguage = InterfaceLanguage;
        m_options->writeTo(settings);
        const QString voice = CurrentCharacter ? storeVoice() : VoiceName;
        RegStore store;
        writeShutdownSettings(store, settings, CharacterName, voice);
    });
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    formClose();
    event->accept();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // the character came on screen first; it stays above the window even where no window manager keeps it there
    if (CharacterWindow* character = characterStage->window(CharacterName))
        character->raise();
}

void MainWindow::formResize()
{
    // the target pane takes the smaller half when the total is odd
    m_paneArea->setTargetHeight((sourcePane->height() + targetPane->height()) / 2);
}

bool MainWindow::runHandler(const std::function<void()>& body)
{
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        UserPrompts::instance().errorReport(QString::fromUtf8(e.what()));
    } catch (...) {
        UserPrompts::instance().errorReport(QStringLiteral("An unexpected error occurred."));
    }
    return false;
}

// --- translation ---

bool MainWindow::translating() const { return m_translation->running(); }

// The button stops a run under way; the menu item and Ctrl+T only start one.
void MainWindow::translateOrStop() { m_translation->running() ? m_translation->stop() : m_translation->translate(); }

void MainWindow::startTranslation()
{
    if (!translating())
        translateOrStop();
}

void MainWindow::detectLanguage()
{
    runHandler([this] { m_detection->detectLanguage(); });
}
void MainWindow::openHistory()
{
    runHandler([this] { m_history->open(); });
}
void MainWindow::clearHistory()
{
    runHandler([this] { m_history->clear(); });
}

void MainWindow::swapLanguages()
{
    const int source = sourceList->currentIndex();
    const int target = targetList->currentIndex();
    sourceList->setCurrentIndex(target);
    targetList->setCurrentIndex(source);
}

void MainWindow::readAloud()
{
    runHandler([this] { m_voices->readAloud(); });
}

void MainWindow::readSourceChosen()
{
    // choosing either read option flips both (the chosen one has flipped itself)
    readTargetItem->setChecked(!readTargetItem->isChecked());
}

void MainWindow::readTargetChosen() { readSourceItem->setChecked(!readSourceItem->isChecked()); }

// --- interface language, proxy, pane font ---

void MainWindow::applyLanguageColumn(int column)
{
    InterfaceLanguage = interfaceLanguageNames().at(column);
    applyInterfaceCaptions(this, column);
    m_history->applyLanguage(column);
}

void MainWindow::showInEnglish() { applyLanguageColumn(0); }
void MainWindow::showInFrench() { applyLanguageColumn(1); }
void MainWindow::showInSpanish() { applyLanguageColumn(2); }
void MainWindow::showInGerman() { applyLanguageColumn(3); }
void MainWindow::showInItalian() { applyLanguageColumn(4); }
void MainWindow::showInPortuguese() { applyLanguageColumn(5); }
void MainWindow::showInDutch() { applyLanguageColumn(6); }

void MainWindow::applyInterfaceLanguage()
{
    const int column = interfaceLanguageColumn(InterfaceLanguage);
    if (column >= 0)
        applyLanguageColumn(column);
}

void MainWindow::editProxy() { ProxyDialog::editProxySettings(this, m_options->proxy); }

void MainWindow::applyPaneFont()
{
    m_documents->applyPaneFont(fontSizeBox->currentText(), fontNameBox->currentText(),
                               colourBox->currentData().value<QColor>());
}

// --- documents and editing ---

void MainWindow::wireDocuments()
{
    m_memoryFiles = new MemoryFiles(*this);
    m_documents = std::make_unique<DocumentCommands>(
        sourcePane, targetPane, [this](const QString& text) { setStatus(text, false); }, this);
    m_opening = std::make_unique<DocumentOpening>(
        ::sourcePane(sourcePane), *transfer, openDialog,
        [this](const QString& text, bool repaintNow) { setStatus(text, repaintNow); });
    m_documentTranslation = std::make_unique<DocumentTranslationCommands>(
        this, *transfer,
        [this] {
            TranslationRequest languages = TranslationRequest::betweenPositions(
                {}, sourceList->currentIndex(), targetList->currentIndex(), m_options->proxy);
            languages.serbianCyrillic = m_options->serbianCyrillic();
            return languages;
        },
        [this](const QString& text) { setStatus(text, false); });
    new PaneDropOpener(
        sourcePane,
        [this](const QString& path) {
            openDialog.FileName = path;
            openChosenDocument();
        },
        // a file dropped while another loads takes its place
        [] { return true; });
    const std::pair<QAction*, void (MainWindow::*)()> fileItems[] = {
        {newItem, &MainWindow::newDocument},
        {openItem, &MainWindow::openDocument},
        {translateDocumentItem, &MainWindow::translateDocument},
        {saveItem, &MainWindow::saveDocument},
        {saveAsItem, &MainWindow::saveDocumentAs},
        {printItem, &MainWindow::printDocument},
        {exportMemoryItem, &MainWindow::exportMemory},
        {importMemoryItem, &MainWindow::importMemory},
        {printerSetupItem, &MainWindow::setUpPrinter},
        {findItem, &MainWindow::findText},
        {findNextItem, &MainWindow::findNext},
        {replaceItem, &MainWindow::replaceText}};
    // dialogs, converter downloads and print jobs wait with the window live: they run once the
    // menu or button is done with its event
    for (const auto& [item, handler] : fileItems) {
        item->setEnabled(true);
        connect(item, &QAction::triggered, this, handler, Qt::QueuedConnection);
    }
    const std::pair<QToolButton*, void (MainWindow::*)()> fileButtons[] = {
        {newButton, &MainWindow::newDocument},
        {openButton, &MainWindow::openDocument},
        {translateDocumentButton, &MainWindow::translateDocument},
        {saveButton, &MainWindow::saveDocument},
        {printButton, &MainWindow::printDocument}};
    for (const auto& [button, handler] : fileButtons) {
        button->setEnabled(true);
        connect(button, &QToolButton::clicked, this, handler, Qt::QueuedConnection);
    }

    m_editing = std::make_unique<PaneEditing>(sourcePane, targetPane, this);
    using Command = PaneEditing::Command;
    for (QAction* item : {cutItem, paneCutItem})
        m_editing->bind(item, Command::Cut);
    for (QAction* item : {copyItem, paneCopyItem})
        m_editing->bind(item, Command::Copy);
    for (QAction* item : {pasteItem, panePasteItem})
        m_editing->bind(item, Command::Paste);
    for (QAction* item : {selectAllItem, paneSelectAllItem})
        m_editing->bind(item, Command::SelectAll);
    m_editing->bind(undoItem, Command::Undo);
    m_editing->bind(cutButton, Command::Cut);
    m_editing->bind(copyButton, Command::Copy);
    m_editing->bind(pasteButton, Command::Paste);
    PaneEditing::showOn(boldButton, m_editing->boldAction);
    PaneEditing::showOn(italicButton, m_editing->italicAction);
    PaneEditing::showOn(underlineButton, m_editing->underlineAction);
    PaneEditing::showOn(alignRightButton, m_editing->alignRightAction);
    PaneEditing::showOn(alignCenterButton, m_editing->alignCenterAction);
    PaneEditing::showOn(alignLeftButton, m_editing->alignLeftAction);
    PaneEditing::showOn(bulletsButton, m_editing->bulletsAction);
}

void MainWindow::wireFontBoxes()
{
    // connected once start-up has filled the boxes, so every later change applies the font
    connect(fontSizeBox, &QComboBox::currentTextChanged, this, &MainWindow::fontSizeChanged);
    connect(fontNameBox, &QComboBox::currentTextChanged, this, &MainWindow::fontNameChanged);
    connect(colourBox, &QComboBox::currentIndexChanged, this, &MainWindow::colourChanged);
}

void MainWindow::openDocument()
{
    const QString chosen = UserPrompts::instance().openDocumentName(openDialog.Title, openDialog.FileName,
                                                                    openDialog.nameFilters(), openDialog.DefaultExt);
    if (chosen.isEmpty())
        return;
    openDialog.FileName = chosen;
    openChosenDocument();
}

void MainWindow::openChosenDocument()
{
    runHandler([this] {
        OpenedFileName = openDialog.FileName;
        m_opening->accept(OpenedFileName);
    });
}

void MainWindow::translateDocument()
{
    runHandler([this] { m_documentTranslation->translateDocument(); });
}

void MainWindow::newDocument() { m_documents->New(); }
void MainWindow::saveDocument()
{
    runHandler([this] { m_documents->save(); });
}
void MainWindow::saveDocumentAs()
{
    runHandler([this] { m_documents->saveAs(); });
}
void MainWindow::exportMemory()
{
    runHandler([this] { m_memoryFiles->Export(); });
}
void MainWindow::importMemory()
{
    runHandler([this] { m_memoryFiles->import(); });
}
void MainWindow::printDocument()
{
    runHandler([this] { m_documents->print(); });
}
void MainWindow::setUpPrinter() { m_documents->setupPrinter(); }
void MainWindow::beforeFind() { m_documents->findBeforeExecute(); }
void MainWindow::findText() { m_documents->find(); }
void MainWindow::findFromDialog(SearchDialog* dialog) { m_documents->findDialogFind(dialog); }
void MainWindow::findNext() { m_documents->findNext(); }
void MainWindow::replaceText() { m_documents->replace(); }
void MainWindow::fontSizeChanged()
{
    runHandler([this] { applyPaneFont(); });
}
void MainWindow::fontNameChanged()
{
    runHandler([this] { applyPaneFont(); });
}
void MainWindow::colourChanged()
{
    runHandler([this] { applyPaneFont(); });
}

// --- help menu ---

void MainWindow::wireHelp()
{
    m_update = std::make_unique<LiveUpdate>(*transfer);
    const std::pair<QAction*, void (MainWindow::*)()> helpItems[] = {{manualItem, &MainWindow::openManual},
                                                                     {updateItem, &MainWindow::checkForUpdate},
                                                                     {homepageItem, &MainWindow::openHomepage},
                                                                     {aboutItem, &MainWindow::showAbout}};
    // each opens a browser, a download or a box: once the menu is done with its event
    for (const auto& [item, handler] : helpItems) {
        item->setEnabled(true);
        connect(item, &QAction::triggered, this, handler, Qt::QueuedConnection);
    }
}

void MainWindow::openManual() { HelpLinks::open(HelpLinks::ManualPage); }
void MainWindow::checkForUpdate()
{
    runHandler([this] { m_update->checkForUpdate(); });
}
void MainWindow::openHomepage() { HelpLinks::open(HelpLinks::HomePage); }
void MainWindow::showAbout() { AboutBox::showAbout(this, ToolbarIcons::applicationIcon()); }

// --- the character and its voice ---

void MainWindow::wireCharacter()
{
    m_speechHost = std::make_unique<SpeechWindowHost>(*this);
    m_voices =
        std::make_unique<VoiceSelection>(*m_speechHost, CurrentCharacter, CharacterName, VoiceName, VersionQuery);
    m_characters = std::make_unique<CharacterManagement>(*characterStage, *m_speechHost, *m_voices, CurrentCharacter,
                                                         CharacterName);
    characterStage->OnCommand = [this](const AgentUserInput& input) { characterCommand(input); };
    characterStage->OnDblClick = [this](const QString&) { characterDoubleClicked(); };
    characterStage->OnIdleStart = [this](const QString&) { characterIdle(); };

    // A chosen check item has flipped itself before its handler runs; the
    // handler decides from the mark as it was. Switching characters, choosing
    // voices and reading aloud may fetch and install components and ask
    // questions: they run once the menu or button is done with its event.
    const std::pair<QAction*, void (MainWindow::*)()> characterItems[] = {{merlinItem, &MainWindow::chooseMerlin},
                                                                          {genieItem, &MainWindow::chooseGenie},
                                                                          {peedyItem, &MainWindow::choosePeedy},
                                                                          {robbyItem, &MainWindow::chooseRobby}};
    for (const auto& [item, handler] : characterItems)
        connect(item, &QAction::triggered, this, [this, item, handler] {
            item->setChecked(!item->isChecked());
            afterEvent([this, handler] { (this->*handler)(); });
        });
    for (QAction* item : voiceItems())
        connect(
            item, &QAction::triggered, this, [this, item] { chooseVoice(item); }, Qt::QueuedConnection);
    connect(speechMenu, &QMenu::aboutToShow, this, &MainWindow::markSpeechMenu);
    connect(readAloudButton, &QToolButton::clicked, this, &MainWindow::readAloud, Qt::QueuedConnection);
}

void MainWindow::afterEvent(const std::function<void()>& command)
{
    QMetaObject::invokeMethod(this, command, Qt::QueuedConnection);
}

void MainWindow::enableCharacterCommands()
{
    // no character on the versions that use none; reading aloud needs one on screen
    for (QAction* item : {merlinItem, genieItem, peedyItem, robbyItem})
        item->setEnabled(!AgentUnavailable);
    for (QAction* item : voiceItems())
        item->setEnabled(!AgentUnavailable);
    readAloudButton->setEnabled(CurrentCharacter != nullptr);
}

void MainWindow::layOutBeforeShow()
{
    if (isVisible())
        return;
    // a hidden window has its resize events only when it is shown
    if (layout())
        layout()->activate();
    m_paneArea->setTargetHeight(m_paneArea->targetHeight());
    formResize();
}

void MainWindow::loadStartCharacter()
{
    // a character that cannot be loaded is reported, and the start-up goes on without one
    runHandler([this] { m_characters->loadStartCharacter(StartCharacter); });
}

void MainWindow::restoreVoice() { m_voices->restoreVoice(); }
void MainWindow::greetAtStart() { m_characters->greetAtStart(); }
QString MainWindow::storeVoice() { return m_voices->storeVoice(); }

void MainWindow::switchCharacter(const char* characterId)
{
    runHandler([&] { m_characters->switchCharacter(*CharacterManagement::byId(QLatin1String(characterId))); });
}

void MainWindow::chooseMerlin() { switchCharacter("Merlin"); }
void MainWindow::chooseGenie() { switchCharacter("Genie"); }
void MainWindow::choosePeedy() { switchCharacter("Peedy"); }
void MainWindow::chooseRobby() { switchCharacter("Robby"); }

void MainWindow::chooseVoice(QAction* item)
{
    runHandler([this, item] { m_voices->chooseVoice(item->objectName()); });
}
void MainWindow::markSpeechMenu()
{
    runHandler([this] { m_voices->markSpeechMenu(); });
}

void MainWindow::characterCommand(const AgentUserInput& input)
{
    runHandler([&] { m_characters->characterCommand(input); });
}
void MainWindow::characterDoubleClicked()
{
    runHandler([this] { m_characters->characterDoubleClicked(); });
}
void MainWindow::characterIdle() { m_characters->characterIdle(); }

// --- status line ---

void MainWindow::setStatus(const QString& text, bool repaintNow)
{
    statusPanel->setText(text);
    if (repaintNow)
        statusPanel->repaint();
}

QString MainWindow::statusText() const { return statusPanel->text(); }
