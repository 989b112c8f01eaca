#include "TTransfer.h"

#include "AtomicFile.h"
#include "TransferConnection.h"
#include "TransferFormat.h"
#include "TransferNames.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cmath>

using namespace TransferNames;
using namespace TransferFormat;

TTransfer::TTransfer(QObject* owner) : QObject(owner) {}

TTransfer::~TTransfer()
{
    if (!m_worker)
        return;
    m_cancel = true;
    {
        std::lock_guard lock(m_callMutex);
        m_abandoned = true;
    }
    m_callDone.notify_all();
    m_worker->wait();
}

void TTransfer::copySettingsFrom(const TTransfer& other)
{
    Agent = other.Agent;
    Proxy = other.Proxy;
    ProxyUserID = other.ProxyUserID;
    ProxyPassword = other.ProxyPassword;
    FTPPassive = other.FTPPassive;
    HTTPKeepAliveAuthentication = other.HTTPKeepAliveAuthentication;
    CreateUniqueFilenames = other.CreateUniqueFilenames;
    ShowDialog = other.ShowDialog;
    ShowDialogOnTop = other.ShowDialogOnTop;
    AlwaysOnTop = other.AlwaysOnTop;
    ShowFileName = other.ShowFileName;
    ShowServer = other.ShowServer;
    ShowTime = other.ShowTime;
    ShowElapsedTime = other.ShowElapsedTime;
    ShowCompletion = other.ShowCompletion;
    ShowOpenFile = other.ShowOpenFile;
    ShowOpenFolder = other.ShowOpenFolder;
    DlgShowCancel = other.DlgShowCancel;
    DlgShowCloseBtn = other.DlgShowCloseBtn;
    DlgCaption = other.DlgCaption;
    DlgDwnload = other.DlgDwnload;
    DlgUpload = other.DlgUpload;
    DlgCopying = other.DlgCopying;
    DlgCompleted = other.DlgCompleted;
    DlgFileLabel = other.DlgFileLabel;
    DlgFileOfLabel = other.DlgFileOfLabel;
    DlgFromServerLabel = other.DlgFromServerLabel;
    DlgToServerLabel = other.DlgToServerLabel;
    DlgProgressLabel = other.DlgProgressLabel;
    DlgRateLabel = other.DlgRateLabel;
    DlgTimeLabel = other.DlgTimeLabel;
    DlgElapsedTimeLabel = other.DlgElapsedTimeLabel;
    DlgCancel = other.DlgCancel;
    DlgClose = other.DlgClose;
    DlgOpenFile = other.DlgOpenFile;
    DlgOpenFolder = other.DlgOpenFolder;
    ConnectTimeout = other.ConnectTimeout;
    StallTimeout = other.StallTimeout;
    OnBeforeDialogShow = other.OnBeforeDialogShow;
    OnFileStart = other.OnFileStart;
    OnFileDone = other.OnFileDone;
    OnCopyProgress = other.OnCopyProgress;
    OnCopyOverWrite = other.OnCopyOverWrite;
    OnFileDateCheck = other.OnFileDateCheck;
    OnNoNewFileFound = other.OnNoNewFileFound;
    OnURLNotFound = other.OnURLNotFound;
    OnError = other.OnError;
    OnErrorInfo = other.OnErrorInfo;
    OnConnectError = other.OnConnectError;
    OnMultiFTPFileDone = other.OnMultiFTPFileDone;
    OnRemovedFile = other.OnRemovedFile;
    OnRemovedFileFailed = other.OnRemovedFileFailed;
    OnCopyCancel = other.OnCopyCancel;
    OnCopyDone = other.OnCopyDone;
}

QString TTransfer::Version() const
{
    constexpr quint32 version = 0x02030000;
    return QStringLiteral("%1.%2.%3.%4")
        .arg(version >> 24)
        .arg((version >> 16) & 0xFF)
        .arg((version >> 8) & 0xFF)
        .arg(version & 0xFF);
}

qint64 TTransfer::TickCount()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

void TTransfer::onOwner(const std::function<void()>& work)
{
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    auto done = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        this,
        [this, done, &work] {
            // a handler that fails ends the run; the failure is the run's to report
            try {
                work();
            } catch (const std::exception& e) {
                m_failure = QString::fromUtf8(e.what());
                m_cancel = true;
            } catch (...) {
                m_failure = QStringLiteral("A handler of the transfer failed.");
                m_cancel = true;
            }
            std::lock_guard lock(m_callMutex);
            *done = true;
            m_callDone.notify_all();
        },
        Qt::QueuedConnection);
    // The component going away ends the wait: the run is cancelled by then and
    // winds down without its handlers (no exception, as this may be inside a
    // callback of the network client).
    std::unique_lock lock(m_callMutex);
    m_callDone.wait(lock, [&] { return *done || m_abandoned; });
}

void TTransfer::toDialog(std::function<void(TTransferProgressView&)> change)
{
    auto apply = [this, change = std::move(change)] {
        if (m_dialog)
            change(*m_dialog);
    };
    if (QThread::currentThread() == thread())
        apply();
    else
        QMetaObject::invokeMethod(this, std::move(apply), Qt::QueuedConnection);
}

bool TTransfer::askLogin(const QString& caption, QString& user, QString& password)
{
    bool given = false;
    onOwner([&] { given = askTransferLogin(caption, user, password); });
    return given;
}

void TTransfer::BuildDialog()
{
    // A dialog left open by an earlier run is not reused.
    m_dialog.reset(TTransferProgressView::create(*this));
    m_finished = false;
    m_dialog->setCaption(DlgCaption + QLatin1String(" ..."));
    m_dialog->setFileLine(DlgFileLabel);
    m_dialog->setProgressLine(DlgProgressLabel);
    m_dialog->setRateLine(DlgRateLabel);
    m_dialog->setTimeLine(DlgTimeLabel);
    m_dialog->setElapsedLine(DlgElapsedTimeLabel);
    m_dialog->CancelCaption = DlgCancel;
    m_dialog->setAnimation(TTransferClip::Download);
    m_cancel = false;
    m_shownPosition = 0;
    if (ShowDialog) {
        if (OnBeforeDialogShow)
            OnBeforeDialogShow(this, m_dialog->form());
        m_dialog->showProgress();
    }
}

void TTransfer::Execute()
{
    // One run at a time: a second call from inside a run's handlers is refused.
    if (m_running)
        return;
    m_running = true;
    m_threadDone = false;
    m_failure.clear();
    if (m_worker) {
        m_worker->wait();
        m_worker.reset();
    }

    BuildDialog();
    bool needsInternet = false;
    for (int i = 0; i < Items.Count(); ++i)
        needsInternet |= Items[i].Active && Items[i].Protocol != tpFile;
    if (needsInternet) {
        TransferConnection::Settings settings;
        settings.agent = Agent;
        settings.proxy = TransferConnection::proxyFor(Proxy, ProxyUserID, ProxyPassword);
        settings.limits.connectSeconds = ConnectTimeout;
        settings.limits.stallSeconds = StallTimeout;
        m_internet = std::make_unique<TransferConnection>(settings, [this] { return m_cancel.load(); });
    }
    m_ordinal = 0;
    m_worker.reset(QThread::create([this] { runJobs(); }));
    connect(m_worker.get(), &QThread::finished, this, &TTransfer::runEnded);
    m_worker->start();
}

void TTransfer::runJobs()
{
    try {
        for (int i = 0; i < Items.Count(); ++i) {
            TTransferItem& item = Items[i];
            if (!item.Active)
                continue;
            ++m_ordinal;
            fire(OnFileStart, i);
            QString caption;
            switch (item.Protocol) {
            case tpHttp:
            case tpFtp:
                caption = DlgDwnload;
                break;
            case tpFile:
                caption = DlgCopying;
                break;
            case tpFtpUpload:
            case tpHttpUpload:
                caption = DlgUpload;
                break;
            default:
                break;
            }
            if (!caption.isEmpty())
                toDialog([caption](TTransferProgressView& d) { d.setCaption(caption + QLatin1String(" ...")); });
            double workingDate = item.FileDate;
            bool noNewFile = false;
            bool keep = false;
            if (i + 1 < Items.Count()) {
                const TTransferItem& next = Items[i + 1];
                const auto ftpFile = [](TTransferProtocol p) { return p == tpFtp || p == tpFtpUpload; };
                keep = ftpFile(item.Protocol) && ftpFile(next.Protocol)
                       && item.FTPHost + item.FTPUserID + item.FTPPassword
                              == next.FTPHost + next.FTPUserID + next.FTPPassword;
            }
            const bool result = Dispatch(i, item, keep, workingDate, noNewFile);
            item.NewFileDate = workingDate;
            item.Success = result && !m_cancel;
            item.Cancelled = m_cancel;
            item.NoNewFile = noNewFile;
            if (m_cancel)
                break;
            fire(OnFileDone, i);
        }
    } catch (const std::exception& e) {
        // A local file failed inside a block loop: the run ends here and reports it.
        m_failure = QString::fromUtf8(e.what());
    }
    FtpRunEnd();
}

void TTransfer::runEnded()
{
    m_worker->wait();
    m_internet.reset();
    if (m_failure.isEmpty()) {
        FinishRun();
    } else {
        // nothing is left on screen that cannot be closed
        m_finished = true;
        m_dialog.reset();
    }
    m_running = false;
    m_threadDone = true;
    emit finished();
}

bool TTransfer::Dispatch(int idx, TTransferItem& item, bool keep, double& workingDate, bool& noNewFile)
{
    switch (item.Protocol) {
    case tpHttp:
        return HttpDownload(idx, item, workingDate, noNewFile);
    case tpFtp:
        return FtpDownload(idx, item, keep, workingDate, noNewFile);
    case tpFile:
        return FileCopy(idx, item, workingDate, noNewFile);
    case tpFtpUpload:
        return FtpUpload(idx, item, keep, workingDate, noNewFile);
    case tpHttpUpload:
        return HttpUpload(idx, item);
    case tpMultiFtp:
        return MultiFtpDownload(idx, item, workingDate, noNewFile);
    case tpMultiFtpUpload:
        return MultiFtpUpload(idx, item, keep, workingDate, noNewFile);
    case tpFtpDelete:
        return FtpDelete(idx, item, keep);
    case tpFtpList:
        return FtpList(idx, item);
    case tpFtpTest:
        return FtpTest(idx, item);
    }
    return false;
}

void TTransfer::FinishRun()
{
    if (ShowOpenFile || ShowOpenFolder) {
        if (OnCopyDone)
            OnCopyDone(this);
        m_finished = true;
        if (m_dialog) {
            m_dialog->stopAnimation();
            m_dialog->setFinished(DlgClose, !m_cancel && ShowOpenFile, !m_cancel && ShowOpenFolder);
        }
        return;
    }
    m_finished = true;
    m_dialog.reset();
    if (OnCopyDone)
        OnCopyDone(this);
}

void TTransfer::CancelClick()
{
    if (OnCopyCancel)
        OnCopyCancel(this);
    m_cancel = true;
    if (m_dialog)
        m_dialog->requestClose();
}

void TTransfer::ReleaseDialog()
{
    // The run keeps its dialog to the end.
    if (!m_running)
        m_dialog.reset();
}

QString TTransfer::FileLinePrefix(int position, int count) const
{
    return QString::number(position) + QLatin1Char(' ') + DlgFileOfLabel + QLatin1Char(' ') + QString::number(count)
           + QLatin1String(" : ");
}

void TTransfer::SetFileLine(const QString& displayName, bool withServer, const QString& serverWord,
                            const QString& serverText)
{
    const QString prefix = Items.Count() >= 2 ? FileLinePrefix(m_ordinal, Items.ActiveCount()) : QString();
    SetFileLineWithPrefix(prefix, displayName, withServer, serverWord, serverText);
}

void TTransfer::SetFileLineWithPrefix(const QString& prefix, const QString& displayName, bool withServer,
                                      const QString& serverWord, const QString& serverText)
{
    QString text = DlgFileLabel + QLatin1Char(' ') + prefix + displayName;
    if (withServer)
        text += QLatin1Char(' ') + serverWord + QLatin1Char(' ') + serverText;
    toDialog([text](TTransferProgressView& d) { d.setFileLine(text); });
}

void TTransfer::ShowProgress(quint32 done, quint32 total, qint64 start, const QString& word, bool copyForm)
{
    ProgressLines lines;
    if (copyForm && total < 1) {
        lines.setPosition = true;
        lines.position = 100;
        lines.progress = DlgProgressLabel + QLatin1Char(' ') + formatSize(done) + QLatin1Char(' ') + DlgFileOfLabel
                         + QLatin1Char(' ') + formatSize(total);
    } else if (total > 0) {
        lines.setPosition = true;
        lines.position = int(std::nearbyint(double(done) / double(total) * 100));
        lines.progress = DlgProgressLabel + QLatin1Char(' ') + formatSize(done) + QLatin1Char(' ') + DlgFileOfLabel
                         + QLatin1Char(' ') + formatSize(total);
    } else {
        lines.progress = DlgProgressLabel + QLatin1Char(' ') + formatSize(done);
    }
    if (lines.setPosition)
        m_shownPosition = lines.position;
    if (ShowCompletion)
        lines.caption =
            word + QLatin1String(" : ") + QString::number(m_shownPosition) + QLatin1String("% ") + DlgCompleted;
    const qint64 rate = qint64(std::nearbyint(double(done) / double(TickCount() - start + 1) * 1000));
    m_lastRate = formatRate(qint32(rate));
    lines.rate = DlgRateLabel + QLatin1Char(' ') + m_lastRate;
    m_lastTimeLeft = formatTime(quint32(TickCount() - start), done, total);
    lines.time = DlgTimeLabel + QLatin1Char(' ') + m_lastTimeLeft;
    m_lastElapsed = formatTime(quint32(TickCount() - start), 0, total);
    lines.elapsed = DlgElapsedTimeLabel + QLatin1Char(' ') + m_lastElapsed;

    std::lock_guard lock(m_progressMutex);
    m_progressLines = std::move(lines);
    if (m_progressPosted)
        return;
    m_progressPosted = true;
    QMetaObject::invokeMethod(this, &TTransfer::showProgressLines, Qt::QueuedConnection);
}

void TTransfer::showProgressLines()
{
    ProgressLines lines;
    {
        std::lock_guard lock(m_progressMutex);
        lines = m_progressLines;
        m_progressPosted = false;
    }
    if (!m_dialog)
        return;
    TTransferProgressView& d = *m_dialog;
    if (lines.setPosition)
        d.setPosition(lines.position);
    d.setProgressLine(lines.progress);
    if (!lines.caption.isEmpty())
        d.setCaption(lines.caption);
    d.setRateLine(lines.rate);
    d.setTimeLine(lines.time);
    d.setElapsedLine(lines.elapsed);
}

void TTransfer::SetAnimation(TTransferClip clip)
{
    toDialog([clip](TTransferProgressView& d) { d.setAnimation(clip); });
}

void TTransfer::FireError(int code, const QString& info)
{
    fire(OnError, code);
    fire(OnErrorInfo, code, info);
}

void TTransfer::FireProgress(quint32 done, quint32 total)
{
    fire(OnCopyProgress, m_ordinal, done, total);
}

void TTransfer::RememberTarget(const QString& path, const QString& dir)
{
    m_lastTargetPath = path;
    m_lastTargetDir = dir;
}

bool TTransfer::CheckOverwrite(QString& path)
{
    if (!pathTaken(path))
        return true;
    bool allow = true;
    fire(OnCopyOverWrite, path, allow);
    if (!allow)
        return false;
    if (CreateUniqueFilenames) {
        path = uniqueFileName(path);
        // The Open file button follows the name actually written.
        m_lastTargetPath = path;
    }
    return true;
}

TTransfer::TargetOpen TTransfer::OpenTarget(AtomicFile& file, QString& path, const QString& fileName,
                                            bool nameFromSource, QIODevice::OpenMode extraMode)
{
    if (nameFromSource && !isSafeFileName(fileName))
        return TargetOpen::CannotCreate;
    if (!CheckOverwrite(path))
        return TargetOpen::Refused;
    forceDirectories(QFileInfo(path).path());
    return file.open(path, extraMode) ? TargetOpen::Opened : TargetOpen::CannotCreate;
}

bool TTransfer::CheckDate(int idx, const QString& name, double newdate, double& workingDate, bool& noNewFile)
{
    if (OnFileDateCheck) {
        workingDate = newdate;
        bool allow = true;
        fire(OnFileDateCheck, idx, newdate, allow);
        return allow;
    }
    if (newdate > workingDate) {
        workingDate = newdate;
        return true;
    }
    // The handler learns both the date compared against and the source's date.
    const double compared = workingDate;
    noNewFile = true;
    workingDate = newdate;
    fire(OnNoNewFileFound, name, compared, newdate);
    return false;
}
