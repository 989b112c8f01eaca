#include "DownloadJob.h"

#include "TTransfer.h"
#include "TransferNames.h"

#include <QFileInfo>

DownloadJob* DownloadJob::start(const QString& url, const QString& targetDir, const TTransfer* like, QObject* parent)
{
    return new DownloadJob(url, targetDir, like, parent);
}

DownloadJob::DownloadJob(const QString& url, const QString& targetDir, const TTransfer* like, QObject* parent)
    : QObject(parent), m_url(url), m_targetDir(targetDir), m_transfer(std::make_unique<TTransfer>())
{
    TTransfer& transfer = *m_transfer;
    if (like)
        transfer.copySettingsFrom(*like);
    // the reason kept for the result; a handler of the component it copies still hears of it
    const TTransferErrorInfo error = transfer.OnErrorInfo;
    const TTransferURLNotFound notFound = transfer.OnURLNotFound;
    const TTransferProgress progressed = transfer.OnCopyProgress;
    transfer.OnErrorInfo = [this, error](TTransfer* sender, int code, const QString& info) {
        m_problem = info;
        if (error)
            error(sender, code, info);
    };
    transfer.OnURLNotFound = [this, notFound](TTransfer* sender, const QString& address) {
        m_problem = QStringLiteral("The site could not be reached or does not have the file.");
        if (notFound)
            notFound(sender, address);
    };
    transfer.OnCopyProgress = [this, progressed](TTransfer* sender, int ordinal, quint32 done, quint32 total) {
        emit progress(done, total);
        if (progressed)
            progressed(sender, ordinal, done, total);
    };
    connect(&transfer, &TTransfer::finished, this, [this] {
        m_result = handOver();
        m_finished = true;
        emit finished(m_result);
    });
    TTransferItem* item = transfer.Items.Add();
    item->URL = url;
    item->TargetDir = targetDir;
    // started from the event loop, so the caller has connected by then
    QMetaObject::invokeMethod(m_transfer.get(), &TTransfer::Execute, Qt::QueuedConnection);
}

DownloadJob::~DownloadJob() = default;

void DownloadJob::cancel()
{
    if (m_transfer->Running())
        m_transfer->CancelClick();
}

DownloadResult DownloadJob::handOver() const
{
    DownloadResult result;
    const TTransfer& transfer = *m_transfer;
    const TTransferItem& done = transfer.Items[0];
    result.path = done.Success && !transfer.LastTargetPath().isEmpty()
                      ? transfer.LastTargetPath()
                      : TransferNames::pathJoin(m_targetDir, TransferNames::urlFileName(m_url));
    result.cancelled = done.Cancelled;
    result.ok = done.Success && transfer.Failure().isEmpty() && QFileInfo(result.path).isFile();
    if (!result.ok && !result.cancelled) {
        result.reason = !transfer.Failure().isEmpty() ? transfer.Failure()
                        : m_problem.isEmpty()           ? QStringLiteral("No file arrived.")
                                                        : m_problem;
    }
    return result;
}
