// An installation in simplified Chinese ends the program before its window
// shows, whatever the stored interface language says.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestSimplifiedChineseExit : public QObject {
    Q_OBJECT
private slots:
    void endsBeforeTheWindowShows_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("storedKey");
        QTest::newRow("first start") << "zh_CN.UTF-8" << QByteArray();
        QTest::newRow("German stored") << "zh_CN.UTF-8" << QByteArray("\"lang\"=\"German\"\n");
        QTest::newRow("Singapore") << "zh_SG.UTF-8" << QByteArray();
    }
    void endsBeforeTheWindowShows()
    {
        QFETCH(QString, locale);
        QFETCH(QByteArray, storedKey);
        const QString program = QStringLiteral(LINGUARO_BINARY_DIR "/linguaro");
        QVERIFY2(QFile::exists(program), "build/linguaro is not built");

        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString store = home.path() + "/config/Brenmark/Linguaro.reg";
        QByteArray stored;
        if (!storedKey.isEmpty()) {
            QVERIFY(QDir().mkpath(home.path() + "/config/Brenmark"));
            stored = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n" + storedKey;
            QFile file(store);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(stored);
        }

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "http_proxy", "HTTP_PROXY"})
            environment.remove(name);
        environment.insert("LANG", locale);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
        environment.insert("XDG_DATA_HOME", home.path() + "/data");
        // nothing may be started or fetched on the way out
        environment.insert("LINGUARO_SERVICE_URL", "http://127.0.0.1:9/translate");
        environment.insert("LINGUARO_SITE_URL", "http://127.0.0.1:9/");

        QProcess linguaro;
        linguaro.setProcessEnvironment(environment);
        linguaro.start(program, {});
        QVERIFY(linguaro.waitForStarted());
        // a window that showed would keep the program running until closed
        const bool ended = linguaro.waitForFinished(60000);
        if (!ended) {
            linguaro.kill();
            linguaro.waitForFinished();
        }
        QVERIFY2(ended, "the program kept running: its window was shown");
        QCOMPARE(linguaro.exitStatus(), QProcess::NormalExit);
        QCOMPARE(linguaro.exitCode(), 0);

        // it ended before the settings were ever written back
        QFile file(store);
        if (stored.isEmpty()) {
            QVERIFY(!file.exists());
        } else {
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), stored);
        }
    }
};

QTEST_GUILESS_MAIN(TestSimplifiedChineseExit)
#include "test_simplified_chinese_exit.moc"
