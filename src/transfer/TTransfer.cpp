#include "TTransfer.h"

#include "TTransferThread.h"
#include "AtomicFile.h"
#include "TransferConnection.h"
#include "TransferFormat.h"
#include "TransferNames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>

#include <cmath>

using namespace TransferNames;
using namespace TransferFormat;

TTransfer::TTransfer(QObject* owner) : QObject(owner) {}

TTransfer::~TTransfer() = default;

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

void TTransfer::ProcessMessages()
{
    m_lastMessages = TickCount();
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void TTransfer::ProcessBlockMessages()
{
    // a few milliseconds keep the dialog live and Cancel prompt
    constexpr qint64 BlockMessageInterval = 4;
    if (m_lastMessages < 0 || TickCount() - m_lastMessages >= BlockMessageInterval)
        ProcessMessages();
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
    struct RunningGuard {
        TTransfer& t;
        ~RunningGuard()
        {
            t.m_running = false;
            t.m_internet.reset();
        }
    } guard{*this};

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
        m_internet = std::make_unique<TransferConnection>(
            settings, [this] { ProcessMessages(); }, [this] { return m_cancel; });
    }
    m_ordinal = 0;

    try {
        for (int i = 0; i < Items.Count(); ++i) {
            TTransferItem& item = Items[i];
            if (!item.Active)
                continue;
            ++m_ordinal;
            if (OnFileStart)
                OnFileStart(this, i);
            switch (item.Protocol) {
            case tpHttp:
            case tpFtp:
                m_dialog->setCaption(DlgDwnload + QLatin1String(" ..."));
                break;
            case tpFile:
                m_dialog->setCaption(DlgCopying + QLatin1String(" ..."));
                break;
            case tpFtpUpload:
            case tpHttpUpload:
                m_dialog->setCaption(DlgUpload + QLatin1String(" ..."));
                break;
            default:
                break;
            }
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
            if (OnFileDone)
                OnFileDone(this, i);
        }
    } catch (...) {
        // A local file failed inside a block loop: the run ends here and the
        // error goes to the caller. The dialog goes too, so nothing is left
        // on screen that cannot be closed.
        FtpRunEnd();
        m_dialog.reset();
        throw;
    }
    FtpRunEnd();
    m_internet.reset();
    FinishRun();
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

void TTransfer::ThreadStart()
{
    auto* thread = new TTransferThread(*this);
    connect(thread, &QThread::finished, this, [this] {
        m_threadDone = true;
        emit threadFinished();
    });
    thread->start();
}

void TTransfer::ThreadExecute()
{
    m_threadDone = false;
    QEventLoop loop;
    connect(this, &TTransfer::threadFinished, &loop, &QEventLoop::quit);
    ThreadStart();
    // The thread's end arrives as a queued notification, so it cannot be missed here.
    if (!m_threadDone)
        loop.exec();
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
    if (m_dialog)
        m_dialog->setFileLine(text);
}

void TTransfer::ShowProgress(quint32 done, quint32 total, qint64 start, const QString& word, bool copyForm)
{
    if (!m_dialog)
        return;
    TTransferProgressView& d = *m_dialog;
    if (copyForm && total < 1) {
        d.setPosition(100);
        d.setProgressLine(DlgProgressLabel + QLatin1Char(' ') + formatSize(done) + QLatin1Char(' ') + DlgFileOfLabel
                          + QLatin1Char(' ') + formatSize(total));
    } else if (total > 0) {
        d.setPosition(int(std::nearbyint(double(done) / double(total) * 100)));
        d.setProgressLine(DlgProgressLabel + QLatin1Char(' ') + formatSize(done) + QLatin1Char(' ') + DlgFileOfLabel
                          + QLatin1Char(' ') + formatSize(total));
    } else {
        d.setProgressLine(DlgProgressLabel + QLatin1Char(' ') + formatSize(done));
    }
    if (ShowCompletion)
        d.setCaption(word + QLatin1String(" : ") + QString::number(d.Position) + QLatin1String("% ") + DlgCompleted);
    const qint64 rate = qint64(std::nearbyint(double(done) / double(TickCount() - start + 1) * 1000));
    m_lastRate = formatRate(qint32(rate));
    d.setRateLine(DlgRateLabel + QLatin1Char(' ') + m_lastRate);
    m_lastTimeLeft = formatTime(quint32(TickCount() - start), done, total);
    d.setTimeLine(DlgTimeLabel + QLatin1Char(' ') + m_lastTimeLeft);
    m_lastElapsed = formatTime(quint32(TickCount() - start), 0, total);
    d.setElapsedLine(DlgElapsedTimeLabel + QLatin1Char(' ') + m_lastElapsed);
}

void TTransfer::SetAnimation(TTransferClip clip)
{
    if (m_dialog)
        m_dialog->setAnimation(clip);
}

void TTransfer::FireError(int code, const QString& info)
{
    if (OnError)
        OnError(this, code);
    if (OnErrorInfo)
        OnErrorInfo(this, code, info);
}

void TTransfer::FireProgress(quint32 done, quint32 total)
{
    if (OnCopyProgress)
        OnCopyProgress(this, m_ordinal, done, total);
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
    if (OnCopyOverWrite)
        OnCopyOverWrite(this, path, allow);
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
        OnFileDateCheck(this, idx, newdate, allow);
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
    if (OnNoNewFileFound)
        OnNoNewFileFound(this, name, compared, newdate);
    return false;
}
