#pragma once

#include "TranslationJob.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

// A whole document to translate with its layout kept: the file, its format
// (one the service keeps, "docx", "html"...; from the file's extension when empty), and the
// languages, proxy and service as a text request (whose text stays empty) names them.
struct DocumentRequest {
    QString path;
    QString format;
    TranslationRequest languages;

    static DocumentRequest betweenPositions(const QString& path, int source, int target, const ProxySettings& proxy);
};

// One document under way, the text job's sibling with the same result: the
// file is read and sent on a worker thread, the translated document kept
// here. It emits nothing before control returns to the event loop of the
// thread that started it.
class DocumentTranslationJob : public QObject {
    Q_OBJECT
public:
    static DocumentTranslationJob* start(const DocumentRequest& request, QObject* parent = nullptr);
    ~DocumentTranslationJob() override;

    // Ends the job at once as Stopped; nothing more is emitted but that one finished().
    void cancel();
    bool isFinished() const { return m_finished; }
    const TranslationResult& result() const { return m_result; }
    // The translated document, once finished as Done.
    const QByteArray& document() const { return m_document; }

    // The format a document is sent as, from its name ("Report.DOCX" -> "docx"); empty when none is kept.
    static QString formatOf(const QString& path);
    // The formats kept, for a sentence: "Word (.docx), ... <conjunction> rich text (.rtf)",
    // and their extensions: ".docx, .odt, ... <conjunction> .htm".
    static QString keptFormats(const QString& conjunction);
    static QString keptExtensions(const QString& conjunction);

    // Writes bytes to path so that nothing half-written is ever left there:
    // into a new file beside it, renamed over it when complete. Empty when
    // done, else why not.
    static QString writeBeside(const QString& path, const QByteArray& bytes);

signals:
    // The checks passed: "Translating <src> to <trg> ...".
    void started(const QString& statusText);
    // The share of the document the service has translated, 0 to 100, never going
    // down; none while the service does not tell it.
    void progress(int percent);
    // Exactly once.
    void finished(const TranslationResult& result);

private:
    struct Shared;
    DocumentTranslationJob(DocumentRequest request, QObject* parent);
    void begin();
    void finish(TranslationResult result, QByteArray document = {});
    void advance(int percent);

    DocumentRequest m_request;
    std::shared_ptr<Shared> m_shared;
    bool m_finished = false;
    int m_percent = -1;
    TranslationResult m_result;
    QByteArray m_document;
};
