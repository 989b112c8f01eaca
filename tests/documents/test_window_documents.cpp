// The document commands as the main window offers them: menu items, toolbar buttons, font boxes.
#include "DocumentCommands.h"
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
    for (QAction* item : {form.newItem, form.saveItem, form.saveAsItem, form.printItem, form.printerSetupItem,
                          form.findItem, form.findNextItem, form.replaceItem, form.pasteItem, form.selectAllItem,
                          form.panePasteItem, form.paneSelectAllItem})
        QVERIFY2(item->isEnabled(), qPrintable(item->objectName()));
    // cut and copy wait for a selection, undo for an edit
    for (QAction* item : {form.cutItem, form.copyItem, form.paneCutItem, form.paneCopyItem, form.undoItem})
        QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));
    QVERIFY(!form.cutButton->isEnabled() && form.pasteButton->isEnabled());
    QCOMPARE(form.replaceItem->shortcut(), QKeySequence("Ctrl+R"));
    QVERIFY(form.boldButton->isCheckable() && form.boldButton->isEnabled());
    QCOMPARE(form.editing()->italicAction->shortcut(), QKeySequence("Ctrl+I"));
    QVERIFY(form.alignLeftButton->isChecked());
    QVERIFY(!form.alignRightButton->isChecked());
    QVERIFY(form.bulletsButton->isCheckable());

    form.sourcePane->setPlainText("select me");
    form.sourcePane->selectAll();
    QVERIFY(form.cutItem->isEnabled() && form.paneCopyItem->isEnabled() && form.copyButton->isEnabled());
    QVERIFY(prompts.errors.isEmpty());
}

void WindowDocumentsTest::newAndSaveFromTheToolbar()
{
    ScriptedPrompts prompts;
    MainWindow form;
    form.sourcePane->setPlainText("source");
    form.targetPane->setPlainText("target");
    form.newButton->click();
    QCoreApplication::sendPostedEvents();
    QVERIFY(form.sourcePane->toPlainText().isEmpty());
    QCOMPARE(form.targetPane->toPlainText(), QString("target"));
    QCOMPARE(form.statusText(), QString("Ready."));

    const QString path = m_home->filePath("translation");
    prompts.saveAnswers << path;
    form.saveButton->click();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(form.statusText(), "Translation result saved to " + path + ".txt.");
    QFile saved(path + ".txt");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("target"));

    form.targetPane->clear();
    form.saveItem->trigger();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(prompts.messages, QStringList("No translation result to save."));

    // the job title of a print is the saved file's name
    form.documents().setPrinterPrompt([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_home->filePath("out.pdf"));
        return true;
    });
    form.targetPane->setPlainText("printed");
    form.printButton->click();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(form.documents().printer().docName(), QString("translation.txt"));
    QVERIFY(QFile::exists(m_home->filePath("out.pdf")));
}

void WindowDocumentsTest::fontBoxesApplyThePaneFont()
{
    ScriptedPrompts prompts;
    MainWindow form;
    form.fontSizeBox->setCurrentText("14");
    QCOMPARE(form.sourcePane->font().pointSize(), 14);
    QCOMPARE(form.targetPane->font().pointSize(), 14);
    form.colourBox->setCurrentIndex(form.colourBox->findText("Red"));
    QCOMPARE(form.targetPane->palette().color(QPalette::Text), QColor(Qt::red));
    // the box offers the standard, extended and system colours by name, black first
    QCOMPARE(form.colourBox->itemText(0), QString("Black"));
    QCOMPARE(form.colourBox->itemData(form.colourBox->findText("Money Green")).value<QColor>(),
             QColor(0xC0, 0xDC, 0xC0));
    QCOMPARE(form.colourBox->itemData(form.colourBox->findText("Highlight")).value<QColor>(),
             form.palette().color(QPalette::Highlight));
    QCOMPARE(form.colourBox->count(), 48);
    QVERIFY(prompts.errors.isEmpty());

    form.fontSizeBox->setCurrentText("big");
    QCOMPARE(prompts.errors, QStringList("'big' is not a valid integer value"));
    QCOMPARE(form.sourcePane->font().pointSize(), 14);
}

void WindowDocumentsTest::formattingButtonsActOnTheSelection()
{
    ScriptedPrompts prompts;
    MainWindow form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.targetPane->setPlainText("make this bold");
    form.targetPane->setFocus();
    QTRY_COMPARE(form.editing()->activePane(), form.targetPane);
    QTextCursor cursor = form.targetPane->textCursor();
    cursor.setPosition(10);
    cursor.setPosition(14, QTextCursor::KeepAnchor);
    form.targetPane->setTextCursor(cursor);
    form.boldButton->click();
    form.alignCenterButton->click();
    QTextCursor probe(form.targetPane->document());
    probe.setPosition(12);
    QCOMPARE(probe.charFormat().fontWeight(), int(QFont::Bold));
    QCOMPARE(form.targetPane->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY(form.boldButton->isChecked() && form.alignCenterButton->isChecked());
    QVERIFY(!form.alignLeftButton->isChecked());
    // the interface language's hints stay on the buttons while their states change
    form.germanItem->trigger();
    form.boldButton->click();
    QCOMPARE(form.boldButton->toolTip(), QString("Fett"));
    QVERIFY(!form.boldButton->isChecked());
    // the source pane was not touched
    QVERIFY(form.sourcePane->toPlainText().isEmpty());
    QCOMPARE(form.sourcePane->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

QTEST_MAIN(WindowDocumentsTest)
#include "test_window_documents.moc"
