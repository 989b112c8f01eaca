#include "FtpSession.h"

#include "CurlHandles.h"

#include <QStringList>
#include <QUrl>

#include <algorithm>

namespace {

bool hasControlCharacter(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

QByteArray hostForUrl(const QString& host)
{
    static const QString forbidden = QStringLiteral("/?#@\\ []%");
    if (host.isEmpty() || hasControlCharacter(host))
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
QList<int> replyCodes(const QByteArray& replies)
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

int lastReplyCode(const QByteArray& replies)
{
    const QList<int> codes = replyCodes(replies);
    return codes.isEmpty() ? 0 : codes.last();
}

constexpr qsizetype kListingLimit = 64 * 1024 * 1024;

}  // namespace

FtpSession::FtpSession(const Options& options, Cancelled cancelled)
    : m_options(options), m_cancelled(std::move(cancelled))
{
    const QByteArray host = hostForUrl(options.host);
    if (!host.isEmpty())
        m_baseUrl = "ftp://" + host + ":" + QByteArray::number(quint16(options.port)) + "/";
}

// The request goes before the connection; cleaning the connection ends the
// control connection it holds.
FtpSession::~FtpSession() { finish(); }

NetLimits FtpSession::limits() const
{
    NetLimits limits;
    limits.connectSeconds = m_options.connectTimeout;
    limits.stallSeconds = m_options.stallTimeout;
    return limits;
}

QString FtpSession::resolve(const QString& path) const
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

bool FtpSession::prepare(const QString& absolutePath, bool directory, const NetLimits& limits)
{
    finish();
    m_request.reset();
    m_quote.reset();
    m_replies.clear();
    m_started = m_finished = false;
    m_ok = true;
    if (!m_connection.valid() || m_baseUrl.isEmpty()) {
        m_errorText = QStringLiteral("invalid server name");
        return false;
    }
    // A line break in a name would let it smuggle in commands of its own.
    if (hasControlCharacter(absolutePath)) {
        m_errorText = QStringLiteral("invalid remote name");
        return false;
    }

    QByteArray url = m_baseUrl;
    if (!absolutePath.isEmpty()) {
        QByteArrayList parts;
        for (const QString& part : absolutePath.split(QLatin1Char('/'), Qt::SkipEmptyParts))
            parts << QUrl::toPercentEncoding(part);
        url += "%2F" + parts.join('/');
        if (directory)
            url += '/';
    }

    // An HTTP proxy cannot carry the control connection: the session goes direct.
    m_request = std::make_unique<NetRequest>(url, NetProxy::direct(), limits, &m_connection);
    m_request->allowProtocols(NetFtp);
    if (!m_options.user.isEmpty() && !m_options.password.isEmpty())
        m_request->setLogin(m_options.user, m_options.password);
    m_request->setHeaderSink([this](const QByteArray& line) { onReply(line); });
    CURL* easy = this->easy();
    curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(easy, CURLOPT_ACCEPTTIMEOUT_MS, long(limits.connectSeconds) * 1000L);
    // a server that logs in or answers a command no faster than this is as good as gone
    curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(limits.stallSeconds));
    // The data connection always goes to the server we logged in to, whatever
    // address a passive-mode reply names; active mode offers our own address.
    curl_easy_setopt(easy, CURLOPT_FTP_SKIP_PASV_IP, 1L);
    if (!m_options.passive)
        curl_easy_setopt(easy, CURLOPT_FTPPORT, "-");
    return true;
}

void FtpSession::onReply(const QByteArray& line)
{
    m_replies.append(line);
    // 125/150 answer a transfer command: the server is about to send or receive.
    if (line.startsWith("150") || line.startsWith("125"))
        m_started = true;
}

qint64 FtpSession::remoteSize() const { return m_request ? m_request->contentLength() : -1; }

void FtpSession::finish()
{
    if (!m_request || m_finished || !m_request->finished())
        return;
    m_finished = true;
    m_ok = m_request->result().ok();
    if (!m_ok) {
        QString reply;
        const QList<QByteArray> lines = m_replies.trimmed().split('\n');
        if (!lines.isEmpty())
            reply = QString::fromUtf8(lines.last().trimmed());
        m_errorText = m_request->result().summary;
        if (!reply.isEmpty())
            m_errorText += QStringLiteral(" (") + reply + QLatin1Char(')');
    }
}

bool FtpSession::perform()
{
    m_request->perform();
    finish();
    return m_ok;
}

bool FtpSession::connect()
{
    if (!prepare(QString(), true))
        return false;
    m_request->setNoBody();
    if (!perform())
        return false;
    char* entry = nullptr;
    curl_easy_getinfo(easy(), CURLINFO_FTP_ENTRY_PATH, &entry);
    m_cwd = entry && *entry == '/' ? QString::fromUtf8(entry) : QStringLiteral("/");
    return true;
}

bool FtpSession::quote(const QStringList& commands)
{
    if (!prepare(QString(), true))
        return false;
    Curl::List quoted;
    for (const QString& command : commands) {
        if (hasControlCharacter(command)) {
            m_errorText = QStringLiteral("invalid remote name");
            return false;
        }
        // "*": a refused command is ours to judge; libcurl would drop the
        // connection (and so the login) over it.
        Curl::append(quoted, ("*" + command.toUtf8()).constData());
    }
    curl_slist* list = quoted.release();
    m_quote = std::shared_ptr<void>(list, [](void* p) { curl_slist_free_all(static_cast<curl_slist*>(p)); });
    curl_easy_setopt(easy(), CURLOPT_QUOTE, list);
    m_request->setNoBody();
    if (!perform())
        return false;
    // Nothing follows the quoted commands, so their replies are the last ones.
    const QList<int> codes = replyCodes(m_replies);
    if (codes.size() < commands.size())
        return false;
    const int first = codes[codes.size() - commands.size()];
    if (first < 200 || first >= 300) {
        m_errorText = QString::fromUtf8(m_replies.trimmed().split('\n').last().trimmed());
        return false;
    }
    return true;
}

QString FtpSession::lastQuotedDirectory() const
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

bool FtpSession::changeDir(const QString& dir)
{
    const QString target = resolve(dir);
    if (!quote({QStringLiteral("CWD ") + target, QStringLiteral("PWD")}))
        return false;
    const QString reported = lastQuotedDirectory();
    m_cwd = reported.startsWith(QLatin1Char('/')) ? reported : target;
    return true;
}

bool FtpSession::makeDir(const QString& name) { return quote({QStringLiteral("MKD ") + resolve(name)}); }

bool FtpSession::Delete(const QString& name) { return quote({QStringLiteral("DELE ") + resolve(name)}); }

bool FtpSession::stat(const QString& name, quint64& size, QDateTime& modified)
{
    if (!prepare(resolve(name), false))
        return false;
    m_request->setNoBody();
    m_request->askFileTime();
    if (!perform())
        return false;
    const qint64 length = m_request->contentLength();
    const qint64 time = m_request->fileTime();
    size = length > 0 ? quint64(length) : 0;
    modified = time >= 0 ? QDateTime::fromSecsSinceEpoch(time, Qt::UTC) : QDateTime();
    return true;
}

bool FtpSession::list(QByteArray& listing, bool& machineForm)
{
    listing.clear();
    const auto fetch = [this](const char* command) {
        // A listing is held whole; one beyond all reason is refused, not swallowed.
        NetLimits limits = this->limits();
        limits.maxBytes = kListingLimit;
        if (!prepare(m_cwd, true, limits))
            return false;
        if (command)
            m_request->setMethod(command);
        return perform();
    };
    if (m_mlsd != MlsdSupport::No) {
        if (fetch("MLSD")) {
            m_mlsd = MlsdSupport::Yes;
            listing = m_request->body();
            machineForm = true;
            return true;
        }
        const int code = lastReplyCode(m_replies);
        // Only "command not known" sends us to the classic listing.
        if (m_mlsd == MlsdSupport::Yes || (code != 500 && code != 502 && code != 504))
            return false;
        m_mlsd = MlsdSupport::No;
    }
    if (!fetch(nullptr))
        return false;
    listing = m_request->body();
    machineForm = false;
    return true;
}

bool FtpSession::openRead(const QString& name)
{
    if (!prepare(resolve(name), false))
        return false;
    m_request->setCancelCheck(m_cancelled);
    while (!m_started && !m_request->pending() && m_request->step()) {
    }
    finish();
    return !(m_finished && !m_ok && !m_started && !m_request->pending());
}

qint64 FtpSession::read(char* buffer, qint64 max)
{
    while (!m_request->pending()) {
        if (m_request->step())
            continue;
        finish();
        if (m_request->pending())
            break;
        return m_ok ? 0 : -1;
    }
    return m_request->take(buffer, max);
}

void FtpSession::closeRead()
{
    finish();
    // a download given up half-way is dropped with its data connection
    if (m_request && !m_request->finished())
        m_request.reset();
}

FtpSession::StoreResult FtpSession::store(const QString& name, qint64 size, const Source& source)
{
    if (!prepare(resolve(name), false))
        return StoreResult::Refused;
    m_request->setCancelCheck(m_cancelled);
    m_request->setUpload(NetRequest::Upload::Put, size, source);
    if (perform())
        return StoreResult::Done;
    if (m_request->uploadGaveUp() || m_request->result().cancelled)
        return StoreResult::GaveUp;
    if (m_request->uploadFailed())
        return StoreResult::SourceFailed;
    return m_started ? StoreResult::BrokenOff : StoreResult::Refused;
}
