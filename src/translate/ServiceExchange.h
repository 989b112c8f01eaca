#pragma once

#include "ProxySettings.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <utility>
#include <stdexcept>

// A failed exchange with the translation service that the fallback did not
// absorb. what() is the message shown to the user, in UTF-8.
class ServiceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The exchange was abandoned because its caller cancelled it.
class ServiceCancelled : public ServiceError {
public:
    ServiceCancelled() : ServiceError("The translation was stopped.") {}
};

// The window's HTTP client (`http`), on the process's HTTP layer: the
// service's cookies kept for the whole process and shared by every client on
// every thread, redirects followed, proxy applied before every request,
// bounded connect and stall time-outs.
class ServiceClient {
public:
    // endpoint: absolute http:// address of the service's translate form.
    explicit ServiceClient(QString endpoint = defaultEndpoint());
    ~ServiceClient();
    ServiceClient(const ServiceClient&) = delete;
    ServiceClient& operator=(const ServiceClient&) = delete;

    // One request and its reply bytes: the POST of the form, and on failure
    // the GET of the last response's Location. Throws ServiceError.
    QByteArray sendChunk(const QString& chunk, const QString& sourceCode, const QString& targetCode,
                         const ProxySettings& proxy);

    // A whole document (its bytes and a format such as "docx" or "html") through the
    // service's document route beside the form's address; the translated
    // document's bytes. While the service answers 503 with Retry-After (busy
    // with other documents) it is asked again, for up to ten minutes. Throws ServiceError.
    // job: a token of 8 to 64 of A-Z, a-z, 0-9 and "-" that DocumentProgress asks about; empty: none.
    QByteArray sendDocument(const QByteArray& document, const QString& format, const QString& sourceCode,
                            const QString& targetCode, const ProxySettings& proxy, const QString& job = {});

    // How far the service is with the document sent with this job: {done, total} pieces
    // (total 0 while it is still read). None when the service does not say: it has no
    // such document (not yet, or no more), or no progress route. Throws ServiceError only
    // for a proxy it cannot use, ServiceCancelled when stopped.
    std::optional<std::pair<qint64, qint64>> documentProgress(const QString& job, const ProxySettings& proxy);
    // Asks the service to stop the document sent with this job (DELETE of its progress), for a
    // proxy that keeps the document's connection open after its client has gone. Best effort:
    // true when the service took it, false for anything else; never throws.
    bool stopDocument(const QString& job, const ProxySettings& proxy);
    // A new random job token.
    static QString newJob();

    // One GET of another page of the service (its list of pairs) and the
    // reply's body. Throws ServiceError.
    QByteArray fetch(const QString& address, const ProxySettings& proxy);

    QString endpoint() const;

    // Time-outs (seconds): connecting, and a transfer that stalls; tests shorten them.
    void setTimeouts(int connectSeconds, int stallSeconds);
    // Largest reply kept (64 MiB by default); a larger one fails the request.
    void setReplyLimit(qsizetype bytes);
    // Serbian output in Cyrillic: asked of the built-in service in the
    // address, which other services ignore. Any thread may set it.
    void setSerbianCyrillic(bool on);

    // A flag another thread may raise: a request under way then ends within
    // a second and throws ServiceCancelled. Null: never cancelled.
    void setCancelFlag(const std::atomic<bool>* cancelled);

    // The built-in service's address, or LINGUARO_SERVICE_URL when set.
    static QString defaultEndpoint();
    // The address the built-in service listens on when nothing is configured:
    // port 47210, or LINGUARO_SERVICE_PORT when set.
    static QString builtInEndpoint();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

// The translation out of a reply: the quoted, backslash-escaped string with
// its line-break escapes turned into spaces and paragraph breaks. Never fails.
QString extractTranslation(const QByteArray& reply);
// The same translation as the reply writes its lines, which ExtractTranslation joins with
// spaces: a blank line is one of blanks, and the reply's last line break leaves an empty last line.
QStringList extractLines(const QByteArray& reply);
