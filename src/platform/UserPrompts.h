#pragma once

#include <QString>
#include <QStringList>

// The one door through which windows ask the user something: message boxes,
// the application's error report and the file dialogs. The desktop build
// shows real dialogs; tests install a scripted implementation and answer them.
class UserPrompts {
public:
    enum class Kind { Information, Warning, Error, Question };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~UserPrompts() = default;

    // A modal message with an OK button.
    virtual void message(const QString& text, Kind kind = Kind::Information, const QString& title = QString()) = 0;
    // A Yes/No question; returns Yes or No.
    virtual Answer question(const QString& text, const QString& title = QString()) = 0;
    // The application's error report for an unexpected failure inside a handler.
    virtual void errorReport(const QString& text) = 0;
    // File dialogs; an empty result means the user cancelled.
    virtual QString openFileName(const QString& title, const QString& dir, const QString& filter) = 0;
    virtual QString saveFileName(const QString& title, const QString& dir, const QString& filter,
                                 const QString& defaultSuffix) = 0;
    // The Save dialog for a caller that asks itself before replacing a file: the dialog
    // does not ask a second time.
    virtual QString saveNewFileName(const QString& title, const QString& dir, const QString& filter,
                                    const QString& defaultSuffix)
    {
        return saveFileName(title, dir, filter, defaultSuffix);
    }
    // The Open dialog of documents: proposes `fileName`, shows the descriptions of the
    // filters, and adds `defaultSuffix` to a name typed without one.
    virtual QString openDocumentName(const QString& title, const QString& fileName, const QString& filter,
                                     const QString& defaultSuffix)
    {
        Q_UNUSED(defaultSuffix);
        return openFileName(title, fileName, filter);
    }

    // The instance in force; never null (a widget-backed one unless a test set its own).
    static UserPrompts& instance();
    static void setInstance(UserPrompts* prompts);  // nullptr restores the default
};
