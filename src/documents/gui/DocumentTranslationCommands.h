#pragma once

#include "DocumentLoadJob.h"
#include "DocumentTranslationJob.h"
#include "TranslationJob.h"

#include <QObject>
#include <QPointer>
#include <QProgressDialog>

#include <functional>
#include <memory>

class QWidget;
class TTransfer;

// File > Translate document...: a document chosen in the Open dialog is translated between
// the window's languages with a progress dialog that stays out of the window's way, then
// saved under a name the user confirms, beside the original by default. Documents of the
// formats the service rebuilds come back in their own format; older Word, Excel and
// PowerPoint files and PDF are read through the Open command's converters and come back
// as translated plain text.
class DocumentTranslationCommands : public QObject {
    Q_OBJECT
public:
    using StatusLine = std::function<void(const QString& text)>;
    // The window's two languages and proxy, as a text request names them.
    using Languages = std::function<TranslationRequest()>;

    DocumentTranslationCommands(QWidget* dialogParent, TTransfer& transfer, Languages languages, StatusLine status);
    ~DocumentTranslationCommands() override;

    // The whole command; while one goes, it only brings its progress dialog forward.
    void translateDocument();
    bool busy() const { return m_busy; }
    // The progress dialog of the translation under way, or null.
    QProgressDialog* progressDialog() const { return m_progress; }

    static const QString OpenTitle;  // "Translate a document"
    static const QString SaveTitle;  // "Save the translated document"

signals:
    // The command is over: saved, not saved, stopped or failed.
    void ended();

private:
    void start(const QString& path);
    void translateText(const QString& path, const TranslationRequest& languages, const QString& text);
    static QString progressLabel(const QString& path, const TranslationRequest& languages);
    void showProgress(const QString& path, const TranslationRequest& languages, bool measured);
    void finished(const TranslationResult& result, const QByteArray& translated);
    void save(const QByteArray& translated);
    void openWithDesktop(const QString& path);
    void end();

    QWidget* m_dialogParent;
    TTransfer& m_transfer;
    Languages m_languages;
    StatusLine m_status;
    Shell::Limits m_converterLimits = Shell::Limits::confined(DocumentLoadJob::ConverterMemory);
    QString m_lastPath;
    QString m_source;
    QString m_targetCode;
    bool m_busy = false;
    QPointer<QProgressDialog> m_progress;
    QPointer<DocumentTranslationJob> m_documentJob;
    QPointer<TranslationJob> m_textJob;
    QPointer<DocumentLoadJob> m_loadJob;  // a legacy document's converter under way
    QStringList m_paragraphs;             // a legacy document's translated text
};
