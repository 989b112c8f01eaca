// The History window and Alt+Left / Alt+Right against a real history file in
// the fixture's data folder, with the window's translations made by a loopback
// test service and recorded as the program records them.
#include "AppFixture.h"
#include "WindowDriver.h"
#include "History.h"
#include "HistoryBrowser.h"
#include "HistoryCommands.h"
#include "HistoryRecorder.h"
#include "HistoryWindow.h"
#include "LanguageTable.h"
#include "LoopbackService.h"
#include "WindowTranslation.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>

#include <sqlite3.h>

namespace {

HistoryEntry entry(const char* from, const char* to, const QString& source, const QString& translation, int minute,
                   HistoryEntry::Origin origin = HistoryEntry::Origin::Window)
{
    HistoryEntry entry;
    entry.sourceCode = QLatin1String(from);
    entry.targetCode = QLatin1String(to);
    entry.source = source;
    entry.translation = translation;
    entry.origin = origin;
    entry.time = QDateTime(QDate(2026, 3, 1), QTime(10, 0), Qt::UTC).addSecs(minute * 60);
    return entry;
}

void record(HistoryEntry entry)
{
    History history(History::defaultPath());
    QVERIFY2(history.record(entry, {}), qPrintable(history.problem()));
}

qint64 count()
{
    History history(History::defaultPath());
    return history.count();
}

QStringList sources(const HistoryWindow& window)
{
    QStringList sources;
    for (const HistoryEntry& entry : window.entries())
        sources << entry.source;
    return sources;
}

// What the panes show, as "source|translation|source list|target list".
QString panes(const MainWindow& form)
{
    return QStringLiteral("%1|%2|%3|%4")
        .arg(ui(form).sourcePane()->toPlainText(), ui(form).targetPane()->toPlainText())
        .arg(ui(form).sourceList()->currentIndex())
        .arg(ui(form).targetList()->currentIndex());
}

QString panes(const HistoryEntry& entry)
{
    return QStringLiteral("%1|%2|%3|%4")
        .arg(entry.source, entry.translation)
        .arg(LanguageTable::positionOf(entry.sourceCode))
        .arg(LanguageTable::positionOf(entry.targetCode));
}

void choosePair(QComboBox* pairs, const QStringList& codes)
{
    const int index = pairs->findData(codes);
    QVERIFY2(index >= 0, qPrintable(codes.join('-')));
    pairs->setCurrentIndex(index);
    emit pairs->activated(index);
}

}  // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { m_fixture = std::make_unique<AppFixture>(); }
    void cleanup() { m_fixture.reset(); }
    void searchFilterRestoreDeleteAndClear();
    void altLeftAndAltRightStepThroughTheHistory();
    void anUnavailableHistoryIsSaidOnceAndTranslatingGoesOn();

private:
    std::unique_ptr<AppFixture> m_fixture;
};

void TestHistoryWindow::searchFilterRestoreDeleteAndClear()
{
    MainWindow form;
    form.show();
    QCOMPARE(ui(form).item(ObjectName::historyItem)->shortcut(), QKeySequence("Ctrl+H"));
    ui(form).item(ObjectName::historyItem)->trigger();
    QTRY_VERIFY(form.history().window() && form.history().window()->isVisible());
    HistoryWindow& window = *form.history().window();
    // looking at a history never kept makes no file
    QTRY_COMPARE(window.pairList()->count(), 1);
    QCOMPARE(window.note(), QString());
    QVERIFY(!QFileInfo::exists(History::defaultPath()));

    record(entry("FR", "EN", "Le café est très chaud", "The coffee is very hot", 1, HistoryEntry::Origin::CommandLine));
    record(entry("EN", "DE", "Good morning", "Guten Morgen", 2));
    // longer than the list holds of it
    const QString more = QString(HistoryBrowser::PreviewLength, 'x');
    const HistoryEntry dessert = entry("EN", "FR", "Crème brûlée for dessert\nand coffee" + more,
                                       "Crème brûlée en dessert\net café" + more, 3, HistoryEntry::Origin::Bus);
    const QString dessertListed = dessert.source.left(HistoryBrowser::PreviewLength);
    record(dessert);
    record(entry("en", "fr", "The CAFE is closed", "Le café est fermé", 4, HistoryEntry::Origin::Document));
    // what came while the window was open is there when it is opened again
    ui(form).item(ObjectName::historyItem)->trigger();
    QTRY_COMPARE(window.list()->topLevelItemCount(), 4);
    // newest first, each with its pair, first lines and where it came from
    const QTreeWidgetItem* third = window.list()->topLevelItem(1);
    QCOMPARE(third->text(HistoryWindow::LanguagesColumn), QString("EN → FR"));
    QVERIFY(!third->icon(HistoryWindow::LanguagesColumn).isNull());
    QCOMPARE(third->text(HistoryWindow::SourceColumn), QString("Crème brûlée for dessert"));
    QCOMPARE(third->text(HistoryWindow::TranslationColumn), QString("Crème brûlée en dessert"));
    QCOMPARE(third->text(HistoryWindow::OriginColumn), QString("D-Bus"));
    QCOMPARE(window.list()->topLevelItem(3)->text(HistoryWindow::OriginColumn), QString("command line"));

    // as the user types: any case, accents ignored, in source or translation
    QTest::keyClicks(window.searchField(), "CAFE");
    QTRY_COMPARE(sources(window), QStringList({"The CAFE is closed", dessertListed, "Le café est très chaud"}));
    // one pair, whatever case its codes were written in
    QTRY_COMPARE(window.pairList()->count(), 4);
    choosePair(window.pairList(), {"EN", "FR"});
    QTRY_COMPARE(sources(window), QStringList({"The CAFE is closed", dessertListed}));
    window.searchField()->clear();
    QTest::keyClicks(window.searchField(), "brulee");
    QTRY_COMPARE(sources(window), QStringList({dessertListed}));

    // Enter or a double-click puts it back into the panes with its languages
    window.list()->setFocus();
    QTest::keyClick(window.list(), Qt::Key_Return);
    QTRY_COMPARE(panes(form), panes(dessert));
    ui(form).sourcePane()->clear();
    QTest::keyClick(window.searchField(), Qt::Key_Enter);
    QTRY_COMPARE(panes(form), panes(dessert));
    ui(form).sourcePane()->clear();
    const QRect row = window.list()->visualItemRect(window.list()->topLevelItem(0));
    // a widget's double-click comes after the click of its first press, as on screen
    QTest::mouseClick(window.list()->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(window.list()->viewport(), Qt::LeftButton, {}, row.center());
    QTRY_COMPARE(panes(form), panes(dessert));

    // Delete removes the chosen entries; while another program holds the file it says none went
    window.searchField()->clear();
    QTRY_COMPARE(window.list()->topLevelItemCount(), 2);
    window.list()->setCurrentItem(window.list()->topLevelItem(0));
    {
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(History::defaultPath()).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        QTest::keyClick(window.list(), Qt::Key_Delete);
        QTRY_VERIFY_WITH_TIMEOUT(window.note().startsWith("Nothing was removed"), 20000);
        QCOMPARE(window.list()->topLevelItemCount(), 2);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    }
    QTest::keyClick(window.list(), Qt::Key_Delete);
    QTRY_COMPARE(sources(window), QStringList({dessertListed}));
    QCOMPARE(window.note(), QString());
    QCOMPARE(count(), 3);

    // clearing asks first, from the window and from the Options menu
    m_fixture->prompts.answer = UserPrompts::Answer::No;
    ui(form).item(ObjectName::clearHistoryItem)->trigger();
    QTRY_COMPARE(m_fixture->prompts.messages, QStringList({"Remove every translation from the history?"}));
    QCOMPARE(count(), 3);
    m_fixture->prompts.answer = UserPrompts::Answer::Yes;
    ui(form).item(ObjectName::clearHistoryItem)->trigger();
    QTRY_COMPARE(window.list()->topLevelItemCount(), 0);
    QCOMPARE(count(), 0);
    // the pair is gone with its entries: the list shows every pair again
    QTRY_COMPARE(window.pairList()->count(), 1);
    QCOMPARE(m_fixture->prompts.errors, QStringList());

    // the window speaks the interface language
    form.showInGerman();
    QCOMPARE(window.windowTitle(), QString("Verlauf"));
    QCOMPARE(window.pairList()->itemText(0), QString("Alle Sprachen"));
    QCOMPARE(ui(form).item(ObjectName::historyItem)->text(), QString("&Verlauf…"));
    // in every language each of the window's fields and buttons has a letter of its own
    for (int column = 0; column < 7; ++column) {
        window.applyLanguage(column);
        QStringList captions;
        for (const QLabel* label : window.findChildren<QLabel*>())
            if (label->buddy())
                captions << label->text();
        for (const QAbstractButton* button : window.findChildren<QAbstractButton*>())
            if (!button->text().isEmpty())
                captions << button->text();
        QSet<QChar> letters;
        for (const QString& caption : captions) {
            const qsizetype amp = caption.indexOf('&');
            QVERIFY2(amp >= 0 && !letters.contains(caption.at(amp + 1).toLower()), qPrintable(caption));
            letters << caption.at(amp + 1).toLower();
        }
        QCOMPARE(letters.size(), 5);
    }
}

void TestHistoryWindow::altLeftAndAltRightStepThroughTheHistory()
{
    LoopbackService service;
    qputenv("LINGUARO_SERVICE_URL", service.url("/translate").c_str());
    // more entries than one page of steps
    QList<HistoryEntry> entries;
    for (int i = 0; i < HistorySteps::PageSize + 5; ++i) {
        entries << entry(i % 2 ? "DE" : "ES", i % 3 ? "IT" : "NL", QStringLiteral("source %1").arg(i),
                         QStringLiteral("translation %1\nline two").arg(i), i);
        record(entries.last());
    }
    MainWindow form;
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    ui(form).sourcePane()->setFocus();

    auto step = [&](Qt::Key key) { QTest::keyClick(ui(form).sourcePane(), key, Qt::AltModifier); };
    // the translation just made is the newest entry and what the panes show: the first step passes it
    ui(form).sourcePane()->setPlainText("Hello");
    QVERIFY(translateInWindow(form));
    QCOMPARE(ui(form).targetPane()->toPlainText(), QString("fr:Hello "));
    HistoryRecorder::flush();
    QCOMPARE(count(), entries.size() + 1);
    step(Qt::Key_Left);
    QTRY_COMPARE(panes(form), panes(entries.last()));
    step(Qt::Key_Right);
    QCOMPARE(panes(form), QString("Hello|fr:Hello |0|1"));
    // a draft typed after it is kept as the newest step
    QTest::keyClicks(ui(form).sourcePane(), " draft");
    ui(form).targetList()->setCurrentIndex(LanguageTable::positionOf("PT"));
    const QString kept = panes(form);
    // Backspace edits the pane, it is no step
    QTest::keyClick(ui(form).sourcePane(), Qt::Key_Backspace);
    QTest::keyClicks(ui(form).sourcePane(), "t");
    QCOMPARE(panes(form), kept);

    step(Qt::Key_Left);
    QTRY_COMPARE(panes(form), QString("Hello|fr:Hello |0|1"));
    for (int i = entries.size() - 1; i >= 0; --i) {
        step(Qt::Key_Left);
        QTRY_COMPARE(panes(form), panes(entries.at(i)));
    }
    // nothing is older
    step(Qt::Key_Left);
    QCOMPARE(panes(form), panes(entries.first()));
    step(Qt::Key_Right);
    QCOMPARE(panes(form), panes(entries.at(1)));
    for (int i = 2; i < entries.size(); ++i)
        step(Qt::Key_Right);
    QCOMPARE(panes(form), panes(entries.last()));
    step(Qt::Key_Right);
    step(Qt::Key_Right);
    QCOMPARE(panes(form), kept);
    step(Qt::Key_Right);
    QCOMPARE(panes(form), kept);

    // panes changed in the middle of the steps are the newest step from then on
    step(Qt::Key_Left);
    step(Qt::Key_Left);
    QTRY_COMPARE(panes(form), panes(entries.last()));
    QTest::keyClicks(ui(form).sourcePane(), "!");
    const QString edited = panes(form);
    step(Qt::Key_Left);
    QTRY_COMPARE(panes(form), QString("Hello|fr:Hello |0|1"));
    step(Qt::Key_Right);
    QCOMPARE(panes(form), edited);
    QCOMPARE(m_fixture->prompts.errors + m_fixture->prompts.messages, QStringList());
}

void TestHistoryWindow::anUnavailableHistoryIsSaidOnceAndTranslatingGoesOn()
{
    LoopbackService service;
    qputenv("LINGUARO_SERVICE_URL", service.url("/translate").c_str());
    const QString path = History::defaultPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QVERIFY(QFile::link(m_fixture->home.filePath("elsewhere"), path));

    MainWindow form;
    form.show();
    ui(form).item(ObjectName::historyItem)->trigger();
    QTRY_VERIFY(form.history().window() && form.history().window()->isVisible());
    HistoryWindow& window = *form.history().window();
    QTRY_VERIFY(window.note().contains("history of translations is unavailable"));
    QTest::keyClicks(window.searchField(), "word");
    window.browser().refresh();
    QTRY_COMPARE(window.findChild<QLabel*>("HistoryNote")->text(), window.note());
    QCOMPARE(window.note().count("unavailable"), 1);
    QCOMPARE(window.list()->topLevelItemCount(), 0);

    // stepping finds nothing and leaves the panes alone; the translator translates
    ui(form).sourcePane()->setPlainText("Hello");
    QTest::keyClick(ui(form).sourcePane(), Qt::Key_Left, Qt::AltModifier);
    QVERIFY(translateInWindow(form));
    QCOMPARE(panes(form), QString("Hello|fr:Hello |0|1"));
    QVERIFY(QFileInfo(path).isSymLink());
    QCOMPARE(m_fixture->prompts.errors, QStringList());
}

QTEST_MAIN(TestHistoryWindow)
#include "test_history_window.moc"
