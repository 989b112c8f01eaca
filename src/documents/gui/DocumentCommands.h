#pragma once

#include "ResultFile.h"

#include <QColor>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QPrinter;
class QTextEdit;
class QWidget;
class SearchDialog;

// The main window's document commands around the two panes: New, Save, Save As, Print,
// Setup Printer, Find, Find Next, Replace and the pane font. The window's handlers call these.
class DocumentCommands : public QObject {
    Q_OBJECT
public:
    // Asks the user for a printer; false when cancelled. Tests answer it as they answer UserPrompts.
    using PrinterPrompt = std::function<bool(QPrinter&)>;

    DocumentCommands(QTextEdit* source, QTextEdit* target, ResultFile::StatusLine statusLine, QWidget* dialogParent);
    ~DocumentCommands() override;

    ResultFile& resultFile() { return m_resultFile; }

    void New();     // empties the source pane; nothing else changes
    void save();    // Save: asks for a name the first time only
    void saveAs();  // Save As: always asks
    void print();   // the print dialog, then the whole target pane
    void setupPrinter();
    // Prints the target pane; the job is titled by the current result file's name without folder.
    void printTarget(QPrinter& printer);
    void setPrinterPrompt(PrinterPrompt prompt) { m_printerPrompt = std::move(prompt); }
    QPrinter& printer();

    void find();  // the Find dialog, primed with the source pane's selection
    void findBeforeExecute();
    void findNext();  // repeats the last search; opens the Find dialog when there is none
    void replace();   // the Replace dialog
    // Searches the source pane for the dialog's text, forward from after the selection.
    void findDialogFind(SearchDialog* dialog);
    SearchDialog* findDialog();
    SearchDialog* replaceDialog();

    // Sets the default font of both panes, source first; a size that is not a whole number
    // throws after the source pane has taken the new font name.
    void applyPaneFont(const QString& sizeText, const QString& family, const QColor& colour);

private:
    void replaceOne(SearchDialog* dialog);
    void replaceAll(SearchDialog* dialog);
    SearchDialog* makeDialog(bool replacing);
    static void showDialog(SearchDialog* dialog);

    QTextEdit* m_source;
    QTextEdit* m_target;
    QWidget* m_dialogParent;
    ResultFile m_resultFile;
    QColor m_paneColour;  // the colour box's choice; unset text is saved in it
    std::unique_ptr<QPrinter> m_printer;
    PrinterPrompt m_printerPrompt;
    QPointer<SearchDialog> m_findDialog;
    QPointer<SearchDialog> m_replaceDialog;
};
