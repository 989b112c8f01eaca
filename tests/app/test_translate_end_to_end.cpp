#include "AppFixture.h"
#include "WindowDriver.h"
#include "WindowTranslation.h"
#include "HistoryRecorder.h"

#include <QClipboard>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

// The window against the real translation service program and Apertium on loopback.
class TestTranslateEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init()
    {
        m_fixture = std::make_unique<AppFixture>();
        qputenv("LINGUARO_SERVICE_URL", m_url.toUtf8());
    }
    void cleanup() { m_fixture.reset(); }

    void englishToSpanish();
    void runsAppendBelowEarlierResults();
    void translatesWithoutTheAgentOnWindowsEight();
    void menuDuringARunIsIgnored();

private:
    static constexpr int Spanish = 3;
    QProcess m_service;
    QString m_url;
    std::unique_ptr<AppFixture> m_fixture;
};

void TestTranslateEndToEnd::initTestCase()
{
    const QString program = QStringLiteral(LINGUARO_BINARY_DIR "/linguaro-service");
    QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));
    m_service.start(program, {"--host", "127.0.0.1", "--port", "0"});
    QVERIFY(m_service.waitForStarted());
    QByteArray output;
    QDeadlineTimer deadline(30000);
    while (!output.contains('\n') && !deadline.hasExpired()) {
        m_service.waitForReadyRead(200);
        output += m_service.readAllStandardOutput();
    }
    const int at = output.indexOf("http://");
    QVERIFY2(at >= 0, output.constData());
    m_url = QString::fromUtf8(output.mid(at)).section(u'\n', 0, 0).trimmed();
}

void TestTranslateEndToEnd::cleanupTestCase()
{
    m_service.terminate();
    if (!m_service.waitForFinished(5000))
        m_service.kill();
}

void TestTranslateEndToEnd::englishToSpanish()
{
    MainWindow form;
    form.show();
    ui(form).sourcePane()->setPlainText("Hello world.\nThe house is big.");
    ui(form).targetList()->setCurrentIndex(Spanish);
    ui(form).item(ObjectName::copyToClipboard)->setChecked(true);
    ui(form).button(ObjectName::translateButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.translating(), 120000);

    QCOMPARE(m_fixture->prompts.errors, QStringList());
    QCOMPARE(m_fixture->prompts.messages, QStringList());
    QCOMPARE(form.statusText(), QString("Done."));
    const QString result = ui(form).targetPane()->toPlainText();
    QVERIFY2(result.contains("casa", Qt::CaseInsensitive), qPrintable(result));
    QVERIFY2(result.contains("grande", Qt::CaseInsensitive), qPrintable(result));
    QVERIFY2(result.contains("Hola", Qt::CaseInsensitive), qPrintable(result));
    QCOMPARE(ui(form).targetPane()->textCursor().position(), 0);
    QVERIFY(!ui(form).targetPane()->textCursor().hasSelection());
    QCOMPARE(QGuiApplication::clipboard()->text(), result);
    QCOMPARE(ui(form).sourcePane()->toPlainText(), QString("Hello world.\nThe house is big."));
}

void TestTranslateEndToEnd::runsAppendBelowEarlierResults()
{
    MainWindow form;
    ui(form).sourcePane()->setPlainText("The house.");
    ui(form).targetList()->setCurrentIndex(Spanish);
    ui(form).item(ObjectName::translateItem)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form.translating(), 120000);
    QCOMPARE(form.statusText(), QString("Done."));
    const QString first = ui(form).targetPane()->toPlainText();
    QVERIFY2(first.contains("casa", Qt::CaseInsensitive), qPrintable(first));

    ui(form).sourcePane()->setPlainText("The dog.");
    ui(form).item(ObjectName::translateItem)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form.translating(), 120000);
    QCOMPARE(m_fixture->prompts.errors, QStringList());
    const QString both = ui(form).targetPane()->toPlainText();
    QVERIFY2(both.startsWith(first + "\n"), qPrintable(both));
    QVERIFY2(both.mid(first.size()).contains("perro", Qt::CaseInsensitive), qPrintable(both));

    // the first text again comes from the translation memory, and the status line says so in the interface's language
    HistoryRecorder::flush();
    ui(form).item(ObjectName::germanItem)->trigger();
    ui(form).sourcePane()->setPlainText("The house.");
    ui(form).item(ObjectName::translateItem)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form.translating(), 120000);
    QCOMPARE(form.statusText(),
             QString::fromUtf8("Done. 1 von 1 Sätzen wurden aus dem Übersetzungsspeicher übernommen."));
    QVERIFY2(ui(form).targetPane()->toPlainText().endsWith("\n" + first),
             qPrintable(ui(form).targetPane()->toPlainText()));
    // and not with the option off
    ui(form).item(ObjectName::reuseTranslations)->setChecked(false);
    ui(form).item(ObjectName::translateItem)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form.translating(), 120000);
    QCOMPARE(form.statusText(), QString("Done."));
}

void TestTranslateEndToEnd::translatesWithoutTheAgentOnWindowsEight()
{
    qputenv("LINGUARO_WINVER", "nt 6.3 workstation");
    MainWindow form;
    QVERIFY(form.AgentUnavailable);
    ui(form).item(ObjectName::readAloud)->setChecked(true);
    ui(form).sourcePane()->setPlainText("Good morning.");
    ui(form).sourceList()->setCurrentIndex(0);
    ui(form).targetList()->setCurrentIndex(Spanish);
    QVERIFY(translateInWindow(form));
    QCOMPARE(m_fixture->prompts.errors, QStringList());
    QCOMPARE(form.statusText(), QString("Done."));
    QVERIFY(!ui(form).targetPane()->toPlainText().trimmed().isEmpty());
}

void TestTranslateEndToEnd::menuDuringARunIsIgnored()
{
    // two chunks, so the run is still going when the menu is chosen
    const QString text = QString("The house is big. ").repeated(200);
    QString undisturbed;
    {
        MainWindow form;
        ui(form).sourcePane()->setPlainText(text);
        ui(form).targetList()->setCurrentIndex(Spanish);
        QVERIFY(translateInWindow(form));
        undisturbed = ui(form).targetPane()->toPlainText();
    }
    MainWindow form;
    ui(form).sourcePane()->setPlainText(text);
    ui(form).targetList()->setCurrentIndex(Spanish);
    // the service itself, so that the run is under way when the menu is chosen
    ui(form).item(ObjectName::reuseTranslations)->setChecked(false);
    int presses = 0;
    QTimer::singleShot(0, &form, [&] {
        QVERIFY(form.translating());
        ++presses;
        ui(form).item(ObjectName::translateItem)->trigger();
    });
    QVERIFY(translateInWindow(form));
    QCOMPARE(presses, 1);
    QCOMPARE(m_fixture->prompts.errors, QStringList());
    QCOMPARE(form.statusText(), QString("Done."));
    QCOMPARE(ui(form).targetPane()->toPlainText(), undisturbed);
}

QTEST_MAIN(TestTranslateEndToEnd)
#include "test_translate_end_to_end.moc"
