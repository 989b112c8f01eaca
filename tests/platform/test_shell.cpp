// Starting programs and opening documents: programs started directly with their
// parameters, everything else through xdg-open (here to a stand-in browser), waits
// that keep events flowing, time-outs, and the captured output of hidden programs.
#include "Shell.h"
#include "StandInBrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <signal.h>

class ShellTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void programsStartDirectlyOtherFilesGoToTheOpener();
    void aProgramEndsAtTheLimitWithWhatItStarted_data();
    void aProgramEndsAtTheLimitWithWhatItStarted();
    void capturedOutput_data();
    void capturedOutput();
    void captureStopsAtTheCap();

private:
    QString script(const QString& name, const QByteArray& body, bool runnable = false);
    QString read(const QString& name) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StandInBrowser> m_browser;
};

void ShellTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_browser = std::make_unique<StandInBrowser>(m_dir->path());
}

QString ShellTest::script(const QString& name, const QByteArray& body, bool runnable)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\n" + body);
    file.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther
                                    | (runnable ? QFile::ExeOwner | QFile::ExeUser : QFile::Permissions()));
    return path;
}

QString ShellTest::read(const QString& name) const
{
    QFile file(m_dir->filePath(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

void ShellTest::programsStartDirectlyOtherFilesGoToTheOpener()
{
    QVERIFY2(!Shell::openerProgram().isEmpty(), "xdg-open (xdg-utils) is not installed");
    // a downloaded script arrives without its run bit; quotes group, $ and ; stay literal
    const QString tool = script("tool.sh", "pwd > args; for a in \"$@\"; do echo \"[$a]\" >> args; done; exit 7\n");
    QDir().mkpath(m_dir->filePath("work"));
    const int code = Shell::shellRunWait("open", tool, R"("a b" c$HOME;ls "it's" """q""")", true, Shell::Show::Hidden,
                                         m_dir->filePath("work"));
    QCOMPARE(code, 7);
    QVERIFY(QFileInfo(tool).isExecutable());
    QCOMPARE(read("work/args"), m_dir->filePath("work") + "\n[a b]\n[c$HOME;ls]\n[it's]\n[\"q\"]");

    // not waiting: 0 at once, the program runs on its own
    const QString later = script("later.sh", "touch started\n");
    QCOMPARE(Shell::shellRunWait("open", later, "", false, Shell::Show::Normal, m_dir->path()), 0);
    QTRY_VERIFY(QFile::exists(m_dir->filePath("started")));

    // a web address and a document go to the desktop's opener
    QCOMPARE(Shell::shellRunWait("open", "http://127.0.0.1:9/manual page.html", "", true, Shell::Show::Normal, ""), 0);
    QCOMPARE(m_browser->pages(), QStringList{"http://127.0.0.1:9/manual page.html"});
    QFile page(m_dir->filePath("page.html"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<p>x</p>");
    page.close();
    QCOMPARE(Shell::shellRunWait("open", page.fileName(), "", true, Shell::Show::Normal, ""), 0);
    QCOMPARE(m_browser->pages().value(1), page.fileName());

    // a program that cannot be started
    const QString broken = script("broken.sh", "");
    QFile f(broken);
    f.open(QIODevice::WriteOnly);
    f.write("#!/nonexistent/interpreter\n");
    f.close();
    QCOMPARE(Shell::shellRunWait("open", broken, "", true, Shell::Show::Hidden, ""), -1);
    const Shell::Outcome outcome = Shell::run(broken, {}, true, QString());
    QCOMPARE(outcome.status, Shell::Outcome::Status::NotStarted);
    QVERIFY(outcome.problem.contains("could not be started"));
}

void ShellTest::aProgramEndsAtTheLimitWithWhatItStarted_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("waited for") << "wait";
    QTest::newRow("started, its end reported by a signal") << "signal";
    QTest::newRow("started and stopped before its end") << "stop";
}

void ShellTest::aProgramEndsAtTheLimitWithWhatItStarted()
{
    QFETCH(QString, how);
    // the program leaves a helper behind that would hold on after it
    const QString slow = script("slow.sh", "sleep 60 & echo $! > helper; echo started; wait\n");
    Shell::Limits limits;
    limits.timeoutMs = 1500;
    Shell::Outcome outcome;
    if (how == "wait") {
        outcome = Shell::run(slow, {}, true, m_dir->path(), limits, Shell::Capture::Separate);
    } else {
        std::unique_ptr<Shell::Running> running(
            Shell::Running::start(slow, {}, m_dir->path(), limits, Shell::Capture::Separate));
        QSignalSpy ended(running.get(), &Shell::Running::ended);
        QTRY_VERIFY(QFile::exists(m_dir->filePath("helper")) && !read("helper").isEmpty());
        if (how == "stop") {
            running->stop();
            const pid_t helper = read("helper").toInt();
            QTRY_VERIFY(::kill(helper, 0) != 0);
            QVERIFY(!ended.wait(100));
            return;
        }
        QVERIFY2(ended.wait(30 * 1000), "the program's end was not reported");
        QCOMPARE(ended.size(), 1);
        outcome = ended.first().first().value<Shell::Outcome>();
    }
    QCOMPARE(outcome.status, Shell::Outcome::Status::TimedOut);
    QVERIFY(outcome.problem.contains("did not finish within 2 seconds"));
    QCOMPARE(outcome.output, QByteArray("started\n"));
    const pid_t helper = read("helper").toInt();
    QVERIFY(helper > 0);
    QTRY_VERIFY(::kill(helper, 0) != 0);
}

void ShellTest::capturedOutput_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("errors");
    QTest::addColumn<int>("exitCode");
    const int merged = int(Shell::Capture::Merged), separate = int(Shell::Capture::Separate);
    QTest::newRow("both channels merged") << QByteArray("echo out; echo err >&2; echo end") << merged
                                          << QByteArray("out\nerr\nend\n") << QByteArray() << 0;
    QTest::newRow("kept apart with the exit code")
        << QByteArray("echo text; echo 'cannot read' >&2; exit 3") << separate << QByteArray("text\n")
        << QByteArray("cannot read\n") << 3;
    QTest::newRow("a zero byte drops only itself")
        << QByteArray("printf 'ab\\000cd\\000\\000e'") << merged << QByteArray("abcde") << QByteArray() << 0;
    QTest::newRow("standard input is closed")
        << QByteArray("cat; echo done") << merged << QByteArray("done\n") << QByteArray() << 0;
    QTest::newRow("UTF-8 passes unchanged") << QByteArray("printf '\\303\\251t\\303\\251 \\342\\202\\254'") << merged
                                            << QByteArray("\xc3\xa9t\xc3\xa9 \xe2\x82\xac") << QByteArray() << 0;
}

void ShellTest::capturedOutput()
{
    QFETCH(QByteArray, body);
    QFETCH(int, channels);
    const QString program = script("convert.sh", body + "\n");
    const Shell::Outcome outcome = Shell::runCaptured(program, {}, Shell::Capture(channels));
    QCOMPARE(outcome.status, Shell::Outcome::Status::Finished);
    QTEST(outcome.output, "output");
    QTEST(outcome.errors, "errors");
    QTEST(outcome.exitCode, "exitCode");
    if (Shell::Capture(channels) == Shell::Capture::Merged)
        QCOMPARE(Shell::runHiddenAndCapture('"' + program + '"'), QString::fromUtf8(outcome.output));
}

void ShellTest::captureStopsAtTheCap()
{
    const QString endless = script("endless.sh", "yes 'a line of text'\n");
    Shell::Limits limits;
    limits.outputCap = 1024 * 1024;
    const Shell::Outcome outcome = Shell::runCaptured(endless, {}, Shell::Capture::Merged, limits);
    QVERIFY(outcome.cut);
    QCOMPARE(outcome.output.size(), limits.outputCap);
    QVERIFY(outcome.output.startsWith("a line of text\na line of text\n"));
    QVERIFY(outcome.problem.contains("cut at 1 MB"));
}

QTEST_GUILESS_MAIN(ShellTest)
#include "test_shell.moc"
