// The window while a translation runs, against a loopback test service whose
// second chunk never comes back: the window goes on turning its event loop,
// and Escape or the Stop button ends the run at once.
#include "AppFixture.h"
#include "LoopbackService.h"
#include "WindowTranslation.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

class TestTranslationWindow : public QObject {
    Q_OBJECT
private slots:
    void stopsAtOnceAndKeepsWhatCame_data();
    void stopsAtOnceAndKeepsWhatCame();
};

void TestTranslationWindow::stopsAtOnceAndKeepsWhatCame_data()
{
    QTest::addColumn<bool>("escape");
    QTest::addColumn<bool>("focusMoved");
    QTest::newRow("Escape") << true << false;
    QTest::newRow("Stop button, focus moved by the user") << false << true;
}

void TestTranslationWindow::stopsAtOnceAndKeepsWhatCame()
{
    QFETCH(bool, escape);
    QFETCH(bool, focusMoved);
    AppFixture fixture;
    LoopbackService service;
    qputenv("LINGUARO_SERVICE_URL", service.url("/translate").c_str());
    TForm1 form;
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.CopyToClipboard->setChecked(true);
    QGuiApplication::clipboard()->setText("before");
    const QString first = QString(2998, 'a');
    form.RichEdit1->setPlainText(first + "\nSTALL");
    form.wl_glossary->setFocus();

    form.ToolButton20Click();
    QCOMPARE(form.ToolButton20->text(), QString("Stop"));
    if (focusMoved)
        form.RichEdit1->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(form.RichEdit2->toPlainText(), "fr:" + first + " ", 30000);
    QCOMPARE(form.focusWidget(), focusMoved ? form.RichEdit1 : form.RichEdit2);

    // the second chunk hangs; the window does not
    int turns = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++turns; });
    ticker.start(1);
    QTRY_VERIFY(turns > 20 && service.requests().size() == 2);
    QVERIFY(form.translating());
    QCOMPARE(form.statusText(), QString("Translating from English to French... [50% Completed]"));
    // the menu item starts no second run
    form.ranslate2->trigger();
    QTest::qWait(0);
    QCOMPARE(service.requests().size(), 2u);

    if (escape)
        QTest::keyClick(&form, Qt::Key_Escape);
    else
        form.ToolButton20->click();
    QVERIFY(!form.translating());
    QCOMPARE(form.statusText(), QString("Stopped."));
    QCOMPARE(form.ToolButton20->text(), QString("Translate"));
    QCOMPARE(form.RichEdit2->toPlainText(), "fr:" + first + " ");
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));
    QCOMPARE(fixture.prompts.errors + fixture.prompts.messages, QStringList());

    // Escape with no run under way stops nothing and the next run goes as usual
    QTest::keyClick(&form, Qt::Key_Escape);
    form.RichEdit1->setPlainText("Hello");
    QVERIFY(TranslateInWindow(form));
    QCOMPARE(form.statusText(), QString("Done."));
    QCOMPARE(QGuiApplication::clipboard()->text(), "fr:" + first + " \nfr:Hello ");
}

QTEST_MAIN(TestTranslationWindow)
#include "test_translation_window.moc"
