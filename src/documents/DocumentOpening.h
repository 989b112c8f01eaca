#pragma once

#include "DocumentLoadJob.h"
#include "FileOpenDialog.h"
#include "Shell.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QTextDocument;
class TTransfer;

// The Open command: puts the text of a document into the source pane, through a
// DocumentLoadJob. The window stays live while it loads; a second open cancels the first.
class DocumentOpening : public QObject {
    Q_OBJECT
public:
    using StatusLine = std::function<void(const QString& text, bool repaintNow)>;
    // The source pane as an open sees it: its document, and a way to give it a whole new
    // one (a long text is laid out apart, so the window goes on painting meanwhile).
    struct Pane {
        std::function<QTextDocument&()> document;
        std::function<void(std::unique_ptr<QTextDocument>)> adopt;
    };

    DocumentOpening(Pane source, TTransfer& transfer, FileOpenDialog& dialog, StatusLine status,
                    QObject* parent = nullptr);

    // Opens `path` (the file the user chose or dropped); an open still under way is cancelled.
    void accept(const QString& path);
    bool busy() const { return m_job; }
    // The last open put the document's text in the pane (a failure has been told to the user).
    bool loaded() const { return m_loaded; }

    // What a converter may take; tests lower them.
    Shell::Limits ConverterLimits = Shell::Limits::confined(DocumentLoadJob::ConverterMemory);

signals:
    // An open ended, loaded or told to the user; not for one a later open cancelled.
    void finished(bool loaded);

private:
    void ended(DocumentLoadJob* job, const DocumentLoadResult& result);
    void report(const QString& text);
    // The open ends without loading: the user is told why and the pane keeps its text.
    void fail(const QString& path, const QString& problem);

    Pane m_source;
    TTransfer& m_transfer;
    FileOpenDialog& m_dialog;
    StatusLine m_status;
    QPointer<DocumentLoadJob> m_job;
    bool m_loaded = false;
};
