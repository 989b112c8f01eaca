#pragma once

#include "UserPrompts.h"

#include <QStringList>

// Answers the dialogs from a script and records every message, as a user at the screen would.
class ScriptedPrompts final : public UserPrompts {
public:
    Answer answer = Answer::No;  // the answer to every question
    QList<Answer> answers;       // taken in order before `answer`
    QStringList saveAnswers;     // taken in order; an empty string cancels
    QStringList messages;
    QStringList questionTitles;  // the title of each question, in order
    QStringList errors;
    QStringList saveDialogs;    // "title|filter|default suffix" of each Save dialog shown
    QStringList saveProposals;  // the folder or name each Save dialog started at
    QStringList openAnswers;    // documents chosen in the Open dialog, in order; an empty string cancels
    QStringList openDialogs;    // "title|proposed file name|filter|default suffix" of each Open dialog

    ScriptedPrompts() { UserPrompts::setInstance(this); }
    ~ScriptedPrompts() override { UserPrompts::setInstance(nullptr); }

    void message(const QString& text, Kind, const QString&) override { messages << text; }
    Answer question(const QString& text, const QString& title) override
    {
        messages << text;
        questionTitles << title;
        return answers.isEmpty() ? answer : answers.takeFirst();
    }
    void errorReport(const QString& text) override { errors << text; }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString openDocumentName(const QString& title, const QString& fileName, const QString& filter,
                             const QString& defaultSuffix) override
    {
        openDialogs << title + '|' + fileName + '|' + filter + '|' + defaultSuffix;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString saveFileName(const QString& title, const QString& dir, const QString& filter,
                         const QString& defaultSuffix) override
    {
        saveDialogs << title + '|' + filter + '|' + defaultSuffix;
        saveProposals << dir;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
};
