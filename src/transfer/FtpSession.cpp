#include "FtpSession.h"

#include <QDate>
#include <QStringList>
#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

namespace {

bool HasControlCharacter(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

QByteArray HostForUrl(const QString& host)
{
    static const QString forbidden = QStringLiteral("/?#@\\ []%");
    if (host.isEmpty() || HasControlCharacter(host))
        return {};
    const bool ipv6 = host.count(QLatin1Char(':')) >= 2;
    for (QChar c : host)
        if (forbidden.contains(c) || (c == QLatin1Char(':') && !ipv6))
            return {};
    const QByteArray ascii = QUrl::toAce(host);
    if (ascii.isEmpty() && !ipv6)
        return {};
    return ipv6 ? "[" + host.toLatin1() + "]" : ascii;
}

// The codes of the final reply lines ("ddd text"; "ddd-" opens a multi-line reply), in order.
QList<int> ReplyCodes(const QByteArray& replies)
{
    QList<int> codes;
    for (const QByteArray& raw : replies.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.size() >= 4 && line[3] == ' ') {
            bool ok = false;
            const int code = line.left(3).toInt(&ok);
            if (ok)
                codes << code;
        }
    }
    return codes;
}

int LastReplyCode(const QByteArray& replies)
{
    const QList<int> codes = ReplyCodes(replies);
    return codes.isEmpty() ? 0 : codes.last();
}

constexpr qsizetype kListingLimit = 64 * 1024 * 1024;

}  // namespace

FtpSession::FtpSession(const Options& options, Idle idle)
    : m_options(options), m_idle(std::move(idle))
{
    m_easy = curl_easy_init();
    m_multi = curl_multi_init();
    const QByteArray host = HostForUrl(options.host);
    if (!host.isEmpty())
        m_baseUrl = "ftp://" + host + ":" + QByteArray::number(quint16(options.port)) + "/";
}

FtpSession::~FtpSession()
{
    Finish();
    curl_slist_free_all(m_quote);
    // Cleaning the multi handle ends the control connection it holds.
    if (m_multi)
        curl_multi_cleanup(m_multi);
    if (m_easy)
        curl_easy_cleanup(m_easy);
}

QString FtpSession::Resolve(const QString& path) const
{
    QString joined = path.startsWith(QLatin1Char('/')) ? path : m_cwd + QLatin1Char('/') + path;
    QStringList parts;
    for (const QString& part : joined.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << part;
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

bool FtpSession::Prepare(const QString& absolutePath, bool directory)
{
    Finish();
    m_replies.clear();
    m_body.clear();
    m_started = m_gaveUp = m_done = m_listing = false;
    m_sourceFailed = m_sourceGaveUp = false;
    m_source = nullptr;
    m_result = CURLE_OK;
    if (!m_easy || !m_multi || m_baseUrl.isEmpty()) {
        m_errorText = QStringLiteral("invalid server name");
        return false;
    }
    // A line break in a name would let it smuggle in commands of its own.
    if (HasControlCharacter(absolutePath)) {
        m_errorText = QStringLiteral("invalid remote name");
        return false;
    }
    curl_slist_free_all(m_quote);
    m_quote = nullptr;

    QByteArray url = m_baseUrl;
    if (!absolutePath.isEmpty()) {
        QByteArrayList parts;
        for (const QString& part : absolutePath.split(QLatin1Char('/'), Qt::SkipEmptyParts))
            parts << QUrl::toPercentEncoding(part);
        url += "%2F" + parts.join('/');
        if (directory)
            url += '/';
    }

    curl_easy_reset(m_easy);
    curl_easy_setopt(m_easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_easy, CURLOPT_PROXY, "");
    if (!m_options.user.isEmpty() && !m_options.password.isEmpty()) {
        curl_easy_setopt(m_easy, CURLOPT_USERNAME, m_options.user.toUtf8().constData());
        curl_easy_setopt(m_easy, CURLOPT_PASSWORD, m_options.password.toUtf8().constData());
    }
    curl_easy_setopt(m_easy, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT, long(m_options.connectTimeout));
    curl_easy_setopt(m_easy, CURLOPT_ACCEPTTIMEOUT_MS, long(m_options.connectTimeout) * 1000L);
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, long(m_options.stallTimeout));
    curl_easy_setopt(m_easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(m_options.stallTimeout));
    // The data connection always goes to the server we logged in to, whatever
    // address a passive-mode reply names; active mode offers our own address.
    curl_easy_setopt(m_easy, CURLOPT_FTP_SKIP_PASV_IP, 1L);
    if (!m_options.passive)
        curl_easy_setopt(m_easy, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &FtpSession::OnHeader);
    curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &FtpSession::OnWrite);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    return true;
}

size_t FtpSession::OnHeader(char* data, size_t size, size_t count, void* self)
{
    auto* session = static_cast<FtpSession*>(self);
    const size_t n = size * count;
    session->m_replies.append(data, qsizetype(n));
    // 125/150 answer a transfer command: the server is about to send or receive.
    if (n >= 4 && data[0] == '1' && (std::strncmp(data, "150", 3) == 0 || std::strncmp(data, "125", 3) == 0))
        session->m_started = true;
    return n;
}

size_t FtpSession::OnWrite(char* data, size_t size, size_t count, void* self)
{
    // Data is only taken in while the reader has run dry (see Read), so what
    // waits here is at most what one round of the client brings.
    auto* session = static_cast<FtpSession*>(self);
    const size_t n = size * count;
    // A listing is held whole; one beyond all reason is refused, not swallowed.
    if (session->m_listing && session->m_body.size() + qsizetype(n) > kListingLimit)
        return 0;
    session->m_body.append(data, qsizetype(n));
    return n;
}

size_t FtpSession::OnRead(char* data, size_t size, size_t count, void* self)
{
    auto* session = static_cast<FtpSession*>(self);
    const qint64 n = (*session->m_source)(data, qint64(size * count));
    if (n == -1) {
        session->m_sourceFailed = true;
        return CURL_READFUNC_ABORT;
    }
    if (n < 0) {
        session->m_sourceGaveUp = true;
        return CURL_READFUNC_ABORT;
    }
    return size_t(n);
}

void FtpSession::Start()
{
    curl_multi_add_handle(m_multi, m_easy);
    m_attached = true;
    m_done = false;
    m_idleAsked = false;
}

qint64 FtpSession::RemoteSize() const
{
    curl_off_t size = -1;
    curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    return qint64(size);
}

bool FtpSession::Drive()
{
    int running = 0;
    curl_multi_perform(m_multi, &running);
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(m_multi, &queued)) {
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == m_easy) {
            m_result = msg->data.result;
            m_done = true;
        }
    }
    if (m_done)
        return false;
    m_idleAsked = m_idle && m_idle();
    curl_multi_poll(m_multi, nullptr, 0, 50, nullptr);
    return true;
}

void FtpSession::Finish()
{
    if (m_attached) {
        curl_multi_remove_handle(m_multi, m_easy);
        m_attached = false;
    }
    if (m_result != CURLE_OK) {
        QString reply;
        const QList<QByteArray> lines = m_replies.trimmed().split('\n');
        if (!lines.isEmpty())
            reply = QString::fromUtf8(lines.last().trimmed());
        m_errorText = QString::fromUtf8(curl_easy_strerror(CURLcode(m_result)));
        if (!reply.isEmpty())
            m_errorText += QStringLiteral(" (") + reply + QLatin1Char(')');
    }
}

int FtpSession::Perform()
{
    Start();
    while (Drive()) {
    }
    Finish();
    return m_result;
}

bool FtpSession::Connect()
{
    if (!Prepare(QString(), true))
        return false;
    curl_easy_setopt(m_easy, CURLOPT_NOBODY, 1L);
    if (Perform() != CURLE_OK)
        return false;
    char* entry = nullptr;
    curl_easy_getinfo(m_easy, CURLINFO_FTP_ENTRY_PATH, &entry);
    m_cwd = entry && *entry == '/' ? QString::fromUtf8(entry) : QStringLiteral("/");
    return true;
}

bool FtpSession::Quote(const QStringList& commands)
{
    if (!Prepare(QString(), true))
        return false;
    for (const QString& command : commands) {
        if (HasControlCharacter(command)) {
            m_errorText = QStringLiteral("invalid remote name");
            return false;
        }
        // "*": a refused command is ours to judge; libcurl would drop the
        // connection (and so the login) over it.
        m_quote = curl_slist_append(m_quote, ("*" + command.toUtf8()).constData());
    }
    curl_easy_setopt(m_easy, CURLOPT_QUOTE, m_quote);
    curl_easy_setopt(m_easy, CURLOPT_NOBODY, 1L);
    if (Perform() != CURLE_OK)
        return false;
    // Nothing follows the quoted commands, so their replies are the last ones.
    const QList<int> codes = ReplyCodes(m_replies);
    if (codes.size() < commands.size())
        return false;
    const int first = codes[codes.size() - commands.size()];
    if (first < 200 || first >= 300) {
        m_errorText = QString::fromUtf8(m_replies.trimmed().split('\n').last().trimmed());
        return false;
    }
    return true;
}

QString FtpSession::LastQuotedDirectory() const
{
    // 257 "dir" text: inside the quotes, a doubled quote stands for one.
    const QList<QByteArray> lines = m_replies.split('\n');
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (!it->startsWith("257"))
            continue;
        const QString line = QString::fromUtf8(*it);
        const qsizetype open = line.indexOf(QLatin1Char('"'));
        if (open < 0)
            return {};
        QString dir;
        for (qsizetype i = open + 1; i < line.size(); ++i) {
            if (line.at(i) != QLatin1Char('"')) {
                dir += line.at(i);
            } else if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                dir += QLatin1Char('"');
                ++i;
            } else {
                return dir;
            }
        }
        return {};
    }
    return {};
}

bool FtpSession::ChangeDir(const QString& dir)
{
    const QString target = Resolve(dir);
    if (!Quote({QStringLiteral("CWD ") + target, QStringLiteral("PWD")}))
        return false;
    const QString reported = LastQuotedDirectory();
    m_cwd = reported.startsWith(QLatin1Char('/')) ? reported : target;
    return true;
}

bool FtpSession::MakeDir(const QString& name)
{
    return Quote({QStringLiteral("MKD ") + Resolve(name)});
}

bool FtpSession::Delete(const QString& name)
{
    return Quote({QStringLiteral("DELE ") + Resolve(name)});
}

bool FtpSession::Stat(const QString& name, FtpListEntry& entry)
{
    if (!Prepare(Resolve(name), false))
        return false;
    curl_easy_setopt(m_easy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(m_easy, CURLOPT_FILETIME, 1L);
    if (Perform() != CURLE_OK)
        return false;
    curl_off_t size = -1;
    curl_off_t time = -1;
    curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    curl_easy_getinfo(m_easy, CURLINFO_FILETIME_T, &time);
    entry = FtpListEntry();
    entry.name = name.section(QLatin1Char('/'), -1);
    entry.size = size > 0 ? quint64(size) : 0;
    if (time >= 0)
        entry.modified = QDateTime::fromSecsSinceEpoch(qint64(time), Qt::UTC);
    return true;
}

bool FtpSession::List(std::vector<FtpListEntry>& entries)
{
    entries.clear();
    const auto fetch = [this](const char* command) {
        if (!Prepare(m_cwd, true))
            return false;
        m_listing = true;
        if (command)
            curl_easy_setopt(m_easy, CURLOPT_CUSTOMREQUEST, command);
        return Perform() == CURLE_OK;
    };
    if (m_mlsd != MlsdSupport::No) {
        if (fetch("MLSD")) {
            m_mlsd = MlsdSupport::Yes;
            entries = ParseMlsdListing(m_body);
            return true;
        }
        const int code = LastReplyCode(m_replies);
        // Only "command not known" sends us to the classic listing.
        if (m_mlsd == MlsdSupport::Yes || (code != 500 && code != 502 && code != 504))
            return false;
        m_mlsd = MlsdSupport::No;
    }
    if (!fetch(nullptr))
        return false;
    entries = ParseListListing(m_body, QDate::currentDate());
    return true;
}

bool FtpSession::OpenRead(const QString& name)
{
    if (!Prepare(Resolve(name), false))
        return false;
    m_taken = 0;
    Start();
    while (!m_started && m_body.isEmpty() && Drive()) {
    }
    if (m_done && m_result != CURLE_OK && !m_started && m_body.isEmpty()) {
        Finish();
        return false;
    }
    return true;
}

qint64 FtpSession::Read(char* buffer, qint64 max)
{
    while (m_taken >= m_body.size()) {
        m_body.clear();
        m_taken = 0;
        if (m_done)
            return m_result == CURLE_OK ? 0 : -1;
        if (!Drive() && m_body.isEmpty())
            continue;
        if (m_idleAsked && m_body.isEmpty()) {
            m_gaveUp = true;
            return -1;
        }
    }
    const qint64 n = std::min<qint64>(max, m_body.size() - m_taken);
    std::memcpy(buffer, m_body.constData() + m_taken, size_t(n));
    m_taken += n;
    return n;
}

void FtpSession::CloseRead()
{
    Finish();
    m_body.clear();
    m_taken = 0;
}

FtpSession::StoreResult FtpSession::Store(const QString& name, qint64 size, const Source& source)
{
    if (!Prepare(Resolve(name), false))
        return StoreResult::Refused;
    m_source = &source;
    curl_easy_setopt(m_easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(m_easy, CURLOPT_INFILESIZE_LARGE, curl_off_t(size));
    curl_easy_setopt(m_easy, CURLOPT_READFUNCTION, &FtpSession::OnRead);
    curl_easy_setopt(m_easy, CURLOPT_READDATA, this);
    const int result = Perform();
    m_source = nullptr;
    if (result == CURLE_OK)
        return StoreResult::Done;
    if (m_sourceGaveUp)
        return StoreResult::GaveUp;
    if (m_sourceFailed)
        return StoreResult::SourceFailed;
    return m_started ? StoreResult::BrokenOff : StoreResult::Refused;
}
