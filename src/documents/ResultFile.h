#pragma once

#include <QColor>
#include <QString>

#include <functional>

class QTextDocument;

// The current result file: where the target pane was last saved, and the Save and Save As
// commands that write the pane there. Dialogs and errors go through UserPrompts.
class ResultFile {
public:
    using StatusLine = std::function<void(const QString&)>;

    static const QString kDialogTitle;
    static const QString kDialogFilter;
    static const QString kDefaultExtension;
    static const QString kNothingToSave;

    explicit ResultFile(StatusLine statusLine);

    const QString& path() const { return m_path; }
    void clear() { m_path.clear(); }

    // Save: asks for a name only while there is no current result file.
    void save(const QTextDocument& target, const QColor& defaultColor = QColor());
    // Save As: always asks; a cancelled dialog still writes to the current result file.
    void saveAs(const QTextDocument& target, const QColor& defaultColor = QColor());
    // The dialog's accept step: the chosen path becomes the current result file.
    void accept(const QString& chosenPath);

    // A target pane holding nothing, one blank or one line break has nothing to save.
    static bool isEmptyResult(const QString& text);
    // A name typed without an extension gets the dialog's default one.
    static QString withDefaultExtension(const QString& path);

private:
    void runDialog();
    bool write(const QTextDocument& target, const QColor& defaultColor);

    StatusLine m_statusLine;
    QString m_path;
};
