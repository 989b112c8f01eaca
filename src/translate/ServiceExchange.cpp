#include "ServiceExchange.h"

#include "Loopback.h"

#include <QUrl>
#include <QUrlQuery>

#include <curl/curl.h>

#include <chrono>
#include <mutex>

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

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

HeaderList MakeHeaders(std::initializer_list<const char*> lines)
{
    curl_slist* list = nullptr;
    for (const char* line : lines)
        list = curl_slist_append(list, line);
    return HeaderList(list);
}

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// name=value with the value's UTF-8 bytes percent-encoded, so "&", "=", "+"
// and "%" in the text reach the service as they are
QByteArray FormField(const char* name, const QString& value)
{
    return QByteArray(name) + '=' + QUrl::toPercentEncoding(value);
}

// Service codes go out in lower case; only ASCII letters change.
QString LowerCode(const QString& code)
{
    QString lower = code;
    for (QChar& c : lower)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() - 'A' + 'a');
    return lower;
}

QString WithQueryItem(const QString& address, const char* name, const char* value)
{
    QUrl url(address);
    QUrlQuery query(url);
    query.addQueryItem(QLatin1String(name), QLatin1String(value));
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

QString HostAndPort(const QString& address)
{
    const QUrl url(address);
    if (!url.isValid() || url.host().isEmpty())
        return address;
    const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    return QStringLiteral("%1:%2").arg(url.host()).arg(port);
}

// What one request brought back.
struct Response {
    CURLcode result = CURLE_OK;
    long status = 0;
    QByteArray body;
    QByteArray reason;     // reason phrase of the last status line
    QByteArray location;   // Location of the last response received
    QString effectiveUrl;
    QString curlMessage;
    bool connected = false;
    bool tooLarge = false;
    bool stalled = false;
    bool cancelled = false;

    bool succeeded() const { return result == CURLE_OK && status >= 200 && status < 300; }
};

struct Transfer {
    Response* response;
    qsizetype limit;
    std::chrono::seconds stallLimit;
    const std::atomic<bool>* cancelled;
    // bytes moved so far and when that count last changed
    curl_off_t moved = 0;
    std::chrono::steady_clock::time_point lastMove{};
};

size_t WriteBody(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (transfer->response->body.size() + qsizetype(bytes) > transfer->limit) {
        transfer->response->tooLarge = true;
        return 0;  // aborts the transfer with a write error
    }
    transfer->response->body.append(data, qsizetype(bytes));
    return bytes;
}

int ConnectionReady(void* user, char*, char*, int, int)
{
    auto* transfer = static_cast<Transfer*>(user);
    transfer->response->connected = true;
    transfer->lastMove = std::chrono::steady_clock::now();
    return CURL_PREREQFUNC_OK;
}

// Ends a transfer once nothing has moved in either direction for the stall
// limit. libcurl's own low-speed check averages over several seconds, so it
// would fire late; libcurl calls this at least once a second.
int WatchForStall(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded)
{
    auto* transfer = static_cast<Transfer*>(user);
    if (transfer->cancelled && transfer->cancelled->load()) {
        transfer->response->cancelled = true;
        return 1;
    }
    if (!transfer->response->connected)
        return 0;  // the connect time-out covers this phase
    const auto now = std::chrono::steady_clock::now();
    if (downloaded + uploaded != transfer->moved) {
        transfer->moved = downloaded + uploaded;
        transfer->lastMove = now;
        return 0;
    }
    if (now - transfer->lastMove < transfer->stallLimit)
        return 0;
    transfer->response->stalled = true;
    return 1;
}

size_t ReadHeader(char* data, size_t size, size_t count, void* user)
{
    auto* response = static_cast<Transfer*>(user)->response;
    const size_t bytes = size * count;
    const QByteArray line = QByteArray(data, qsizetype(bytes)).trimmed();
    if (line.startsWith("HTTP/")) {
        // a new response begins (a redirect or a 100 Continue came before it)
        response->location.clear();
        const QList<QByteArray> parts = line.split(' ');
        response->reason = parts.size() > 2 ? line.mid(parts[0].size() + parts[1].size() + 2) : QByteArray();
    } else if (line.size() > 9 && line.left(9).toLower() == "location:") {
        response->location = line.mid(9).trimmed();
    }
    return bytes;
}

}  // namespace

struct ServiceClient::Impl {
    QString endpoint;
    EasyHandle handle;
    HeaderList postHeaders;
    HeaderList getHeaders;
    int connectSeconds = DefaultConnectSeconds;
    int stallSeconds = DefaultStallSeconds;
    qsizetype replyLimit = DefaultReplyLimit;
    const std::atomic<bool>* cancelled = nullptr;
    std::atomic<bool> serbianCyrillic = false;
    QString proxyInUse;  // "host:port" of the proxy set for the request (loopback bypasses it), empty when none

    void applyProxy(const ProxySettings& proxy);
    Response perform(const QString& address, const QByteArray* postBody);
    QString describeFailure(const Response& response, const QString& address) const;
};

ServiceClient::ServiceClient(QString endpoint) : m(std::make_unique<Impl>())
{
    GlobalInit();
    m->endpoint = std::move(endpoint);
    m->handle.reset(curl_easy_init());
    if (!m->handle)
        throw ServiceError("The HTTP client could not be created.");
    // "Expect:" keeps libcurl from waiting for a 100 Continue before larger bodies
    m->postHeaders = MakeHeaders({AcceptHeader, FormContentType, "Expect:"});
    m->getHeaders = MakeHeaders({AcceptHeader});

    CURL* h = m->handle.get();
    curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");  // cookie engine on, nothing read from disk
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 15L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, UserAgent);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // the service and its redirects may only lead to web addresses, never to local files
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, ReadHeader);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, ConnectionReady);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, WatchForStall);
}

ServiceClient::~ServiceClient() = default;

QString ServiceClient::endpoint() const { return m->endpoint; }

void ServiceClient::setTimeouts(int connectSeconds, int stallSeconds)
{
    m->connectSeconds = connectSeconds;
    m->stallSeconds = stallSeconds;
}

void ServiceClient::setReplyLimit(qsizetype bytes) { m->replyLimit = bytes; }

void ServiceClient::setSerbianCyrillic(bool on) { m->serbianCyrillic = on; }

void ServiceClient::setCancelFlag(const std::atomic<bool>* cancelled) { m->cancelled = cancelled; }

QString ServiceClient::DefaultEndpoint()
{
    const QString configured = qEnvironmentVariable("LINGUARO_SERVICE_URL");
    return configured.isEmpty() ? BuiltInEndpoint() : configured;
}

QString ServiceClient::BuiltInEndpoint()
{
    // a machine where the usual port is taken moves the built-in service elsewhere
    bool ok = false;
    const int port = qEnvironmentVariableIntValue("LINGUARO_SERVICE_PORT", &ok);
    return QStringLiteral("http://127.0.0.1:%1/translate").arg(ok && port > 0 && port <= 65535 ? port : 47210);
}

void ServiceClient::Impl::applyProxy(const ProxySettings& proxy)
{
    CURL* h = handle.get();
    if (!proxy.UseProxy) {
        // an empty proxy also keeps libcurl from taking one from the environment
        curl_easy_setopt(h, CURLOPT_PROXY, "");
        curl_easy_setopt(h, CURLOPT_PROXYPORT, 0L);
        curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, nullptr);
        curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, nullptr);
        curl_easy_setopt(h, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
        proxyInUse.clear();
        return;
    }
    bool ok = false;
    const int port = proxy.Port.trimmed().toInt(&ok, 10);
    if (!ok || port < 0 || port > 65535)
        throw ServiceError(QStringLiteral("'%1' is not a valid proxy port.").arg(proxy.Port).toStdString());
    curl_easy_setopt(h, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
    curl_easy_setopt(h, CURLOPT_PROXYPASSWORD,
                     proxy.UserName.isEmpty() ? nullptr : proxy.Password.toUtf8().constData());
    // an IPv6 address typed without its brackets would be read as host and port
    const QString address = proxy.Address.contains(u':') && !proxy.Address.startsWith(u'[')
        ? QStringLiteral("[%1]").arg(proxy.Address)
        : proxy.Address;
    curl_easy_setopt(h, CURLOPT_PROXYPORT, long(port));
    curl_easy_setopt(h, CURLOPT_PROXY, address.toUtf8().constData());
    curl_easy_setopt(h, CURLOPT_PROXYUSERNAME,
                     proxy.UserName.isEmpty() ? nullptr : proxy.UserName.toUtf8().constData());
    // The proxy carries every request but those to this machine itself (the
    // built-in service among them), which a proxy elsewhere cannot reach;
    // no_proxy is not consulted.
    curl_easy_setopt(h, CURLOPT_NOPROXY, Loopback::NoProxyList);
    proxyInUse = QStringLiteral("%1:%2").arg(address).arg(port);
}

Response ServiceClient::Impl::perform(const QString& address, const QByteArray* postBody)
{
    if (cancelled && cancelled->load())
        throw ServiceCancelled();
    CURL* h = handle.get();
    Response response;
    Transfer transfer{&response, replyLimit, std::chrono::seconds(stallSeconds), cancelled};
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray url = address.toUtf8();

    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, long(connectSeconds));
    if (postBody) {
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(postBody->size()));
        curl_easy_setopt(h, CURLOPT_COPYPOSTFIELDS, postBody->constData());
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, postHeaders.get());
    } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, getHeaders.get());
    }

    response.result = curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status);
    char* effective = nullptr;
    curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective);
    response.effectiveUrl = effective ? QString::fromUtf8(effective) : address;
    response.curlMessage = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(response.result));

    // the buffers above die with this call; the handle must not keep pointers to them
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, nullptr);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, nullptr);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, nullptr);
    if (response.cancelled)
        throw ServiceCancelled();
    return response;
}

QString ServiceClient::Impl::describeFailure(const Response& response, const QString& address) const
{
    const QString where = HostAndPort(address);
    if (response.tooLarge)
        return QStringLiteral("The reply of the translation service at %1 is larger than %2 MiB.")
            .arg(where)
            .arg(replyLimit / (1024 * 1024));
    if (response.stalled)
        return QStringLiteral("The translation service did not answer within %1 seconds.").arg(stallSeconds);
    if (!proxyInUse.isEmpty() && !Loopback::IsLoopbackHost(QUrl(address).host())) {
        // a failure on the way through the proxy must say so, or the user looks for the fault at the service
        if (response.result == CURLE_OK && response.status == 407)
            return QStringLiteral("The proxy server at %1 refused the user name or password (HTTP status 407).")
                .arg(proxyInUse);
        switch (response.result) {
        case CURLE_OK:
            break;
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_COULDNT_CONNECT:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return QStringLiteral("Could not connect to the proxy server at %1: %2").arg(proxyInUse, response.curlMessage);
        default:
            return QStringLiteral("The request to the translation service at %1 through the proxy server at %2 "
                                  "failed: %3 (check the proxy's address and credentials)")
                .arg(where, proxyInUse, response.curlMessage);
        }
    }
    switch (response.result) {
    case CURLE_OK: {
        QString message = QString::fromUtf8(response.body).simplified();
        if (message.size() > ServiceMessageLimit)
            message = message.left(ServiceMessageLimit) + QStringLiteral("...");
        if (message.isEmpty())
            message = QString::fromUtf8(response.reason).simplified();
        return QStringLiteral("The translation service at %1 answered with HTTP status %2: %3")
            .arg(where)
            .arg(response.status)
            .arg(message);
    }
    case CURLE_OPERATION_TIMEDOUT:  // only the connect time-out is left to libcurl
        return QStringLiteral("Could not connect to the translation service at %1: no answer within %2 seconds.")
            .arg(where)
            .arg(connectSeconds);
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return QStringLiteral("Could not connect to the translation service at %1: %2").arg(where, response.curlMessage);
    default:
        return QStringLiteral("The request to the translation service at %1 failed: %2").arg(where, response.curlMessage);
    }
}

QByteArray ServiceClient::SendChunk(const QString& chunk, const QString& sourceCode, const QString& targetCode,
                                    const ProxySettings& proxy)
{
    const QByteArray body = FormField("v", QStringLiteral("2")) + '&' + FormField("q", chunk) + '&'
        + FormField("ui", QStringLiteral("en")) + '&' + FormField("from", LowerCode(sourceCode)) + '&'
        + FormField("to", LowerCode(targetCode)) + '&' + FormField("nl", QStringLiteral("1")) + '&'
        + FormField("esc", QStringLiteral("1")) + '&' + FormField("utf", QStringLiteral("1"));

    const QString target = m->serbianCyrillic ? WithQueryItem(m->endpoint, "serbian", "cyrillic") : m->endpoint;
    m->applyProxy(proxy);
    const Response post = m->perform(target, &body);
    if (post.succeeded())
        return post.body;
    if (post.tooLarge || post.location.isEmpty())
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

QByteArray ServiceClient::Fetch(const QString& address, const ProxySettings& proxy)
{
    m->applyProxy(proxy);
    const Response get = m->perform(address, nullptr);
    if (!get.succeeded())
        throw ServiceError(m->describeFailure(get, address).toStdString());
    return get.body;
}

QString ExtractTranslation(const QByteArray& reply)
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

    // the translation sits between the first and the last character (the quotes)
    const QList<uint> characters = text.toUcs4();
    if (characters.size() <= 2)
        return {};
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()) + 1, characters.size() - 2);
}
