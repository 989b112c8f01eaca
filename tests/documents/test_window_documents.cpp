// The document commands as the main window offers them: menu items, toolbar buttons, font boxes.
#include "DocumentCommands.h"
#include "PaneEditing.h"
#include "ScriptedPrompts.h"
#include "TForm1.h"

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
    TForm1 form;
    for (QAction* item :
         {form.sfsf1, form.Enregistrer1, form.Enregistrersous1, form.Print1, form.N2, form.Find1, form.FindNext1,
          form.Replace1, form.Coller1, form.outslectionner1, form.Paste1, form.SelectAll1})
        QVERIFY2(item->isEnabled(), qPrintable(item->objectName()));
    // cut and copy wait for a selection, undo for an edit
    for (QAction* item : {form.Couper2, form.Copier1, form.Cut1, form.Copy1, form.Dfaire1})
        QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));
    QVERIFY(!form.ToolButton6->isEnabled() && form.ToolButton8->isEnabled());
    QCOMPARE(form.Replace1->shortcut(), QKeySequence("Ctrl+R"));
    QVERIFY(form.ToolButton10->isCheckable() && form.ToolButton10->isEnabled());
    QCOMPARE(form.editing()->RichEditItalic1->shortcut(), QKeySequence("Ctrl+I"));
    QVERIFY(form.ToolButtonAlignLeft->isChecked());
    QVERIFY(!form.ToolButtonAlignRight->isChecked());
    QVERIFY(form.ToolButtonBullets->isCheckable());

    form.RichEdit1->setPlainText("select me");
    form.RichEdit1->selectAll();
    QVERIFY(form.Couper2->isEnabled() && form.Copy1->isEnabled() && form.ToolButton7->isEnabled());
    QVERIFY(prompts.errors.isEmpty());
}

void WindowDocumentsTest::newAndSaveFromTheToolbar()
{
    ScriptedPrompts prompts;
    TForm1 form;
    form.RichEdit1->setPlainText("source");
    form.RichEdit2->setPlainText("target");
    form.ToolButton1->click();
    QCoreApplication::sendPostedEvents();
    QVERIFY(form.RichEdit1->toPlainText().isEmpty());
    QCOMPARE(form.RichEdit2->toPlainText(), QString("target"));
    QCOMPARE(form.statusText(), QString("Ready."));

    const QString path = m_home->filePath("translation");
    prompts.saveAnswers << path;
    form.ToolButton3->click();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(form.statusText(), "Translation result saved to " + path + ".txt.");
    QFile saved(path + ".txt");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("target"));

    form.RichEdit2->clear();
    form.Enregistrer1->trigger();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(prompts.messages, QStringList("No translation result to save."));

    // the job title of a print is the saved file's name
    form.documents().setPrinterPrompt([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_home->filePath("out.pdf"));
        return true;
    });
    form.RichEdit2->setPlainText("printed");
    form.ToolButton4->click();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(form.documents().printer().docName(), QString("translation.txt"));
    QVERIFY(QFile::exists(m_home->filePath("out.pdf")));
}

void WindowDocumentsTest::fontBoxesApplyThePaneFont()
{
    ScriptedPrompts prompts;
    TForm1 form;
    form.ComboBox1->setCurrentText("14");
    QCOMPARE(form.RichEdit1->font().pointSize(), 14);
    QCOMPARE(form.RichEdit2->font().pointSize(), 14);
    form.ColorBox1->setCurrentIndex(form.ColorBox1->findText("Red"));
    QCOMPARE(form.RichEdit2->palette().color(QPalette::Text), QColor(Qt::red));
    // the box offers the standard, extended and system colours by name, black first
    QCOMPARE(form.ColorBox1->itemText(0), QString("Black"));
    QCOMPARE(form.ColorBox1->itemData(form.ColorBox1->findText("Money Green")).value<QColor>(),
             QColor(0xC0, 0xDC, 0xC0));
    QCOMPARE(form.ColorBox1->itemData(form.ColorBox1->findText("Highlight")).value<QColor>(),
             form.palette().color(QPalette::Highlight));
    QCOMPARE(form.ColorBox1->count(), 48);
    QVERIFY(prompts.errors.isEmpty());

    form.ComboBox1->setCurrentText("big");
    QCOMPARE(prompts.errors, QStringList("'big' is not a valid integer value"));
    QCOMPARE(form.RichEdit1->font().pointSize(), 14);
}

void WindowDocumentsTest::formattingButtonsActOnTheSelection()
{
    ScriptedPrompts prompts;
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.RichEdit2->setPlainText("make this bold");
    form.RichEdit2->setFocus();
    QTRY_COMPARE(form.editing()->activePane(), form.RichEdit2);
    QTextCursor cursor = form.RichEdit2->textCursor();
    cursor.setPosition(10);
    cursor.setPosition(14, QTextCursor::KeepAnchor);
    form.RichEdit2->setTextCursor(cursor);
    form.ToolButton10->click();
    form.ToolButtonAlignCenter->click();
    QTextCursor probe(form.RichEdit2->document());
    probe.setPosition(12);
    QCOMPARE(probe.charFormat().fontWeight(), int(QFont::Bold));
    QCOMPARE(form.RichEdit2->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY(form.ToolButton10->isChecked() && form.ToolButtonAlignCenter->isChecked());
    QVERIFY(!form.ToolButtonAlignLeft->isChecked());
    // the interface language's hints stay on the buttons while their states change
    form.German2->trigger();
    form.ToolButton10->click();
    QCOMPARE(form.ToolButton10->toolTip(), QString("Fett"));
    QVERIFY(!form.ToolButton10->isChecked());
    // the source pane was not touched
    QVERIFY(form.RichEdit1->toPlainText().isEmpty());
    QCOMPARE(form.RichEdit1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

QTEST_MAIN(WindowDocumentsTest)
#include "test_window_documents.moc"
