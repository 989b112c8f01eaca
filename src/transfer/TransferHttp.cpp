#include "TTransfer.h"

#include "Base64.h"
#include "AtomicFile.h"
#include "TransferConnection.h"
#include "TransferNames.h"

#include <QFile>
#include <QFileInfo>

using namespace TransferNames;

namespace {
constexpr qint64 BlockSize = 4096;

QString httpErrorText(long status) { return QStringLiteral("Returned http error code ") + QString::number(status); }
}  // namespace

bool TTransfer::HttpDownload(int idx, TTransferItem& item, double& workingDate, bool& noNewFile)
{
    // The proxy's credentials go to the proxy alone (see TransferConnection):
    // never into the address that prompts, file lines and events show.
    const QString name = urlFileName(item.URL);
    const QString& url = item.URL;
    SetFileLine(item.DisplayURL.isEmpty() ? name : item.DisplayURL, ShowServer, DlgFromServerLabel, urlHost(url));
    if (!m_internet)
        return false;

    QString user = item.HTTPUserID;
    QString password = item.HTTPPassword;
    const QString loginCaption = QStringLiteral("Connect to ") + promptHost(url);
    if (item.Authenticate == taAlways && (user.isEmpty() || password.isEmpty())
        && !askLogin(loginCaption, user, password))
        return false;

    std::unique_ptr<BlockDownload> request;
    for (;;) {
        QByteArray authorization;
        if (!user.isEmpty() || !password.isEmpty())
            authorization =
                "Authorization: Basic " + base64Encode((user + QLatin1Char(':') + password).toUtf8()).toLatin1();
        request = std::make_unique<BlockDownload>(*m_internet, url, authorization);
        const bool opened = request->open();
        if (!opened) {
            if (request->gaveUp())
                return false;  // cancelled while connecting
            request.reset();
            break;
        }
        const long status = request->status();
        if (status == 401 && item.Authenticate != taNever) {
            request.reset();
            if (!askLogin(loginCaption, user, password))
                return false;
            continue;
        }
        if (status >= 300) {
            request.reset();
            FireError(int(status), httpErrorText(status));
            return false;
        }
        break;
    }
    if (!request) {
        fire(OnURLNotFound, url);
        return false;
    }

    if (DateCheckWanted(item) && !CheckDate(idx, name, serverDateTime(request->fileTime()), workingDate, noNewFile))
        return false;

    const QString fileName = item.TargetFilename.isEmpty() ? urlFileName(url) : item.TargetFilename;
    QString path = pathJoin(item.TargetDir, fileName);
    RememberTarget(path, item.TargetDir);
    AtomicFile file;
    switch (OpenTarget(file, path, fileName, item.TargetFilename.isEmpty())) {
    case TargetOpen::Opened:
        break;
    case TargetOpen::Refused:
        return false;
    case TargetOpen::CannotCreate:
        FireError(3, QStringLiteral("Cannot create file ") + path);
        return false;
    }

    quint32 total = quint32(request->contentLength());
    if (total == 0 && item.ExpectedSize > 0)
        total = item.ExpectedSize;
    quint64 done = 0;
    const qint64 start = TickCount();
    bool result = false;
    bool broken = false;
    char block[BlockSize];
    for (qint64 lastRead = BlockSize; lastRead != 0 && !m_cancel;) {
        lastRead = request->read(block, BlockSize);
        if (lastRead < 0) {
            broken = !m_cancel;
            break;
        }
        if (lastRead > 0 && file.write(block, lastRead) != lastRead) {
            file.discard();
            throw ETransferIOError(("Error writing to destination file " + path).toStdString());
        }
        done += quint64(lastRead);
        ShowProgress(quint32(done), total, start, DlgDwnload);
        FireProgress(quint32(done), total);
        if (lastRead > 0)
            result = true;
    }
    if (m_cancel) {
        file.discard();
    } else if (broken) {
        // A body that breaks off is no download: nothing half-written takes the target's place.
        file.discard();
        FireError(4, QStringLiteral("Error reading source file ") + item.URL + QStringLiteral(" (")
                         + request->errorText() + QLatin1Char(')'));
        result = false;
    } else if (!file.commit()) {
        throw ETransferIOError(("Error writing to destination file " + path).toStdString());
    }
    return result;
}

bool TTransfer::HttpUpload(int, TTransferItem& item)
{
    SetAnimation(TTransferClip::Upload);
    const QString name = urlFileName(item.URL);
    const QString& url = item.URL;
    SetFileLine(name, ShowServer, DlgFromServerLabel, urlHost(url));
    const QString local = pathJoin(item.TargetDir, item.TargetFilename.isEmpty() ? name : item.TargetFilename);
    const QFileInfo localInfo(local);
    if (!localInfo.exists() || localInfo.isDir())
        return false;
    if (!m_internet)
        return false;

    const QString host = urlHost(url);
    QString path = urlPath(url);
    if (!path.startsWith(QLatin1Char('/')))
        path = QStringLiteral("/");
    // The address's own scheme and port decide where the request goes (80 when none is named).
    const bool secure = item.URL.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
    const QString requestUrl = (secure ? QStringLiteral("https://") : QStringLiteral("http://")) + host + path;

    QFile file(local);
    if (!file.open(QIODevice::ReadOnly))
        throw ETransferIOError(("Cannot open source file " + local).toStdString());
    // the whole length goes on the wire; the dialog sees its low 32 bits
    const qint64 size = file.size();
    qint64 sent = 0;
    bool readError = false;
    const qint64 start = TickCount();

    const std::unique_ptr<NetRequest> request = m_internet->request(requestUrl);
    request->discardBody();
    request->followRedirects(false);
    request->setHeaders({"Expect:", "Content-Type:"});
    request->setUpload(item.HTTPCommand == hcPut ? NetRequest::Upload::Put : NetRequest::Upload::Post, size,
                       [&](char* buffer, qint64 max) -> qint64 {
                           if (m_cancel)
                               return -2;
                           const qint64 got = file.read(buffer, qMin(max, BlockSize));
                           if (got < 0) {
                               readError = true;
                               return -1;
                           }
                           sent += got;
                           ShowProgress(quint32(sent), quint32(size), start, DlgUpload);
                           FireProgress(quint32(sent), quint32(size));
                           return got;
                       });
    const NetResult& outcome = request->perform();
    file.close();

    if (readError)
        throw ETransferIOError(("Error reading source file " + local).toStdString());
    if (outcome.cancelled || m_cancel)
        return false;
    if (outcome.ok()) {
        // The server's refusal is a failure even when every byte went out.
        if (outcome.status >= 300) {
            FireError(int(outcome.status), httpErrorText(outcome.status));
            return false;
        }
        return sent == size;
    }
    switch (outcome.code) {
    case NetCode::CouldNotConnect:
    case NetCode::CouldNotResolve:
    case NetCode::CouldNotResolveProxy:
    case NetCode::BadAddress:
        FireError(6, QStringLiteral("Cannot connect to server ") + host);
        return false;
    default:
        break;
    }
    if (!outcome.connected) {
        FireError(6, QStringLiteral("Cannot connect to server ") + host);
        return false;
    }
    FireError(outcome.number, outcome.summary.left(255));
    return false;
}
