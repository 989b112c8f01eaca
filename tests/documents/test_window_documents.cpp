// The document commands as the main window offers them: menu items, toolbar buttons, font boxes.
#include "DocumentCommands.h"
#include "WindowDriver.h"
#include "PaneEditing.h"
#include "ScriptedPrompts.h"
#include "MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QPrinter>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

class WindowDocumentsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void commandsAreOfferedWithTheirBindings();
    void newAndSaveFromTheToolbar();
    void fontBoxesApplyThePaneFont();
    void formattingButtonsActOnTheSelection();

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

void WindowDocumentsTest::init()
{
    // a desktop of its own: settings and data in a fresh folder, no service reachable
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_home->filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", m_home->filePath("data").toUtf8());
    qputenv("LANG", "en_US.UTF-8");
    for (const char* name : {"http_proxy", "HTTP_PROXY", "LC_ALL", "LC_MESSAGES"})
        qunsetenv(name);
    qputenv("LINGUARO_WINVER", "nt 6.2 workstation");  // a version without the character
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    qputenv("LINGUARO_SERVICE_URL", "http://127.0.0.1:" + QByteArray::number(probe.serverPort()) + "/translate");
}

void WindowDocumentsTest::commandsAreOfferedWithTheirBindings()
{
    ScriptedPrompts prompts;
    QApplication::clipboard()->setText("on the clipboard");
    MainWindow form;
    for (QAction* item : {ui(form).item(ObjectName::newItem), ui(form).item(ObjectName::saveItem),
                          ui(form).item(ObjectName::saveAsItem), ui(form).item(ObjectName::printItem),
                          ui(form).item(ObjectName::printerSetupItem), ui(form).item(ObjectName::findItem),
                          ui(form).item(ObjectName::findNextItem), ui(form).item(ObjectName::replaceItem),
                          ui(form).item(ObjectName::pasteItem), ui(form).item(ObjectName::selectAllItem),
                          ui(form).item(ObjectName::panePasteItem), ui(form).item(ObjectName::paneSelectAllItem)})
        QVERIFY2(item->isEnabled(), qPrintable(item->objectName()));
    // cut and copy wait for a selection, undo for an edit
    for (QAction* item : {ui(form).item(ObjectName::cutItem), ui(form).item(ObjectName::copyItem),
                          ui(form).item(ObjectName::paneCutItem), ui(form).item(ObjectName::paneCopyItem),
                          ui(form).item(ObjectName::undoItem)})
        QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));
    QVERIFY(!ui(form).button(ObjectName::cutButton)->isEnabled()
            && ui(form).button(ObjectName::pasteButton)->isEnabled());
    QCOMPARE(ui(form).item(ObjectName::replaceItem)->shortcut(), QKeySequence("Ctrl+R"));
    QVERIFY(ui(form).button(ObjectName::boldButton)->isCheckable()
            && ui(form).button(ObjectName::boldButton)->isEnabled());
    QCOMPARE(form.editing()->italicAction->shortcut(), QKeySequence("Ctrl+I"));
    QVERIFY(ui(form).button(ObjectName::alignLeftButton)->isChecked());
    QVERIFY(!ui(form).button(ObjectName::alignRightButton)->isChecked());
    QVERIFY(ui(form).button(ObjectName::bulletsButton)->isCheckable());

    ui(form).sourcePane()->setPlainText("select me");
    ui(form).sourcePane()->selectAll();
    QVERIFY(ui(form).item(ObjectName::cutItem)->isEnabled() && ui(form).item(ObjectName::paneCopyItem)->isEnabled()
            && ui(form).button(ObjectName::copyButton)->isEnabled());
    QVERIFY(prompts.errors.isEmpty());
}

void WindowDocumentsTest::newAndSaveFromTheToolbar()
{
    ScriptedPrompts prompts;
    MainWindow form;
    ui(form).sourcePane()->setPlainText("source");
    ui(form).targetPane()->setPlainText("target");
    ui(form).button(ObjectName::newButton)->click();
    QCoreApplication::sendPostedEvents();
    QVERIFY(ui(form).sourcePane()->toPlainText().isEmpty());
    QCOMPARE(ui(form).targetPane()->toPlainText(), QString("target"));
    QCOMPARE(form.statusText(), QString("Ready."));

    const QString path = m_home->filePath("translation");
    prompts.saveAnswers << path;
    ui(form).button(ObjectName::saveButton)->click();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(form.statusText(), "Translation result saved to " + path + ".txt.");
    QFile saved(path + ".txt");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("target"));

    ui(form).targetPane()->clear();
    ui(form).item(ObjectName::saveItem)->trigger();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(prompts.messages, QStringList("No translation result to save."));

    // the job title of a print is the saved file's name
    form.documents().setPrinterPrompt([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_home->filePath("out.pdf"));
        return true;
    });
    ui(form).targetPane()->setPlainText("printed");
    ui(form).button(ObjectName::printButton)->click();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(form.documents().printer().docName(), QString("translation.txt"));
    QVERIFY(QFile::exists(m_home->filePath("out.pdf")));
}

void WindowDocumentsTest::fontBoxesApplyThePaneFont()
{
    ScriptedPrompts prompts;
    MainWindow form;
    ui(form).box(ObjectName::fontSizeBox)->setCurrentText("14");
    QCOMPARE(ui(form).sourcePane()->font().pointSize(), 14);
    QCOMPARE(ui(form).targetPane()->font().pointSize(), 14);
    ui(form).box(ObjectName::colourBox)->setCurrentIndex(ui(form).box(ObjectName::colourBox)->findText("Red"));
    QCOMPARE(ui(form).targetPane()->palette().color(QPalette::Text), QColor(Qt::red));
    // the box offers the standard, extended and system colours by name, black first
    QCOMPARE(ui(form).box(ObjectName::colourBox)->itemText(0), QString("Black"));
    QCOMPARE(ui(form)
                 .box(ObjectName::colourBox)
                 ->itemData(ui(form).box(ObjectName::colourBox)->findText("Money Green"))
                 .value<QColor>(),
             QColor(0xC0, 0xDC, 0xC0));
    QCOMPARE(ui(form)
                 .box(ObjectName::colourBox)
                 ->itemData(ui(form).box(ObjectName::colourBox)->findText("Highlight"))
                 .value<QColor>(),
             form.palette().color(QPalette::Highlight));
    QCOMPARE(ui(form).box(ObjectName::colourBox)->count(), 48);
    QVERIFY(prompts.errors.isEmpty());

    ui(form).box(ObjectName::fontSizeBox)->setCurrentText("big");
    QCOMPARE(prompts.errors, QStringList("'big' is not a valid integer value"));
    QCOMPARE(ui(form).sourcePane()->font().pointSize(), 14);
}

void WindowDocumentsTest::formattingButtonsActOnTheSelection()
{
    ScriptedPrompts prompts;
    MainWindow form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    ui(form).targetPane()->setPlainText("make this bold");
    ui(form).targetPane()->setFocus();
    QTRY_COMPARE(form.editing()->activePane(), ui(form).targetPane());
    QTextCursor cursor = ui(form).targetPane()->textCursor();
    cursor.setPosition(10);
    cursor.setPosition(14, QTextCursor::KeepAnchor);
    ui(form).targetPane()->setTextCursor(cursor);
    ui(form).button(ObjectName::boldButton)->click();
    ui(form).button(ObjectName::alignCenterButton)->click();
    QTextCursor probe(ui(form).targetPane()->document());
    probe.setPosition(12);
    QCOMPARE(probe.charFormat().fontWeight(), int(QFont::Bold));
    QCOMPARE(ui(form).targetPane()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY(ui(form).button(ObjectName::boldButton)->isChecked()
            && ui(form).button(ObjectName::alignCenterButton)->isChecked());
    QVERIFY(!ui(form).button(ObjectName::alignLeftButton)->isChecked());
    // the interface language's hints stay on the buttons while their states change
    ui(form).item(ObjectName::germanItem)->trigger();
    ui(form).button(ObjectName::boldButton)->click();
    QCOMPARE(ui(form).button(ObjectName::boldButton)->toolTip(), QString("Fett"));
    QVERIFY(!ui(form).button(ObjectName::boldButton)->isChecked());
    // the source pane was not touched
    QVERIFY(ui(form).sourcePane()->toPlainText().isEmpty());
    QCOMPARE(ui(form).sourcePane()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

QTEST_MAIN(WindowDocumentsTest)
#include "test_window_documents.moc"
