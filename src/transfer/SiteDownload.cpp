#include "SiteDownload.h"

#include <QEventLoop>

SiteDownload::Result SiteDownload::fetch(const TTransfer& like, const QString& url, const QString& targetDir)
{
    DownloadJob* job = DownloadJob::start(url, targetDir, &like);
    QEventLoop loop;
    QObject::connect(job, &DownloadJob::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const Result result = job->result();
    job->deleteLater();
    return result;
}
