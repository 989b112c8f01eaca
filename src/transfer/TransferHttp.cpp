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
    ProcessMessages();
    if (!m_internet)
        return false;

    QString user = item.HTTPUserID;
    QString password = item.HTTPPassword;
    const QString loginCaption = QStringLiteral("Connect to ") + promptHost(url);
    if (item.Authenticate == taAlways && (user.isEmpty() || password.isEmpty())
        && !askTransferLogin(loginCaption, user, password))
        return false;

    std::unique_ptr<CurlDownload> request;
    for (;;) {
        QByteArray authorization;
        if (!user.isEmpty() || !password.isEmpty())
            authorization =
                "Authorization: Basic " + base64Encode((user + QLatin1Char(':') + password).toUtf8()).toLatin1();
        request = std::make_unique<CurlDownload>(*m_internet, url, authorization);
        const bool opened = request->open();
        ProcessMessages();
        if (!opened) {
            if (request->gaveUp())
                return false;  // cancelled while connecting
            request.reset();
            break;
        }
        const long status = request->status();
        if (status == 401 && item.Authenticate != taNever) {
            request.reset();
            if (!askTransferLogin(loginCaption, user, password))
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
        if (OnURLNotFound)
            OnURLNotFound(this, url);
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
        ProcessBlockMessages();
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
        ProcessBlockMessages();
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

namespace {
// Hands the local file to libcurl block by block, doing the progress step after each.
struct UploadSource {
    TTransfer* transfer = nullptr;
    QFile* file = nullptr;
    qint64 size = 0;  // the whole length goes on the wire; the dialog sees its low 32 bits
    qint64 sent = 0;
    qint64 start = 0;
    bool readError = false;
    const bool* cancel = nullptr;
    QString word;
};
}  // namespace

static size_t readUploadBlock(char* buffer, size_t size, size_t count, void* context)
{
    auto* source = static_cast<UploadSource*>(context);
    if (*source->cancel)
        return CURL_READFUNC_ABORT;
    const qint64 got = source->file->read(buffer, qMin(qint64(size * count), BlockSize));
    if (got < 0) {
        source->readError = true;
        return CURL_READFUNC_ABORT;
    }
    source->sent += got;
    source->transfer->ShowProgress(quint32(source->sent), quint32(source->size), source->start, source->word);
    source->transfer->FireProgress(quint32(source->sent), quint32(source->size));
    source->transfer->ProcessMessages();
    return size_t(got);
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
    ProcessMessages();
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
    UploadSource source;
    source.transfer = this;
    source.file = &file;
    source.size = file.size();
    source.cancel = &m_cancel;
    source.word = DlgUpload;

    const std::unique_ptr<NetRequest> request = m_internet->request(requestUrl);
    request->discardBody();
    CURL* easy = request->handle();
    const Curl::List headers = Curl::makeList({"Expect:", "Content-Type:"});
    if (easy) {
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
        if (item.HTTPCommand == hcPut) {
            curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
            curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, curl_off_t(source.size));
        } else {
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(source.size));
        }
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &readUploadBlock);
        curl_easy_setopt(easy, CURLOPT_READDATA, &source);
    }
    source.start = TickCount();
    const NetResult& outcome = request->perform();
    const int code = outcome.code;
    const long status = outcome.status;
    file.close();

    if (source.readError)
        throw ETransferIOError(("Error reading source file " + local).toStdString());
    if (outcome.cancelled || m_cancel)
        return false;
    if (code == CURLE_OK) {
        // The server's refusal is a failure even when every byte went out.
        if (status >= 300) {
            FireError(int(status), httpErrorText(status));
            return false;
        }
        return source.sent == source.size;
    }
    if (!outcome.connected || code == CURLE_COULDNT_CONNECT || code == CURLE_COULDNT_RESOLVE_HOST
        || code == CURLE_COULDNT_RESOLVE_PROXY || code == CURLE_URL_MALFORMAT) {
        FireError(6, QStringLiteral("Cannot connect to server ") + host);
        return false;
    }
    FireError(code, QString::fromUtf8(curl_easy_strerror(CURLcode(code))).left(255));
    return false;
}
