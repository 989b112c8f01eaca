#pragma once

#include "UserPrompts.h"

// Real Qt dialogs: QMessageBox and QFileDialog on the active window.
class WidgetPrompts final : public UserPrompts {
public:
    void message(const QString& text, Kind kind, const QString& title) override;
    Answer question(const QString& text, const QString& title) override;
    void errorReport(const QString& text) override;
    QString openFileName(const QString& title, const QString& dir, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& dir, const QString& filter,
                         const QString& defaultSuffix) override;
    QString saveNewFileName(const QString& title, const QString& dir, const QString& filter,
                            const QString& defaultSuffix) override;
    QString openDocumentName(const QString& title, const QString& fileName, const QString& filter,
                             const QString& defaultSuffix) override;
};
