#pragma once

#include "UserPrompts.h"

#include <QStringList>

// Answers the window's dialogs in tests and records what they said.
class ScriptedPrompts final : public UserPrompts {
public:
    QStringList messages;
    QStringList errors;
    Answer answer = Answer::No;

    void message(const QString& text, Kind, const QString&) override { messages << text; }
    Answer question(const QString& text, const QString&) override
    {
        messages << text;
        return answer;
    }
    void errorReport(const QString& text) override { errors << text; }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
};
