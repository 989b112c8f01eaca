// The window's document commands on real panes: search, replace, print, pane font, editing.
#include "DocumentCommands.h"
#include "PaneEditing.h"
#include "ScriptedPrompts.h"
#include "SearchDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QProcess>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextList>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The two panes in a window, with the commands and the editing actions on them.
struct Panes {
    QWidget window;
    QTextEdit* source = new QTextEdit;
    QTextEdit* target = new QTextEdit;
    QStringList status;
    DocumentCommands commands{source, target, [this](const QString& s) { status << s; }, &window};
    PaneEditing editing{source, target, &window};

    Panes()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(source);
        layout->addWidget(target);
        window.resize(500, 400);
    }

    void select(QTextEdit* pane, int from, int to)
    {
        QTextCursor cursor = pane->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        pane->setTextCursor(cursor);
    }
    QPair<int, int> selection() const
    {
        const QTextCursor c = source->textCursor();
        return {c.selectionStart(), c.selectionEnd()};
    }
};

QString runTool(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace

class DocumentCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void findWalksThroughMatchesAndStopsAtTheLast();
    void findHonoursWholeWordAndCase();
    void findPrimesTheDialogAndFindNextRepeats();
    void foundTextComesToRestNearTheTop();
    void replaceAndReplaceAll();
    void printsTheTargetPaneUnderTheResultFileName();
    void paneFontWithABadSize();
    void paneFontReachesBothPanesAndTheSavedFile();
    void newEmptiesOnlyTheSourcePane();
    void formatActionsFollowTheSelection();
    void editingActsOnTheFocusedPane();
};

void DocumentCommandsTest::findWalksThroughMatchesAndStopsAtTheLast()
{
    Panes panes;
    panes.source->setPlainText("one two one three one four");
    // a caret in the middle without a selection: the search starts at the beginning
    QTextCursor caret = panes.source->textCursor();
    caret.setPosition(12);
    panes.source->setTextCursor(caret);
    SearchDialog* dialog = panes.commands.findDialog();
    dialog->setFindText("one");
    dialog->findNextButton()->click();
    QCOMPARE(panes.selection(), qMakePair(0, 3));
    dialog->findNextButton()->click();
    QCOMPARE(panes.selection(), qMakePair(8, 11));
    dialog->findNextButton()->click();
    QCOMPARE(panes.selection(), qMakePair(18, 21));
    // no wrapping: the last match stays selected, and nothing is shown
    dialog->findNextButton()->click();
    QCOMPARE(panes.selection(), qMakePair(18, 21));
    // a selection of other text: the search starts just after it
    panes.select(panes.source, 4, 7);
    dialog->findNextButton()->click();
    QCOMPARE(panes.selection(), qMakePair(8, 11));
}

void DocumentCommandsTest::findHonoursWholeWordAndCase()
{
    Panes panes;
    panes.source->setPlainText("Oneself one ONE one");
    SearchDialog* dialog = panes.commands.findDialog();
    dialog->setFindText("one");
    dialog->setOptions({true, true});
    panes.commands.findDialogFind(dialog);
    QCOMPARE(panes.selection(), qMakePair(8, 11));
    panes.commands.findDialogFind(dialog);
    QCOMPARE(panes.selection(), qMakePair(16, 19));

    dialog->setOptions({false, false});
    panes.select(panes.source, 0, 0);
    panes.commands.findDialogFind(dialog);
    QCOMPARE(panes.selection(), qMakePair(0, 3));
}

void DocumentCommandsTest::findPrimesTheDialogAndFindNextRepeats()
{
    Panes panes;
    panes.window.show();
    panes.source->setPlainText("alpha beta gamma beta");
    // Find Next before any search opens the Find dialog
    panes.commands.findNext();
    QVERIFY(panes.commands.findDialog()->isVisible());
    QVERIFY(panes.commands.findDialog()->findText().isEmpty());
    panes.commands.findDialog()->hide();

    panes.select(panes.source, 6, 10);
    panes.commands.find();
    QCOMPARE(panes.commands.findDialog()->findText(), QString("beta"));
    panes.commands.findNext();  // F3: after the selected "beta"
    QCOMPARE(panes.selection(), qMakePair(17, 21));
    // no selection leaves the dialog's text as it was
    panes.select(panes.source, 0, 0);
    panes.commands.findBeforeExecute();
    QCOMPARE(panes.commands.findDialog()->findText(), QString("beta"));
}

void DocumentCommandsTest::foundTextComesToRestNearTheTop()
{
    Panes panes;
    panes.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panes.window));
    QStringList lines;
    for (int i = 0; i < 400; ++i)
        lines << QStringLiteral("line %1").arg(i);
    panes.source->setPlainText(lines.join('\n'));
    SearchDialog* dialog = panes.commands.findDialog();
    dialog->setFindText("line 250");
    panes.commands.findDialogFind(dialog);
    QCOMPARE(panes.source->textCursor().selectedText(), QString("line 250"));
    const int lineHeight = panes.source->fontMetrics().lineSpacing();
    QVERIFY2(panes.source->cursorRect().top() < 3 * lineHeight,
             qPrintable(QString::number(panes.source->cursorRect().top())));
}

void DocumentCommandsTest::replaceAndReplaceAll()
{
    Panes panes;
    panes.source->setPlainText("cat dog cat bird cat");
    SearchDialog* dialog = panes.commands.replaceDialog();
    QCOMPARE(dialog->mode(), SearchDialog::Mode::Replace);
    dialog->setFindText("cat");
    dialog->setReplaceText("cats and cat");
    // nothing selected: Replace first finds, then replaces what it found
    dialog->replaceButton()->click();
    QCOMPARE(panes.source->toPlainText(), QString("cat dog cat bird cat"));
    QCOMPARE(panes.selection(), qMakePair(0, 3));
    dialog->replaceButton()->click();
    QCOMPARE(panes.source->toPlainText(), QString("cats and cat dog cat bird cat"));
    // the next match is after the replacement, not inside it
    QCOMPARE(panes.selection(), qMakePair(17, 20));

    dialog->setReplaceText("cat cat");
    dialog->replaceAllButton()->click();
    QCOMPARE(panes.source->toPlainText(), QString("cat cats and cat cat dog cat cat bird cat cat"));
    panes.source->undo();  // one step undoes them all
    QCOMPARE(panes.source->toPlainText(), QString("cats and cat dog cat bird cat"));
}

void DocumentCommandsTest::printsTheTargetPaneUnderTheResultFileName()
{
    const QString pdfinfo = QStandardPaths::findExecutable("pdfinfo");
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdfinfo.isEmpty() || pdftotext.isEmpty())
        QSKIP("poppler-utils are not installed");
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    Panes panes;
    panes.target->setPlainText("Printed translation text");
    panes.source->setPlainText("source is not printed");
    QString pdf;
    panes.commands.setPrinterPrompt([&pdf](QPrinter& printer) {
        if (pdf.isEmpty())
            return false;  // the user cancelled
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    panes.commands.print();  // cancelled: nothing printed

    // before any save the job has no title
    pdf = dir.filePath("unsaved.pdf");
    panes.commands.print();
    QVERIFY(QFile::exists(pdf));
    QVERIFY(!runTool(pdfinfo, {pdf}).contains(QRegularExpression("Title: +\\S")));

    prompts.saveAnswers << dir.filePath("result.txt");
    panes.commands.saveAs();
    pdf = dir.filePath("saved.pdf");
    panes.commands.print();
    const QString info = runTool(pdfinfo, {pdf});
    QVERIFY2(info.contains(QRegularExpression("Title: +result.txt\\n")), qPrintable(info));
    const QString text = runTool(pdftotext, {pdf, "-"});
    QVERIFY2(text.contains("Printed translation text"), qPrintable(text));
    QVERIFY(!text.contains("source is not printed"));
}

void DocumentCommandsTest::paneFontWithABadSize()
{
    Panes panes;
    panes.commands.applyPaneFont("10", "DejaVu Sans", Qt::black);
    try {
        panes.commands.applyPaneFont("twelve", "DejaVu Serif", Qt::red);
        QFAIL("a size in letters must fail");
    } catch (const std::exception& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QString("'twelve' is not a valid integer value"));
    }
    // the source pane took the new name before the size failed; nothing else changed
    QCOMPARE(panes.source->font().family(), QString("DejaVu Serif"));
    QCOMPARE(panes.source->font().pointSize(), 10);
    QCOMPARE(panes.target->font().family(), QString("DejaVu Sans"));
    QCOMPARE(panes.source->palette().color(QPalette::Text), QColor(Qt::black));

    for (const char* bad : {"", "12.5", "1e3"})
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, panes.commands.applyPaneFont(bad, "DejaVu Sans", Qt::black));
    // out-of-range numbers are brought into range instead of asking for a giant font
    panes.commands.applyPaneFont("100000", "DejaVu Sans", Qt::black);
    QCOMPARE(panes.target->font().pointSize(), 1638);
    panes.commands.applyPaneFont("-4", "DejaVu Sans", Qt::black);
    QCOMPARE(panes.target->font().pointSize(), 1);
}

void DocumentCommandsTest::paneFontReachesBothPanesAndTheSavedFile()
{
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    Panes panes;
    panes.commands.applyPaneFont("14", "DejaVu Serif", QColor(0x80, 0, 0));
    for (QTextEdit* pane : {panes.source, panes.target}) {
        QCOMPARE(pane->font().family(), QString("DejaVu Serif"));
        QCOMPARE(pane->font().pointSize(), 14);
        QCOMPARE(pane->document()->defaultFont().pointSize(), 14);
        QCOMPARE(pane->palette().color(QPalette::Text), QColor(0x80, 0, 0));
    }
    panes.target->setPlainText("maroon text");
    prompts.saveAnswers << dir.filePath("result.rtf");
    panes.commands.save();
    QFile file(dir.filePath("result.rtf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray rtf = file.readAll();
    QVERIFY(rtf.contains("DejaVu Serif;"));
    QVERIFY(rtf.contains("\\red128\\green0\\blue0;"));
    QVERIFY(rtf.contains("\\fs28"));
    QCOMPARE(panes.status.last(), "Translation result saved to " + dir.filePath("result.rtf") + ".");
}

void DocumentCommandsTest::newEmptiesOnlyTheSourcePane()
{
    Panes panes;
    panes.source->setPlainText("source");
    panes.target->setPlainText("target");
    panes.status << "status";
    panes.commands.New();
    QVERIFY(panes.source->toPlainText().isEmpty());
    QCOMPARE(panes.target->toPlainText(), QString("target"));
    QCOMPARE(panes.status, QStringList("status"));
}

void DocumentCommandsTest::formatActionsFollowTheSelection()
{
    Panes panes;
    PaneEditing& editing = panes.editing;
    panes.source->setPlainText("plain bold");
    QVERIFY(editing.alignLeftAction->isChecked());
    panes.select(panes.source, 6, 10);
    editing.boldAction->trigger();
    QVERIFY(editing.boldAction->isChecked());
    QTextCursor probe(panes.source->document());
    probe.setPosition(8);
    QCOMPARE(probe.charFormat().fontWeight(), int(QFont::Bold));
    probe.setPosition(3);
    QVERIFY(probe.charFormat().fontWeight() < QFont::DemiBold);
    panes.select(panes.source, 1, 2);
    QVERIFY(!editing.boldAction->isChecked());
    panes.select(panes.source, 7, 8);
    QVERIFY(editing.boldAction->isChecked());
    editing.italicAction->trigger();
    editing.underlineAction->trigger();
    panes.select(panes.source, 7, 8);
    QVERIFY(editing.italicAction->isChecked() && editing.underlineAction->isChecked());

    editing.alignCenterAction->trigger();
    QCOMPARE(panes.source->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY(!editing.alignLeftAction->isChecked());
    editing.bulletsAction->trigger();
    QVERIFY(panes.source->textCursor().currentList());
    QVERIFY(editing.bulletsAction->isChecked());
    editing.bulletsAction->trigger();
    QVERIFY(!panes.source->textCursor().currentList());
    QCOMPARE(panes.source->textCursor().blockFormat().indent(), 0);

    // a toolbar button runs the action and shows its state, keeping its own tooltip
    QToolButton button;
    button.setToolTip("Bold");
    PaneEditing::showOn(&button, editing.boldAction);
    QVERIFY(button.isChecked());
    button.setToolTip("Gras");
    button.click();
    QVERIFY(!editing.boldAction->isChecked() && !button.isChecked());
    QCOMPARE(button.toolTip(), QString("Gras"));
    QCOMPARE(editing.boldAction->shortcut(), QKeySequence("Ctrl+B"));
    // an alignment already in force stays checked when its button is clicked again
    QToolButton centre;
    PaneEditing::showOn(&centre, editing.alignCenterAction);
    QVERIFY(centre.isChecked());
    centre.click();
    QVERIFY(centre.isChecked() && editing.alignCenterAction->isChecked());
}

void DocumentCommandsTest::editingActsOnTheFocusedPane()
{
    Panes panes;
    QAction cut("Cu&t"), copy("&Copy"), paste("&Paste"), selectAll("&Select All"), undo("Undo");
    QToolButton copyButton;
    panes.editing.bind(&cut, PaneEditing::Command::Cut);
    panes.editing.bind(&copy, PaneEditing::Command::Copy);
    panes.editing.bind(&copyButton, PaneEditing::Command::Copy);
    panes.editing.bind(&paste, PaneEditing::Command::Paste);
    panes.editing.bind(&selectAll, PaneEditing::Command::SelectAll);
    panes.editing.bind(&undo, PaneEditing::Command::Undo);
    // cut and copy start disabled until there is a selection, undo until there is an edit,
    // paste while the clipboard is empty
    QApplication::clipboard()->clear();
    QVERIFY(!cut.isEnabled() && !copy.isEnabled() && !copyButton.isEnabled());
    QVERIFY(!paste.isEnabled() && !undo.isEnabled());
    QVERIFY(selectAll.isEnabled());

    panes.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&panes.window));
    panes.source->setPlainText("source text");
    panes.target->setPlainText("target text");
    panes.target->setFocus();
    QTRY_COMPARE(panes.editing.activePane(), panes.target);
    QVERIFY(!copy.isEnabled());
    selectAll.trigger();
    QCOMPARE(panes.target->textCursor().selectedText(), QString("target text"));
    QVERIFY(copy.isEnabled() && cut.isEnabled() && copyButton.isEnabled());
    copyButton.click();
    QCOMPARE(QApplication::clipboard()->text(), QString("target text"));

    panes.source->setFocus();
    QTRY_COMPARE(panes.editing.activePane(), panes.source);
    QVERIFY(!copy.isEnabled());  // the source pane has no selection
    panes.select(panes.source, 0, 7);
    QVERIFY(cut.isEnabled());
    cut.trigger();
    QCOMPARE(panes.source->toPlainText(), QString("text"));
    QCOMPARE(QApplication::clipboard()->text(), QString("source "));
    QVERIFY(!cut.isEnabled());
    QVERIFY(paste.isEnabled() && undo.isEnabled());
    undo.trigger();
    QCOMPARE(panes.source->toPlainText(), QString("source text"));
    QTextCursor end = panes.source->textCursor();
    end.movePosition(QTextCursor::End);
    panes.source->setTextCursor(end);
    paste.trigger();
    QCOMPARE(panes.source->toPlainText(), QString("source textsource "));
    QCOMPARE(panes.target->toPlainText(), QString("target text"));
}

QTEST_MAIN(DocumentCommandsTest)
#include "test_document_commands.moc"
