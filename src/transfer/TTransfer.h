#pragma once

#include "TTransferItem.h"
#include "TTransferProgressView.h"

#include <QFile>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>

class QThread;

class AtomicFile;
class TransferConnection;
class TTransferFtp;
struct TTransferFtpState;

// A failed read or write of a local file inside a block loop. It ends the run,
// which then reports it as its Failure, like any unexpected failure of a handler.
class ETransferIOError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TTransfer;
using TTransferBeforeDialogShow = std::function<void(TTransfer* Sender, QObject* ADialog)>;
using TTransferFileStart = std::function<void(TTransfer* Sender, int idx)>;
using TTransferFileDone = std::function<void(TTransfer* Sender, int idx)>;
using TTransferProgress = std::function<void(TTransfer* Sender, int fileidx, quint32 size, quint32 totsize)>;
using TTransferOverwrite = std::function<void(TTransfer* Sender, const QString& tgtfile, bool& allow)>;
using TTransferFileDateCheck = std::function<void(TTransfer* Sender, int idx, double newdate, bool& allow)>;
using TTransferNoNewFile =
    std::function<void(TTransfer* Sender, const QString& tgtfile, double curdate, double newdate)>;
using TTransferURLNotFound = std::function<void(TTransfer* Sender, const QString& url)>;
using TTransferError = std::function<void(TTransfer* Sender, int ErrorCode)>;
using TTransferErrorInfo = std::function<void(TTransfer* Sender, int ErrorCode, const QString& ErrorInfo)>;
using TTransferConnectError = std::function<void(TTransfer* Sender)>;
using TTransferMultiFTPFileDone = std::function<void(TTransfer* Sender, const QString& Filename)>;
using TTransferRemoveFileDone = std::function<void(TTransfer* Sender, int idx)>;
using TTransferRemoveFileFailed = std::function<void(TTransfer* Sender, int idx)>;
using TTransferCancel = std::function<void(TTransfer* Sender)>;
using TTransferThreadDone = std::function<void(TTransfer* Sender)>;

// The non-visual download and upload component: a job list, display and
// connection properties, events, and one run over the active jobs at a time.
// The run's network and file work happens on a worker thread of its own; its
// events, the prompts and the dialog stay on the thread that owns the
// component (the window's), and the run waits for each handler in turn, so
// they see the jobs as they were when the event was raised.
class TTransfer : public QObject {
    Q_OBJECT
public:
    explicit TTransfer(QObject* owner = nullptr);
    ~TTransfer() override;

    // Published properties.
    QString Agent = QStringLiteral("Linguaro Transfer");
    QString Proxy;
    QString ProxyUserID;
    QString ProxyPassword;
    bool FTPPassive = false;
    bool HTTPKeepAliveAuthentication = false;
    bool CreateUniqueFilenames = false;
    TTransferItems Items;
    bool ShowDialog = true;
    bool ShowDialogOnTop = true;
    bool AlwaysOnTop = false;
    bool ShowFileName = true;
    bool ShowServer = true;
    bool ShowTime = false;
    bool ShowElapsedTime = false;
    bool ShowCompletion = false;
    bool ShowOpenFile = false;
    bool ShowOpenFolder = false;
    bool DlgShowCancel = true;
    bool DlgShowCloseBtn = false;
    QString DlgCaption = QStringLiteral("Downloading");
    QString DlgDwnload = QStringLiteral("Downloading");
    QString DlgUpload = QStringLiteral("Uploading");
    QString DlgCopying = QStringLiteral("Copying");
    QString DlgCompleted = QStringLiteral("completed");
    QString DlgFileLabel = QStringLiteral("File :");
    QString DlgFileOfLabel = QStringLiteral("of");
    QString DlgFromServerLabel = QStringLiteral("from");
    QString DlgToServerLabel = QStringLiteral("to");
    QString DlgProgressLabel = QStringLiteral("Progress :");
    QString DlgRateLabel = QStringLiteral("Transfer rate :");
    QString DlgTimeLabel = QStringLiteral("Estimated time left :");
    QString DlgElapsedTimeLabel = QStringLiteral("Elapsed time :");
    QString DlgCancel = QStringLiteral("Cancel");
    QString DlgClose = QStringLiteral("Close");
    QString DlgOpenFile = QStringLiteral("Open file");
    QString DlgOpenFolder = QStringLiteral("Open folder");

    // Every property and event handler of another component (not its jobs), for
    // a component of its own that works as that one is set up.
    void copySettingsFrom(const TTransfer& other);

    // Read-only; writing is ignored.
    QString Version() const;
    void SetVersion(const QString&) {}

    // Network limits of this platform's client: connecting gives up after
    // ConnectTimeout seconds, a transfer where nothing moves for StallTimeout
    // seconds is broken off.
    int ConnectTimeout = 15;
    int StallTimeout = 60;

    // Events.
    TTransferBeforeDialogShow OnBeforeDialogShow;
    TTransferFileStart OnFileStart;
    TTransferFileDone OnFileDone;
    TTransferProgress OnCopyProgress;
    TTransferOverwrite OnCopyOverWrite;
    TTransferFileDateCheck OnFileDateCheck;
    TTransferNoNewFile OnNoNewFileFound;
    TTransferURLNotFound OnURLNotFound;
    TTransferError OnError;
    TTransferErrorInfo OnErrorInfo;
    TTransferConnectError OnConnectError;
    TTransferMultiFTPFileDone OnMultiFTPFileDone;
    TTransferRemoveFileDone OnRemovedFile;
    TTransferRemoveFileFailed OnRemovedFileFailed;
    TTransferCancel OnCopyCancel;
    TTransferThreadDone OnCopyDone;

    // Starts a run over every active job and returns: its end is OnCopyDone
    // and then finished(). A call made while a run is under way (from a
    // handler of that run) is refused.
    void Execute();
    // The same as Execute; kept for the callers that start the run by these names.
    void ThreadStart() { Execute(); }
    void ThreadExecute() { Execute(); }

    // Run state for callers, the dialog and tests.
    bool Running() const { return m_running; }
    bool Finished() const { return m_finished; }
    bool CancelFlag() const { return m_cancel; }
    bool ThreadDone() const { return m_threadDone; }
    // Why the last run broke off (a local file that failed, a handler that
    // failed); empty when it ran to its end. Such a run has no OnCopyDone.
    QString Failure() const { return m_failure; }
    int CurrentOrdinal() const { return m_ordinal; }
    QString LastTargetPath() const { return m_lastTargetPath; }
    QString LastTargetDir() const { return m_lastTargetDir; }
    QString LastRate() const { return m_lastRate; }
    QString LastTimeLeft() const { return m_lastTimeLeft; }
    QString LastElapsed() const { return m_lastElapsed; }
    // The progress dialog of the current or last run (null once destroyed).
    TTransferProgressView* Dialog() const { return m_dialog.get(); }

    // Button actions of the progress dialog.
    void CancelClick();
    // May the dialog close now (close box or Close button)?
    bool DialogMayClose() const { return DlgShowCloseBtn || m_finished; }
    // Open file / Open folder: the dialog opens the path, then this destroys the dialog.
    void ReleaseDialog();

signals:
    // Once at the end of every run, after OnCopyDone, the component idle again.
    void finished();

private:
    friend class TTransferFtp;

    // One operation per job kind; each returns its result.
    bool HttpDownload(int idx, TTransferItem& item, double& workingDate, bool& noNewFile);
    bool HttpUpload(int idx, TTransferItem& item);
    bool FileCopy(int idx, TTransferItem& item, double& workingDate, bool& noNewFile);
    // Defined with the FTP client (TTransferFtp.cpp).
    bool FtpDownload(int idx, TTransferItem& item, bool keep, double& workingDate, bool& noNewFile);
    bool FtpUpload(int idx, TTransferItem& item, bool keep, double& workingDate, bool& noNewFile);
    bool MultiFtpDownload(int idx, TTransferItem& item, double& workingDate, bool& noNewFile);
    bool MultiFtpUpload(int idx, TTransferItem& item, bool keep, double& workingDate, bool& noNewFile);
    bool FtpDelete(int idx, TTransferItem& item, bool keep);
    bool FtpList(int idx, TTransferItem& item);
    bool FtpTest(int idx, TTransferItem& item);
    void FtpRunEnd();  // ends a kept FTP connection

    bool Dispatch(int idx, TTransferItem& item, bool keep, double& workingDate, bool& noNewFile);
    void BuildDialog();
    void FinishRun();
    // The worker's part of a run, and its end back on the owner's thread.
    void runJobs();
    void runEnded();

public:
    // Steps shared by the operations (also used by the FTP operations).
    // Runs work on the owner's thread and waits for it (at once when already there).
    void onOwner(const std::function<void()>& work);
    // Raises an event on the owner's thread and waits for its handler.
    template <typename Handler, typename... Args>
    void fire(const Handler& handler, Args&&... args)
    {
        if (handler)
            onOwner([&] { handler(this, std::forward<Args>(args)...); });
    }
    // Changes the dialog on the owner's thread, in order, without waiting.
    void toDialog(std::function<void(TTransferProgressView&)> change);
    // A transfer starts its blocks uncancelled, unless the component is going away.
    void resetCancel() { m_cancel = m_abandoned.load(); }
    // The login prompt, on the owner's thread.
    bool askLogin(const QString& caption, QString& user, QString& password);
    // File line: prefix from the job list, display name, optionally server word and text.
    void SetFileLine(const QString& displayName, bool withServer, const QString& serverWord, const QString& serverText);
    // File line with an explicit prefix (multi-file jobs count their own files).
    void SetFileLineWithPrefix(const QString& prefix, const QString& displayName, bool withServer,
                               const QString& serverWord, const QString& serverText);
    QString FileLinePrefix(int position, int count) const;
    // The progress step after every block; start is a millisecond tick. The
    // copy form always shows the total and fills the bar for an empty source.
    void ShowProgress(quint32 done, quint32 total, qint64 start, const QString& word, bool copyForm = false);
    void SetAnimation(TTransferClip clip);
    void FireError(int code, const QString& info);
    void FireProgress(quint32 done, quint32 total);
    void RememberTarget(const QString& path, const QString& dir);
    // Existing target: asks OnCopyOverWrite, then applies CreateUniqueFilenames.
    // False when the handler refused.
    bool CheckOverwrite(QString& path);
    // The target of a download or copy: a name taken from the source must be a
    // plain name (it never leads out of TargetDir), anything already at the
    // path (a link too) goes through CheckOverwrite (path may change), missing
    // folders are created, then the file is opened for writing. The caller
    // reports the outcome, and commits the file once it is complete.
    enum class TargetOpen { Opened, Refused, CannotCreate };
    TargetOpen OpenTarget(AtomicFile& file, QString& path, const QString& fileName, bool nameFromSource,
                          QIODevice::OpenMode extraMode = {});
    // Date check of a download or copy (CopyNewerOnly or OnFileDateCheck);
    // False when the transfer is to be skipped. name is what OnNoNewFileFound reports.
    bool CheckDate(int idx, const QString& name, double newdate, double& workingDate, bool& noNewFile);
    bool DateCheckWanted(const TTransferItem& item) const { return item.CopyNewerOnly || OnFileDateCheck; }
    // The root handle of the run (null when only local copies run).
    TransferConnection* Internet() const { return m_internet.get(); }
    static qint64 TickCount();

private:
    // What the progress lines show; the worker keeps the latest and the owner's
    // thread shows it, one update waiting at a time however fast blocks go.
    struct ProgressLines {
        int position = 0;
        bool setPosition = false;
        QString progress, rate, time, elapsed, caption;
    };
    void showProgressLines();

    bool m_running = false;
    int m_ordinal = 0;
    std::atomic<bool> m_cancel = false;
    std::atomic<bool> m_abandoned = false;  // the component is going: the worker stops waiting for its thread
    bool m_finished = false;
    bool m_threadDone = false;
    QString m_failure;
    std::unique_ptr<QThread> m_worker;
    std::mutex m_callMutex;
    std::condition_variable m_callDone;
    std::mutex m_progressMutex;
    ProgressLines m_progressLines;
    bool m_progressPosted = false;
    int m_shownPosition = 0;
    std::unique_ptr<TransferConnection> m_internet;
    struct FtpStateDeleter {
        void operator()(TTransferFtpState* state) const;
    };
    std::unique_ptr<TTransferFtpState, FtpStateDeleter> m_ftp;  // kept FTP connection and its key
    QString m_lastTargetPath;
    QString m_lastTargetDir;
    QString m_lastRate;
    QString m_lastTimeLeft;
    QString m_lastElapsed;
    TTransferProgressViewPtr m_dialog;
};
