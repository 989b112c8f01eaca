#pragma once

#include "PaneDocument.h"
#include "Shell.h"
#include "SiteDownload.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextDocument>

#include <functional>
#include <memory>
#include <optional>

class QTemporaryDir;
class TTransfer;

// Fetches `address` into `folder` and calls `done` once with how it went, from the event loop
// of the thread that asked, and not at all once `context` is gone.
using SiteFetch = std::function<void(const QString& address, const QString& folder, QObject* context,
                                     std::function<void(const SiteDownload::Result&)> done)>;

// One document to open: its file, where converters live and how they are fetched, and what
// the text is wanted as.
struct DocumentLoadRequest {
    QString path;
    QString dataFolder;  // empty: the common data folder
    SiteFetch fetch;
    Shell::Limits limits;
    // A pane's settings: a long plain text comes as a document laid out apart with them.
    std::optional<PaneDocument::Layout> layout;
    // Rich text comes as its plain text too (for a caller without a pane).
    bool plainTextOnly = false;
};

// What an open came to.
struct DocumentLoadResult {
    enum class Outcome {
        Loaded,
        Failed,       // `problem` says why; the pane keeps its text
        NoConverter,  // the converter could not be had; `problem` says why, empty when the user cancelled
        Cancelled,
    };
    Outcome outcome = Outcome::Failed;
    QString path;
    QString text;         // the plain text, unless one of the two below
    QByteArray richText;  // a rich-text file, to be read into the pane as it is
    bool built = false;   // a long text laid out apart (only with a layout): DocumentLoadJob::takeBuilt()
    QString problem;
    QString notice;  // to show once the text is in place ("only the beginning was loaded")

    bool loaded() const { return outcome == Outcome::Loaded; }
};

// Opening one document, off the window's thread: text and rich-text files are read as they
// are; Word, Excel, PowerPoint, PDF and HTML documents go through the converter for their
// kind, fetched from the site into the data folder on first use and run as a process of its
// own, held within its limits. The text is read and decoded on a worker. It emits nothing
// before control returns to the event loop of the thread that started it.
class DocumentLoadJob : public QObject {
    Q_OBJECT
public:
    static DocumentLoadJob* start(DocumentLoadRequest request, QObject* parent = nullptr);
    ~DocumentLoadJob() override;

    // Ends the job at once as Cancelled: a converter under way is stopped, and nothing more
    // is emitted but that one finished().
    void cancel();
    bool isFinished() const { return m_finished; }
    // The document a long text was laid out in, once finished with `built` set; the caller owns it.
    std::unique_ptr<QTextDocument> takeBuilt() { return std::move(m_built); }

    // The seam to the site: downloads through `transfer`, the window's or one of the caller's own.
    static SiteFetch fetchWith(TTransfer& transfer);

    static const QString ConverterSuffix;  // "-extract", after the format tag
    static const QString WorkFileName;     // "istmp.txt": a PDF's text on its way to the pane
    static const QString WordFolderName;   // the Word converter's folder in the data folder
    static const QString WordProgramName;  // the Word converter inside that folder
    static const QString WordMarkerName;   // the mapping file that marks the folder as unpacked
    // Texts longer than this are laid out apart from the pane.
    static constexpr qsizetype LongText = 1024 * 1024;
    // The address space a converter may take: poppler and the readers stay well within it on
    // any real document, while a hostile one cannot take the machine's memory.
    static constexpr qint64 ConverterMemory = qint64(2) << 30;

    // "doc", "xls", "ppt", "pdf", "htm" or empty: a lower-case substring test on the whole
    // path in that order, a later hit replacing an earlier one; failing that, a template's
    // extension (.dot, .xlt, .pot and their newer forms) gives the kind it is a template of.
    static QString formatTag(const QString& path);
    static QString converterName(const QString& tag) { return tag + ConverterSuffix; }
    // Lines of a converter's output before the document's text.
    static int headerLines(const QString& tag);
    // Why `path` cannot be read as a document ("no such file", "it is a named pipe"...), or
    // empty when it can. Links are followed.
    static QString unreadable(const QString& path);

signals:
    // "Loading <path>, please wait..." once a converter starts.
    void progress(const QString& status);
    // Exactly once.
    void finished(const DocumentLoadResult& result);

private:
    // What the worker reads: a file (the document or a converter's output) or captured output.
    struct Source {
        QString file;
        QByteArray output;
        bool converted = false;
    };

    DocumentLoadJob(DocumentLoadRequest request, QObject* parent);
    void begin();
    void haveConverter(const QString& converter);
    void convert(const QString& converter);
    void runWord(const QString& converter);
    void unpackWord(const QString& converter, const QString& folder);
    void unpacked(const Shell::Outcome& outcome, const QString& folder);
    void wordReady(const QString& folder);
    // Runs a converter; `then` gets its outcome unless the job ended first.
    void run(const QString& program, const QStringList& arguments, const QString& folder, Shell::Capture capture,
             std::function<void(const Shell::Outcome&)> then);
    void converted(const Shell::Outcome& outcome, const QString& copy = QString());
    void read(const Source& source);
    // A private folder for a converter's files; false when none could be made (the job has failed).
    bool makeScratch();
    QString failedText(const Shell::Outcome& outcome, const QString& copy) const;
    void fail(DocumentLoadResult::Outcome outcome, const QString& problem);
    void finish(DocumentLoadResult result, std::unique_ptr<QTextDocument> built = {});

    DocumentLoadRequest m_request;
    QString m_tag;
    QString m_data;
    QString m_notice;
    std::shared_ptr<QTemporaryDir> m_scratch;  // a converter's private folder, gone with the job
    std::unique_ptr<QTemporaryDir> m_unpack;   // the Word converter's unpack under way
    QPointer<Shell::Running> m_running;
    std::unique_ptr<QTextDocument> m_built;
    bool m_finished = false;
};

Q_DECLARE_METATYPE(DocumentLoadResult)
