// Optional components through the real main window: the site of this build served over
// HTTP on loopback and as a file:// folder, its real packages run through the shell into a
// Windows folder of the test's own. Start-up installs what is missing before the character
// loads; the Tools menu installs one component or all of them; the version rules; failed,
// cut, damaged and cancelled downloads and failing installers are reported and not counted.
#include "Folders.h"
#include "WindowDriver.h"
#include "ScriptedPrompts.h"
#include "SiteServer.h"
#include "CharacterStage.h"
#include "MainWindow.h"
#include "TTransfer.h"

#include <QAction>
#include <QDirIterator>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

namespace {
const QString Site = QStringLiteral(LINGUARO_BINARY_DIR "/site");

QString fileRoot(const QString& folder) { return QUrl::fromLocalFile(folder + '/').toString(QUrl::FullyEncoded); }

// Files below a folder, relative, sorted; with `identity`, each with its inode and time, which
// a package run would change.
QStringList files(const QString& folder, bool identity = false)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QString entry = QDir(folder).relativeFilePath(path);
        struct stat info {};
        if (identity && ::stat(QFile::encodeName(path).constData(), &info) == 0)
            entry += QStringLiteral(" %1 %2").arg(info.st_ino).arg(info.st_mtim.tv_nsec);
        found << entry;
    }
    found.sort();
    return found;
}

// Chooses a menu item as the user does: its command runs once the menu is done with the click.
void choose(QAction* item)
{
    item->trigger();
    QCoreApplication::sendPostedEvents();
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

const QStringList Engines = {"tv_enua",  "lhttseng", "lhttsdun", "lhttsfrf", "lhttsged", "lhttsiti",
                             "lhttsjpj", "lhttsspe", "lhttsptb", "lhttsrur", "lhttskok"};
}  // namespace

class WindowComponentsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void firstStartInstallsThenTheCharacterLoads_data();
    void firstStartInstallsThenTheCharacterLoads();
    void toolsMenuOneByOne();
    void installAllOnEmptyThenOnEquipped();
    void versionRules_data();
    void versionRules();
    void failuresAreReportedAndNotCounted_data();
    void failuresAreReportedAndNotCounted();
    void cancelStopsInstallAll();

private:
    QString windows() const { return m_home->filePath("W"); }
    QString data() const { return m_home->filePath("data/Brenmark"); }
    // The requests made since `from`.
    static QStringList since(const SiteServer& server, qsizetype from) { return server.requests().mid(from); }

    std::unique_ptr<QTemporaryDir> m_home;
};

void WindowComponentsTest::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_home->filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", m_home->filePath("data").toUtf8());
    qputenv("windir", windows().toUtf8());
    qputenv("LANG", "en_US.UTF-8");
    for (const char* name : {"LINGUARO_WINVER", "LINGUARO_CHARACTERS_URL", "LINGUARO_SAPI5_URL", "http_proxy",
                             "HTTP_PROXY", "LC_ALL", "LC_MESSAGES"})
        qunsetenv(name);
    qputenv("LINGUARO_SERVICE_URL", "http://127.0.0.1:9/translate");
    QCoreApplication::setApplicationName(QStringLiteral("Linguaro Translator"));
}

void WindowComponentsTest::firstStartInstallsThenTheCharacterLoads_data()
{
    QTest::addColumn<bool>("overHttp");
    QTest::newRow("site over HTTP") << true;
    QTest::newRow("site as a file:// folder") << false;
}

void WindowComponentsTest::firstStartInstallsThenTheCharacterLoads()
{
    QFETCH(bool, overHttp);
    SiteServer server(Site);
    qputenv("LINGUARO_SITE_URL", (overHttp ? server.root() : fileRoot(Site)).toUtf8());
    ScriptedPrompts prompts;
    {
        MainWindow form;
        QVERIFY2(prompts.messages.isEmpty() && prompts.errors.isEmpty(),
                 qPrintable(prompts.messages.join('|') + prompts.errors.join('|')));
        QCOMPARE(files(windows()),
                 QStringList({"msagent/agentsvr.exe", "msagent/chars/Merlin.acs", "speech/speech.dll"}));
        QCOMPARE(files(data()), sorted({"MSagent.exe", "Merlin.exe", "spchapi.exe"}));
        if (overHttp)
            QCOMPARE(server.requests(), QStringList({"/MSagent.exe", "/Merlin.exe", "/spchapi.exe"}));
        // what was installed is what the agent layer reads
        form.characterStage->setConnected(true);
        form.characterStage->load("Merlin", "Merlin.acs");
        QVERIFY(form.characterStage->core("Merlin"));
    }
    // the next start installs only the stored character, which is missing
    QDir().mkpath(m_home->filePath("config/Brenmark"));
    QFile store(m_home->filePath("config/Brenmark/Linguaro.reg"));
    QVERIFY(store.open(QIODevice::WriteOnly));
    store.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n\"character\"=\"Genie\"\n");
    store.close();
    MainWindow again;
    QVERIFY(Folders::entryExists(windows(), "msagent/chars/genie.acs"));
    if (overHttp)
        QCOMPARE(since(server, 3), QStringList{"/Genie.exe"});
    QVERIFY(prompts.messages.isEmpty() && prompts.errors.isEmpty());
}

void WindowComponentsTest::toolsMenuOneByOne()
{
    // the characters and the runtime 5.x come from locations of their own
    SiteServer server(Site);
    qputenv("LINGUARO_SITE_URL", server.root().toUtf8());
    qputenv("LINGUARO_CHARACTERS_URL", fileRoot(Site).toUtf8());
    qputenv("LINGUARO_SAPI5_URL", fileRoot(Site).toUtf8());
    ScriptedPrompts prompts;
    MainWindow form;
    QCOMPARE(server.requests(), QStringList({"/MSagent.exe", "/spchapi.exe"}));
    for (QAction* item : ui(form).menu(ObjectName::toolsMenu)->findChildren<QAction*>())
        QVERIFY2(item->isEnabled() || item->isSeparator() || item->menu(), qPrintable(item->text()));

    struct Case {
        QAction* item;
        QString installs;  // below W; empty: nothing new
        QString present;   // the message when chosen again; empty: none
    };
    const Case cases[] = {
        {ui(form).item(ObjectName::installAgentItem), {}, "Microsoft Agent Core Component is already installed."},
        {ui(form).item(ObjectName::installGenieItem), "msagent/chars/Genie.acs", "Genie is already installed!"},
        {ui(form).item(ObjectName::installSapi4Item), {}, {}},
        {ui(form).item(ObjectName::installSapi5Item), "speech/sapi5/sapi.dll", "SAPI 5.x is already installed!"},
        {ui(form).item(ObjectName::frenchEngineItem), "speech/engines/lhttsfrf",
         "This component is already installed!"},
    };
    for (const Case& c : cases) {
        const QStringList before = files(windows());
        prompts.messages.clear();
        if (!c.installs.isEmpty()) {
            choose(c.item);
            QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join('|')));
            QCOMPARE(files(windows()), sorted(before + QStringList{c.installs}));
        }
        // chosen again (or the first time, for what is there already): its message, nothing started
        const QStringList installed = files(windows(), true);
        choose(c.item);
        QCOMPARE(prompts.messages, c.present.isEmpty() ? QStringList() : QStringList{c.present});
        QCOMPARE(files(windows(), true), installed);
    }
    QCOMPARE(since(server, 2), QStringList{"/lhttsfrf.exe"});
    QVERIFY(form.speechEngineFetched("LHTTSFRF.EXE") && !form.speechEngineFetched("lhttsged.exe"));
    QVERIFY(!form.isWow64());
}

void WindowComponentsTest::installAllOnEmptyThenOnEquipped()
{
    SiteServer server(Site);
    qputenv("LINGUARO_SITE_URL", server.root().toUtf8());
    ScriptedPrompts prompts;
    MainWindow form;
    // back to a machine without any component
    QVERIFY(QDir(windows()).removeRecursively() && QDir(data()).removeRecursively());
    const qsizetype start = server.requests().size();

    choose(ui(form).item(ObjectName::installAllItem));
    QVERIFY2(prompts.messages.isEmpty() && prompts.errors.isEmpty(), qPrintable(prompts.messages.join('|')));
    QStringList order = {"/MSagent.exe", "/spchapi.exe", "/Merlin.exe", "/Genie.exe", "/Peedy.exe", "/Robby.exe"};
    QStringList installed = {"msagent/agentsvr.exe", "speech/speech.dll"};
    for (const char* name : {"Merlin", "Genie", "Peedy", "Robby"})
        installed << "msagent/chars/" + QString(name) + ".acs";
    for (const QString& engine : Engines) {
        order << '/' + engine + ".exe";
        installed << "speech/engines/" + engine;
    }
    QCOMPARE(since(server, start), order);
    QCOMPARE(files(windows()), sorted(installed));

    // everything there: sixteen messages in turn, nothing fetched or started
    const QStringList equipped = files(windows(), true);
    choose(ui(form).item(ObjectName::installAllItem));
    QStringList expected = {"Microsoft Agent Core Component is already installed.", "Merlin is already installed!",
                            "Genie is already installed!", "Peedy is already installed!",
                            "Robby is already installed!"};
    for (int i = 0; i < 11; ++i)
        expected << "This component is already installed!";
    QCOMPARE(prompts.messages, expected);
    QCOMPARE(server.requests().size(), start + order.size());
    QCOMPARE(files(windows(), true), equipped);
}

void WindowComponentsTest::versionRules_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("wusa");  // the system's update installer is there
    QTest::addColumn<QStringList>("fetched");
    QTest::addColumn<QStringList>("installed");

    const QString core = "msagent/agentsvr.exe", merlin = "msagent/chars/Merlin.acs", wusa = "system32/wusa.exe";
    QTest::newRow("XP") << "nt 5.1 workstation" << false << QStringList{"/MSagent.exe", "/Merlin.exe", "/spchapi.exe"}
                        << QStringList{core, merlin, "speech/speech.dll"};
    QTest::newRow("Vista") << "nt 6.0 workstation" << false << QStringList{"/MSagent.exe", "/Merlin.exe"}
                           << QStringList{core, merlin};
    QTest::newRow("7: the package waits")
        << "nt 6.1 workstation" << false << QStringList{"/x86.msu", "/Merlin.exe"} << QStringList{merlin};
    QTest::newRow("7, 32-bit process on 64-bit")
        << "nt 6.1 workstation wow64" << false << QStringList{"/x64.msu", "/Merlin.exe"} << QStringList{merlin};
    QTest::newRow("7 with its update installer")
        << "nt 6.1 workstation" << true << QStringList{"/x86.msu", "/Merlin.exe"} << QStringList{core, merlin, wusa};
    QTest::newRow("8") << "nt 6.2 workstation" << false << QStringList() << QStringList();
}

void WindowComponentsTest::versionRules()
{
    QFETCH(QString, version);
    QFETCH(bool, wusa);
    QFETCH(QStringList, fetched);
    QFETCH(QStringList, installed);
    const QString core = "msagent/agentsvr.exe";
    SiteServer server(Site);
    qputenv("LINGUARO_SITE_URL", server.root().toUtf8());
    qputenv("LINGUARO_WINVER", version.toUtf8());
    const QString received = m_home->filePath("wusa-received");
    if (wusa) {
        // the system's program: takes the package's path and installs it quietly
        QDir().mkpath(windows() + "/System32");
        QFile program(windows() + "/System32/WUSA.EXE");
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + received.toUtf8() + "'\nexec /bin/sh \"$1\" /Q:A\n");
        program.close();
    }
    ScriptedPrompts prompts;
    MainWindow form;
    QCOMPARE(server.requests(), fetched);
    QCOMPARE(sorted(files(windows()).replaceInStrings("System32/WUSA.EXE", "system32/wusa.exe")), sorted(installed));
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join('|')));
    // where the core is still missing, the start character cannot load: that one error, and the window opens
    if (fetched.isEmpty() || installed.contains(core)) {
        QCOMPARE(prompts.errors, QStringList());
    } else {
        QCOMPARE(prompts.errors.size(), 1);
        QVERIFY2(prompts.errors[0].startsWith("The Agent core is not installed"), qPrintable(prompts.errors[0]));
    }
    QCOMPARE(form.CurrentCharacter != nullptr, installed.contains(core));
    if (wusa) {
        QFile arguments(received);
        QVERIFY(arguments.open(QIODevice::ReadOnly));
        QCOMPARE(arguments.readAll(), (data() + "/x86.msu\n").toUtf8());
    }
    // the runtime 4.0: never on Vista or later, and there already before
    choose(ui(form).item(ObjectName::installSapi4Item));
    QCOMPARE(server.requests(), fetched);
    QVERIFY(prompts.messages.isEmpty());
    QCOMPARE(form.isWow64(), version.endsWith("wow64"));
}

void WindowComponentsTest::failuresAreReportedAndNotCounted_data()
{
    // "nowhere" answers 404, "broken" breaks off, "damaged" has a cut package, "page" a web page under its name
    QTest::addColumn<QString>("site");
    QTest::addColumn<bool>("atStart");  // the start-up installs, else Tools > Install Text-To-Speech Engine > French
    QTest::addColumn<bool>("windowsFolderIsAFile");
    QTest::addColumn<QStringList>("says");

    QTest::newRow("site down at start-up")
        << "nowhere" << true << false
        << QStringList{"could not be downloaded from http://127.0.0.1:", "/nowhere/MSagent.exe"};
    QTest::newRow("404") << "nowhere" << false << false
                         << QStringList{"could not be downloaded from http://127.0.0.1:", "/nowhere/lhttsfrf.exe"};
    QTest::newRow("download cut") << "broken" << false << false
                                  << QStringList{"could not be downloaded from http://127.0.0.1:",
                                                 "/broken/lhttsfrf.exe"};
    QTest::newRow("damaged package") << "damaged" << false << false
                                     << QStringList{"lhttsfrf.exe ended with error code 3.", "the package is damaged"};
    QTest::newRow("a page instead of a package")
        << "page" << false << false << QStringList{"lhttsfrf.exe is not an installer"};
    QTest::newRow("Windows folder not writable")
        << "" << false << true << QStringList{"ended with error code 4.", "cannot create the Windows folder"};
}

void WindowComponentsTest::failuresAreReportedAndNotCounted()
{
    QFETCH(QString, site);
    QFETCH(bool, atStart);
    QFETCH(bool, windowsFolderIsAFile);
    QFETCH(QStringList, says);
    SiteServer server(Site);
    QString root = server.root(site.isEmpty() ? QString() : site + '/');
    if (site == "damaged" || site == "page") {
        const QString copy = m_home->filePath("copy");
        QDir().mkpath(copy);
        QFile package(Site + "/lhttsfrf.exe");
        QVERIFY(package.open(QIODevice::ReadOnly));
        QFile served(copy + "/lhttsfrf.exe");
        QVERIFY(served.open(QIODevice::WriteOnly));
        served.write(site == "page" ? QByteArray("<html><body>Moved</body></html>") : package.readAll().chopped(10));
        root = fileRoot(copy);
    }
    qputenv("LINGUARO_SITE_URL", root.toUtf8());
    if (windowsFolderIsAFile) {
        QFile file(windows());
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    if (!atStart)
        qputenv("LINGUARO_WINVER", "nt 6.2 workstation");  // no installs at start-up
    ScriptedPrompts prompts;
    // a second start, or the entry chosen again, tries again: nothing failed counts as installed
    for (int attempt = 1; attempt <= 2; ++attempt) {
        MainWindow form;
        if (!atStart)
            choose(ui(form).item(ObjectName::frenchEngineItem));
        QCOMPARE(prompts.messages.size(), attempt);
        for (const QString& part : says)
            QVERIFY2(prompts.messages.last().contains(part), qPrintable(prompts.messages.last()));
        QVERIFY(!form.speechEngineFetched("lhttsfrf.exe"));
        QCOMPARE(files(data()), QStringList());
    }
    // a start-up that could not install the core opens without the character, saying why each time
    QCOMPARE(prompts.errors.size(), atStart ? 2 : 0);
    for (const QString& error : prompts.errors)
        QVERIFY2(error.startsWith("The Agent core is not installed"), qPrintable(error));
    if (!windowsFolderIsAFile)
        QCOMPARE(files(windows()), QStringList());
    if (site == "nowhere" || site == "broken")
        QCOMPARE(server.requests().size(), 2);  // one a try: at start-up, the rest is left once the first fails
}

void WindowComponentsTest::cancelStopsInstallAll()
{
    SiteServer server(Site);
    qputenv("LINGUARO_SITE_URL", server.root().toUtf8());
    qputenv("LINGUARO_WINVER", "nt 6.2 workstation");
    ScriptedPrompts prompts;
    MainWindow form;
    int started = 0;
    form.transfer->OnFileStart = [&](TTransfer* transfer, int) {
        ++started;
        // another component while one is under way is refused; the third download is cancelled
        if (started == 1)
            ui(form).item(ObjectName::installSapi5Item)->trigger();
        if (started == 3)
            transfer->CancelClick();
    };
    choose(ui(form).item(ObjectName::installAllItem));
    QCOMPARE(prompts.messages,
             QStringList({"Another component is being installed. Try again when it has finished.",
                          "Installing all optional components was cancelled. The remaining optional components were "
                          "not installed."}));
    QCOMPARE(started, 3);
    QCOMPARE(files(windows()), QStringList({"msagent/agentsvr.exe", "msagent/chars/Merlin.acs"}));
    QCOMPARE(files(data()), sorted({"MSagent.exe", "Merlin.exe"}));
    QVERIFY(!server.requests().contains("/Peedy.exe"));
}

QTEST_MAIN(WindowComponentsTest)
#include "test_window_components.moc"
