#pragma once

#include <QObject>
#include <QString>

#include <memory>

class TTransfer;

// How a download ended: a whole file at path, or the reason there is none.
struct DownloadResult {
    bool ok = false;
    bool cancelled = false;  // the user cancelled; nothing to report
    QString path;            // the file that arrived
    QString reason;          // why no file arrived, for the user
};

// One file fetched into a folder by a transfer component of its own, with the
// progress dialog, off the window's thread. It reports progress and exactly one
// result; a failed, cancelled or empty download never counts as a file, whatever
// an older file of that name says. Like a translation job it emits nothing
// before control returns to the event loop, so callers connect to it first.
class DownloadJob : public QObject {
    Q_OBJECT
public:
    // The job's component is set up like `like` (the window's), when given:
    // its proxy, captions and handlers, never its job list.
    static DownloadJob* start(const QString& url, const QString& targetDir, const TTransfer* like = nullptr,
                              QObject* parent = nullptr);
    ~DownloadJob() override;

    // Ends the download as cancelled; finished() follows.
    void cancel();
    bool isFinished() const { return m_finished; }
    const DownloadResult& result() const { return m_result; }
    TTransfer& transfer() { return *m_transfer; }

signals:
    // Bytes so far and the size the server announced (0 when it announced none).
    void progress(quint32 done, quint32 total);
    // Exactly once, with the file handed over or the reason.
    void finished(const DownloadResult& result);

private:
    DownloadJob(const QString& url, const QString& targetDir, const TTransfer* like, QObject* parent);
    // The one place a finished download is judged and handed over.
    DownloadResult handOver() const;

    QString m_url;
    QString m_targetDir;
    std::unique_ptr<TTransfer> m_transfer;
    QString m_problem;
    bool m_finished = false;
    DownloadResult m_result;
};
