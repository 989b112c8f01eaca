#include "AppFixture.h"
#include "WindowDriver.h"
#include "LoopbackService.h"
#include "WindowTranslation.h"
#include "CharacterCore.h"
#include "CharacterWindow.h"
#include "SiteServer.h"
#include "CharacterStage.h"
#include "TTransfer.h"
#include "VoiceSelection.h"
#include "VoiceTable.h"
#include "WavReader.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTextEdit>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

using namespace wav_reader;

namespace {

const QString MerlinMode = QStringLiteral("{CA141FD0-AC7F-11D1-97A3-006008273002}");
const QString Hello = QStringLiteral("Hello everybody, I am %1!");
const QString Welcome = QStringLiteral("Welcome to Linguaro Translator!");

// A desktop with every component installed below a Windows folder of its own
// (names in another case than the program asks for), every engine installer
// fetched, and speech written to files on a silent clock. The test arranges
// the rest, then starts the window.
struct CharacterDesktop {
    AppFixture app;
    const QString windows = app.home.filePath("windows");
    const QString downloads = app.home.filePath("data/Brenmark");
    const QString wavFolder = app.home.filePath("wavs");
    std::unique_ptr<MainWindow> form;
    QStringList said;    // what the character said, an utterance each
    QStringList played;  // the animations asked of it, as shown
    int wavsTaken = 0;

    CharacterDesktop()
    {
        qunsetenv("LINGUARO_WINVER");
        qputenv("windir", windows.toUtf8());
        qputenv("LINGUARO_SPEECH_DIR", wavFolder.toUtf8());
        qputenv("LINGUARO_SPEECH_OUTPUT", "silent");
        // what is missing comes from this build's site
        qputenv("LINGUARO_SITE_URL",
                QUrl::fromLocalFile(QStringLiteral(LINGUARO_BINARY_DIR "/site/")).toString().toUtf8());
        QDir().mkpath(windows + "/MSAgent/Chars");
        QDir().mkpath(windows + "/Speech/Engines");
        QDir().mkpath(downloads);
        put(windows + "/MSAgent/AgentSvr.exe");
        put(windows + "/Speech/Speech.dll");
        for (const char* name : {"Merlin", "Genie", "Peedy", "Robby"}) {
            QFile built(QStringLiteral(LINGUARO_BINARY_DIR "/chars/%1.acs").arg(name));
            QVERIFY(built.open(QIODevice::ReadOnly));
            put(characterFile(name), built.readAll());
        }
        for (const Voice& voice : VoiceTable::voices()) {
            put(windows + "/Speech/Engines/" + VoiceTable::engineName(voice.engineInstaller).toUpper());
            put(downloads + '/' + voice.engineInstaller);
        }
    }
    ~CharacterDesktop()
    {
        form.reset();
        for (const char* name : {"windir", "LINGUARO_SPEECH_DIR", "LINGUARO_SPEECH_OUTPUT", "LINGUARO_WINVER",
                                 "LINGUARO_SITE_URL", "LINGUARO_CHARACTERS_URL"})
            qunsetenv(name);
    }

    static void put(const QString& path, const QByteArray& bytes = {})
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QString characterFile(const QString& name) const { return windows + "/MSAgent/Chars/" + name + ".ACS"; }

    void start()
    {
        form = std::make_unique<MainWindow>();
        listen();
    }
    CharacterCore* core() const { return form->characterStage->core(form->CharacterName); }
    CharacterWindow* window() const { return form->characterStage->window(form->CharacterName); }

    // Follows the character now on screen: each utterance as its balloon
    // finally shows it, and the Show, Wave and Think animations.
    void listen()
    {
        CharacterCore* c = core();
        if (!c)
            return;
        auto fresh = std::make_shared<bool>(false);
        QObject::connect(c, &CharacterCore::balloonChanged, c, [this, c, fresh] {
            if (!c->balloonVisible())
                return;
            if (c->balloonText().isEmpty())
                *fresh = true;  // a new utterance starts with an empty balloon
            else if (std::exchange(*fresh, false))
                said << c->balloonText();
            else if (!said.isEmpty())
                said.last() = c->balloonText();
        });
        QObject::connect(c, &CharacterCore::frameChanged, c, [this, c] {
            const QString animation = c->currentAnimation();
            if (QStringList({"Show", "Wave", "Think"}).contains(animation)
                && (played.isEmpty() || played.last() != animation))
                played << animation;
        });
    }
    // Waits until the character has done all it was asked.
    void settle()
    {
        QVERIFY(core());
        QTRY_VERIFY_WITH_TIMEOUT(core()->activity() == CharacterCore::Activity::Idle && core()->queueLength() == 0,
                                 60000);
    }
    // The speech files written since the last call: language ID and samples.
    QList<std::pair<int, Wav>> takeWavs()
    {
        const QStringList all = wavsIn(wavFolder);
        QList<std::pair<int, Wav>> taken;
        for (const QString& path : all.mid(wavsTaken))
            taken.append({QFileInfo(path).completeBaseName().section(u'-', -1).toInt(), readWav(path)});
        wavsTaken = int(all.size());
        return taken;
    }
    QPoint besideSourcePane() const
    {
        return ui(*form).sourcePane()->mapToGlobal(
            QPoint(ui(*form).sourcePane()->width(), ui(*form).sourcePane()->height()));
    }
    QString checkedCharacters() const
    {
        return checked({ui(*form).item(ObjectName::merlinItem), ui(*form).item(ObjectName::genieItem),
                        ui(*form).item(ObjectName::peedyItem), ui(*form).item(ObjectName::robbyItem)});
    }
    QString checkedVoices() const { return checked(form->voiceItems()); }
    static QString checked(const QList<QAction*>& items)
    {
        QStringList names;
        for (const QAction* item : items)
            if (item->isChecked())
                names << item->objectName();
        return names.join(u' ');
    }
    // Chooses an item of the window's menus as the user does: its command runs once the menu is done.
    void choose(QAction* item)
    {
        item->trigger();
        QCoreApplication::sendPostedEvents();
    }
    // Right-clicks the figure and presses the key of a command of its menu.
    void chooseFromPopup(char key)
    {
        const QPoint at = window()->figureRect().center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, window()->mapToGlobal(at));
        QApplication::sendEvent(window(), &event);
        QMenu* menu = window()->commandMenu();
        QVERIFY(menu && menu->isVisible());
        QTest::keyClick(menu, key);
        QCoreApplication::sendPostedEvents();
    }
    // Starts with one engine neither fetched nor installed, which choosing its voice fetches
    // from the site over loopback HTTP, and waits until the greeting is over.
    void startWithoutEngine(const SiteServer& site, const QString& installer)
    {
        qputenv("LINGUARO_SITE_URL", site.root().toUtf8());
        QVERIFY(QFile::remove(downloads + '/' + installer));
        QVERIFY(QFile::remove(windows + "/Speech/Engines/" + VoiceTable::engineName(installer).toUpper()));
        start();
        settle();
        said.clear();
        takeWavs();
    }
    bool engineInstalled(const QString& installer) const
    {
        return Folders::entryExists(windows, "speech/engines/" + VoiceTable::engineName(installer));
    }
};

}  // namespace

class TestMainWindowCharacter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void startUpGreets_data();
    void startUpGreets();
    void startUpWithoutCharacter_data();
    void startUpWithoutCharacter();
    void switchingCharacters();
    void choosingVoices();
    void switchingWhileAPopupCommandDownloads();
    void readingAloud();
    void spokenWordShowsInThePane();
    void translationThinksThenReadsAloud();
    void versionRules_data();
    void versionRules();
};

void TestMainWindowCharacter::initTestCase()
{
    // the offscreen platform has no window shapes, raising or grabs, and says so at every frame
    static const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.startsWith(QLatin1String("This plugin does not support")))
                previous(type, context, text);
        });
}

void TestMainWindowCharacter::startUpGreets_data()
{
    QTest::addColumn<QByteArray>("store");
    QTest::addColumn<QString>("notFetched");  // an engine installer missing from the downloads
    QTest::addColumn<QString>("character");
    QTest::addColumn<QString>("voiceItem");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("first start") << QByteArray() << QString() << "Merlin"
                                 << "AE" << QStringList{Hello.arg("Merlin"), Welcome} << QStringList();
    QTest::newRow("stored Genie") << QByteArray("\"character\"=\"Genie\"\n") << QString() << "Genie"
                                  << "AE" << QStringList{Hello.arg("Genie"), Welcome} << QStringList();
    QTest::newRow("stored Russian") << QByteArray("\"voice\"=\"Russian\"\n") << QString() << "Merlin"
                                    << "RU"
                                    << QStringList{QStringLiteral("Здравствулте!, Я говорю русского."),
                                                   Hello.arg("Merlin"), Welcome}
                                    << QStringList();
    QTest::newRow("stored Robby speaking Portuguese")
        << QByteArray("\"character\"=\"Robby\"\n\"voice\"=\"Portuguese(Brazil)\"\n") << QString() << "Robby"
        << "PT" << QStringList{"Posso eu ajudar-lhe?", Hello.arg("Robby"), Welcome} << QStringList();
    QTest::newRow("American engine fetched first")
        << QByteArray("\"voice\"=\"USEnglish\"\n") << "tv_enua.exe"
        << "Merlin"
        << "AE" << QStringList{"Hi, I speak American English.", Hello.arg("Merlin"), Welcome} << QStringList();
}

void TestMainWindowCharacter::startUpGreets()
{
    QFETCH(QByteArray, store);
    QFETCH(QString, notFetched);
    QFETCH(QString, character);
    QFETCH(QStringList, said);
    CharacterDesktop d;
    d.app.writeStore(store);
    QFile::remove(d.downloads + '/' + notFetched);
    d.start();
    MainWindow& form = *d.form;
    QCOMPARE(d.app.prompts.errors, QStringList());
    QTEST(d.app.prompts.messages, "messages");
    // an engine installer not fetched yet comes from the site before the greeting
    QVERIFY(notFetched.isEmpty() || QFile::exists(d.downloads + '/' + notFetched));
    QCOMPARE(form.CharacterName, character);
    QCOMPARE(d.checkedCharacters(), character + '2');
    QTEST(d.checkedVoices(), "voiceItem");
    QCOMPARE(form.CurrentCharacter, form.characterStage->character(character));
    QCOMPARE(d.window()->windowTitle(), character);
    QVERIFY(ui(form).button(ObjectName::readAloudButton)->isEnabled());

    d.settle();
    QCOMPARE(d.said, said);
    if (notFetched.isEmpty()) {
        QCOMPARE(d.played, QStringList({"Show", "Wave"}));
    } else {
        // the engine is fetched inside the start-up while the character already moves: some of its
        // animations may be over before the test can watch, the rest come in their order
        const QString seen = d.played.join(QLatin1Char(','));
        QVERIFY2(QStringList({"", "Show", "Wave", "Show,Wave"}).contains(seen), qPrintable(seen));
    }
    QCOMPARE(d.core()->position(), d.besideSourcePane());
    QCOMPARE(form.CurrentCharacter->ttsModeId(), MerlinMode);  // the start-up sentences, whoever says them
    QStringList commands;
    for (const CharacterCore::Command& command : d.core()->commands())
        commands << command.name + ' ' + command.caption + (command.enabled && command.visible ? "" : " off");
    QCOMPARE(commands,
             QStringList({"USEnglish &English(US)", "UKEnglish &English(UK)", "Dutch &Dutch", "French &French",
                          "German &German", "Italian &Italian", "Japanese &Japanese", "Korean &Korean",
                          "Portuguese(Brazil) &Portuguese(Brazil)", "Russian &Russian", "Spanish &Spanish"}));

    // every sentence sounded, in the voice it was said in, for about as long as it takes to say
    const auto wavs = d.takeWavs();
    QCOMPARE(wavs.size(), said.size());
    for (int i = 0; i < said.size(); ++i) {
        const Wav& wav = wavs[i].second;
        QVERIFY2(wav.error.isEmpty(), qPrintable(wav.error));
        QVERIFY2(wav.seconds() > 0.03 * said[i].size() && wav.seconds() < 0.15 * said[i].size() + 1,
                 qPrintable(QStringLiteral("%1 s for \"%2\"").arg(wav.seconds()).arg(said[i])));
        QVERIFY(soundingShare(wav) > 0.3);
    }
    QCOMPARE(wavs.last().first, form.CurrentCharacter->languageId());

    form.close();
    QVERIFY(d.app.storeText().contains("\"character\"=\"" + character.toUtf8() + "\"\n"));
}

void TestMainWindowCharacter::startUpWithoutCharacter_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("broken");  // the component file removed or cut short
    QTest::addColumn<bool>("truncate");
    QTest::addColumn<QString>("error");     // what the report says, in part
    QTest::addColumn<bool>("merlinLater");  // choosing Merlin from the menu afterwards shows him
    QTest::newRow("no Agent core") << ""
                                   << "MSAgent/AgentSvr.exe" << false << "The Agent core is not installed" << false;
    QTest::newRow("unknown stored name") << "Bob"
                                         << "" << false << "Bob.acs\" was not found" << true;
    QTest::newRow("damaged character file") << "Genie"
                                            << "MSAgent/Chars/Genie.ACS" << true << "Genie.ACS" << true;
}

void TestMainWindowCharacter::startUpWithoutCharacter()
{
    QFETCH(QString, stored);
    QFETCH(QString, broken);
    QFETCH(bool, truncate);
    QFETCH(QString, error);
    CharacterDesktop d;
    qputenv("LANG", "de_DE.UTF-8");
    d.app.writeStore("\"character\"=\"" + stored.toUtf8() + "\"\n");
    if (!broken.isEmpty()) {
        QFile file(d.windows + '/' + broken);
        QVERIFY(truncate ? file.resize(200) : file.remove());
    }
    d.start();
    MainWindow& form = *d.form;

    // reported, and the rest of the start-up done: caption, interface language, pane font
    QCOMPARE(d.app.prompts.errors.size(), 1);
    QVERIFY2(d.app.prompts.errors.first().contains(error), qPrintable(d.app.prompts.errors.first()));
    QCOMPARE(form.windowTitle(), QString("Linguaro Translator Pro 6.2"));
    QCOMPARE(ui(form).menu(ObjectName::fileMenu)->title(), QString("&Datei"));
    QCOMPARE(ui(form).sourcePane()->font().family(), ui(form).box(ObjectName::fontNameBox)->currentText());
    // no character, and the menu names none
    QVERIFY(!form.CurrentCharacter);
    QCOMPARE(form.CharacterName, QString());
    QCOMPARE(d.checkedCharacters(), QString());
    QVERIFY(!ui(form).button(ObjectName::readAloudButton)->isEnabled());
    form.readAloud();
    form.markSpeechMenu();
    form.characterDoubleClicked();
    d.choose(ui(form).item(ObjectName::americanEnglishVoice));  // the choice is kept for a later start
    QCOMPARE(form.VoiceName, QString("USEnglish"));

    QFETCH(bool, merlinLater);
    d.choose(ui(form).item(ObjectName::merlinItem));
    QCOMPARE(form.CharacterName, QString(merlinLater ? "Merlin" : ""));
    QCOMPARE(d.checkedCharacters(), QString(merlinLater ? "Merlin2" : ""));
    QCOMPARE(ui(form).button(ObjectName::readAloudButton)->isEnabled(), merlinLater);
    QCOMPARE(d.app.prompts.errors.size(), merlinLater ? 1 : 2);
}

void TestMainWindowCharacter::switchingCharacters()
{
    CharacterDesktop d;
    d.start();
    MainWindow& form = *d.form;
    d.settle();
    d.said.clear();
    CharacterCore* merlin = d.core();

    // choosing the character already checked does nothing at all
    d.choose(ui(form).item(ObjectName::merlinItem));
    QCOMPARE(d.core(), merlin);
    QCOMPARE(merlin->queueLength() + int(merlin->activity() != CharacterCore::Activity::Idle), 0);
    QCOMPARE(d.checkedCharacters(), QString("Merlin2"));

    // Peedy comes beside the source pane wherever the window has gone
    form.move(form.pos() + QPoint(-120, 70));
    d.choose(ui(form).item(ObjectName::peedyItem));
    d.listen();
    QCOMPARE(d.app.prompts.errors, QStringList());
    QVERIFY(!form.characterStage->core("Merlin"));
    QCOMPARE(form.CharacterName, QString("Peedy"));
    QCOMPARE(d.checkedCharacters(), QString("Peedy2"));
    QCOMPARE(form.CurrentCharacter, form.characterStage->character("Peedy"));
    QCOMPARE(form.CurrentCharacter->ttsModeId(), QString("{CA141FD0-AC7F-11D1-97A3-006008273001}"));
    QCOMPARE(form.CurrentCharacter->languageId(), 1033);
    QCOMPARE(d.core()->commands().size(), size_t(11));
    d.settle();
    QCOMPARE(d.said, QStringList{"Hi, I am Peedy!"});
    QCOMPARE(d.core()->position(), d.besideSourcePane());

    // a switch that fails leaves Peedy on screen and in the menu, and says why
    QFile(d.characterFile("Genie")).resize(100);
    QFile::remove(d.characterFile("Robby"));
    const QString nowhere = d.app.home.filePath("no-characters/");
    qputenv("LINGUARO_CHARACTERS_URL", QUrl::fromLocalFile(nowhere).toString().toUtf8());
    CharacterCore* peedy = d.core();
    d.choose(ui(form).item(ObjectName::genieItem));
    d.choose(ui(form).item(ObjectName::robbyItem));
    QCOMPARE(d.app.prompts.messages.size(), 1);
    QVERIFY2(d.app.prompts.messages[0].startsWith("The installer could not be downloaded from "
                                                  + QUrl::fromLocalFile(nowhere + "Robby.exe").toString()),
             qPrintable(d.app.prompts.messages[0]));
    QCOMPARE(d.app.prompts.errors.size(), 2);
    QVERIFY2(d.app.prompts.errors[0].contains("Genie.ACS"), qPrintable(d.app.prompts.errors[0]));
    QVERIFY2(d.app.prompts.errors[1].contains("Robby.acs\" was not found"), qPrintable(d.app.prompts.errors[1]));
    QCOMPARE(form.CharacterName, QString("Peedy"));
    QCOMPARE(d.checkedCharacters(), QString("Peedy2"));
    QCOMPARE(d.core(), peedy);
    QCOMPARE(form.CurrentCharacter, static_cast<AgentCharacter*>(peedy));
    QVERIFY(d.window()->isVisible());

    form.close();
    QVERIFY(d.app.storeText().contains("\"character\"=\"Peedy\"\n"));
}

void TestMainWindowCharacter::choosingVoices()
{
    CharacterDesktop d;
    SiteServer site(QStringLiteral(LINGUARO_BINARY_DIR "/site"));
    d.startWithoutEngine(site, "lhttsfrf.exe");
    MainWindow& form = *d.form;

    // The character's own menu: the French engine is fetched and installed first (the
    // download and the installer wait with the window live, while the menu goes), then
    // the voice changes; the menu's marks follow only when it opens.
    d.chooseFromPopup('f');
    QCOMPARE(site.requests(), QStringList{"/lhttsfrf.exe"});
    QVERIFY(d.engineInstalled("lhttsfrf.exe"));
    QCOMPARE(d.app.prompts.messages + d.app.prompts.errors, QStringList());
    QCOMPARE(form.CurrentCharacter->languageId(), 1036);
    QCOMPARE(d.checkedVoices(), QString("AE"));
    QCOMPARE(form.VoiceName, QString());
    form.markSpeechMenu();
    QCOMPARE(d.checkedVoices(), QString("FR"));
    d.settle();

    // the menu's items
    d.choose(ui(form).item(ObjectName::britishEnglishVoice));
    QCOMPARE(form.CurrentCharacter->languageId(), 2057);
    QCOMPARE(form.CurrentCharacter->ttsModeId(), VoiceTable::BritishModeId);
    QCOMPARE(form.VoiceName, QString("UKEnglish"));
    d.choose(ui(form).item(ObjectName::koreanVoice));
    QCOMPARE(d.checkedVoices(), QString("KO"));
    d.choose(ui(form).item(ObjectName::americanEnglishVoice));
    d.choose(ui(form).item(ObjectName::americanEnglishVoice));  // chosen again: greets again, stays checked
    QCOMPARE(d.checkedVoices(), QString("AE"));
    d.settle();
    QCOMPARE(d.said, QStringList({"Bonjour, je parle beaucoup.", "Hello, I speak British English.", "123",
                                  "Hi, I speak American English.", "Hi, I speak American English."}));
    QList<int> languages;
    for (const auto& [language, wav] : d.takeWavs())
        languages << language;
    QCOMPARE(languages, QList<int>({1036, 2057, 1042, 1033, 1033}));

    // a double-click in the middle of a long speech stops it
    QString story;
    for (int i = 0; i < 100; ++i)
        story += QStringLiteral("Once upon a time there was a wizard. ");
    form.CurrentCharacter->speak(story);
    QTRY_VERIFY_WITH_TIMEOUT(d.core()->balloonText().count(u' ') >= 2, 30000);
    QTest::mouseDClick(d.window(), Qt::LeftButton, {}, d.window()->figureRect().center());
    QTRY_COMPARE(d.core()->activity(), CharacterCore::Activity::Idle);
    QVERIFY(!d.core()->balloonVisible());
}

void TestMainWindowCharacter::switchingWhileAPopupCommandDownloads()
{
    CharacterDesktop d;
    SiteServer site(QStringLiteral(LINGUARO_BINARY_DIR "/site"));
    d.startWithoutEngine(site, "lhttsged.exe");
    MainWindow& form = *d.form;
    const QPointer<CharacterWindow> merlin = d.window();

    // German from Merlin's menu; while its engine downloads, Genie is chosen from the main menu
    site.hold("/lhttsged.exe");
    bool switched = false;
    form.transfer->OnBeforeDialogShow = [&](TTransfer*, QObject*) {
        if (std::exchange(switched, true))
            return;
        ui(form).item(ObjectName::genieItem)->trigger();
        // the download ends once the switch has been handled
        QMetaObject::invokeMethod(
            &form, [&site] { site.release(); }, Qt::QueuedConnection);
    };
    d.chooseFromPopup('g');
    QVERIFY(switched);
    QCOMPARE(site.requests(), QStringList{"/lhttsged.exe"});
    QVERIFY(d.engineInstalled("lhttsged.exe"));
    QCOMPARE(d.app.prompts.messages + d.app.prompts.errors, QStringList());

    // Genie has taken Merlin's place and speaks the voice chosen from his menu
    QCOMPARE(form.CharacterName, QString("Genie"));
    QCOMPARE(d.checkedCharacters(), QString("Genie2"));
    QCOMPARE(form.CurrentCharacter, form.characterStage->character("Genie"));
    QCOMPARE(form.CurrentCharacter->languageId(), 1031);
    QTRY_VERIFY(!merlin);
    d.settle();
    QList<int> languages;
    for (const auto& [language, wav] : d.takeWavs())
        languages << language;
    QCOMPARE(languages, QList<int>({1033, 1031}));

    // her own menu answers in turn
    d.chooseFromPopup('f');
    QCOMPARE(form.CurrentCharacter->languageId(), 1036);
}

void TestMainWindowCharacter::readingAloud()
{
    struct Case {
        const char* name;
        QString target, selection, source;
        bool readTarget, readSource, identify;
        QString targetList;
        bool frenchFetched;
        int languageBefore;
        QStringList said;
        int languageAfter;
        QStringList questions;
    };
    const QString german = "Gestern Abend sind wir mit der ganzen Familie in ein kleines Restaurant gegangen.";
    const QString frenchQuestion =
        "French Text-To-Speech engine was not found on your system. To make Merlin speak "
        "French, you need to download and install this engine. Would you like to install it?";
    const Case cases[] = {
        {"both panes empty",
         "",
         "",
         "",
         true,
         true,
         true,
         "French",
         true,
         1036,
         {"Hey, please select something so that I can read it aloud."},
         1033,
         {}},
        {"target empty",
         "",
         "",
         "Guten Tag.",
         true,
         true,
         true,
         "French",
         true,
         1036,
         {"Nothing to read in the target window!"},
         1036,
         {}},
        {"Greek without a voice of its own",
         "Kalimera.",
         "",
         "",
         true,
         false,
         true,
         "Greek",
         true,
         1036,
         {"Kalimera."},
         1033,
         {}},
        {"British voice kept for English",
         "Good morning.",
         "",
         "",
         true,
         false,
         true,
         "English",
         true,
         2057,
         {"Good morning."},
         2057,
         {}},
        {"engine missing, target then source",
         "Bonjour.",
         "",
         "Good day.",
         true,
         true,
         true,
         "French",
         false,
         1033,
         {"Bonjour.", "Good day."},
         1033,
         {frenchQuestion}},
        {"the voice of the language found in the pane",
         german,
         "",
         "",
         true,
         false,
         true,
         "English",
         true,
         1033,
         {german},
         1031,
         {}},
        {"the list's voice when identifying is off",
         german,
         "",
         "",
         true,
         false,
         false,
         "English",
         true,
         1033,
         {german},
         1033,
         {}},
        {"the selection only",
         "Un chat. Deux chiens.",
         "Deux chiens.",
         "Hello.",
         true,
         false,
         true,
         "French",
         true,
         1033,
         {"Deux chiens."},
         1036,
         {}},
    };
    CharacterDesktop d;
    d.start();
    MainWindow& form = *d.form;
    ui(form).sourceList()->setCurrentIndex(ui(form).sourceList()->findText("English"));
    d.choose(ui(form).item(ObjectName::americanEnglishVoice));
    d.settle();
    d.takeWavs();
    for (const Case& c : cases) {
        d.said.clear();
        d.app.prompts.messages.clear();
        d.app.prompts.questionTitles.clear();
        const QString french = d.downloads + "/lhttsfrf.exe";
        c.frenchFetched ? d.put(french) : void(QFile::remove(french));
        ui(form).targetPane()->setPlainText(c.target);
        ui(form).sourcePane()->setPlainText(c.source);
        if (!c.selection.isEmpty()) {
            QTextCursor cursor = ui(form).targetPane()->document()->find(c.selection);
            ui(form).targetPane()->setTextCursor(cursor);
        }
        ui(form).item(ObjectName::readTargetItem)->setChecked(c.readTarget);
        ui(form).item(ObjectName::readSourceItem)->setChecked(c.readSource);
        ui(form).item(ObjectName::identifyLang)->setChecked(c.identify);
        ui(form).targetList()->setCurrentIndex(ui(form).targetList()->findText(c.targetList));
        form.CurrentCharacter->setLanguageId(c.languageBefore);

        form.readAloud();
        d.settle();
        QVERIFY2(d.said == c.said, c.name);
        QVERIFY2(form.CurrentCharacter->languageId() == c.languageAfter, c.name);
        QVERIFY2(d.app.prompts.messages == c.questions, c.name);
        QVERIFY2(d.app.prompts.questionTitles == QStringList(c.questions.isEmpty() ? 0 : 1, "Download Request"),
                 c.name);
        const auto wavs = d.takeWavs();
        QVERIFY2(wavs.size() == c.said.size() && wavs.last().first == c.languageAfter, c.name);
    }
    QCOMPARE(d.app.prompts.errors, QStringList());

    // the language last spoken in is stored, though American English was the menu's last choice
    form.close();
    QVERIFY(d.app.storeText().contains("\"voice\"=\"French\"\n"));
}

// The word being spoken shows in the pane, word after word as the real voice
// says them; the user's selection and the text stay as they are. An edit ends
// the showing, not the speech.
void TestMainWindowCharacter::spokenWordShowsInThePane()
{
    CharacterDesktop d;
    d.start();
    MainWindow& form = *d.form;
    d.settle();
    d.said.clear();
    d.takeWavs();
    ui(form).item(ObjectName::readTargetItem)->setChecked(true);
    ui(form).item(ObjectName::readSourceItem)->setChecked(false);
    ui(form).item(ObjectName::identifyLang)->setChecked(true);
    ui(form).targetList()->setCurrentIndex(ui(form).targetList()->findText("French"));
    QTextEdit* pane = ui(form).targetPane();
    QStringList shown;  // each word as it comes to show, with its place
    QObject::connect(d.core(), &CharacterCore::balloonChanged, pane, [&] {
        const auto selections = pane->extraSelections();
        if (selections.size() != 1)
            return;
        const QTextCursor word = selections.front().cursor;
        const QString entry = QStringLiteral("%1@%2").arg(word.selectedText()).arg(word.selectionStart());
        if (shown.isEmpty() || shown.last() != entry)
            shown << entry;
    });

    struct Case {
        const char* name;
        QString text, selection;
        QStringList words;
    };
    const Case cases[] = {
        {"the whole text",
         "Le chat dort. Les enfants jouent dans le jardin.",
         "",
         {"Le@0", "chat@3", "dort@8", "Les@14", "enfants@18", "jouent@26", "dans@33", "le@38", "jardin@41"}},
        {"the selection", "Un chat. Deux chiens.", "Deux chiens.", {"Deux@9", "chiens@14"}},
    };
    for (const Case& c : cases) {
        shown.clear();
        pane->setPlainText(c.text);
        if (!c.selection.isEmpty())
            pane->setTextCursor(pane->document()->find(c.selection));
        const QString selectedBefore = pane->textCursor().selectedText();
        form.readAloud();
        d.settle();
        QVERIFY2(shown == c.words, qPrintable(c.name + (": " + shown.join(' '))));
        QVERIFY2(d.said.value(d.said.size() - 1) == (c.selection.isEmpty() ? c.text : c.selection), c.name);
        QVERIFY2(pane->textCursor().selectedText() == selectedBefore && pane->toPlainText() == c.text, c.name);
        QVERIFY2(pane->extraSelections().isEmpty(), c.name);  // gone with the speech
        QVERIFY2(d.takeWavs().size() == 1, c.name);
    }

    // an edit during the speech: the words no longer show, the speech goes on to its end
    shown.clear();
    d.said.clear();
    const QString text = "Le chat dort. Les enfants jouent dans le jardin.";
    pane->setPlainText(text);
    QObject::connect(d.core(), &CharacterCore::balloonChanged, pane, [&] {
        if (shown.size() == 2 && pane->toPlainText() == text)
            QTextCursor(pane->document()).insertText("Oui. ");
    });
    form.readAloud();
    d.settle();
    QCOMPARE(shown, QStringList({"Le@0", "chat@3"}));
    QCOMPARE(d.said, QStringList{text});
    QVERIFY(pane->extraSelections().isEmpty());
    QCOMPARE(d.app.prompts.errors, QStringList());
}

// A run thinks over the source pane, and once done reads the result aloud and
// copies it as the options say; a result of two characters is not read.
void TestMainWindowCharacter::translationThinksThenReadsAloud()
{
    LoopbackService service;
    service.bigReplySize = 4;  // extracts to two characters
    CharacterDesktop d;
    qputenv("LINGUARO_SERVICE_URL", service.url("/translate").c_str());
    d.start();
    MainWindow& form = *d.form;
    d.settle();
    d.said.clear();
    d.played.clear();
    ui(form).item(ObjectName::readAloud)->setChecked(true);
    ui(form).item(ObjectName::copyToClipboard)->setChecked(true);
    ui(form).item(ObjectName::readSourceItem)->setChecked(false);
    ui(form).item(ObjectName::readTargetItem)->setChecked(false);
    ui(form).sourcePane()->setPlainText("Hello");
    QVERIFY(translateInWindow(form));
    d.settle();
    QCOMPARE(d.app.prompts.errors, QStringList());
    QCOMPARE(d.played.value(0), QString("Think"));
    QCOMPARE(form.statusText(), QString("Done."));
    // the target is read: its option is put on
    QVERIFY(ui(form).item(ObjectName::readTargetItem)->isChecked());
    QCOMPARE(d.said, QStringList{"fr:Hello"});
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("fr:Hello "));

    d.said.clear();
    ui(form).targetPane()->clear();
    qputenv("LINGUARO_SERVICE_URL", service.url("/big").c_str());
    QVERIFY(translateInWindow(form));
    d.settle();
    QCOMPARE(ui(form).targetPane()->toPlainText(), QString("xx"));
    QCOMPARE(d.said, QStringList());
}

void TestMainWindowCharacter::versionRules_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<bool>("character");
    QTest::addColumn<bool>("asked");  // Download Request for a French text whose engine was never fetched
    QTest::newRow("Windows Vista") << QByteArray("nt 6.0 workstation") << true << true;
    QTest::newRow("Windows 7") << QByteArray("nt 6.1 workstation") << true << false;
    QTest::newRow("Windows 8") << QByteArray("nt 6.2 workstation") << false << false;
    QTest::newRow("Windows Server 2016") << QByteArray("nt 6.4 server") << false << false;
}

void TestMainWindowCharacter::versionRules()
{
    QFETCH(bool, character);
    CharacterDesktop d;
    QFETCH(QByteArray, version);
    qputenv("LINGUARO_WINVER", version);
    QFile::remove(d.downloads + "/lhttsfrf.exe");
    d.start();
    MainWindow& form = *d.form;
    QCOMPARE(d.app.prompts.errors, QStringList());
    QCOMPARE(form.CurrentCharacter != nullptr, character);
    QCOMPARE(ui(form).item(ObjectName::merlinItem)->isEnabled(), character);
    QCOMPARE(ui(form).item(ObjectName::frenchVoice)->isEnabled(), character);
    QCOMPARE(ui(form).button(ObjectName::readAloudButton)->isEnabled(), character);

    ui(form).targetPane()->setPlainText("Bonjour.");
    form.readAloud();
    QFETCH(bool, asked);
    QCOMPARE(d.app.prompts.questionTitles, QStringList(asked ? 1 : 0, "Download Request"));
    // closed while the character still has things to say
    form.close();
    d.form.reset();
}

QTEST_MAIN(TestMainWindowCharacter)
#include "test_main_window_character.moc"
