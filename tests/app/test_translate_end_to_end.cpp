#include "AppFixture.h"
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
    TForm1 form;
    form.show();
    form.RichEdit1->setPlainText("Hello world.\nThe house is big.");
    form.wl_trglang->setCurrentIndex(Spanish);
    form.CopyToClipboard->setChecked(true);
    form.ToolButton20->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.translating(), 120000);

    QCOMPARE(m_fixture->prompts.errors, QStringList());
    QCOMPARE(m_fixture->prompts.messages, QStringList());
    QCOMPARE(form.statusText(), QString("Done."));
    const QString result = form.RichEdit2->toPlainText();
    QVERIFY2(result.contains("casa", Qt::CaseInsensitive), qPrintable(result));
    QVERIFY2(result.contains("grande", Qt::CaseInsensitive), qPrintable(result));
    QVERIFY2(result.contains("Hola", Qt::CaseInsensitive), qPrintable(result));
    QCOMPARE(form.RichEdit2->textCursor().position(), 0);
    QVERIFY(!form.RichEdit2->textCursor().hasSelection());
    QCOMPARE(QGuiApplication::clipboard()->text(), result);
    QCOMPARE(form.RichEdit1->toPlainText(), QString("Hello world.\nThe house is big."));
}

void TestTranslateEndToEnd::runsAppendBelowEarlierResults()
{
    TForm1 form;
    form.RichEdit1->setPlainText("The house.");
    form.wl_trglang->setCurrentIndex(Spanish);
    form.ranslate2->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form.translating(), 120000);
    QCOMPARE(form.statusText(), QString("Done."));
    const QString first = form.RichEdit2->toPlainText();
    QVERIFY2(first.contains("casa", Qt::CaseInsensitive), qPrintable(first));

    form.RichEdit1->setPlainText("The dog.");
    form.ranslate2->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form.translating(), 120000);
    QCOMPARE(m_fixture->prompts.errors, QStringList());
    const QString both = form.RichEdit2->toPlainText();
    QVERIFY2(both.startsWith(first + "\n"), qPrintable(both));
    QVERIFY2(both.mid(first.size()).contains("perro", Qt::CaseInsensitive), qPrintable(both));

    // the first text again comes from the translation memory, and the status line says so in the interface's language
    HistoryRecorder::flush();
    form.German2->trigger();
    form.RichEdit1->setPlainText("The house.");
    form.ranslate2->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form.translating(), 120000);
    QCOMPARE(form.statusText(),
             QString::fromUtf8("Done. 1 von 1 Sätzen wurden aus dem Übersetzungsspeicher übernommen."));
    QVERIFY2(form.RichEdit2->toPlainText().endsWith("\n" + first), qPrintable(form.RichEdit2->toPlainText()));
    // and not with the option off
    form.ReuseTranslations->setChecked(false);
    form.ranslate2->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form.translating(), 120000);
    QCOMPARE(form.statusText(), QString("Done."));
}

void TestTranslateEndToEnd::translatesWithoutTheAgentOnWindowsEight()
{
    qputenv("LINGUARO_WINVER", "nt 6.3 workstation");
    TForm1 form;
    QVERIFY(form.AgentUnavailable);
    form.ReadAloud->setChecked(true);
    form.RichEdit1->setPlainText("Good morning.");
    form.wl_srclang->setCurrentIndex(0);
    form.wl_trglang->setCurrentIndex(Spanish);
    QVERIFY(translateInWindow(form));
    QCOMPARE(m_fixture->prompts.errors, QStringList());
    QCOMPARE(form.statusText(), QString("Done."));
    QVERIFY(!form.RichEdit2->toPlainText().trimmed().isEmpty());
}

void TestTranslateEndToEnd::menuDuringARunIsIgnored()
{
    // two chunks, so the run is still going when the menu is chosen
    const QString text = QString("The house is big. ").repeated(200);
    QString undisturbed;
    {
        TForm1 form;
        form.RichEdit1->setPlainText(text);
        form.wl_trglang->setCurrentIndex(Spanish);
        QVERIFY(translateInWindow(form));
        undisturbed = form.RichEdit2->toPlainText();
    }
    TForm1 form;
    form.RichEdit1->setPlainText(text);
    form.wl_trglang->setCurrentIndex(Spanish);
    // the service itself, so that the run is under way when the menu is chosen
    form.ReuseTranslations->setChecked(false);
    int presses = 0;
    QTimer::singleShot(0, &form, [&] {
        QVERIFY(form.translating());
        ++presses;
        form.ranslate2->trigger();
    });
    QVERIFY(translateInWindow(form));
    QCOMPARE(presses, 1);
    QCOMPARE(m_fixture->prompts.errors, QStringList());
    QCOMPARE(form.statusText(), QString("Done."));
    QCOMPARE(form.RichEdit2->toPlainText(), undisturbed);
}

QTEST_MAIN(TestTranslateEndToEnd)
#include "test_translate_end_to_end.moc"
