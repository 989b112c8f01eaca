#include "SiteDownload.h"

#include "TTransfer.h"
#include "TransferNames.h"

#include <QFileInfo>
#include <QSet>

namespace {
// components in the middle of a Fetch: their run may not have started yet
QSet<const TTransfer*>& busy()
{
    static QSet<const TTransfer*> busy;
    return busy;
}
}  // namespace

SiteDownload::Result SiteDownload::fetch(TTransfer& transfer, const QString& url, const QString& targetDir, Run run)
{
    Result result;
    if (transfer.Running() || busy().contains(&transfer)) {
        result.reason = QStringLiteral("Another download is under way. Try again when it has finished.");
        return result;
    }
    busy().insert(&transfer);
    QString problem;
    const TTransferErrorInfo previousError = transfer.OnErrorInfo;
    const TTransferURLNotFound previousNotFound = transfer.OnURLNotFound;
    transfer.OnErrorInfo = [&](TTransfer* sender, int code, const QString& info) {
        problem = info;
        if (previousError)
            previousError(sender, code, info);
    };
    transfer.OnURLNotFound = [&](TTransfer* sender, const QString& address) {
        problem = QStringLiteral("The site could not be reached or does not have the file.");
        if (previousNotFound)
            previousNotFound(sender, address);
    };
    struct Restore {
        TTransfer& transfer;
        TTransferErrorInfo error;
        TTransferURLNotFound notFound;
        ~Restore()
        {
            transfer.OnErrorInfo = error;
            transfer.OnURLNotFound = notFound;
            busy().remove(&transfer);
        }
    } restore{transfer, previousError, previousNotFound};

    transfer.Items.Clear();
    TTransferItem* item = transfer.Items.Add();
    item->URL = url;
    item->TargetDir = targetDir;
    if (run == Run::Direct)
        transfer.Execute();
    else
        transfer.ThreadExecute();

    const TTransferItem& done = transfer.Items[0];
    result.path = done.Success && !transfer.LastTargetPath().isEmpty()
                      ? transfer.LastTargetPath()
                      : TransferNames::pathJoin(targetDir, TransferNames::urlFileName(url));
    result.cancelled = done.Cancelled;
    result.ok = done.Success && QFileInfo(result.path).isFile();
    if (!result.ok && !result.cancelled)
        result.reason = problem.isEmpty() ? QStringLiteral("No file arrived.") : problem;
    return result;
}
