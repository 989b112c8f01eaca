// The Help menu of the real window: Update against a site served over HTTP on loopback
// and as a folder, Manual and Homepage through xdg-open to a stand-in browser, About.
#include "EquippedWindows.h"
#include "WindowDriver.h"
#include "Folders.h"
#include "LiveUpdate.h"
#include "ScriptedPrompts.h"
#include "SiteServer.h"
#include "StandInBrowser.h"
#include "MainWindow.h"
#include "AboutBox.h"
#include "ToolbarIcons.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

class HelpMenuTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void installerNameFromUrl_data();
    void installerNameFromUrl();
    void update_data();
    void update();
    void manualAndHomepageOpenInTheBrowser();
    void aboutBox();

private:
    QString write(const QString& path, const QByteArray& content);
    QString read(const QString& path) const;
    QString data() const { return m_home->filePath("data/Brenmark"); }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<StandInBrowser> m_browser;
};

void HelpMenuTest::init()
{
    // no blank in the path, for the stand-in browser
    m_home = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/help-menu-XXXXXX");
    qputenv("XDG_CONFIG_HOME", m_home->filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", m_home->filePath("data").toUtf8());
    qputenv("LANG", "en_US.UTF-8");
    for (const char* name : {"http_proxy", "HTTP_PROXY", "LC_ALL", "LC_MESSAGES", "windir"})
        qunsetenv(name);
    qputenv("LINGUARO_WINVER", "nt 6.2 workstation");  // a version without the character
    qputenv("LINGUARO_SERVICE_URL", "http://127.0.0.1:9/translate");
    equipWindowsFolder(Folders::windowsFolder());
    m_browser = std::make_unique<StandInBrowser>(m_home->path());
    QCoreApplication::setApplicationName(QStringLiteral("Linguaro Translator"));
}

QString HelpMenuTest::write(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString HelpMenuTest::read(const QString& path) const
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

void HelpMenuTest::installerNameFromUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("root of a .com host") << "http://www.brenmark.com/lgsetup.exe"
                                         << "lgsetup.exe";
    QTest::newRow("sub-folder") << "http://downloads.brenmark.com/files/6.3/lgsetup.exe"
                                << "lgsetup.exe";
    QTest::newRow("host without .com/.net/.org") << "http://127.0.0.1:8080/dl/linguaro-621.run"
                                                 << "linguaro-621.run";
    QTest::newRow("file:// site") << "file:///srv/site/linguaro-621.run"
                                  << "linguaro-621.run";
    QTest::newRow(".org inside the path") << "https://mirror.example.de/x.org/setup.sh"
                                          << "setup.sh";
    QTest::newRow("no file named") << "http://www.brenmark.com/"
                                   << "";
}

void HelpMenuTest::installerNameFromUrl()
{
    QFETCH(QString, url);
    QTEST(LiveUpdate::installerNameFromUrl(url), "name");
}

void HelpMenuTest::update_data()
{
    QTest::addColumn<QString>("site");            // "http", "file", "built" (the site of this build), "closed"
    QTest::addColumn<QByteArray>("versionFile");  // absent when empty; "$ROOT" stands for the HTTP root
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("message");  // the last message shown
    QTest::addColumn<QString>("started");  // the installer that ran, by name in the data folder

    const QString question = "A newer version of Linguaro Translator is now available. Would you like to install it?";
    const QString latest = "No update found. You are using the latest version.";
    QTest::newRow("620 is current") << "http" << QByteArray("620\r\nsetup.sh\r\n") << true << latest << "";
    QTest::newRow("the built site announces 620") << "built" << QByteArray() << true << latest << "";
    QTest::newRow("a version too long to count, after a byte-order mark")
        << "http"
        << QByteArray("\xef\xbb\xbf"
                      "99999999999999999999\r\nsetup.sh\r\n")
        << true << question << "setup.sh";
    QTest::newRow("621, answered No") << "http" << QByteArray("621\nsetup.sh\n") << false << question << "";
    QTest::newRow("621, Yes, installer beside update.ini")
        << "http" << QByteArray("621\nsetup.sh\n") << true << question << "setup.sh";
    QTest::newRow("621, Yes, installer in a sub-folder of a loopback host")
        << "http" << QByteArray("621\n$ROOT/dl/6.3/setup-6.3.sh\nignored\n") << true << question << "setup-6.3.sh";
    QTest::newRow("621, Yes, file:// site") << "file" << QByteArray("621\nsetup.sh") << true << question << "setup.sh";
    QTest::newRow("installer missing on the site")
        << "http" << QByteArray("621\nnowhere.sh\n") << true << "could not be downloaded from http"
        << "";
    QTest::newRow("installer download breaks off")
        << "http" << QByteArray("621\n$ROOT/broken/setup.sh\n") << true << "could not be downloaded from http"
        << "";
    QTest::newRow("garbage first line") << "http" << QByteArray("<html>Moved</html>\n") << true
                                        << "its first line \"<html>Moved</html>\" is not a version number"
                                        << "";
    QTest::newRow("no update.ini on the site") << "http" << QByteArray() << true << "could not be fetched from http"
                                               << "";
    QTest::newRow("site unreachable") << "closed" << QByteArray() << true << "could not be fetched from http"
                                      << "";
}

void HelpMenuTest::update()
{
    QFETCH(QString, site);
    QFETCH(QByteArray, versionFile);
    QFETCH(bool, yes);
    QFETCH(QString, message);
    QFETCH(QString, started);

    const QString folder = m_home->filePath("site");
    QDir().mkpath(folder);
    SiteServer server(folder);
    const QByteArray installer = "#!/bin/sh\npwd > '" + m_home->filePath("installed").toUtf8() + "'\n";
    write(folder + "/setup.sh", installer);
    write(folder + "/dl/6.3/setup-6.3.sh", installer);
    if (!versionFile.isEmpty())
        write(folder + "/update.ini", QByteArray(versionFile).replace("$ROOT", server.root().chopped(1).toUtf8()));
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const QString closed = QStringLiteral("http://127.0.0.1:%1/").arg(probe.serverPort());
    probe.close();
    const QString root = site == "http"    ? server.root()
                         : site == "file"  ? QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded)
                         : site == "built" ? QUrl::fromLocalFile(QStringLiteral(LINGUARO_BINARY_DIR "/site")).toString()
                                           : closed;
    qputenv("LINGUARO_SITE_URL", root.toUtf8());

    ScriptedPrompts prompts;
    prompts.answer = yes ? UserPrompts::Answer::Yes : UserPrompts::Answer::No;
    MainWindow form;
    QVERIFY(ui(form).item(ObjectName::updateItem)->isEnabled());
    ui(form).item(ObjectName::updateItem)->trigger();
    // the downloads run as jobs while the window goes on; the last message ends the check
    QTRY_VERIFY2_WITH_TIMEOUT(!prompts.messages.isEmpty() && prompts.messages.last().contains(message),
                              qPrintable(prompts.messages.join('|')), 60000);
    QVERIFY(prompts.errors.isEmpty());
    if (!versionFile.isEmpty() || site == "built")
        QVERIFY(QFile::exists(data() + "/Linguaro Translator/update.ini"));

    QStringList inData = QDir(data()).entryList(QDir::Files);
    if (started.isEmpty()) {
        // nothing was downloaded but update.ini, and nothing ran
        QCOMPARE(inData, QStringList());
        QVERIFY(!QFile::exists(m_home->filePath("installed")));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(QDir(data()).entryList(QDir::Files), QStringList{started}, 60000);
        // the installer starts on its own, in the data folder
        QTRY_COMPARE(read(m_home->filePath("installed")), data());
    }
}

void HelpMenuTest::manualAndHomepageOpenInTheBrowser()
{
    const QString site = QStringLiteral(LINGUARO_BINARY_DIR "/site");
    const QString root = QUrl::fromLocalFile(site).toString() + '/';
    qputenv("LINGUARO_SITE_URL", root.toUtf8());
    ScriptedPrompts prompts;
    MainWindow form;
    for (QAction* item : {ui(form).item(ObjectName::manualItem), ui(form).item(ObjectName::homepageItem)}) {
        QVERIFY(item->isEnabled());
        item->trigger();
    }
    const QStringList expected{site + "/linguaro-manual.html", site + "/linguaro-translator.html"};
    QTRY_COMPARE(m_browser->pages().size(), 2);
    QStringList browsed = m_browser->pages();
    browsed.sort();
    QCOMPARE(browsed, expected);
    // the pages are there, with every image they show
    for (const QString page : {"linguaro-manual.html", "linguaro-translator.html"}) {
        const QString html = read(site + '/' + page);
        QVERIFY2(html.contains("</html>"), qPrintable(page));
        for (qsizetype at = html.indexOf("src=\""); at >= 0; at = html.indexOf("src=\"", at + 1)) {
            const QString image = html.mid(at + 5, html.indexOf('"', at + 5) - at - 5);
            QVERIFY2(QFile::exists(site + '/' + image), qPrintable(page + ": " + image));
        }
    }
    QVERIFY(prompts.messages.isEmpty());
}

void HelpMenuTest::aboutBox()
{
    // the year is the machine's on the day the box opens
    AboutBox later(nullptr, ToolbarIcons::applicationIcon(), QDate(2031, 5, 1));
    QVERIFY(later.noticeLabel->text().contains("2031 Brenmark."));

    ScriptedPrompts prompts;
    qputenv("LINGUARO_SITE_URL", "http://127.0.0.1:9/");
    MainWindow form;
    QVERIFY(ui(form).item(ObjectName::aboutItem)->isEnabled());
    // the box opens once the menu is done with the click
    ui(form).item(ObjectName::aboutItem)->trigger();
    QPointer<AboutBox> shown;
    bool checked = false;
    QTimer::singleShot(0, [&] {
        shown = qobject_cast<AboutBox*>(QApplication::activeModalWidget());
        if (!shown)
            return;
        // OK closes the box once it has been looked at, whatever the checks found
        QTimer::singleShot(0, shown.data(), [&] { QTest::mouseClick(shown->okButton, Qt::LeftButton); });
        QCOMPARE(shown->windowTitle(), QString("About"));
        QCOMPARE(shown->parentWidget(), &form);
        QCOMPARE(shown->versionLabel->text(), QString("Version: 6.2"));
        QVERIFY(shown->noticeLabel->text().contains(QString::number(QDate::currentDate().year()) + " Brenmark."));
        QCOMPARE(shown->titleLabel->text(), QString("Linguaro Translator"));
        QCOMPARE(shown->titleHighlight->pos(), shown->titleLabel->pos() - QPoint(1, 1));
        QCOMPARE(shown->titleHighlight->palette().color(QPalette::WindowText), QColor(0xc0, 0xc0, 0xc0));
        QCOMPARE(shown->titleLabel->font().pixelSize(), 21);
        QCOMPARE(shown->productImage->pixmap().size(), QSize(33, 33));
        QCOMPARE(shown->minimumSize(), shown->maximumSize());
        checked = true;
    });
    QCoreApplication::sendPostedEvents();
    QVERIFY(checked);
    QVERIFY(shown.isNull());  // closed with OK and freed
}

QTEST_MAIN(HelpMenuTest)
#include "test_help_menu.moc"
