// The component packages of this build's site, run as programs: every package installs its
// file below $windir in the case the folders already have; quiet, asking on a real terminal
// (a pty), no terminal, damaged, twice, with links planted in the Windows folder, cut
// short by a full disk, and made by hand to name files outside the Windows folder.
#include "Folders.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString Site = QStringLiteral(LINGUARO_BINARY_DIR "/site");
const QString Chars = QStringLiteral(LINGUARO_BINARY_DIR "/chars");
const QString OnTerminal = QStringLiteral(LINGUARO_SOURCE_DIR "/tests/components/on_terminal.py");

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The package with one more file in its list: `dest` with the first file's bytes. The
// payload's offset moves with the longer list; with `resign` the list's checksum is made to
// match, as a hostile package made without the builder would.
QByteArray withEntry(QByteArray package, const QByteArray& dest, bool resign)
{
    const QByteArray open = "\nmanifest='";
    const qsizetype start = package.indexOf(open) + open.size();
    const qsizetype end = package.indexOf("'\n", start);
    const QByteArray first = package.mid(start + 1, end - start - 1).split('\n').constFirst();
    const QByteArray line = dest + first.mid(first.indexOf(' ')) + '\n';
    package.insert(end, line);
    if (resign) {
        const QByteArray sum =
            QCryptographicHash::hash(package.mid(start, end + line.size() - start), QCryptographicHash::Sha256).toHex();
        package.replace(package.indexOf("\nmanifest_sum=") + 14, sum.size(), sum);
    }
    const qsizetype at = package.indexOf("\npayload_offset=") + 16;
    const qint64 offset = package.mid(at, 10).toLongLong() + line.size();
    package.replace(at, 10, QStringLiteral("%1").arg(offset, 10, 10, QChar(u'0')).toLatin1());
    return package;
}
}  // namespace

class ComponentPackagesTest : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void everyPackageInstallsItsFile();
    void runs_data();
    void runs();

private:
    struct Ran {
        int code = -1;
        QString output;
    };
    // Runs a package with `windir` set; terminal: empty for none, else the answer typed.
    Ran run(const QString& package, const QStringList& arguments, const QString& windows,
            const QString& terminal = QString(), bool fullDisk = false);
    // The files and links below a folder, relative, sorted.
    static QStringList entries(const QString& folder);

    std::unique_ptr<QTemporaryDir> m_dir;
};

ComponentPackagesTest::Ran ComponentPackagesTest::run(const QString& package, const QStringList& arguments,
                                                      const QString& windows, const QString& terminal, bool fullDisk)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("windir", windows);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    if (fullDisk)  // a file may not grow past 512 bytes
        process.start("/bin/sh", QStringList{"-c", "ulimit -f 1; exec \"$0\" \"$@\"", package} + arguments);
    else if (!terminal.isEmpty())
        process.start("python3", QStringList{OnTerminal, terminal, package} + arguments);
    else
        process.start(package, arguments);
    if (!process.waitForFinished(60000))
        qFatal("%s did not end", qPrintable(package));
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

QStringList ComponentPackagesTest::entries(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(folder).relativeFilePath(it.next());
    found.sort();
    return found;
}

void ComponentPackagesTest::everyPackageInstallsItsFile()
{
    const QString windows = m_dir->filePath("W");
    // folders that are there already keep their case
    QVERIFY(QDir().mkpath(windows + "/MSAgent/CHARS"));
    QVERIFY(QDir().mkpath(windows + "/Speech"));
    QStringList expected = {"MSAgent/agentsvr.exe", "Speech/speech.dll", "Speech/sapi5/sapi.dll"};
    QStringList packages = {"MSagent.exe", "x86.msu", "x64.msu", "spchapi.exe", "SAPI5SpeechInstaller.msi"};
    for (const char* name : {"Merlin", "Genie", "Peedy", "Robby"}) {
        packages << QString(name) + ".exe";
        expected << "MSAgent/CHARS/" + QString(name) + ".acs";
    }
    for (const char* engine : {"tv_enua", "lhttseng", "lhttsdun", "lhttsfrf", "lhttsged", "lhttsiti", "lhttsjpj",
                               "lhttskok", "lhttsptb", "lhttsrur", "lhttsspe"}) {
        packages << QString(engine) + ".exe";
        expected << "Speech/engines/" + QString(engine);
    }
    for (const QString& package : packages) {
        const Ran ran = run(Site + '/' + package, {"/Q:A"}, windows);
        QVERIFY2(ran.code == 0 && ran.output.isEmpty(), qPrintable(package + ": " + ran.output));
    }
    expected.sort();
    QCOMPARE(entries(windows), expected);
    for (const char* name : {"Merlin", "Genie", "Peedy", "Robby"})
        QCOMPARE(contents(windows + "/MSAgent/CHARS/" + name + ".acs"), contents(Chars + '/' + name + ".acs"));
}

void ComponentPackagesTest::runs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("terminal");  // the answer typed on a terminal; empty: no terminal
    QTest::addColumn<QString>("setup");     // what the Windows folder or the package is like before
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<bool>("installed");

    const QStringList quiet{"/Q:A"};
    QTest::newRow("quiet") << quiet << ""
                           << "" << 0 << "" << false << true;
    QTest::newRow("no terminal: no question") << QStringList() << ""
                                              << "" << 0 << "Installed the character Merlin into" << false << true;
    QTest::newRow("terminal, yes") << QStringList() << "y"
                                   << "" << 0 << "This package installs the character Merlin into" << true << true;
    QTest::newRow("terminal, no") << QStringList() << "n"
                                  << "" << 1 << "Nothing was installed." << true << false;
    QTest::newRow("quiet on a terminal") << quiet << "y"
                                         << "" << 0 << "" << false << true;
    QTest::newRow("twice") << quiet << ""
                           << "installed" << 0 << "" << false << true;
    QTest::newRow("unknown parameter") << QStringList{"/X"} << ""
                                       << "" << 2 << "unknown parameter \"/X\"" << false << false;
    QTest::newRow("truncated") << quiet << ""
                               << "truncated" << 3 << "the package is damaged" << false << false;
    QTest::newRow("wrong checksum") << quiet << "y"
                                    << "checksum" << 3 << "does not match" << false << false;
    QTest::newRow("Windows folder is a file") << quiet << ""
                                              << "file" << 4 << "cannot create the Windows folder" << false << false;
    QTest::newRow("linked folder") << quiet << ""
                                   << "linked folder" << 4 << "is a symbolic link" << false << false;
    QTest::newRow("link at the file") << quiet << ""
                                      << "linked file" << 0 << "" << false << true;
    QTest::newRow("disk full") << quiet << ""
                               << "full disk" << 4 << "cannot write" << false << false;
    // hostile file lists: nothing is written, not even the good file listed first
    const QString unsafe = "is not a plain path below the Windows folder";
    QTest::newRow("name climbing out") << quiet << ""
                                       << "entry ../victim/escaped.txt" << 3 << unsafe << false << false;
    QTest::newRow("absolute name") << quiet << ""
                                   << "entry VICTIM/escaped.txt" << 3 << unsafe << false << false;
    QTest::newRow("name with backslashes") << quiet << ""
                                           << "entry ..\\victim\\escaped.txt" << 3 << unsafe << false << false;
    QTest::newRow("file list changed after packing")
        << quiet << ""
        << "unsigned entry msagent/chars/escaped.txt" << 3 << "the checksum of its file list does not match" << false
        << false;
}

void ComponentPackagesTest::runs()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, terminal);
    QFETCH(QString, setup);
    QFETCH(int, code);
    QFETCH(QString, says);
    QFETCH(bool, asks);
    QFETCH(bool, installed);

    QString windows = m_dir->filePath("W");
    const QString victim = m_dir->filePath("victim");
    QVERIFY(QDir().mkpath(victim));
    QFile(victim + "/mine").open(QIODevice::WriteOnly);

    QByteArray package = contents(Site + "/Merlin.exe");
    QVERIFY(package.size() > 1000);
    if (setup == "truncated")
        package.chop(100);
    if (setup == "checksum")
        package[package.size() - 100] = char(package[package.size() - 100] ^ 1);
    if (setup.contains("entry ")) {
        const QString dest = setup.section(' ', -1).replace("VICTIM", victim);
        package = withEntry(package, dest.toUtf8(), !setup.startsWith("unsigned"));
    }
    const QString path = m_dir->filePath("Merlin.exe");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(package) == package.size());
    file.close();
    file.setPermissions(file.permissions() | QFile::ExeOwner);

    if (setup == "installed")
        QCOMPARE(run(path, arguments, windows).code, 0);
    if (setup == "file")
        windows = victim + "/mine";
    if (setup == "linked folder") {
        QVERIFY(QDir().mkpath(windows + "/msagent"));
        QVERIFY(QFile::link(victim, windows + "/msagent/chars"));
    }
    if (setup == "linked file") {
        QVERIFY(QDir().mkpath(windows + "/msagent/chars"));
        QVERIFY(QFile::link(victim + "/mine", windows + "/msagent/chars/MERLIN.ACS"));
    }

    const Ran ran = run(path, arguments, windows, terminal, setup == "full disk");
    QVERIFY2(ran.code == code, qPrintable(QString::number(ran.code) + ": " + ran.output));
    QVERIFY2(ran.output.contains(says), qPrintable(ran.output));
    QCOMPARE(ran.output.contains("[y/N]"), asks);

    const QString acs = Folders::findEntry(windows, "msagent/chars/merlin.acs");
    if (installed) {
        QVERIFY(!QFileInfo(acs).isSymLink());
        QCOMPARE(contents(acs), contents(Chars + "/Merlin.acs"));
    } else {
        QVERIFY2(acs.isEmpty() || setup == "linked folder", qPrintable(acs));
    }
    // nothing written through a link, no temporary file left behind
    QCOMPARE(entries(victim), QStringList{"mine"});
    QCOMPARE(QFileInfo(victim + "/mine").size(), 0);
    if (QFileInfo(windows).isDir())
        QCOMPARE(entries(windows), installed ? QStringList{QDir(windows).relativeFilePath(acs)} : QStringList());
}

QTEST_GUILESS_MAIN(ComponentPackagesTest)
#include "test_component_packages.moc"
