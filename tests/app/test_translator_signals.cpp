// The real translator program and the real service it starts: a termination
// signal ends the translator as File > Exit does (settings written, service
// stopped), and the service ends by itself when the translator is killed.
#include "EquippedWindows.h"
#include "LoopbackPorts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The processes whose parent is `parent`, with their state letter, from /proc.
QList<std::pair<pid_t, char>> childrenOf(pid_t parent)
{
    QList<std::pair<pid_t, char>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!numeric || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold anything, so read behind its last ')'
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toInt() == parent)
            children.append({pid, fields[0].at(0)});
    }
    return children;
}

// Ended: reaped here (orphans come to this test, their subreaper), gone, or a zombie of another.
bool ended(pid_t pid)
{
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

// Every orphan left behind has come to this test: none may stay.
bool noOrphansLeft()
{
    for (const auto& [pid, state] : childrenOf(::getpid())) {
        if (state != 'Z')
            return false;
        ::waitpid(pid, nullptr, WNOHANG);
    }
    return true;
}

}  // namespace

class TestTranslatorSignals : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0); }

    void endsInOrderOrTakesItsServiceAlong_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("inOrder");
        QTest::newRow("SIGTERM") << int(SIGTERM) << true;
        QTest::newRow("SIGINT") << int(SIGINT) << true;
        QTest::newRow("SIGHUP") << int(SIGHUP) << true;
        QTest::newRow("SIGKILL") << int(SIGKILL) << false;
    }

    void endsInOrderOrTakesItsServiceAlong()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, inOrder);
        QTemporaryDir home;
        const quint16 port = LoopbackPorts::free();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LINGUARO_SERVICE_URL", "http_proxy", "HTTP_PROXY", "LC_ALL", "LC_MESSAGES", "windir"})
            environment.remove(QString::fromLatin1(name));
        environment.insert("LINGUARO_WINVER", "nt 6.2 workstation");  // a version without the character
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        equipWindowsFolder(home.filePath("data/Brenmark/Windows"));
        environment.insert("LANG", "en_US.UTF-8");
        environment.insert("LINGUARO_SERVICE_PORT", QString::number(port));
        environment.insert("QT_QPA_PLATFORM", "offscreen");

        QProcess translator;
        translator.setProcessEnvironment(environment);
        translator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        translator.start(QStringLiteral(TRANSLATOR_DRIVER), {});
        QVERIFY2(translator.waitForStarted(), qPrintable(translator.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(translator.canReadLine() || translator.state() == QProcess::NotRunning, 120000);
        QCOMPARE(translator.readLine().trimmed(), QByteArray("Done."));

        const auto children = childrenOf(pid_t(translator.processId()));
        QCOMPARE(children.size(), 1);
        const pid_t service = children.first().first;
        QVERIFY(LoopbackPorts::answers(port));

        ::kill(pid_t(translator.processId()), signalNumber);
        QVERIFY(translator.waitForFinished(30000));
        const QString store = home.filePath("config/Brenmark/Linguaro.reg");
        if (inOrder) {
            QCOMPARE(translator.exitStatus(), QProcess::NormalExit);
            QCOMPARE(translator.exitCode(), 0);
            QFile settings(store);
            QVERIFY(settings.open(QIODevice::ReadOnly));
            QVERIFY(settings.readAll().contains("\"trg\"=dword:00000003"));
        } else {
            QCOMPARE(translator.exitStatus(), QProcess::CrashExit);
            QVERIFY(!QFile::exists(store));
        }
        // the service, and the engine programs it ran, end by themselves
        QTRY_VERIFY_WITH_TIMEOUT(ended(service), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(noOrphansLeft(), 20000);
        QVERIFY(!LoopbackPorts::answers(port));
    }
};

QTEST_GUILESS_MAIN(TestTranslatorSignals)
#include "test_translator_signals.moc"
