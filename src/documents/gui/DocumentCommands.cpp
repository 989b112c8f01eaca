#include "DocumentCommands.h"

#include "SearchDialog.h"

#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QTextEdit>

#include <algorithm>
#include <stdexcept>

namespace {
// the largest size word processors offer
constexpr int kLargestPointSize = 1638;
}  // namespace

DocumentCommands::DocumentCommands(QTextEdit* source, QTextEdit* target, ResultFile::StatusLine statusLine,
                                   QWidget* dialogParent)
    : m_source(source), m_target(target), m_dialogParent(dialogParent), m_resultFile(std::move(statusLine))
{
    m_printerPrompt = [this](QPrinter& printer) {
        QPrintDialog dialog(&printer, m_dialogParent);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
        return dialog.exec() == QDialog::Accepted;
    };
}

DocumentCommands::~DocumentCommands() = default;

void DocumentCommands::New() { m_source->clear(); }

void DocumentCommands::save() { m_resultFile.save(*m_target->document(), m_paneColour); }

void DocumentCommands::saveAs() { m_resultFile.saveAs(*m_target->document(), m_paneColour); }

QPrinter& DocumentCommands::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void DocumentCommands::print()
{
    QPrinter& chosen = printer();
    if (m_printerPrompt(chosen))
        printTarget(chosen);
}

void DocumentCommands::setupPrinter()
{
    QPageSetupDialog dialog(&printer(), m_dialogParent);
    dialog.exec();
}

void DocumentCommands::printTarget(QPrinter& target)
{
    target.setDocName(QFileInfo(m_resultFile.path()).fileName());
    target.setPrintRange(QPrinter::AllPages);
    m_target->print(&target);
}

SearchDialog* DocumentCommands::makeDialog(bool replacing)
{
    auto* dialog = new SearchDialog(replacing ? SearchDialog::Mode::Replace : SearchDialog::Mode::Find, m_dialogParent);
    connect(dialog, &SearchDialog::findNext, this, [this, dialog] { findDialogFind(dialog); });
    connect(dialog, &SearchDialog::replaceOne, this, [this, dialog] { replaceOne(dialog); });
    connect(dialog, &SearchDialog::replaceAll, this, [this, dialog] { replaceAll(dialog); });
    return dialog;
}

SearchDialog* DocumentCommands::findDialog()
{
    if (!m_findDialog)
        m_findDialog = makeDialog(false);
    return m_findDialog;
}

SearchDialog* DocumentCommands::replaceDialog()
{
    if (!m_replaceDialog)
        m_replaceDialog = makeDialog(true);
    return m_replaceDialog;
}

void DocumentCommands::showDialog(SearchDialog* dialog)
{
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void DocumentCommands::findBeforeExecute()
{
    const QString selected = m_source->textCursor().selectedText();
    if (!selected.isEmpty())
        findDialog()->setFindText(selected);
}

void DocumentCommands::find()
{
    findBeforeExecute();
    showDialog(findDialog());
}

void DocumentCommands::findNext()
{
    SearchDialog* dialog = findDialog();
    if (dialog->findText().isEmpty())
        find();
    else
        findDialogFind(dialog);
}

void DocumentCommands::replace() { showDialog(replaceDialog()); }

void DocumentCommands::findDialogFind(SearchDialog* dialog)
{
    const int start = PaneSearch::startAfter(m_source->textCursor());
    const QTextCursor match = PaneSearch::find(*m_source->document(), dialog->findText(), start, dialog->options());
    if (!match.isNull()) {
        m_source->setFocus();
        m_source->setTextCursor(match);
    }
    // to the bottom and back to the caret, so the caret rests near the top of the view
    QScrollBar* bar = m_source->verticalScrollBar();
    bar->setValue(bar->maximum());
    m_source->ensureCursorVisible();
}

void DocumentCommands::replaceOne(SearchDialog* dialog)
{
    QTextCursor cursor = m_source->textCursor();
    if (PaneSearch::selectionMatches(cursor, dialog->findText(), dialog->options())) {
        const int start = cursor.selectionStart();
        cursor.insertText(dialog->replaceText());
        // keep the replacement selected so the next search starts after it
        cursor.setPosition(start, QTextCursor::KeepAnchor);
        m_source->setTextCursor(cursor);
    }
    findDialogFind(dialog);
}

void DocumentCommands::replaceAll(SearchDialog* dialog)
{
    PaneSearch::replaceAll(*m_source->document(), dialog->findText(), dialog->replaceText(), dialog->options());
}

void DocumentCommands::applyPaneFont(const QString& sizeText, const QString& family, const QColor& colour)
{
    bool sizeOk = false;
    const int size = sizeText.toInt(&sizeOk);
    for (QTextEdit* pane : {m_source, m_target}) {
        QFont font = pane->font();
        font.setFamily(family);
        pane->setFont(font);
        if (!sizeOk)
            throw std::runtime_error(QStringLiteral("'%1' is not a valid integer value").arg(sizeText).toStdString());
        // sizes below one point or beyond what word processors offer are brought into range
        font.setPointSize(std::clamp(size, 1, kLargestPointSize));
        pane->setFont(font);
        QPalette palette = pane->palette();
        palette.setColor(QPalette::Text, colour.isValid() ? colour : QColor(Qt::black));
        pane->setPalette(palette);
        pane->update();
    }
    m_paneColour = colour;
}
