#include "ResultFile.h"

#include "PaneDocument.h"
#include "UserPrompts.h"

#include <QFileInfo>
#include <QTextDocument>

const QString ResultFile::kDialogTitle = QStringLiteral("Enregsitrer un fichier texte");
const QString ResultFile::kDialogFilter = QStringLiteral("Text File (*.txt);;Microsoft Word (*.rtf);;All files (*.*)");
const QString ResultFile::kDefaultExtension = QStringLiteral("txt");
const QString ResultFile::kNothingToSave = QStringLiteral("No translation result to save.");

ResultFile::ResultFile(StatusLine statusLine) : m_statusLine(std::move(statusLine)) {}

bool ResultFile::isEmptyResult(const QString& text)
{
    return text.isEmpty() || text == u" " || text == u"\n" || text == u"\r" || text == u"\r\n"
           || text == QString(QChar::ParagraphSeparator) || text == QString(QChar::LineSeparator);
}

QString ResultFile::withDefaultExtension(const QString& path)
{
    if (path.isEmpty() || QFileInfo(path).fileName().contains(u'.'))
        return path;
    return path + u'.' + kDefaultExtension;
}

void ResultFile::accept(const QString& chosenPath)
{
    m_path = withDefaultExtension(chosenPath);
    m_statusLine(m_path);
}

void ResultFile::runDialog()
{
    const QString folder = m_path.isEmpty() ? QString() : QFileInfo(m_path).absolutePath();
    const QString chosen = UserPrompts::instance().saveFileName(kDialogTitle, folder, kDialogFilter, kDefaultExtension);
    if (!chosen.isEmpty())
        accept(chosen);
}

bool ResultFile::write(const QTextDocument& target, const QColor& defaultColor)
{
    const PaneDocument::Outcome outcome = PaneDocument::save(target, m_path, defaultColor);
    if (!outcome.ok)
        UserPrompts::instance().errorReport(outcome.error);
    return outcome.ok;
}

void ResultFile::save(const QTextDocument& target, const QColor& defaultColor)
{
    if (isEmptyResult(target.toPlainText())) {
        UserPrompts::instance().message(kNothingToSave);
        return;
    }
    if (m_path.isEmpty())
        runDialog();
    if (m_path.isEmpty())
        return;
    if (write(target, defaultColor))
        m_statusLine(QStringLiteral("Translation result saved to %1.").arg(m_path));
}

void ResultFile::saveAs(const QTextDocument& target, const QColor& defaultColor)
{
    runDialog();
    if (m_path.isEmpty())
        return;
    if (write(target, defaultColor))
        m_statusLine(QStringLiteral("Translation result saved as %1.").arg(m_path));
}
