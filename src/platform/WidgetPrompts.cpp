#include "WidgetPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {
QString titleOr(const QString& title) { return title.isEmpty() ? QApplication::applicationName() : title; }
}  // namespace

void WidgetPrompts::message(const QString& text, Kind kind, const QString& title)
{
    QWidget* parent = QApplication::activeWindow();
    switch (kind) {
    case Kind::Warning:
        QMessageBox::warning(parent, titleOr(title), text);
        break;
    case Kind::Error:
        QMessageBox::critical(parent, titleOr(title), text);
        break;
    default:
        QMessageBox::information(parent, titleOr(title), text);
        break;
    }
}

UserPrompts::Answer WidgetPrompts::question(const QString& text, const QString& title)
{
    auto b =
        QMessageBox::question(QApplication::activeWindow(), titleOr(title), text, QMessageBox::Yes | QMessageBox::No);
    return b == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void WidgetPrompts::errorReport(const QString& text)
{
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), text);
}

QString WidgetPrompts::openFileName(const QString& title, const QString& dir, const QString& filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, dir, filter);
}

namespace {
QString askSaveName(const QString& title, const QString& dir, const QString& filter, const QString& defaultSuffix,
                    bool confirmReplace)
{
    QFileDialog dialog(QApplication::activeWindow(), title, dir, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmReplace);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}
}  // namespace

QString WidgetPrompts::saveFileName(const QString& title, const QString& dir, const QString& filter,
                                    const QString& defaultSuffix)
{
    return askSaveName(title, dir, filter, defaultSuffix, true);
}

QString WidgetPrompts::saveNewFileName(const QString& title, const QString& dir, const QString& filter,
                                       const QString& defaultSuffix)
{
    return askSaveName(title, dir, filter, defaultSuffix, false);
}

QString WidgetPrompts::openDocumentName(const QString& title, const QString& fileName, const QString& filter,
                                        const QString& defaultSuffix)
{
    QFileDialog dialog(QApplication::activeWindow(), title, fileName, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDefaultSuffix(defaultSuffix);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}
