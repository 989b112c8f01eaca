// The real linguaro program without a window against the real service: what
// it writes is what the window's target pane shows for the same text, and
// every failure ends with a clear message and its exit code, never a hang.
#include "AppFixture.h"
#include "WindowDriver.h"
#include "../translate/LoopbackService.h"
#include "DocumentLoadJob.h"
#include "DocumentOpening.h"
#include "History.h"
#include "HistoryRecorder.h"
#include "LanguageTable.h"
#include "WindowTranslation.h"
#include "LoopbackPorts.h"
#include "ServiceProcess.h"

#include <QComboBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString Program = QStringLiteral(LINGUARO_BINARY_DIR "/linguaro");
const QString Misbehaving = QStringLiteral(LINGUARO_BINARY_DIR "/test-helpers/misbehaving-converter");

struct Outcome {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Several chunks of text with the characters a form body and a pane treat
// specially: "&", "%", "=", "+", quotes, accents, a no-break space, CR LF and
// blank lines, lines of spaces.
QString sampleText()
{
    const QString paragraph =
        QStringLiteral("The house is big & the garden is green; the price is 5% = cheap + fast. "
                       "\"Where is the station?\" she asked. It's near the old bridge (the north one).\r\n");
    QString text;
    for (int i = 0; i < 40; ++i)
        text += paragraph + (i % 5 == 4 ? QStringLiteral("\r\n   \r\n") : QString());
    return text + QString::fromUtf8("The café is open.\u00a0The dog is naïve.\nThe last line");
}

}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // converters come from the site the build makes, to the window and the program alike
        qputenv("LINGUARO_SITE_URL",
                QUrl::fromLocalFile(QStringLiteral(LINGUARO_BINARY_DIR "/site/")).toString().toUtf8());
        m_service = std::make_unique<ServiceProcess>();
        QVERIFY2(m_service->running(), qPrintable(m_service->startError()));
    }

    void writesWhatTheWindowShows_data();
    void writesWhatTheWindowShows();
    void failuresEndWithAMessageAndTheirCode_data();
    void failuresEndWithAMessageAndTheirCode();
    void aConverterStoppedByALimitIsReportedAsInTheWindow_data();
    void aConverterStoppedByALimitIsReportedAsInTheWindow();
    void serbianScriptFollowsTheWindowsOption();
    void autoTranslatesFromTheDetectedLanguage();
    void listsLanguagesAndThePairsTheServiceReaches();
    void startsTheBuiltInServiceAndStopsItAgain();
    void runsAtOnceShareTheBuiltInService_data();
    void runsAtOnceShareTheBuiltInService();
    void installsWhereADesktopFindsIt();
    void interruptStopsTheTranslation();
    void documentsKeepTheirLayout();
    void historyKeepsWhatWasTranslatedUnlessTurnedOff();
    void anotherToolsMemoryServesItsSentences();
    void windowKeepsItsTranslationsInTheSameHistory();
    void aServiceKeepingASessionGetsItsCookieFromEveryChunk();

private:
    // No display, no window platform, no session bus: what a bare terminal or a CI job has.
    QProcessEnvironment bareTerminal(const QString& serviceUrl) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS",
                                 "LINGUARO_SERVICE_URL", "http_proxy", "HTTP_PROXY"})
            environment.remove(QLatin1String(name));
        environment.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        environment.insert("XDG_DATA_HOME", m_home.filePath("data"));
        if (!serviceUrl.isEmpty())
            environment.insert("LINGUARO_SERVICE_URL", serviceUrl);
        return environment;
    }

    // closed: a standard stream (0, 1) the program starts without, or -1;
    // fileSize: the most bytes a file it writes may hold, as on a disk about to be full
    Outcome run(const QStringList& arguments, const QByteArray& input, const QProcessEnvironment& environment,
                int closed = -1, rlim_t fileSize = RLIM_INFINITY) const
    {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setChildProcessModifier([closed, fileSize] {
            if (closed >= 0)
                ::close(closed);
            if (fileSize != RLIM_INFINITY) {
                // a write beyond the limit fails as on a full disk instead of ending the program
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{fileSize, fileSize};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
        });
        program.start(Program, arguments);
        Outcome outcome;
        if (!program.waitForStarted(10000))
            return outcome;
        program.write(input);
        program.closeWriteChannel();
        outcome.finished = program.waitForFinished(120000) && program.exitStatus() == QProcess::NormalExit;
        outcome.exitCode = program.exitCode();
        outcome.out = program.readAllStandardOutput();
        outcome.err = program.readAllStandardError();
        return outcome;
    }

    QTemporaryDir m_home;
    std::unique_ptr<ServiceProcess> m_service;
};

void TestCommandLine::writesWhatTheWindowShows_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QByteArray>("bytes");
    const QString samples = QStringLiteral(LINGUARO_SOURCE_DIR "/tests/data/documents/");
    // standard input against text pasted into the pane; a document against File > Open
    QTest::newRow("standard input") << QString() << sampleText().toUtf8();
    // more than a pipe holds at once: the program gets it a piece at a time
    QTest::newRow("standard input longer than a pipe") << QString() << sampleText().repeated(12).toUtf8();
    QTest::newRow("text file") << QStringLiteral("letter.txt") << QByteArray(sampleText().toUtf8() + "\n");
    QTest::newRow("Latin-1 text file") << QStringLiteral("latin.txt")
                                       << QByteArray("The caf\xe9 is open.\r\nThe house is big.\r\n");
    QTest::newRow("Word document") << samples + QStringLiteral("report.docx") << QByteArray();
    QTest::newRow("PDF document") << samples + QStringLiteral("report.pdf") << QByteArray();
}

void TestCommandLine::writesWhatTheWindowShows()
{
    QFETCH(QString, document);
    QFETCH(QByteArray, bytes);
    if (!document.isEmpty() && !bytes.isEmpty()) {
        document = m_home.filePath(document);
        QFile file(document);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QString pane;
    {
        AppFixture fixture;
        qputenv("LINGUARO_SERVICE_URL", m_service->endpoint().toUtf8());
        MainWindow form;
        if (document.isEmpty()) {
            ui(form).sourcePane()->setPlainText(QString::fromUtf8(bytes));
        } else {
            QSignalSpy opened(&form.opening(), &DocumentOpening::finished);
            form.openDialog.FileName = document;
            form.openChosenDocument();
            QVERIFY2(opened.wait(120 * 1000), qPrintable(document + " did not finish opening"));
            QCOMPARE(form.statusText(), document + " loaded.");
        }
        ui(form).sourceList()->setCurrentIndex(0);  // English
        ui(form).targetList()->setCurrentIndex(3);  // Spanish
        QVERIFY(translateInWindow(form));
        QCOMPARE(fixture.prompts.errors + fixture.prompts.messages, QStringList());
        QCOMPARE(form.statusText(), QStringLiteral("Done."));
        pane = ui(form).targetPane()->toPlainText();
    }
    QVERIFY2(pane.contains(QRegularExpression(QStringLiteral("\\b(casa|Cafeter)"))), qPrintable(pane.left(300)));

    const QStringList arguments = document.isEmpty() ? QStringList{"-f", "English", "-t", "spanish"}
                                                     : QStringList{"--from", "en", "--to", "es", "--file", document};
    const Outcome outcome =
        run(arguments, document.isEmpty() ? bytes + "\n" : QByteArray(), bareTerminal(m_service->endpoint()));
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(QString::fromUtf8(outcome.out), pane + u'\n');
}

void TestCommandLine::failuresEndWithAMessageAndTheirCode_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("serviceReachable");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("closed");  // a standard stream the program starts without, or -1

    const QStringList spanish{"--from", "en", "--to", "es"};
    QTest::newRow("unknown code") << QStringList{"--from", "xx", "--to", "es"} << QByteArray("Hello") << true << 2
                                  << "unknown language code 'xx' for --from" << -1;
    QTest::newRow("the two Dutch entries") << QStringList{"-f", "nl", "-t", "Dutch"} << QByteArray("Hallo") << true << 2
                                           << "Source language is the same as the destination language!" << -1;
    QTest::newRow("binary input") << spanish
                                  << QByteArray("\x7f"
                                                "ELF\x02\x01\x00\x00",
                                                8)
                                  << true << 2 << "binary data (a zero byte at offset 6)" << -1;
    QTest::newRow("not UTF-8") << spanish << QByteArray("caf\xe9 au lait") << true << 2
                               << "not UTF-8 text (byte 0xe9 at offset 3" << -1;
    QTest::newRow("empty input") << spanish << QByteArray() << true << 2 << "Nothing to translate!" << -1;
    QTest::newRow("unknown option") << QStringList{"--frm", "en"} << QByteArray() << true << 2 << "Unknown option 'frm'"
                                    << -1;
    QTest::newRow("missing file") << QStringList{"--to", "es", "--file", "/nonexistent/letter.txt"} << QByteArray()
                                  << true << 2 << "cannot read /nonexistent/letter.txt: no such file" << -1;
    QTest::newRow("document no converter reads")
        << QStringList{"--to", "es", "--file", LINGUARO_SOURCE_DIR "/tests/data/documents/hostile/truncated.pdf"}
        << QByteArray() << true << 1 << "could not be converted" << -1;
    const QString documents = QStringLiteral(LINGUARO_SOURCE_DIR "/tests/data/translate-documents/");
    QTest::newRow("document whose layout is not kept")
        << QStringList{"--to",     "es",
                       "--file",   LINGUARO_SOURCE_DIR "/tests/data/documents/report97.doc",
                       "--output", "/nonexistent/report.es.doc"}
        << QByteArray() << true << 2 << "give an --output ending in .txt" << -1;
    QTest::newRow("text named .docx") << QStringList{"--from",   "en",     "--to",
                                                     "es",       "--file", documents + "not-a-zip.docx",
                                                     "--output", "-"}
                                      << QByteArray() << true << 1 << "not a readable zip package" << -1;
    QTest::newRow("output without a document") << QStringList{"--to", "es", "--output", "-"} << QByteArray() << true
                                               << 2 << "--output needs a path and goes with --file" << -1;
    QTest::newRow("selection with languages") << QStringList{"--translate-selection", "--to", "es"} << QByteArray()
                                              << true << 2 << "takes no other option" << -1;
    QTest::newRow("pair not installed") << QStringList{"--from", "en", "--to", "ro"} << QByteArray("Hello") << true << 1
                                        << "Romanian (ro) can be translated from: none." << -1;
    QTest::newRow("service unreachable") << spanish << QByteArray("Hello") << false << 1
                                         << "Could not connect to the translation service at 127.0.0.1:" << -1;
    QTest::newRow("no display for the window")
        << QStringList{} << QByteArray() << true << 1 << "no display to open the window on" << -1;
    QTest::newRow("pairs unreachable") << QStringList{"--list-languages"} << QByteArray() << false << 1
                                       << "could not ask the translation service which pairs it reaches" << -1;
    QTest::newRow("standard output closed")
        << QStringList{"--list-languages"} << QByteArray() << true << 1 << "standard output is closed" << 1;
    const QStringList detect{"--from", "auto", "--to", "es"};
    QTest::newRow("detection cannot tell")
        << detect << QByteArray("Hello") << true << 2
        << "cannot tell the language: the text is too short; give it with --from." << -1;
    QTest::newRow("detected language is the target")
        << detect << QByteArray("Ayer por la tarde fuimos al cine con mis primos y después cenamos en casa.") << true
        << 2 << "the text is in Spanish already, the language of --to." << -1;
    QTest::newRow("standard input closed") << spanish << QByteArray() << true << 2 << "standard input is closed" << 0;
}

void TestCommandLine::failuresEndWithAMessageAndTheirCode()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(bool, serviceReachable);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(int, closed);

    const QString nowhere = QStringLiteral("http://127.0.0.1:%1/translate").arg(LoopbackPorts::free());
    const Outcome outcome =
        run(arguments, input, bareTerminal(serviceReachable ? m_service->endpoint() : nowhere), closed);
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, exitCode);
    QVERIFY2(outcome.err.startsWith("linguaro: ") && QString::fromUtf8(outcome.err).contains(message),
             outcome.err.constData());
    if (!arguments.contains("--list-languages"))
        QCOMPARE(outcome.out, QByteArray());
}

void TestCommandLine::autoTranslatesFromTheDetectedLanguage()
{
    const QByteArray french = "Nous avons passé une semaine merveilleuse à la montagne avec toute la famille.\n";
    const Outcome detected = run({"--from", "auto", "--to", "es"}, french, bareTerminal(m_service->endpoint()));
    const Outcome given = run({"--from", "fr", "--to", "es"}, french, bareTerminal(m_service->endpoint()));
    QVERIFY(detected.finished && given.finished);
    QCOMPARE(detected.exitCode, 0);
    QCOMPARE(detected.out, given.out);
    QVERIFY(detected.out.contains("semana"));
    QCOMPARE(detected.err, QByteArray());  // standard error is no terminal here
}

void TestCommandLine::aConverterStoppedByALimitIsReportedAsInTheWindow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("misbehaviour");  // what the converter standing for the format's own does
    QTest::addColumn<QString>("reason");
    QTest::newRow("aborts") << "abort.pdf" << QByteArray("abort")
                            << "The converter crashed or ran out of memory (signal 6, Aborted).";
    QTest::newRow("takes memory without end")
        << "big.xls" << QByteArray("allocate") << "The document needs more memory than allowed (2048 MB).";
}

void TestCommandLine::aConverterStoppedByALimitIsReportedAsInTheWindow()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, misbehaviour);
    QFETCH(QString, reason);
    AppFixture fixture;
    const QString data = fixture.home.filePath("data/Brenmark");
    QVERIFY(QDir().mkpath(data));
    QVERIFY(QFile::copy(Misbehaving, data + '/' + DocumentLoadJob::converterName(DocumentLoadJob::formatTag(name))));
    const QString document = fixture.home.filePath(name);
    QFile file(document);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(misbehaviour) == misbehaviour.size());
    file.close();

    QString shown;
    {
        MainWindow form;
        QSignalSpy opened(&form.opening(), &DocumentOpening::finished);
        form.openDialog.FileName = document;
        form.openChosenDocument();
        QVERIFY2(opened.wait(120 * 1000), qPrintable(document + " did not finish opening"));
        QCOMPARE(fixture.prompts.messages.size(), 1);
        shown = fixture.prompts.messages.first();
    }
    QCOMPARE(shown, QString("\"%1\" could not be converted.\n%2").arg(document, reason));

    QProcessEnvironment environment = bareTerminal(m_service->endpoint());
    environment.insert("XDG_DATA_HOME", fixture.home.filePath("data"));
    const Outcome outcome = run({"--to", "es", "--file", document}, {}, environment);
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(QString::fromUtf8(outcome.err), "linguaro: " + shown + '\n');
    QCOMPARE(outcome.out, QByteArray());
}

void TestCommandLine::serbianScriptFollowsTheWindowsOption()
{
    // the window's choice, stored when it closes, is the program's choice too
    const QString english = QStringLiteral("Xyzzy loves the river.");
    for (const bool cyrillic : {true, false}) {
        QString pane;
        QByteArray store;
        {
            AppFixture fixture;
            qputenv("LINGUARO_SERVICE_URL", m_service->endpoint().toUtf8());
            MainWindow form;
            ui(form).item(ObjectName::serbianCyrillic)->setChecked(cyrillic);
            ui(form).sourcePane()->setPlainText(english);
            ui(form).sourceList()->setCurrentIndex(LanguageTable::positionOf(QStringLiteral("en")));
            ui(form).targetList()->setCurrentIndex(LanguageTable::positionOf(QStringLiteral("sr")));
            QVERIFY(translateInWindow(form));
            QCOMPARE(fixture.prompts.errors, QStringList());
            pane = ui(form).targetPane()->toPlainText();
            form.formClose();
            store = fixture.storeText();
        }
        QCOMPARE(pane.trimmed(),
                 cyrillic ? QStringLiteral("Xyzzy љубав the ријека.") : QStringLiteral("Xyzzy ljubav the rijeka."));

        QDir().mkpath(m_home.filePath("config/Brenmark"));
        QFile file(m_home.filePath("config/Brenmark/Linguaro.reg"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(store) == store.size());
        file.close();
        const Outcome outcome =
            run({"--from", "en", "--to", "sr"}, english.toUtf8(), bareTerminal(m_service->endpoint()));
        QVERIFY(file.remove());
        QVERIFY(outcome.finished);
        QCOMPARE(QString::fromUtf8(outcome.err), QString());
        QCOMPARE(QString::fromUtf8(outcome.out), pane + u'\n');
    }
}

void TestCommandLine::listsLanguagesAndThePairsTheServiceReaches()
{
    const Outcome outcome = run({"--list-languages"}, {}, bareTerminal(m_service->endpoint()));
    QCOMPARE(outcome.exitCode, 0);
    const QString listing = QString::fromUtf8(outcome.out);
    QVERIFY(listing.contains(QStringLiteral("\n  en     English\n")));
    QVERIFY(listing.contains(QStringLiteral("\n  zh-tw  Chinese(T)\n")));
    QCOMPARE(
        listing.count(QRegularExpression(QStringLiteral("^  [a-z-]+ +[A-Z]"), QRegularExpression::MultilineOption)),
        54);
    // the engine's pairs, named with the lists' names where the lists have them
    QVERIFY2(listing.contains(QRegularExpression(QStringLiteral("^  en +es +English to Spanish$"),
                                                 QRegularExpression::MultilineOption)),
             qPrintable(listing));
    QVERIFY(listing.contains(
        QRegularExpression(QStringLiteral("^  fr +es +French to Spanish$"), QRegularExpression::MultilineOption)));
}

void TestCommandLine::startsTheBuiltInServiceAndStopsItAgain()
{
    const quint16 port = LoopbackPorts::free();
    QProcessEnvironment environment = bareTerminal({});
    environment.insert("LINGUARO_SERVICE_PORT", QString::number(port));
    // a locale this machine lacks reaches the service and its engine too
    environment.insert("LANG", "xx_YY.UTF-8");
    const Outcome outcome = run({"--to", "es"}, "The house is big.\n", environment);
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY2(outcome.out.contains("casa"), outcome.out.constData());
    QVERIFY(!LoopbackPorts::answers(port));
}

void TestCommandLine::runsAtOnceShareTheBuiltInService_data()
{
    QTest::addColumn<bool>("starterFirst");
    // four runs at once with no service yet race to start it on the one port
    QTest::newRow("all at once") << false;
    // the run that started it ends while the others still translate through it
    QTest::newRow("the starter ends first") << true;
}

void TestCommandLine::runsAtOnceShareTheBuiltInService()
{
    QFETCH(bool, starterFirst);
    const quint16 port = LoopbackPorts::free();
    QProcessEnvironment environment = bareTerminal({});
    environment.insert("LINGUARO_SERVICE_PORT", QString::number(port));
    const QByteArray longer = sampleText().repeated(3).toUtf8() + "\n";
    const QList<QByteArray> inputs{sampleText().toUtf8() + "\n", longer, longer, longer};
    // each run reads its whole input before it looks for the service
    std::vector<std::unique_ptr<QProcess>> runs;
    for (const QByteArray& input : inputs) {
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->setProcessEnvironment(environment);
        runs.back()->start(Program, {"--from", "en", "--to", "es"});
        runs.back()->write(input);
    }
    runs.front()->closeWriteChannel();
    if (starterFirst)
        QTRY_VERIFY_WITH_TIMEOUT(LoopbackPorts::answers(port), 60000);
    for (size_t i = 1; i < runs.size(); ++i)
        runs[i]->closeWriteChannel();
    for (size_t i = 0; i < runs.size(); ++i) {
        QProcess& run = *runs[i];
        QVERIFY(run.waitForFinished(180000));
        const QByteArray err = run.readAllStandardError();
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
                 qPrintable(QStringLiteral("run %1: %2").arg(i).arg(QString::fromUtf8(err))));
        QCOMPARE(err, QByteArray());
        QVERIFY2(run.readAllStandardOutput().contains("casa"), qPrintable(QStringLiteral("run %1").arg(i)));
    }
    // the last run gone, the service ends by itself
    QTRY_VERIFY_WITH_TIMEOUT(!LoopbackPorts::answers(port), 20000);
}

void TestCommandLine::installsWhereADesktopFindsIt()
{
    QTemporaryDir prefix;
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(CMAKE_COMMAND), {"--install", LINGUARO_BINARY_DIR, "--prefix", prefix.path()});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAll().constData());

    const QString entry = prefix.filePath("share/applications/linguaro.desktop");
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(QStringLiteral("/usr/bin/desktop-file-validate"), {entry});
    QVERIFY(validate.waitForFinished());
    QVERIFY2(validate.exitCode() == 0, validate.readAll().constData());
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QString program = prefix.filePath("bin/linguaro");
    QVERIFY(text.contains("\nExec=" + program + "\n"));
    QVERIFY(text.contains("\n[Desktop Action translate-selection]\nName=Translate selection\nExec=" + program
                          + " --translate-selection\n"));
    QVERIFY(QFile::exists(prefix.filePath("share/icons/hicolor/scalable/apps/linguaro.svg")));

    // the link on the PATH finds the service and the site beside the program it leads to
    QProcessEnvironment environment = bareTerminal({});
    environment.remove("LINGUARO_SITE_URL");
    environment.insert("XDG_DATA_HOME", prefix.filePath("data"));
    environment.insert("LINGUARO_SERVICE_PORT", QString::number(LoopbackPorts::free()));
    QProcess installed;
    installed.setProcessEnvironment(environment);
    installed.start(program, {"--to", "es", "--file", LINGUARO_SOURCE_DIR "/tests/data/documents/report.pdf"});
    QVERIFY(installed.waitForFinished(120000));
    QVERIFY2(installed.exitCode() == 0, installed.readAllStandardError().constData());
    QVERIFY(QString::fromUtf8(installed.readAllStandardOutput()).contains(QString::fromUtf8("Cafetería")));
}

// Ctrl+C while a chunk waits for a service that never answers: the job stops
// at once, what came is kept, and the code says the program was interrupted.
void TestCommandLine::interruptStopsTheTranslation()
{
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    QProcess program;
    program.setProcessEnvironment(
        bareTerminal(QStringLiteral("http://127.0.0.1:%1/translate").arg(silent.serverPort())));
    program.start(Program, {"--from", "en", "--to", "es"});
    QVERIFY(program.waitForStarted(10000));
    program.write("The house is big.\n");
    program.closeWriteChannel();
    QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 30000);
    ::kill(pid_t(program.processId()), SIGINT);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 130);
    QCOMPARE(program.readAllStandardOutput(), QByteArray());
    QCOMPARE(program.readAllStandardError(), QByteArray("linguaro: the translation was stopped.\n"));
}

// The document comes back in its format beside the name asked for, written
// whole or not at all; the source stays as it was; "-" writes standard output.
void TestCommandLine::documentsKeepTheirLayout()
{
    QTemporaryDir folder;
    const QString source = folder.filePath(QString::fromUtf8("my r\u00e9p'ort.docx"));
    QVERIFY(QFile::copy(QStringLiteral(LINGUARO_SOURCE_DIR "/tests/data/translate-documents/sample.docx"), source));
    QFile original(source);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();
    const QString target = folder.filePath(QString::fromUtf8("my r\u00e9p'ort.es.docx"));
    const QProcessEnvironment environment = bareTerminal(m_service->endpoint());

    Outcome outcome = run({"--from", "en", "--to", "es", "--file", source, "--output", target}, {}, environment);
    QVERIFY(outcome.finished);
    QVERIFY2(outcome.exitCode == 0, outcome.err.constData());
    QCOMPARE(outcome.out, QByteArray());
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {"-p", target, "word/document.xml"});
    QVERIFY(unzip.waitForFinished(60000));
    const QString xml = QString::fromUtf8(unzip.readAllStandardOutput());
    QVERIFY2(xml.contains(QStringLiteral("El gato negro"))
                 && xml.contains(QStringLiteral("<w:b/></w:rPr><w:t>es</w:t>")),
             qPrintable(xml));
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), before);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // a refusal leaves nothing under the name asked for
    const QString refused = folder.filePath(QStringLiteral("refused.docx"));
    outcome = run({"--from", "en", "--to", "es", "--file",
                   LINGUARO_SOURCE_DIR "/tests/data/translate-documents/not-a-zip.docx", "--output", refused},
                  {}, environment);
    QCOMPARE(outcome.exitCode, 1);
    QVERIFY(!QFile::exists(refused));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    outcome = run({"--from", "en", "--to", "es", "--file",
                   LINGUARO_SOURCE_DIR "/tests/data/translate-documents/sample.html", "--output", "-"},
                  {}, environment);
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY2(outcome.out.contains("<p>Mi nombre <b>es</b> Michael"), outcome.out.constData());

    // a folder nothing can be written in (not even by root), and a disk that fills up:
    // a clear message, and what was under the name before stays whole
    const QString full = folder.filePath(QStringLiteral("full.es.docx"));
    QFile previous(full);
    QVERIFY(previous.open(QIODevice::WriteOnly) && previous.write("before") == 6);
    previous.close();
    outcome =
        run({"--from", "en", "--to", "es", "--file", source, "--output", "/proc/report.es.docx"}, {}, environment);
    QCOMPARE(outcome.exitCode, 1);
    QVERIFY2(outcome.err.contains("linguaro: Cannot write /proc/report.es.docx: "), outcome.err.constData());
    outcome = run({"--from", "en", "--to", "es", "--file", source, "--output", full}, {}, environment, -1, 512);
    QCOMPARE(outcome.exitCode, 1);
    QVERIFY2(outcome.err.contains("Cannot write " + full.toUtf8() + ": File too large"), outcome.err.constData());
    QVERIFY(previous.open(QIODevice::ReadOnly));
    QCOMPARE(previous.readAll(), QByteArray("before"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);

    // an older Word document: its text, translated, in a text file, and a word on why
    const QString letter = folder.filePath(QString::fromUtf8("my l\u00e9t'ter \"1\".es.txt"));
    outcome = run({"--from", "en", "--to", "es", "--file", LINGUARO_SOURCE_DIR "/tests/data/documents/letter-latin.doc",
                   "--output", letter},
                  {}, environment);
    QVERIFY2(outcome.exitCode == 0, outcome.err.constData());
    QVERIFY2(outcome.err.contains("the layout of .doc, .xls, .ppt and PDF documents cannot be kept"),
             outcome.err.constData());
    QFile text(letter);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QString translated = QString::fromUtf8(text.readAll());
    QVERIFY2(translated.contains(QString::fromUtf8("La cafeter\u00eda"))
                 && translated.contains(QString::fromUtf8("Jos\u00e9 Pe\u00f1a")),
             qPrintable(translated));
}

void TestCommandLine::historyKeepsWhatWasTranslatedUnlessTurnedOff()
{
    QTemporaryDir home;
    QProcessEnvironment environment = bareTerminal(m_service->endpoint());
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    auto translate = [&](const QStringList& options, const QByteArray& text) {
        const Outcome outcome = run(QStringList{"--from", "en", "--to", "es"} + options, text, environment);
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY2(!outcome.out.isEmpty(), outcome.err.constData());
    };
    auto history = [&](const QString& words) { return run({"--history", words}, {}, environment); };

    translate({}, "The café is big.\nThe house is green.");
    const Outcome kept = run({"--from", "en", "--to", "es"}, "The river is blue.", environment);
    QCOMPARE(kept.exitCode, 0);
    translate({"--no-history"}, "The dog is small.");
    QDir().mkpath(home.filePath("config/Brenmark"));
    QFile store(home.filePath("config/Brenmark/Linguaro.reg"));
    QVERIFY(store.open(QIODevice::WriteOnly));
    store.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n\"KeepHistory\"=dword:00000000\n");
    store.close();
    translate({}, "The cat is black.");

    // words of either side, in any case and without their accents; newest first
    const Outcome cafe = history(QStringLiteral("CAFE"));
    QCOMPARE(cafe.exitCode, 0);
    const QString listing = QString::fromUtf8(cafe.out);
    QVERIFY2(
        QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  en -> es  \\(command line\\)\n"
                                          "  < The café is big\\.\n  < The house is green\\.\n  > .+\n$"))
            .match(listing)
            .hasMatch(),
        qPrintable(listing));
    // "río" of the translation
    const QByteArray river = history(QStringLiteral("RIO")).out;
    QVERIFY2(river.contains("< The river is blue.") && !river.contains("café"), river.constData());
    QCOMPARE(history(QStringLiteral("xyzzy")).out, QByteArray());
    const QString all = QString::fromUtf8(history(QString()).out);
    QCOMPARE(all.count(QStringLiteral("(command line)")), 2);
    QVERIFY2(all.indexOf(QStringLiteral("< The river is blue.")) < all.indexOf(QStringLiteral("< The café is big.")),
             qPrintable(all));
    QVERIFY2(all.contains(QStringLiteral("> ") + QString::fromUtf8(kept.out)), qPrintable(all));
    for (const char* absent : {"dog", "cat"})
        QVERIFY2(!all.contains(QLatin1String(absent)), absent);

    // the translation memory written out (only what holds the words) and read back; a file that is not there adds
    // nothing
    const QString tmx = home.filePath("river.tmx");
    const Outcome exported = run({"--export-tmx", tmx, "--history", "RIO"}, {}, environment);
    QCOMPARE(exported.exitCode, 0);
    QFile written(tmx);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray memory = written.readAll();
    QVERIFY2(memory.contains("The river is blue.") && memory.contains("xml:lang=\"es\"") && !memory.contains("caf"),
             memory.constData());
    const Outcome missing = run({"--import-tmx", home.filePath("missing.tmx")}, {}, environment);
    QCOMPARE(missing.exitCode, 1);
    QVERIFY2(missing.err.contains("does not exist"), missing.err.constData());
    QCOMPARE(run({"--import-tmx", tmx}, {}, environment).exitCode, 0);
    QCOMPARE(run({"--export-tmx", tmx, "--from", "en"}, {}, environment).exitCode, 2);

    // a history that cannot be kept leaves the translation to go on, and says why once
    QVERIFY(store.remove());
    QVERIFY(QFile::remove(home.filePath("data/Brenmark/history.sqlite")));
    QVERIFY(QFile::link(home.filePath("elsewhere"), home.filePath("data/Brenmark/history.sqlite")));
    const Outcome unkept = run({"--from", "en", "--to", "es"}, "The river is blue.", environment);
    QCOMPARE(unkept.exitCode, 0);
    QCOMPARE(unkept.out, kept.out);
    QCOMPARE(QString::fromUtf8(unkept.err).count(QStringLiteral("history of translations is unavailable")), 1);
    QVERIFY(!QFile::exists(home.filePath("elsewhere")));
}

void TestCommandLine::anotherToolsMemoryServesItsSentences()
{
    QTemporaryDir home;
    QProcessEnvironment environment = bareTerminal(m_service->endpoint());
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    // as another tool writes one: a sentence a unit, languages with their regions, a tab and a
    // line break inside a segment; translations the engine would not give, to tell them apart
    const QByteArray whale = "La ballena azul canta al amanecer (memoria).";
    const QByteArray name = "Nombre:\tSr. Brown (memoria).";
    const QByteArray roses = "Las rosas son rojas,\nlas violetas azules (memoria).";
    auto unit = [](const char* from, const QByteArray& source, const char* to, const QByteArray& translation) {
        return "<tu><tuv xml:lang=\"" + QByteArray(from) + "\"><seg>" + source + "</seg></tuv><tuv xml:lang=\""
               + QByteArray(to) + "\"><seg>" + translation + "</seg></tuv></tu>\n";
    };
    const QString tmx = home.filePath("other-tool.tmx");
    QFile file(tmx);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tmx version=\"1.4\">\n<header creationtool=\"Other\" "
               "creationtoolversion=\"3\" segtype=\"sentence\" o-tmf=\"other\" adminlang=\"en-US\" srclang=\"en-US\" "
               "datatype=\"plaintext\"/>\n<body>\n"
               + unit("en-US", "The blue whale sings at dawn.", "es-ES", whale)
               + unit("EN-GB", "Name:\tMr. Brown.", "ES", name)
               + unit("en-US", "Roses are red,\nviolets are blue.", "es-MX", roses) + "</body>\n</tmx>\n");
    file.close();
    const Outcome imported = run({"--import-tmx", tmx}, {}, environment);
    QVERIFY2(imported.exitCode == 0 && imported.err.isEmpty(), imported.err.constData());

    const struct {
        const char* name;
        QByteArray text;
        QByteArray remembered;
        QList<QByteArray> fromTheEngine;  // in this order around it
    } cases[] = {
        {"the sentence alone, as typed", "The blue whale sings at dawn.", whale, {}},
        {"the middle sentence of a paragraph",
         "The house is big. The blue whale sings at dawn. The dog eats.\nThe end",
         whale,
         {"casa", "(memoria)", "perro"}},
        {"a tab inside, behind an abbreviation", "Name:\tMr. Brown.", name, {}},
        {"lines of one segment", "Roses are red,\nviolets are blue.", roses, {}},
    };
    for (const auto& c : cases) {
        const Outcome translated = run({"--from", "en", "--to", "es"}, c.text, environment);
        QVERIFY2(translated.exitCode == 0, translated.err.constData());
        QVERIFY2(translated.out.contains(c.remembered), (QByteArray(c.name) + ": " + translated.out).constData());
        qsizetype at = 0;
        for (const QByteArray& part : c.fromTheEngine) {
            const qsizetype found = translated.out.indexOf(part, at);
            QVERIFY2(found >= at, (QByteArray(c.name) + ": " + translated.out).constData());
            at = found;
        }
    }

    // written out again as they came in
    const QString exported = home.filePath("exported.tmx");
    QCOMPARE(run({"--export-tmx", exported}, {}, environment).exitCode, 0);
    QFile written(exported);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray memory = written.readAll();
    for (const QByteArray& segment :
         {QByteArray("Name:\tMr. Brown."), name, QByteArray("Roses are red,\nviolets are blue."), roses})
        QVERIFY2(memory.contains("<seg>" + segment + "</seg>"), memory.constData());
}

void TestCommandLine::windowKeepsItsTranslationsInTheSameHistory()
{
    for (const bool keep : {true, false}) {
        AppFixture fixture;
        qputenv("LINGUARO_SERVICE_URL", m_service->endpoint().toUtf8());
        QString pane;
        {
            MainWindow form;
            ui(form).item(ObjectName::keepHistory)->setChecked(keep);
            ui(form).sourcePane()->setPlainText(QStringLiteral("The garden is green.\n\nThe bridge is old."));
            ui(form).sourceList()->setCurrentIndex(LanguageTable::positionOf(QStringLiteral("en")));
            ui(form).targetList()->setCurrentIndex(LanguageTable::positionOf(QStringLiteral("es")));
            QVERIFY(translateInWindow(form));
            QCOMPARE(fixture.prompts.errors, QStringList());
            pane = ui(form).targetPane()->toPlainText();
        }
        HistoryRecorder::flush();
        History history(fixture.home.filePath("data/Brenmark/history.sqlite"));
        const QList<HistoryEntry> entries = history.search(QStringLiteral("jardin"));
        QCOMPARE(entries.size(), keep ? 1 : 0);
        if (!keep)
            continue;
        const HistoryEntry& entry = entries.constFirst();
        QCOMPARE(entry.origin, HistoryEntry::Origin::Window);
        QCOMPARE(entry.sourceCode.toLower(), QStringLiteral("en"));
        QCOMPARE(entry.targetCode.toLower(), QStringLiteral("es"));
        QCOMPARE(entry.source, QStringLiteral("The garden is green.\n\nThe bridge is old."));
        QCOMPARE(entry.translation, pane);
        const QList<HistoryChunk> chunks = history.chunks(entry.id);
        QVERIFY(!chunks.isEmpty());
        QVERIFY2(chunks.constFirst().source.contains(QStringLiteral("garden")), qPrintable(chunks.constFirst().source));
        QCOMPARE(chunks.constFirst().endpoint, m_service->endpoint());
    }
}

void TestCommandLine::aServiceKeepingASessionGetsItsCookieFromEveryChunk()
{
    SessionService service;
    const Outcome outcome = run({"--no-history", "--from", "en", "--to", "fr"},
                                SessionService::runText().toUtf8() + "\n", bareTerminal(service.qurl("/translate")));
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(QString::fromUtf8(outcome.out), SessionService::runTranslation("fr").join('\n') + '\n');
    QCOMPARE(service.refused.load(), 0);
}

QTEST_MAIN(TestCommandLine)
#include "test_command_line.moc"
