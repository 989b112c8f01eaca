#include "ServiceExchange.h"

#include "NetCookieJar.h"
#include "NetRequest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUuid>
#include <QUrlQuery>

#include <QDeadlineTimer>
#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace {

// the browser identity and accept list the service has always been sent
const char* const UserAgent =
    "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.0; SLCC1; .NET CLR 2.0.50727; .NET CLR 3.0.04506)";
const char* const AcceptHeader = "Accept: text/html, */*";
const char* const FormContentType = "Content-Type: application/x-www-form-urlencoded";

constexpr int DefaultConnectSeconds = 15;
constexpr int DefaultStallSeconds = 60;
constexpr qsizetype DefaultReplyLimit = qsizetype(64) * 1024 * 1024;
// how much of an error page the user gets to read: enough for the service's whole account
// of what each of two languages can be translated into and from
constexpr qsizetype ServiceMessageLimit = 2000;
// how long a document waits for its turn while the service is busy with others
constexpr int DocumentQueueSeconds = 600;
constexpr int LongestRetryPause = 10;

// The service's cookies, kept for the life of the process and sent by every
// client, whichever thread it runs on.
NetCookieJar& serviceCookies()
{
    static NetCookieJar jar;
    return jar;
}

// scheme://host:port of an address: what "the same service" means for its session
QString origin(const QString& address)
{
    const QUrl url(address);
    return QStringLiteral("%1://%2:%3")
        .arg(url.scheme().toLower(), url.host().toLower())
        .arg(url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80));
}

// A service may keep a session by a cookie it sets in its first answer and refuse requests
// without it. Until a service has answered once in this process, its translation requests go
// one at a time; after that, all at once, each with the cookies received so far.
class ServiceSessions {
public:
    // Returns when the caller may send: the service has answered before, or no other request is
    // waiting for its first answer. True: the caller's request is that first one, and the caller
    // calls doneAsking() when it ends, answered or not.
    bool admit(const QString& origin, const std::atomic<bool>* cancelled)
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_answered.count(origin))
                return false;
            if (m_asking.insert(origin).second)
                return true;
            if (cancelled && cancelled->load())
                throw ServiceCancelled();
            m_changed.wait_for(lock, std::chrono::milliseconds(100));
        }
    }
    void answered(const QString& origin)
    {
        std::lock_guard lock(m_mutex);
        if (m_answered.insert(origin).second)
            m_changed.notify_all();
    }
    // A first request that got no answer (no connection) lets the next one try.
    void doneAsking(const QString& origin)
    {
        std::lock_guard lock(m_mutex);
        m_asking.erase(origin);
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::set<QString> m_answered;
    std::set<QString> m_asking;
};

ServiceSessions& sessions()
{
    static ServiceSessions sessions;
    return sessions;
}

// name=value with the value's UTF-8 bytes percent-encoded, so "&", "=", "+"
// and "%" in the text reach the service as they are
QByteArray formField(const char* name, const QString& value)
{
    return QByteArray(name) + '=' + QUrl::toPercentEncoding(value);
}

// Service codes go out in lower case; only ASCII letters change.
QString lowerCode(const QString& code)
{
    QString lower = code;
    for (QChar& c : lower)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() - 'A' + 'a');
    return lower;
}

QString withQueryItem(const QString& address, const char* name, const char* value)
{
    QUrl url(address);
    QUrlQuery query(url);
    query.addQueryItem(QLatin1String(name), QLatin1String(value));
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

// The document route's progress of one job, beside the form's address.
QString progressAddress(const QString& endpoint, const QString& job)
{
    QUrl address = QUrl(endpoint).resolved(QUrl(QStringLiteral("translate-document/progress")));
    address.setQuery(QUrlQuery{{QStringLiteral("job"), job}});
    return address.toString(QUrl::FullyEncoded);
}

QString hostAndPort(const QString& address)
{
    const QUrl url(address);
    if (!url.isValid() || url.host().isEmpty())
        return address;
    const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    return QStringLiteral("%1:%2").arg(url.host()).arg(port);
}

// What one request brought back.
struct Response {
    NetResult result;
    QByteArray body;
    QByteArray reason;    // reason phrase of the last status line
    QByteArray location;  // Location of the last response received
    int retryAfter = -1;  // Retry-After (seconds) of the last response; -1 when it had none
    QString effectiveUrl;
    QString proxy;  // the proxy the request went through, empty when direct

    bool succeeded() const { return result.ok() && result.status >= 200 && result.status < 300; }
};

void readHeader(Response* response, const QByteArray& raw)
{
    const QByteArray line = raw.trimmed();
    if (line.startsWith("HTTP/")) {
        // a new response begins (a redirect or a 100 Continue came before it)
        response->location.clear();
        response->retryAfter = -1;
        const QList<QByteArray> parts = line.split(' ');
        response->reason = parts.size() > 2 ? line.mid(parts[0].size() + parts[1].size() + 2) : QByteArray();
    } else if (line.size() > 9 && line.left(9).toLower() == "location:") {
        response->location = line.mid(9).trimmed();
    } else if (line.size() > 12 && line.left(12).toLower() == "retry-after:") {
        bool ok = false;
        const int seconds = line.mid(12).trimmed().toInt(&ok);
        response->retryAfter = ok && seconds >= 0 ? seconds : -1;
    }
}

}  // namespace

struct ServiceClient::Impl {
    QString endpoint;
    QList<QByteArray> postHeaders;
    QList<QByteArray> getHeaders;
    QList<QByteArray> documentHeaders;
    NetLimits limits{DefaultConnectSeconds, DefaultStallSeconds, DefaultReplyLimit};
    const std::atomic<bool>* cancelled = nullptr;
    std::atomic<bool> serbianCyrillic = false;
    NetProxy proxy;  // the choice of the call under way

    void applyProxy(const ProxySettings& settings);
    // A POST of postBody, else a GET, or a request of the method given instead.
    Response perform(const QString& address, const QByteArray* postBody, const QList<QByteArray>* headers = nullptr,
                     const char* method = nullptr);
    // Waits as the service asked before trying again; a cancel ends the wait at once.
    void pause(int seconds) const;
    QString describeFailure(const Response& response, const QString& address) const;
};

ServiceClient::ServiceClient(QString endpoint) : m(std::make_unique<Impl>())
{
    m->endpoint = std::move(endpoint);
    // "Expect:" keeps the client from waiting for a 100 Continue before larger bodies
    m->postHeaders = {AcceptHeader, FormContentType, "Expect:"};
    m->getHeaders = {AcceptHeader};
    m->documentHeaders = {"Accept: */*", "Content-Type: application/octet-stream", "Expect:"};
}

ServiceClient::~ServiceClient() = default;

QString ServiceClient::endpoint() const { return m->endpoint; }

void ServiceClient::setTimeouts(int connectSeconds, int stallSeconds)
{
    m->limits.connectSeconds = connectSeconds;
    m->limits.stallSeconds = stallSeconds;
}

void ServiceClient::setReplyLimit(qsizetype bytes) { m->limits.maxBytes = bytes; }

void ServiceClient::setSerbianCyrillic(bool on) { m->serbianCyrillic = on; }

void ServiceClient::setCancelFlag(const std::atomic<bool>* cancelled) { m->cancelled = cancelled; }

QString ServiceClient::defaultEndpoint()
{
    const QString configured = qEnvironmentVariable("LINGUARO_SERVICE_URL");
    return configured.isEmpty() ? builtInEndpoint() : configured;
}

QString ServiceClient::builtInEndpoint()
{
    // a machine where the usual port is taken moves the built-in service elsewhere
    bool ok = false;
    const int port = qEnvironmentVariableIntValue("LINGUARO_SERVICE_PORT", &ok);
    return QStringLiteral("http://127.0.0.1:%1/translate").arg(ok && port > 0 && port <= 65535 ? port : 47210);
}

void ServiceClient::Impl::applyProxy(const ProxySettings& settings)
{
    // Off means direct: the session's proxy variables are not consulted either.
    if (!settings.UseProxy) {
        proxy = NetProxy::direct();
        return;
    }
    bool ok = false;
    const int port = settings.Port.trimmed().toInt(&ok, 10);
    if (!ok || port < 0 || port > 65535)
        throw ServiceError(QStringLiteral("'%1' is not a valid proxy port.").arg(settings.Port).toStdString());
    proxy = NetProxy::server(settings.Address, port, settings.UserName,
                             settings.UserName.isEmpty() ? QString() : settings.Password);
}

Response ServiceClient::Impl::perform(const QString& address, const QByteArray* postBody, const QList<QByteArray>* headers,
                                      const char* method)
{
    if (cancelled && cancelled->load())
        throw ServiceCancelled();
    Response response;
    NetRequest request(address.toUtf8(), proxy, limits);
    request.useCookies(serviceCookies());
    if (const std::atomic<bool>* flag = cancelled)
        request.setCancelCheck([flag] { return flag->load(); });
    // the service and its redirects may only lead to web addresses (the layer's rule)
    request.followRedirects();
    request.setUserAgent(QString::fromLatin1(UserAgent));
    request.setHeaderSink([&response](const QByteArray& line) { readHeader(&response, line); });
    if (postBody) {
        request.setPost(*postBody);
        request.setHeaders(headers ? *headers : postHeaders);
    } else {
        request.setHeaders(getHeaders);
    }
    if (method)
        request.setMethod(method);
    response.result = request.perform();
    const QString effective = request.effectiveUrl();
    response.effectiveUrl = effective.isEmpty() ? address : effective;
    if (response.result.status > 0)
        sessions().answered(origin(address));
    if (response.result.cancelled)
        throw ServiceCancelled();
    response.body = request.body();
    response.proxy = request.route().shown;
    return response;
}

void ServiceClient::Impl::pause(int seconds) const
{
    QDeadlineTimer until(std::chrono::seconds(std::clamp(seconds, 0, LongestRetryPause)));
    while (!until.hasExpired()) {
        if (cancelled && cancelled->load())
            throw ServiceCancelled();
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<qint64>(100, until.remainingTime())));
    }
}

QString ServiceClient::Impl::describeFailure(const Response& response, const QString& address) const
{
    const QString where = hostAndPort(address);
    if (response.result.tooLarge)
        return QStringLiteral("The reply of the translation service at %1 is larger than %2 MiB.")
            .arg(where)
            .arg(limits.maxBytes / (1024 * 1024));
    if (response.result.stalled)
        return QStringLiteral("The translation service did not answer within %1 seconds.").arg(limits.stallSeconds);
    if (!response.proxy.isEmpty()) {
        // a failure on the way through the proxy must say so, or the user looks for the fault at the service
        if (response.result.ok() && response.result.status == 407)
            return QStringLiteral("The proxy server at %1 refused the user name or password (HTTP status 407).")
                .arg(response.proxy);
        switch (response.result.code) {
        case NetCode::Ok:
            break;
        case NetCode::TimedOut:
        case NetCode::CouldNotConnect:
        case NetCode::CouldNotResolveProxy:
            return QStringLiteral("Could not connect to the proxy server at %1: %2")
                .arg(response.proxy, response.result.message);
        default:
            return QStringLiteral("The request to the translation service at %1 through the proxy server at %2 "
                                  "failed: %3 (check the proxy's address and credentials)")
                .arg(where, response.proxy, response.result.message);
        }
    }
    switch (response.result.code) {
    case NetCode::Ok: {
        QString message = QString::fromUtf8(response.body).simplified();
        if (message.size() > ServiceMessageLimit)
            message = message.left(ServiceMessageLimit) + QStringLiteral("...");
        if (message.isEmpty())
            message = QString::fromUtf8(response.reason).simplified();
        return QStringLiteral("The translation service at %1 answered with HTTP status %2: %3")
            .arg(where)
            .arg(response.result.status)
            .arg(message);
    }
    case NetCode::TimedOut:  // only the connect time-out is left to the client
        return QStringLiteral("Could not connect to the translation service at %1: no answer within %2 seconds.")
            .arg(where)
            .arg(limits.connectSeconds);
    case NetCode::CouldNotConnect:
    case NetCode::CouldNotResolve:
    case NetCode::CouldNotResolveProxy:
        return QStringLiteral("Could not connect to the translation service at %1: %2")
            .arg(where, response.result.message);
    default:
        return QStringLiteral("The request to the translation service at %1 failed: %2")
            .arg(where, response.result.message);
    }
}

QByteArray ServiceClient::sendChunk(const QString& chunk, const QString& sourceCode, const QString& targetCode,
                                    const ProxySettings& proxy)
{
    const QByteArray body = formField("v", QStringLiteral("2")) + '&' + formField("q", chunk) + '&'
                            + formField("ui", QStringLiteral("en")) + '&' + formField("from", lowerCode(sourceCode))
                            + '&' + formField("to", lowerCode(targetCode)) + '&' + formField("nl", QStringLiteral("1"))
                            + '&' + formField("esc", QStringLiteral("1")) + '&' + formField("utf", QStringLiteral("1"));

    const QString target = m->serbianCyrillic ? withQueryItem(m->endpoint, "serbian", "cyrillic") : m->endpoint;
    m->applyProxy(proxy);
    const QString origin = ::origin(target);
    const bool first = sessions().admit(origin, m->cancelled);
    const auto firstEnded = qScopeGuard([&] {
        if (first)
            sessions().doneAsking(origin);
    });
    const Response post = m->perform(target, &body);
    if (post.succeeded())
        return post.body;
    if (post.result.tooLarge || post.location.isEmpty())
        throw ServiceError(m->describeFailure(post, target).toStdString());

    // The service sometimes hands the reply out at another address: fetch it
    // from the Location of the last response. The failed POST's own body is an
    // error page and is not part of the reply.
    const QString fallback =
        QUrl(post.effectiveUrl).resolved(QUrl::fromEncoded(post.location)).toString(QUrl::FullyEncoded);
    const Response get = m->perform(fallback, nullptr);
    if (!get.succeeded())
        throw ServiceError(m->describeFailure(get, fallback).toStdString());
    return get.body;
}

QByteArray ServiceClient::sendDocument(const QByteArray& document, const QString& format, const QString& sourceCode,
                                       const QString& targetCode, const ProxySettings& proxy, const QString& job)
{
    // the document route sits beside the form's: ".../translate" -> ".../translate-document"
    QUrl address = QUrl(m->endpoint).resolved(QUrl(QStringLiteral("translate-document")));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("format"), format);
    query.addQueryItem(QStringLiteral("from"), lowerCode(sourceCode));
    query.addQueryItem(QStringLiteral("to"), lowerCode(targetCode));
    if (!job.isEmpty())
        query.addQueryItem(QStringLiteral("job"), job);
    if (m->serbianCyrillic)
        query.addQueryItem(QStringLiteral("serbian"), QStringLiteral("cyrillic"));
    address.setQuery(query);
    const QString target = address.toString(QUrl::FullyEncoded);
    m->applyProxy(proxy);
    // a service busy with as many documents as it takes asks the next one to come back: it waits its turn
    Response post;
    for (const QDeadlineTimer patience(std::chrono::seconds{DocumentQueueSeconds});;) {
        post = m->perform(target, &document, &m->documentHeaders);
        if (!post.result.ok() || post.result.status != 503 || post.retryAfter < 0 || patience.hasExpired())
            break;
        m->pause(post.retryAfter);
    }
    if (!post.succeeded())
        throw ServiceError(m->describeFailure(post, target).toStdString());
    return post.body;
}

std::optional<std::pair<qint64, qint64>> ServiceClient::documentProgress(const QString& job, const ProxySettings& proxy)
{
    m->applyProxy(proxy);
    const Response get = m->perform(progressAddress(m->endpoint, job), nullptr);
    if (!get.succeeded())
        return std::nullopt;
    const QJsonObject counts = QJsonDocument::fromJson(get.body).object();
    const QJsonValue done = counts.value(QLatin1String("done"));
    const QJsonValue total = counts.value(QLatin1String("total"));
    if (!done.isDouble() || !total.isDouble() || done.toDouble() < 0 || total.toDouble() < 0)
        return std::nullopt;
    return std::pair{qint64(done.toDouble()), qint64(total.toDouble())};
}

bool ServiceClient::stopDocument(const QString& job, const ProxySettings& proxy)
{
    try {
        m->applyProxy(proxy);
        return m->perform(progressAddress(m->endpoint, job), nullptr, nullptr, "DELETE").succeeded();
    } catch (const ServiceError&) {
        return false;
    }
}

QString ServiceClient::newJob() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }

QByteArray ServiceClient::fetch(const QString& address, const ProxySettings& proxy)
{
    m->applyProxy(proxy);
    const Response get = m->perform(address, nullptr);
    if (!get.succeeded())
        throw ServiceError(m->describeFailure(get, address).toStdString());
    return get.body;
}

namespace {

// The translation sits between the first and the last character (the quotes).
QString unquoted(const QString& text)
{
    const QList<uint> characters = text.toUcs4();
    if (characters.size() <= 2)
        return {};
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()) + 1, characters.size() - 2);
}

}  // namespace

QString extractTranslation(const QByteArray& reply)
{
    // malformed sequences become U+FFFD rather than losing the whole reply
    QString text = QString::fromUtf8(reply);
    const QString marker = QStringLiteral("ACAEAZA");
    text.remove(QStringLiteral("\r\n"));
    text.replace(QStringLiteral("\\r\\n?\\r\\n"), marker);
    text.replace(QStringLiteral("\\r\\n \\r\\n"), marker);
    text.replace(QStringLiteral("\\r\\n"), QStringLiteral(" "));
    text.replace(marker, QStringLiteral("\r\n\r\n"));
    text.replace(QStringLiteral("\\\""), QStringLiteral("\""));
    return unquoted(text);
}

QStringList extractLines(const QByteArray& reply)
{
    QString text = QString::fromUtf8(reply);
    text.remove(QStringLiteral("\r\n"));
    QStringList lines = unquoted(text).split(QStringLiteral("\\r\\n"));
    for (QString& line : lines)
        line.replace(QStringLiteral("\\\""), QStringLiteral("\""));
    return lines;
}
