// The Debian package packed from this build's programs (make-deb.sh --no-build):
// what it holds, what lintian, hardening-check and the desktop's validators say of it, and
// the programs run from it unpacked into a folder of their own (nothing is installed).
#include "LoopbackPorts.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <httplib.h>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString& program, const QStringList& arguments,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run result;
    if (process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QStringList elfFiles(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly)
            && file.read(4)
                   == "\x7f"
                      "ELF")
            found << file.fileName();
    }
    return found;
}

}  // namespace

class TestDebianPackage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void holdsWhatAnInstallationNeeds();
    void passesTheDistributionsChecks();
    void programsAreHardened();
    void runsFromWhereItIsUnpacked();
    void systemServiceIsValid();

private:
    QTemporaryDir m_folder;
    QString m_deb;
    QString m_root;
};

void TestDebianPackage::initTestCase()
{
    if (QStandardPaths::findExecutable("dpkg-deb").isEmpty()
        || QStandardPaths::findExecutable("dpkg-shlibdeps").isEmpty())
        QSKIP("dpkg-deb or dpkg-shlibdeps is missing (apt-get install dpkg-dev): the package is not tested");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("BUILD_DIR", LINGUARO_BINARY_DIR);
    const Run made =
        run(LINGUARO_SOURCE_DIR "/scripts/make-deb.sh", {"--no-build", "--output", m_folder.path()}, environment);
    QVERIFY2(made.exitCode == 0, made.err.constData());
    m_deb = QString::fromUtf8(made.out).trimmed();
    QCOMPARE(QFileInfo(m_deb).fileName(), QStringLiteral("linguaro_6.2.0-1_amd64.deb"));
    m_root = m_folder.filePath("root");
    const Run unpacked = run("dpkg", {"-x", m_deb, m_root});
    QVERIFY2(unpacked.exitCode == 0, unpacked.err.constData());
}

void TestDebianPackage::holdsWhatAnInstallationNeeds()
{
    const Run contents = run("dpkg-deb", {"--contents", m_deb});
    QCOMPARE(contents.exitCode, 0);
    QStringList paths;
    for (const QString& line : QString::fromUtf8(contents.out).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
        QVERIFY2(fields.size() >= 6 && fields[1] == QLatin1String("root/root"), qPrintable(line));
        paths << fields.mid(5).join(u' ');
    }
    for (const char* wanted :
         {"./usr/bin/linguaro -> ../lib/linguaro/linguaro",
          "./usr/bin/linguaro-service -> ../lib/linguaro/linguaro-service", "./usr/lib/linguaro/site/pdf-extract",
          "./usr/lib/linguaro/site/linguaro-translator.html", "./usr/share/applications/linguaro.desktop",
          "./usr/share/icons/hicolor/scalable/apps/linguaro.svg",
          "./usr/share/metainfo/com.brenmark.Linguaro.metainfo.xml", "./usr/share/man/man1/linguaro.1.gz",
          "./usr/share/man/man8/linguaro-service.8.gz", "./usr/share/doc/linguaro/copyright",
          "./usr/share/doc/linguaro/changelog.Debian.gz", "./usr/share/doc/linguaro/README.md.gz",
          "./usr/share/doc/linguaro/docs/command-line.md.gz", "./usr/share/doc/linguaro/docs/screenshot.png",
          "./usr/share/doc/linguaro/examples/haproxy.cfg", "./lib/systemd/system/linguaro-service.service",
          "./etc/default/linguaro-service"})
        QVERIFY2(paths.contains(QLatin1String(wanted)), wanted);

    // the programs' libraries and the engine with its data, nothing the build alone needs
    const Run depends = run("dpkg-deb", {"--field", m_deb, "Depends"});
    const QStringList packages = QString::fromUtf8(depends.out).simplified().split(QRegularExpression(",\\s*"));
    for (const char* needed : {"apertium", "apertium-eng-spa", "espeak-ng"})
        QVERIFY2(packages.contains(QLatin1String(needed)), needed);
    for (const QRegularExpression& library :
         {QRegularExpression("^libqt6widgets6 "), QRegularExpression("^libcurl4 "),
          QRegularExpression("^libpoppler-cpp"), QRegularExpression("^libmicrohttpd")})
        QVERIFY2(!packages.filter(library).isEmpty(), qPrintable(library.pattern()));
    QVERIFY2(packages.filter(QRegularExpression("-dev\\b|^cmake|^build-essential")).isEmpty(), depends.out.constData());
    QCOMPARE(run("dpkg-deb", {"--info", m_deb, "conffiles"}).out.trimmed(),
             QByteArray("/etc/default/linguaro-service"));

    // compiled files live under /usr/lib, and every one of them is stripped
    const QStringList programs = elfFiles(m_root);
    for (const QString& path : programs) {
        QVERIFY2(!path.startsWith(m_root + "/usr/share/"), qPrintable(path));
        const Run sections = run("readelf", {"--section-headers", "--wide", path});
        QVERIFY2(!sections.out.contains(".symtab") && !sections.out.contains(".debug_"), qPrintable(path));
    }
    QVERIFY(programs.size() >= 6);  // the two programs and four converters at least
}

void TestDebianPackage::passesTheDistributionsChecks()
{
    const QString entry = m_root + "/usr/share/applications/linguaro.desktop";
    const Run desktop = run("desktop-file-validate", {entry});
    QVERIFY2(desktop.exitCode == 0, desktop.out.constData());
    if (!QStandardPaths::findExecutable("appstreamcli").isEmpty()) {
        const Run metainfo = run("appstreamcli", {"validate", "--no-net",
                                                  m_root + "/usr/share/metainfo/com.brenmark.Linguaro.metainfo.xml"});
        QVERIFY2(metainfo.exitCode == 0, metainfo.out.constData());
    } else {
        qWarning("appstreamcli is missing (apt-get install appstream): the metainfo file is not validated");
    }
    if (QStandardPaths::findExecutable("lintian").isEmpty())
        QSKIP("lintian is missing (apt-get install lintian): the package's policy check is skipped");
    // the hardening tags are information only, which --fail-on does not count
    const Run lintian = run("lintian", {"--fail-on", "error", "--display-info", "--tag-display-limit", "0", m_deb});
    QVERIFY2(lintian.exitCode == 0, (lintian.out + lintian.err).constData());
    QVERIFY2(!lintian.out.contains("E: "), lintian.out.constData());
    QVERIFY2(!lintian.out.contains(": hardening-"), lintian.out.constData());
}

void TestDebianPackage::programsAreHardened()
{
    if (QStandardPaths::findExecutable("hardening-check").isEmpty())
        QSKIP("hardening-check is missing (apt-get install devscripts): the programs' hardening is not checked");
    // the Word converter travels inside its self-unpacking package
    QTemporaryDir unpacked;
    QProcess unpack;
    unpack.setWorkingDirectory(unpacked.path());
    unpack.start("sh", {m_root + "/usr/lib/linguaro/site/doc-extract"});
    QVERIFY(unpack.waitForFinished(60000) && unpack.exitStatus() == QProcess::NormalExit && unpack.exitCode() == 0);
    const QStringList programs = elfFiles(m_root) + elfFiles(unpacked.path());
    QVERIFY(programs.contains(unpacked.filePath("wordtext")));

    // A program that calls only unfortified libc functions fails; one that calls none that
    // can be fortified ("unknown") passes. Control flow protection is left out: Debian 12's
    // flags do not ask for it and its start files are not marked for it.
    const Run check = run("hardening-check", QStringList{"--nocfprotection"} + programs);
    QVERIFY2(check.exitCode == 0, (check.out + check.err).constData());
    // the fortified calls reached the two programs, which do call such functions
    const QString report = QString::fromUtf8(check.out);
    for (const char* program : {"linguaro", "linguaro-service"}) {
        const QString path = m_root + "/usr/lib/linguaro/" + program;
        const QRegularExpression fortified(QRegularExpression::escape(path)
                                           + ":\n( .*\n)*? Fortify Source functions: yes");
        QVERIFY2(fortified.match(report).hasMatch(), qPrintable(report));
    }
}

void TestDebianPackage::runsFromWhereItIsUnpacked()
{
    const QString bin = m_root + "/usr/bin/";
    const Run version = run(bin + "linguaro", {"--version"});
    QCOMPARE(version.exitCode, 0);
    QVERIFY2(version.out.contains(" 6.2"), version.out.constData());

    QProcess service;
    service.start(bin + "linguaro-service", {"--port", "0"});
    QString listening;
    QTRY_VERIFY_WITH_TIMEOUT((listening += QString::fromUtf8(service.readAllStandardOutput())).contains("/translate"),
                             20000);
    const int port = QRegularExpression(":(\\d+)/translate").match(listening).captured(1).toInt();
    httplib::Client client("127.0.0.1", port);
    const auto health = client.Get("/health");
    QVERIFY(health && health->status == 200);
    service.terminate();
    QVERIFY(service.waitForFinished(10000));

    // the link on the PATH finds the converters on the site and the service beside the program
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS",
                             "LINGUARO_SERVICE_URL", "LINGUARO_SITE_URL", "http_proxy", "HTTP_PROXY"})
        environment.remove(QLatin1String(name));
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("XDG_RUNTIME_DIR", home.path());
    environment.insert("LINGUARO_SERVICE_PORT", QString::number(LoopbackPorts::free()));
    const Run document = run(
        bin + "linguaro",
        {"--from", "en", "--to", "es", "--file", LINGUARO_SOURCE_DIR "/tests/data/documents/report.pdf"}, environment);
    QVERIFY2(document.exitCode == 0, document.err.constData());
    QVERIFY(QString::fromUtf8(document.out).contains(QString::fromUtf8("Cafetería")));
    QVERIFY(QFileInfo::exists(home.filePath("data/Brenmark/pdf-extract")));
}

void TestDebianPackage::systemServiceIsValid()
{
    if (QStandardPaths::findExecutable("systemd-analyze").isEmpty())
        QSKIP("systemd-analyze is missing (apt-get install systemd): the unit is not verified");
    QFile unit(m_root + "/lib/systemd/system/linguaro-service.service");
    QVERIFY(unit.open(QIODevice::ReadOnly));
    const QByteArray text = unit.readAll();
    // checked where the program is unpacked, as it is not installed on this machine
    QTemporaryDir units;
    QFile copy(units.filePath("linguaro-service.service"));
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write(QByteArray(text).replace("ExecStart=/usr/bin/", "ExecStart=" + m_root.toUtf8() + "/usr/bin/"));
    copy.close();
    const Run verify = run("systemd-analyze", {"verify", "--man=no", copy.fileName()});
    QVERIFY2(verify.exitCode == 0 && verify.err.trimmed().isEmpty(), (verify.out + verify.err).constData());
    for (const char* hardening : {"DynamicUser=yes", "ProtectSystem=strict", "ProtectHome=yes", "PrivateTmp=yes",
                                  "NoNewPrivileges=yes", "EnvironmentFile=-/etc/default/linguaro-service"})
        QVERIFY2(text.contains(QByteArray("\n") + hardening + "\n"), hardening);
    // off until an administrator enables it: the package runs nothing when installed
    QVERIFY(run("dpkg-deb", {"--info", m_deb, "postinst"}).exitCode != 0);
}

QTEST_MAIN(TestDebianPackage)
#include "test_debian_package.moc"
