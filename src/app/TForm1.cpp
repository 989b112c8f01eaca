#include "TForm1.h"

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
#include "TAgent.h"
#include "SourcePane.h"
#include "SourceDetection.h"
#include "SpeechWindowHost.h"
#include "TForm2.h"
#include "TForm4.h"
#include "TTransfer.h"
#include "TranslationController.h"
#include "ToolbarIcons.h"
#include "UserPrompts.h"
#include "VoiceSelection.h"
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

using ToolbarIcons::Glyph;

const QString TForm1::EditionCaption = QStringLiteral(" Pro 6.2");
const QString TForm1::IdleStatus = QStringLiteral("Ready.");

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

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    Transfer1 = new TTransfer(this);
    Transfer1->setObjectName(QStringLiteral("Transfer1"));
    Agent1 = new TAgent(this);
    Agent1->setObjectName(QStringLiteral("Agent1"));
    buildPanes();
    buildToolBar();
    buildMenus();
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusPanel = new QLabel(StatusBar1);
    StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
    StatusBar1->addWidget(StatusPanel, 1);
    wireDocuments();
    m_translation = new TranslationController(*this);
    m_detection = std::make_unique<SourceDetection>(*this);
    m_history = new HistoryCommands(*this);
    // the clearing asks first: once the menu is done with its event
    for (const auto& [item, handler] :
         {std::pair{History1, &TForm1::history1Click}, {ClearHistory1, &TForm1::clearHistory1Click}}) {
        item->setEnabled(true);
        connect(item, &QAction::triggered, this, handler, Qt::QueuedConnection);
    }
    wireHelp();
    wireCharacter();
    wireComponents();

    // wide enough for the whole tool bar, so no button's caption is cut short
    resize(std::max(ClientWidth, ToolBar1->sizeHint().width()), ClientHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    formCreate();
    enableCharacterCommands();
    wireFontBoxes();
}

TForm1::~TForm1() = default;

void TForm1::buildPanes()
{
    RichEdit1 = new QTextEdit;
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit2 = new QTextEdit;
    RichEdit2->setObjectName(QStringLiteral("RichEdit2"));
    RichEdit2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (QTextEdit* pane : {RichEdit1, RichEdit2}) {
        pane->setAcceptRichText(true);
        pane->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(pane, &QWidget::customContextMenuRequested, this,
                [this, pane](const QPoint& at) { PopupMenu1->popup(pane->viewport()->mapToGlobal(at)); });
    }
    // the bar takes room above the panes only while it asks
    auto* client = new QWidget(this);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    SourceBar = new SourceLanguageBar(client);
    m_paneArea = new PaneArea(RichEdit1, RichEdit2, TargetPaneHeight, client);
    column->addWidget(SourceBar);
    column->addWidget(m_paneArea, 1);
    connect(m_paneArea, &PaneArea::laidOut, this, &TForm1::formResize);
    setCentralWidget(client);
}

void TForm1::buildToolBar()
{
    ToolBar1 = addToolBar(QString());
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    addToolBarBreak();
    ToolBar1Row2 = addToolBar(QString());
    ToolBar1Row2->setObjectName(QStringLiteral("ToolBar1Row2"));
    for (QToolBar* bar : {ToolBar1, ToolBar1Row2}) {
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

    ToolButton1 = button(ToolBar1, "ToolButton1", Glyph::New, QStringLiteral("New"));
    ToolButton2 = button(ToolBar1, "ToolButton2", Glyph::Open, QStringLiteral("Open"));
    ToolButtonTranslateDocument = button(ToolBar1, "ToolButtonTranslateDocument", Glyph::TranslateDocument,
                                         QStringLiteral("Translate a document"));
    ToolButton3 = button(ToolBar1, "ToolButton3", Glyph::Save, QStringLiteral("Save"));
    ToolButton4 = button(ToolBar1, "ToolButton4", Glyph::Print, QStringLiteral("Print"));
    ToolBar1->addSeparator();
    ToolButton6 = button(ToolBar1, "ToolButton6", Glyph::Cut, QStringLiteral("Cut"));
    ToolButton7 = button(ToolBar1, "ToolButton7", Glyph::Copy, QStringLiteral("Copy"));
    ToolButton8 = button(ToolBar1, "ToolButton8", Glyph::Paste, QStringLiteral("Paste"));
    ToolBar1->addSeparator();
    ToolButton10 = button(ToolBar1, "ToolButton10", Glyph::Bold, QStringLiteral("Bold"));
    ToolButton11 = button(ToolBar1, "ToolButton11", Glyph::Italic, QStringLiteral("Italic"));
    ToolButton12 = button(ToolBar1, "ToolButton12", Glyph::Underline, QStringLiteral("Underline"));
    ToolBar1->addSeparator();

    wl_glossary = combo(ToolBar1, new QComboBox, "wl_glossary", 100);
    wl_glossary->addItems(LanguageTable::domainNames());
    wl_glossary->setMaxVisibleItems(22);
    wl_glossary->setCurrentIndex(LanguageTable::DefaultDomain);
    wl_glossary->setToolTip(QStringLiteral("Terminology"));
    wl_srclang = new LanguageComboBox;
    wl_trglang = new LanguageComboBox;
    for (QComboBox* list : {static_cast<QComboBox*>(wl_srclang), static_cast<QComboBox*>(wl_trglang)})
        list->addItems(LanguageTable::displayNames());
    combo(ToolBar1, wl_srclang, "wl_srclang", 118)->setCurrentIndex(LanguageTable::DefaultSource);
    combo(ToolBar1, wl_trglang, "wl_trglang", 118)->setCurrentIndex(LanguageTable::DefaultTarget);
    wl_srclang->setToolTip(QStringLiteral("Source Language"));
    wl_trglang->setToolTip(QStringLiteral("Target Language"));

    ToolButton20 = button(ToolBar1, "ToolButton20", Glyph::Translate, QStringLiteral("Translate"));
    ToolButton20->setEnabled(true);
    ToolButton20->setText(QStringLiteral("Translate"));
    ToolButton20->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(ToolButton20, &QToolButton::clicked, this, &TForm1::toolButton20Click);
    ToolButton21 = button(ToolBar1, "ToolButton21", Glyph::Swap, QStringLiteral("Swap source and target language"));
    ToolButton21->setEnabled(true);
    ToolButton21->setText(QStringLiteral("&Swap"));
    ToolButton21->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(ToolButton21, &QToolButton::clicked, this, &TForm1::toolButton21Click);
    ToolButton22 = button(ToolBar1, "ToolButton22", Glyph::ReadAloud, QStringLiteral("Read text aloud"));

    ToolButtonAlignRight =
        button(ToolBar1Row2, "ToolButtonAlignRight", Glyph::AlignRight, QStringLiteral("Align right"));
    ToolButtonAlignCenter = button(ToolBar1Row2, "ToolButtonAlignCenter", Glyph::AlignCenter, QStringLiteral("Centre"));
    ToolButtonAlignLeft = button(ToolBar1Row2, "ToolButtonAlignLeft", Glyph::AlignLeft, QStringLiteral("Align left"));
    ToolButtonBullets = button(ToolBar1Row2, "ToolButtonBullets", Glyph::Bullets, QStringLiteral("Bullets"));
    ToolBar1Row2->addSeparator();
    ComboBox1 = combo(ToolBar1Row2, new QComboBox, "ComboBox1", 48);
    ComboBox1->setEditable(true);
    ComboBox1->addItems({"6", "8", "10", "12", "14", "16", "20", "26", "32", "48"});
    ComboBox1->setMaxVisibleItems(12);
    ComboBox1->setCurrentText(QStringLiteral("10"));
    ComboBox2 = combo(ToolBar1Row2, new QComboBox, "ComboBox2", 170);
    ColorBox1 = combo(ToolBar1Row2, new QComboBox, "ColorBox1", 110);
    // standard, extended and system colours, with their names
    for (const auto& [name, colour] : PaneColours::all(palette()))
        ColorBox1->addItem(ToolbarIcons::colourSwatch(colour), name, colour);
    ColorBox1->setCurrentIndex(0);
}

void TForm1::buildMenus()
{
    QMenuBar* bar = menuBar();
    auto topMenu = [bar](const char* name, const QString& caption) {
        QMenu* menu = bar->addMenu(caption);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };

    Nouveau1 = topMenu("Nouveau1", QStringLiteral("&File"));
    sfsf1 = addItem(Nouveau1, "sfsf1", QStringLiteral("&New"), QKeySequence(QStringLiteral("Ctrl+N")));
    Ouvrir1 = addItem(Nouveau1, "Ouvrir1", QStringLiteral("Open"), QKeySequence(QStringLiteral("Ctrl+O")));
    TranslateDocument1 = addItem(Nouveau1, "TranslateDocument1", QString::fromUtf8("&Translate document…"));
    Enregistrer1 = addItem(Nouveau1, "Enregistrer1", QStringLiteral("&Save"), QKeySequence(QStringLiteral("Ctrl+S")));
    Enregistrersous1 = addItem(Nouveau1, "Enregistrersous1", QStringLiteral("Save &As ..."));
    Nouveau1->addSeparator();
    ExportMemory1 = addItem(Nouveau1, "ExportMemory1", QString::fromUtf8("&Export translation memory…"));
    ImportMemory1 = addItem(Nouveau1, "ImportMemory1", QString::fromUtf8("&Import translation memory…"));
    Nouveau1->addSeparator();
    Print1 = addItem(Nouveau1, "Print1", QStringLiteral("&Print"), QKeySequence(QStringLiteral("Ctrl+P")));
    N2 = addItem(Nouveau1, "N2", QStringLiteral("Setup Printer"));
    Nouveau1->addSeparator();
    Quitter1 = addItem(Nouveau1, "Quitter1", QStringLiteral("E&xit"));
    Quitter1->setEnabled(true);
    connect(Quitter1, &QAction::triggered, this, &QWidget::close);

    Edit1 = topMenu("Edit1", QStringLiteral("&Edit"));
    Couper2 = addItem(Edit1, "Couper2", QStringLiteral("Cu&t"), QKeySequence(QStringLiteral("Ctrl+X")));
    Copier1 = addItem(Edit1, "Copier1", QString::fromUtf8("&Copier"), QKeySequence(QStringLiteral("Ctrl+C")));
    Coller1 = addItem(Edit1, "Coller1", QStringLiteral("Co&ller"), QKeySequence(QStringLiteral("Ctrl+V")));
    Edit1->addSeparator();
    Find1 = addItem(Edit1, "Find1", QStringLiteral("&Find..."), QKeySequence(QStringLiteral("Ctrl+F")));
    FindNext1 = addItem(Edit1, "FindNext1", QStringLiteral("Find &Next"), QKeySequence(QStringLiteral("F3")));
    Replace1 = addItem(Edit1, "Replace1", QStringLiteral("&Replace"), QKeySequence(QStringLiteral("Ctrl+R")));
    Edit1->addSeparator();
    Dfaire1 = addItem(Edit1, "Dfaire1", QString::fromUtf8("&Défaire"), QKeySequence(QStringLiteral("Ctrl+Z")));
    outslectionner1 = addItem(Edit1, "outslectionner1", QString::fromUtf8("&Tout sélectionner"),
                              QKeySequence(QStringLiteral("Ctrl+A")));

    ranslate1 = topMenu("ranslate1", QStringLiteral("&Translate"));
    ranslate2 = addItem(ranslate1, "ranslate2", QStringLiteral("&Translate"), QKeySequence(QStringLiteral("Ctrl+T")));
    ranslate2->setEnabled(true);
    connect(ranslate2, &QAction::triggered, this, &TForm1::ranslate2Click);
    DetectLanguage1 = addItem(ranslate1, "DetectLanguage1", QStringLiteral("&Detect language"),
                              QKeySequence(QStringLiteral("Ctrl+D")));
    DetectLanguage1->setEnabled(true);
    connect(DetectLanguage1, &QAction::triggered, this, &TForm1::detectLanguage1Click);
    History1 = addItem(ranslate1, "History1", QString::fromUtf8("&History…"), QKeySequence(QStringLiteral("Ctrl+H")));

    Options1 = topMenu("Options1", QStringLiteral("&Options"));
    InterfaceLanguage1 = addSubmenu(Options1, "InterfaceLanguage1", QStringLiteral("Interface Language"));
    auto* languages = new QActionGroup(this);
    const std::pair<QAction**, const char*> languageItems[] = {
        {&English1, "English1"}, {&Francais1, "Francais1"},     {&Spanish2, "Spanish2"}, {&German2, "German2"},
        {&Italian2, "Italian2"}, {&Portuguese1, "Portuguese1"}, {&Dutch2, "Dutch2"}};
    for (int i = 0; i < 7; ++i) {
        QAction* item = addCheckItem(InterfaceLanguage1, languageItems[i].second, interfaceLanguageNames()[i], i == 0);
        languages->addAction(item);
        *languageItems[i].first = item;
    }
    connect(English1, &QAction::triggered, this, &TForm1::english1Click);
    connect(Francais1, &QAction::triggered, this, &TForm1::francais1Click);
    connect(Spanish2, &QAction::triggered, this, &TForm1::spanish2Click);
    connect(German2, &QAction::triggered, this, &TForm1::german2Click);
    connect(Italian2, &QAction::triggered, this, &TForm1::italian2Click);
    connect(Portuguese1, &QAction::triggered, this, &TForm1::portuguese1Click);
    connect(Dutch2, &QAction::triggered, this, &TForm1::dutch2Click);

    // the character and voice items are exclusive; their handlers place the check marks
    Character1 = addSubmenu(Options1, "Character1", QStringLiteral("Character"));
    for (auto [item, name] :
         {std::pair{&Merlin2, "Merlin"}, {&Genie2, "Genie"}, {&Peedy2, "Peedy"}, {&Robby2, "Robby"}})
        *item = addCheckItem(Character1, (std::string(name) + "2").c_str(), QLatin1String(name), item == &Merlin2);

    TS1 = addSubmenu(Options1, "TS1", QStringLiteral("Text-To-Speech"));
    ReadSrc = addCheckItem(TS1, "ReadSrc", QStringLiteral("Read the source text"), false);
    ReadTgt = addCheckItem(TS1, "ReadTgt", QStringLiteral("Read the target text"), true);
    connect(ReadSrc, &QAction::triggered, this, &TForm1::readSrcClick);
    connect(ReadTgt, &QAction::triggered, this, &TForm1::readTgtClick);
    TS1->addSeparator();
    const std::pair<QAction**, const char*> voiceItems[] = {
        {&AE, "American English"}, {&BE, "British English"}, {&NL, "Dutch"},
        {&FR, "French"},           {&DE, "German"},          {&IT, "Italian"},
        {&JA, "Japanese"},         {&KO, "Korean"},          {&PT, "Portuguese(Brazil)"},
        {&RU, "Russian"},          {&ES, "Spanish"}};
    const char* voiceNames[] = {"AE", "BE", "NL", "FR", "DE", "IT", "JA", "KO", "PT", "RU", "ES"};
    for (int i = 0; i < 11; ++i)
        *voiceItems[i].first = addCheckItem(TS1, voiceNames[i], QLatin1String(voiceItems[i].second), i == 0);

    Misc1 = addSubmenu(Options1, "Misc1", QStringLiteral("Misc"));
    IdentifyLang = addCheckItem(Misc1, "IdentifyLang", QStringLiteral("Identify language before read aloud"), true);
    ReadAloud = addCheckItem(Misc1, "ReadAloud", QStringLiteral("Read aloud results after translation"), false);
    CopyToClipboard =
        addCheckItem(Misc1, "CopyToClipboard", QStringLiteral("Copy results to clipboard after translation"), false);
    SerbianCyrillic = addCheckItem(Misc1, "SerbianCyrillic", QStringLiteral("Serbian in Cyrillic"), false);
    KeepHistory = addCheckItem(Misc1, "KeepHistory", QStringLiteral("Keep a history of translations"), true);
    ReuseTranslations = addCheckItem(Misc1, "ReuseTranslations", QStringLiteral("Reuse earlier translations"), true);
    DetectSource = addCheckItem(Misc1, "DetectSource", QStringLiteral("Detect the source language"), true);
    // greyed out until the service says the route takes HTML documents
    KeepFormatting = addCheckItem(Misc1, "KeepFormatting", QStringLiteral("Keep formatting"), false);
    KeepFormatting->setEnabled(false);
    ClearHistory1 = addItem(Options1, "ClearHistory1", QString::fromUtf8("Clear &history…"));
    Options1->addSeparator();
    ProxyServer1 = addItem(Options1, "ProxyServer1", QStringLiteral("Proxy Server..."));
    ProxyServer1->setEnabled(true);
    connect(ProxyServer1, &QAction::triggered, this, &TForm1::proxyServer1Click, Qt::QueuedConnection);

    ools1 = topMenu("ools1", QStringLiteral("&Tools"));
    Install1 = addItem(ools1, "Install1", QStringLiteral("Install MS Agent Components"));
    Install2 = addSubmenu(ools1, "Install2", QStringLiteral("Install Characters"));
    Merlin1 = addItem(Install2, "Merlin1", QStringLiteral("Merlin"));
    Genie1 = addItem(Install2, "Genie1", QStringLiteral("Genie"));
    Peedy1 = addItem(Install2, "Peedy1", QStringLiteral("Peedy"));
    Robby1 = addItem(Install2, "Robby1", QStringLiteral("Robby"));
    InstallSAPI1 = addSubmenu(ools1, "InstallSAPI1", QStringLiteral("Install SAPI Runtime"));
    N401 = addItem(InstallSAPI1, "N401", QStringLiteral("4.0"));
    N501 = addItem(InstallSAPI1, "N501", QStringLiteral("5.0"));
    InstallTextToSpeechEngine1 =
        addSubmenu(ools1, "InstallTextToSpeechEngine1", QStringLiteral("Install Text-To-Speech Engine"));
    const std::pair<QAction**, const char*> engineItems[] = {{&USEnglish1, "USEnglish1"},
                                                             {&BritishEnglish1, "BritishEnglish1"},
                                                             {&Dutch1, "Dutch1"},
                                                             {&French1, "French1"},
                                                             {&German1, "German1"},
                                                             {&Italian1, "Italian1"},
                                                             {&Japanese1, "Japanese1"},
                                                             {&Korean1, "Korean1"},
                                                             {&PortugueseBrazil1, "PortugueseBrazil1"},
                                                             {&Russian1, "Russian1"},
                                                             {&Spanish1, "Spanish1"}};
    for (int i = 0; i < 11; ++i)
        *engineItems[i].first =
            addItem(InstallTextToSpeechEngine1, engineItems[i].second, QLatin1String(voiceItems[i].second));
    ools1->addSeparator();
    Installalloptionalcomponents1 =
        addItem(ools1, "Installalloptionalcomponents1", QStringLiteral("Install all optional components"));

    Help1 = topMenu("Help1", QStringLiteral("&Help"));
    Manual1 = addItem(Help1, "Manual1", QStringLiteral("Manual"));
    Help1->addSeparator();
    U1 = addItem(Help1, "U1", QStringLiteral("Update"));
    Homepage1 = addItem(Help1, "Homepage1", QStringLiteral("Homepage"));
    Help1->addSeparator();
    About1 = addItem(Help1, "About1", QStringLiteral("About"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Cut1 = addItem(PopupMenu1, "Cut1", QStringLiteral("Cut"));
    Copy1 = addItem(PopupMenu1, "Copy1", QStringLiteral("&Copy"));
    Paste1 = addItem(PopupMenu1, "Paste1", QStringLiteral("&Paste"));
    PopupMenu1->addSeparator();
    SelectAll1 = addItem(PopupMenu1, "SelectAll1", QStringLiteral("&Select All"));
}

// --- start-up, shut-down, resize ---

void TForm1::formCreate()
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

void TForm1::fillFontNames()
{
    ComboBox2->clear();
    ComboBox2->addItems(QFontDatabase::families());
    const QString current = RichEdit1->font().family();
    if (ComboBox2->findText(current) < 0)
        ComboBox2->addItem(current);
    ComboBox2->setCurrentIndex(ComboBox2->findText(current));
}

void TForm1::selectPosition(QComboBox* list, int position)
{
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

void TForm1::readSettings()
{
    WindowSettings settings;
    settings.SourcePosition = wl_srclang->currentIndex();
    settings.TargetPosition = wl_trglang->currentIndex();
    settings.InterfaceLanguage = InterfaceLanguage;
    settings.StartCharacter = StartCharacter;
    settings.VoiceName = VoiceName;
    settings.Proxy = Proxy;
    // what was read before a failing value stays in force
    auto apply = [&] {
        selectPosition(wl_srclang, settings.SourcePosition);
        selectPosition(wl_trglang, settings.TargetPosition);
        InterfaceLanguage = settings.InterfaceLanguage;
        StartCharacter = settings.StartCharacter;
        VoiceName = settings.VoiceName;
        Proxy = settings.Proxy;
        SerbianCyrillic->setChecked(settings.SerbianCyrillic);
        KeepHistory->setChecked(settings.KeepHistory);
        ReuseTranslations->setChecked(settings.ReuseTranslations);
        DetectSource->setChecked(settings.DetectSource);
        KeepFormatting->setChecked(settings.KeepFormatting);
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

void TForm1::formClose()
{
    if (m_closed)
        return;
    m_closed = true;
    runHandler([this] {
        WindowSettings settings;
        settings.SourcePosition = wl_srclang->currentIndex();
        settings.TargetPosition = wl_trglang->currentIndex();
        settings.InterfaceLanguage = InterfaceLanguage;
        settings.Proxy = Proxy;
        settings.SerbianCyrillic = SerbianCyrillic->isChecked();
        settings.KeepHistory = KeepHistory->isChecked();
        settings.ReuseTranslations = ReuseTranslations->isChecked();
        settings.DetectSource = DetectSource->isChecked();
        settings.KeepFormatting = KeepFormatting->isChecked();
        const QString voice = CurrentCharacter ? storeVoice() : VoiceName;
        RegStore store;
        writeShutdownSettings(store, settings, CharacterName, voice);
    });
}

void TForm1::closeEvent(QCloseEvent* event)
{
    formClose();
    event->accept();
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // the character came on screen first; it stays above the window even where no window manager keeps it there
    if (CharacterWindow* character = Agent1->window(CharacterName))
        character->raise();
}

void TForm1::formResize()
{
    // the target pane takes the smaller half when the total is odd
    m_paneArea->setTargetHeight((RichEdit1->height() + RichEdit2->height()) / 2);
}

bool TForm1::runHandler(const std::function<void()>& body)
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

bool TForm1::translating() const { return m_translation->running(); }

// The button stops a run under way; the menu item and Ctrl+T only start one.
void TForm1::toolButton20Click() { m_translation->running() ? m_translation->stop() : m_translation->translate(); }

void TForm1::ranslate2Click()
{
    if (!translating())
        toolButton20Click();
}

void TForm1::detectLanguage1Click()
{
    runHandler([this] { m_detection->detectLanguage(); });
}
void TForm1::history1Click()
{
    runHandler([this] { m_history->open(); });
}
void TForm1::clearHistory1Click()
{
    runHandler([this] { m_history->clear(); });
}

void TForm1::toolButton21Click()
{
    const int source = wl_srclang->currentIndex();
    const int target = wl_trglang->currentIndex();
    wl_srclang->setCurrentIndex(target);
    wl_trglang->setCurrentIndex(source);
}

void TForm1::toolButton22Click()
{
    runHandler([this] { m_voices->readAloud(); });
}

void TForm1::readSrcClick()
{
    // choosing either read option flips both (the chosen one has flipped itself)
    ReadTgt->setChecked(!ReadTgt->isChecked());
}

void TForm1::readTgtClick() { ReadSrc->setChecked(!ReadSrc->isChecked()); }

// --- interface language, proxy, pane font ---

void TForm1::applyLanguageColumn(int column)
{
    InterfaceLanguage = interfaceLanguageNames().at(column);
    applyInterfaceCaptions(this, column);
    m_history->applyLanguage(column);
}

void TForm1::english1Click() { applyLanguageColumn(0); }
void TForm1::francais1Click() { applyLanguageColumn(1); }
void TForm1::spanish2Click() { applyLanguageColumn(2); }
void TForm1::german2Click() { applyLanguageColumn(3); }
void TForm1::italian2Click() { applyLanguageColumn(4); }
void TForm1::portuguese1Click() { applyLanguageColumn(5); }
void TForm1::dutch2Click() { applyLanguageColumn(6); }

void TForm1::applyInterfaceLanguage()
{
    const int column = interfaceLanguageColumn(InterfaceLanguage);
    if (column >= 0)
        applyLanguageColumn(column);
}

void TForm1::proxyServer1Click() { TForm4::editProxySettings(this, Proxy); }

void TForm1::applyPaneFont()
{
    m_documents->applyPaneFont(ComboBox1->currentText(), ComboBox2->currentText(),
                               ColorBox1->currentData().value<QColor>());
}

// --- documents and editing ---

void TForm1::wireDocuments()
{
    m_memoryFiles = new MemoryFiles(*this);
    m_documents = std::make_unique<DocumentCommands>(
        RichEdit1, RichEdit2, [this](const QString& text) { setStatus(text, false); }, this);
    m_opening = std::make_unique<DocumentOpening>(
        sourcePane(RichEdit1), *Transfer1, FileOpen1Dialog,
        [this](const QString& text, bool repaintNow) { setStatus(text, repaintNow); });
    m_documentTranslation = std::make_unique<DocumentTranslationCommands>(
        this, *Transfer1,
        [this] {
            TranslationRequest languages =
                TranslationRequest::betweenPositions({}, wl_srclang->currentIndex(), wl_trglang->currentIndex(), Proxy);
            languages.serbianCyrillic = SerbianCyrillic->isChecked();
            return languages;
        },
        [this](const QString& text) { setStatus(text, false); });
    new PaneDropOpener(
        RichEdit1,
        [this](const QString& path) {
            FileOpen1Dialog.FileName = path;
            fileOpen1Accept();
        },
        // a file dropped while another loads takes its place
        [] { return true; });
    const std::pair<QAction*, void (TForm1::*)()> fileItems[] = {{sfsf1, &TForm1::sfsf1Click},
                                                                 {Ouvrir1, &TForm1::fileOpen1Execute},
                                                                 {TranslateDocument1, &TForm1::translateDocument1Click},
                                                                 {Enregistrer1, &TForm1::enregistrerExecute},
                                                                 {Enregistrersous1, &TForm1::enregistrersous1Click},
                                                                 {Print1, &TForm1::print1Click},
                                                                 {ExportMemory1, &TForm1::exportMemory1Click},
                                                                 {ImportMemory1, &TForm1::importMemory1Click},
                                                                 {N2, &TForm1::filePrintSetup1Execute},
                                                                 {Find1, &TForm1::searchFind1Execute},
                                                                 {FindNext1, &TForm1::searchFindNext1Execute},
                                                                 {Replace1, &TForm1::searchReplace1Execute}};
    // dialogs, converter downloads and print jobs wait with the window live: they run once the
    // menu or button is done with its event
    for (const auto& [item, handler] : fileItems) {
        item->setEnabled(true);
        connect(item, &QAction::triggered, this, handler, Qt::QueuedConnection);
    }
    const std::pair<QToolButton*, void (TForm1::*)()> fileButtons[] = {
        {ToolButton1, &TForm1::toolButton1Click},
        {ToolButton2, &TForm1::fileOpen1Execute},
        {ToolButtonTranslateDocument, &TForm1::translateDocument1Click},
        {ToolButton3, &TForm1::enregistrerExecute},
        {ToolButton4, &TForm1::toolButton4Click}};
    for (const auto& [button, handler] : fileButtons) {
        button->setEnabled(true);
        connect(button, &QToolButton::clicked, this, handler, Qt::QueuedConnection);
    }

    m_editing = std::make_unique<PaneEditing>(RichEdit1, RichEdit2, this);
    using Command = PaneEditing::Command;
    for (QAction* item : {Couper2, Cut1})
        m_editing->bind(item, Command::Cut);
    for (QAction* item : {Copier1, Copy1})
        m_editing->bind(item, Command::Copy);
    for (QAction* item : {Coller1, Paste1})
        m_editing->bind(item, Command::Paste);
    for (QAction* item : {outslectionner1, SelectAll1})
        m_editing->bind(item, Command::SelectAll);
    m_editing->bind(Dfaire1, Command::Undo);
    m_editing->bind(ToolButton6, Command::Cut);
    m_editing->bind(ToolButton7, Command::Copy);
    m_editing->bind(ToolButton8, Command::Paste);
    PaneEditing::showOn(ToolButton10, m_editing->RichEditBold1);
    PaneEditing::showOn(ToolButton11, m_editing->RichEditItalic1);
    PaneEditing::showOn(ToolButton12, m_editing->RichEditUnderline1);
    PaneEditing::showOn(ToolButtonAlignRight, m_editing->RichEditAlignRight1);
    PaneEditing::showOn(ToolButtonAlignCenter, m_editing->RichEditAlignCenter1);
    PaneEditing::showOn(ToolButtonAlignLeft, m_editing->RichEditAlignLeft1);
    PaneEditing::showOn(ToolButtonBullets, m_editing->RichEditBullets1);
}

void TForm1::wireFontBoxes()
{
    // connected once start-up has filled the boxes, so every later change applies the font
    connect(ComboBox1, &QComboBox::currentTextChanged, this, &TForm1::comboBox1Change);
    connect(ComboBox2, &QComboBox::currentTextChanged, this, &TForm1::comboBox2Change);
    connect(ColorBox1, &QComboBox::currentIndexChanged, this, &TForm1::colorBox1Change);
}

void TForm1::fileOpen1Execute()
{
    const QString chosen = UserPrompts::instance().openDocumentName(
        FileOpen1Dialog.Title, FileOpen1Dialog.FileName, FileOpen1Dialog.nameFilters(), FileOpen1Dialog.DefaultExt);
    if (chosen.isEmpty())
        return;
    FileOpen1Dialog.FileName = chosen;
    fileOpen1Accept();
}

void TForm1::fileOpen1Accept()
{
    runHandler([this] {
        OpenedFileName = FileOpen1Dialog.FileName;
        m_opening->accept(OpenedFileName);
    });
}

void TForm1::translateDocument1Click()
{
    runHandler([this] { m_documentTranslation->translateDocument(); });
}

void TForm1::toolButton1Click() { m_documents->New(); }
void TForm1::sfsf1Click() { toolButton1Click(); }
void TForm1::enregistrerExecute() { nouveauExecute(); }
void TForm1::nouveauExecute()
{
    runHandler([this] { m_documents->save(); });
}
void TForm1::enregistrersous1Click()
{
    runHandler([this] { m_documents->saveAs(); });
}
void TForm1::exportMemory1Click()
{
    runHandler([this] { m_memoryFiles->Export(); });
}
void TForm1::importMemory1Click()
{
    runHandler([this] { m_memoryFiles->import(); });
}
void TForm1::print1Click()
{
    runHandler([this] { m_documents->print(); });
}
void TForm1::toolButton4Click() { print1Click(); }
void TForm1::filePrintSetup1Execute() { m_documents->setupPrinter(); }
void TForm1::searchFind1BeforeExecute() { m_documents->findBeforeExecute(); }
void TForm1::searchFind1Execute() { m_documents->find(); }
void TForm1::searchFind1FindDialogFind(SearchDialog* dialog) { m_documents->findDialogFind(dialog); }
void TForm1::searchFindNext1Execute() { m_documents->findNext(); }
void TForm1::searchReplace1Execute() { m_documents->replace(); }
void TForm1::comboBox1Change()
{
    runHandler([this] { applyPaneFont(); });
}
void TForm1::comboBox2Change()
{
    runHandler([this] { applyPaneFont(); });
}
void TForm1::colorBox1Change()
{
    runHandler([this] { applyPaneFont(); });
}

// --- help menu ---

void TForm1::wireHelp()
{
    m_update = std::make_unique<LiveUpdate>(*Transfer1);
    const std::pair<QAction*, void (TForm1::*)()> helpItems[] = {{Manual1, &TForm1::manual1Click},
                                                                 {U1, &TForm1::u1Click},
                                                                 {Homepage1, &TForm1::homepage1Click},
                                                                 {About1, &TForm1::about1Click}};
    // each opens a browser, a download or a box: once the menu is done with its event
    for (const auto& [item, handler] : helpItems) {
        item->setEnabled(true);
        connect(item, &QAction::triggered, this, handler, Qt::QueuedConnection);
    }
}

void TForm1::manual1Click() { HelpLinks::open(HelpLinks::ManualPage); }
void TForm1::u1Click()
{
    runHandler([this] { m_update->u1Click(); });
}
void TForm1::homepage1Click() { HelpLinks::open(HelpLinks::HomePage); }
void TForm1::about1Click() { TForm2::about1Click(this, ToolbarIcons::applicationIcon()); }

// --- the character and its voice ---

void TForm1::wireCharacter()
{
    m_speechHost = std::make_unique<SpeechWindowHost>(*this);
    m_voices =
        std::make_unique<VoiceSelection>(*m_speechHost, CurrentCharacter, CharacterName, VoiceName, VersionQuery);
    m_characters =
        std::make_unique<CharacterManagement>(*Agent1, *m_speechHost, *m_voices, CurrentCharacter, CharacterName);
    Agent1->OnCommand = [this](const AgentUserInput& input) { agent1Command(input); };
    Agent1->OnDblClick = [this](const QString&) { agent1DblClick(); };
    Agent1->OnIdleStart = [this](const QString&) { agent1IdleStart(); };

    // A chosen check item has flipped itself before its handler runs; the
    // handler decides from the mark as it was. Switching characters, choosing
    // voices and reading aloud may fetch and install components and ask
    // questions: they run once the menu or button is done with its event.
    const std::pair<QAction*, void (TForm1::*)()> characterItems[] = {{Merlin2, &TForm1::merlin2Click},
                                                                      {Genie2, &TForm1::genie2Click},
                                                                      {Peedy2, &TForm1::peedy2Click},
                                                                      {Robby2, &TForm1::robby2Click}};
    for (const auto& [item, handler] : characterItems)
        connect(item, &QAction::triggered, this, [this, item, handler] {
            item->setChecked(!item->isChecked());
            afterEvent([this, handler] { (this->*handler)(); });
        });
    for (QAction* item : voiceItems())
        connect(
            item, &QAction::triggered, this, [this, item] { aeClick(item); }, Qt::QueuedConnection);
    connect(TS1, &QMenu::aboutToShow, this, &TForm1::tS1Click);
    connect(ToolButton22, &QToolButton::clicked, this, &TForm1::toolButton22Click, Qt::QueuedConnection);
}

void TForm1::afterEvent(const std::function<void()>& command)
{
    QMetaObject::invokeMethod(this, command, Qt::QueuedConnection);
}

void TForm1::enableCharacterCommands()
{
    // no character on the versions that use none; reading aloud needs one on screen
    for (QAction* item : {Merlin2, Genie2, Peedy2, Robby2})
        item->setEnabled(!AgentUnavailable);
    for (QAction* item : voiceItems())
        item->setEnabled(!AgentUnavailable);
    ToolButton22->setEnabled(CurrentCharacter != nullptr);
}

void TForm1::layOutBeforeShow()
{
    if (isVisible())
        return;
    // a hidden window has its resize events only when it is shown
    if (layout())
        layout()->activate();
    m_paneArea->setTargetHeight(m_paneArea->targetHeight());
    formResize();
}

void TForm1::loadStartCharacter()
{
    // a character that cannot be loaded is reported, and the start-up goes on without one
    runHandler([this] { m_characters->loadStartCharacter(StartCharacter); });
}

void TForm1::restoreVoice() { m_voices->restoreVoice(); }
void TForm1::greetAtStart() { m_characters->greetAtStart(); }
QString TForm1::storeVoice() { return m_voices->storeVoice(); }

void TForm1::switchCharacter(const char* characterId)
{
    runHandler([&] { m_characters->switchCharacter(*CharacterManagement::byId(QLatin1String(characterId))); });
}

void TForm1::merlin2Click() { switchCharacter("Merlin"); }
void TForm1::genie2Click() { switchCharacter("Genie"); }
void TForm1::peedy2Click() { switchCharacter("Peedy"); }
void TForm1::robby2Click() { switchCharacter("Robby"); }

void TForm1::aeClick(QAction* item)
{
    runHandler([this, item] { m_voices->aeClick(item->objectName()); });
}
void TForm1::tS1Click()
{
    runHandler([this] { m_voices->tS1Click(); });
}

void TForm1::agent1Command(const AgentUserInput& input)
{
    runHandler([&] { m_characters->agent1Command(input); });
}
void TForm1::agent1DblClick()
{
    runHandler([this] { m_characters->agent1DblClick(); });
}
void TForm1::agent1IdleStart() { m_characters->agent1IdleStart(); }

// --- status line ---

void TForm1::setStatus(const QString& text, bool repaintNow)
{
    StatusPanel->setText(text);
    if (repaintNow)
        StatusPanel->repaint();
}

QString TForm1::statusText() const { return StatusPanel->text(); }
