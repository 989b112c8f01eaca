#pragma once

#include "UserPrompts.h"

#include <QStringList>

// The dialogs of the subsystems the command line borrows (opening documents,
// fetching converters) when nobody sits at a window: messages go to standard
// error, questions are answered No, file dialogs are cancelled. Installed for
// its lifetime.
class ConsolePrompts final : public UserPrompts {
public:
    ConsolePrompts();
    ~ConsolePrompts() override;

    void message(const QString& text, Kind kind, const QString& title) override;
    Answer question(const QString& text, const QString& title) override;
    void errorReport(const QString& text) override;
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }

    // Everything said so far, in order.
    QStringList said;
    // Printed as it comes; off to keep what was said for one message of the caller's own.
    bool print = true;
};
