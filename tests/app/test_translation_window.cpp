// The window while a translation runs, against a loopback test service whose
// second chunk never comes back: the window goes on turning its event loop,
// and Escape or the Stop button ends the run at once.
#include "AppFixture.h"
#include "WindowDriver.h"
#include "LoopbackService.h"
#include "WindowTranslation.h"

#include "LanguageTable.h"
#include "SourceLanguageBar.h"

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QGuiApplication>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

class TestTranslationWindow : public QObject {
    Q_OBJECT
private slots:
    void stopsAtOnceAndKeepsWhatCame_data();
    void stopsAtOnceAndKeepsWhatCame();
    void asksForTheSourceLanguageAboveThePanes_data();
    void asksForTheSourceLanguageAboveThePanes();
    void aServiceKeepingASessionGetsItsCookieFromEveryChunk();
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
    MainWindow form;
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    ui(form).item(ObjectName::copyToClipboard)->setChecked(true);
    QGuiApplication::clipboard()->setText("before");
    const QString first = QString(2998, 'a');
    ui(form).sourcePane()->setPlainText(first + "\nSTALL");
    ui(form).box(ObjectName::domainList)->setFocus();

    form.translateOrStop();
    QCOMPARE(ui(form).button(ObjectName::translateButton)->text(), QString("Stop"));
    if (focusMoved)
        ui(form).sourcePane()->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(ui(form).targetPane()->toPlainText(), "fr:" + first + " ", 30000);
    QCOMPARE(form.focusWidget(), focusMoved ? ui(form).sourcePane() : ui(form).targetPane());

    // the second chunk hangs; the window does not
    int turns = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++turns; });
    ticker.start(1);
    QTRY_VERIFY(turns > 20 && service.requests().size() == 2);
    QVERIFY(form.translating());
    QCOMPARE(form.statusText(), QString("Translating from English to French... [50% Completed]"));
    // the menu item starts no second run
    ui(form).item(ObjectName::translateItem)->trigger();
    QTest::qWait(0);
    QCOMPARE(service.requests().size(), 2u);

    if (escape)
        QTest::keyClick(&form, Qt::Key_Escape);
    else
        ui(form).button(ObjectName::translateButton)->click();
    QVERIFY(!form.translating());
    QCOMPARE(form.statusText(), QString("Stopped."));
    QCOMPARE(ui(form).button(ObjectName::translateButton)->text(), QString("Translate"));
    QCOMPARE(ui(form).targetPane()->toPlainText(), "fr:" + first + " ");
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));
    QCOMPARE(fixture.prompts.errors + fixture.prompts.messages, QStringList());

    // Escape with no run under way stops nothing and the next run goes as usual
    QTest::keyClick(&form, Qt::Key_Escape);
    ui(form).sourcePane()->setPlainText("Hello");
    QVERIFY(translateInWindow(form));
    QCOMPARE(form.statusText(), QString("Done."));
    QCOMPARE(QGuiApplication::clipboard()->text(), "fr:" + first + " \nfr:Hello ");
}

namespace {
const QString French = QStringLiteral("Nous avons passé une semaine merveilleuse à la montagne avec toute la famille.");
const QString Croatian = QStringLiteral("Jučer smo cijeli dan šetali po gradu i razgledavali stare crkve i trgove.");
}  // namespace

void TestTranslationWindow::asksForTheSourceLanguageAboveThePanes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("option");
    QTest::addColumn<QString>("question");  // empty: no bar
    QTest::addColumn<QString>("press");     // the button's caption
    QTest::addColumn<QString>("sentFrom");
    QTest::addColumn<QString>("sentTo");
    QTest::newRow("translate from the language found")
        << French << "EN"
        << "ES" << true << "The text looks French. Translate from French?"
        << "Translate from French"
        << "fr"
        << "es";
    QTest::newRow("keep the chosen source") << French << "EN"
                                            << "ES" << true << "The text looks French. Translate from French?"
                                            << "Keep English"
                                            << "en"
                                            << "es";
    QTest::newRow("the target's own language")
        << French << "EN"
        << "FR" << true << "The text looks French, the language it is to be translated into. Swap the languages?"
        << "Swap languages"
        << "fr"
        << "en";
    QTest::newRow("option off") << French << "EN"
                                << "ES" << false << ""
                                << ""
                                << "en"
                                << "es";
    QTest::newRow("Croatian under Serbian") << Croatian << "SR"
                                            << "EN" << true << ""
                                            << ""
                                            << "sr"
                                            << "en";
    QTest::newRow("fewer than forty letters") << "Bonjour à tous, mes chers amis."
                                              << "EN"
                                              << "ES" << true << ""
                                              << ""
                                              << "en"
                                              << "es";
}

void TestTranslationWindow::asksForTheSourceLanguageAboveThePanes()
{
    QFETCH(QString, text);
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(bool, option);
    QFETCH(QString, question);
    QFETCH(QString, press);
    QFETCH(QString, sentFrom);
    QFETCH(QString, sentTo);
    AppFixture fixture;
    LoopbackService service;
    qputenv("LINGUARO_SERVICE_URL", service.url("/translate").c_str());
    MainWindow form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    ui(form).item(ObjectName::detectSource)->setChecked(option);
    ui(form).sourceList()->setCurrentIndex(LanguageTable::positionOf(source));
    ui(form).targetList()->setCurrentIndex(LanguageTable::positionOf(target));
    ui(form).sourcePane()->setPlainText(text);
    const int paneTop = ui(form).sourcePane()->mapTo(&form, QPoint()).y();

    form.translateOrStop();
    SourceLanguageBar* bar = ui(form).find<SourceLanguageBar>(ObjectName::sourceBar);
    if (!question.isEmpty()) {
        // the run waits for the answer; the window and its panes stay as they were
        QVERIFY(bar->isVisible());
        QVERIFY(!form.translating());
        QVERIFY(bar->findChildren<QLabel*>().value(0));
        QCOMPARE(bar->findChildren<QLabel*>().value(0)->text(), question);
        QTRY_VERIFY(ui(form).sourcePane()->mapTo(&form, QPoint()).y() >= paneTop + bar->height());
        QCOMPARE(ui(form).sourcePane()->toPlainText(), text);
        QCOMPARE(service.requests().size(), 0u);
        QPushButton* button = bar->acceptButton()->text() == press ? bar->acceptButton() : bar->keepButton();
        QCOMPARE(button->text(), press);
        button->click();
        QVERIFY(!bar->isVisible());
    } else {
        QVERIFY(!bar->isVisible());
    }
    QTRY_VERIFY_WITH_TIMEOUT(!form.translating() && service.requests().size() == 1, 30000);
    QCOMPARE(QString::fromStdString(service.requests().front().param("from")), sentFrom);
    QCOMPARE(QString::fromStdString(service.requests().front().param("to")), sentTo);
    QCOMPARE(LanguageTable::serviceCode(ui(form).sourceList()->currentIndex()).toLower(), sentFrom);

    // the answer is remembered for this text: the same text goes at once, as it was answered
    QVERIFY(translateInWindow(form));
    QVERIFY(!bar->isVisible());
    QCOMPARE(service.requests().size(), 2u);
    QCOMPARE(QString::fromStdString(service.requests().back().param("from")), sentFrom);
    QCOMPARE(ui(form).sourcePane()->mapTo(&form, QPoint()).y(), paneTop);
    QCOMPARE(fixture.prompts.errors + fixture.prompts.messages, QStringList());
}

// The chunks in flight wait for the service's first answer, which sets the session; one
// refused with a Location is fetched from there, the session going along.
void TestTranslationWindow::aServiceKeepingASessionGetsItsCookieFromEveryChunk()
{
    AppFixture fixture;
    SessionService service;
    qputenv("LINGUARO_SERVICE_URL", service.url("/translate").c_str());
    MainWindow form;
    // no look-up of the engine's version goes first
    ui(form).item(ObjectName::keepHistory)->setChecked(false);
    ui(form).item(ObjectName::reuseTranslations)->setChecked(false);
    ui(form).sourcePane()->setPlainText(SessionService::runText());
    QVERIFY(translateInWindow(form));
    QCOMPARE(fixture.prompts.errors + fixture.prompts.messages, QStringList());
    QCOMPARE(form.statusText(), QString("Done."));
    QCOMPARE(ui(form).targetPane()->toPlainText().split('\n'), SessionService::runTranslation("fr"));
    QCOMPARE(service.refused.load(), 0);
}

QTEST_MAIN(TestTranslationWindow)
#include "test_translation_window.moc"
