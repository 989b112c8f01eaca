#pragma once

#include "NetConnection.h"
#include "NetLimits.h"
#include "NetProxy.h"
#include "NetRequest.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <functional>
#include <memory>

// The root handle of a run: what every request of the run shares (agent,
// proxy, limits, Cancel) and a connection of the network layer that reuses
// connections, DNS answers and TLS sessions from job to job and closes them
// when the run ends.
class TransferConnection {
public:
    struct Settings {
        QString agent;
        NetProxy proxy;
        NetLimits limits;
    };
    // True once the run is to give up.
    using Cancelled = std::function<bool()>;

    TransferConnection(Settings settings, Cancelled cancelled);
    TransferConnection(const TransferConnection&) = delete;
    TransferConnection& operator=(const TransferConnection&) = delete;

    // A request for url with the run's common options applied: redirects
    // followed, web and FTP addresses and local files.
    std::unique_ptr<NetRequest> request(const QString& url) const;
    const Settings& config() const { return m_settings; }

    // The run's proxy choice from the component's properties: its own Proxy,
    // else the session's; the credentials only when both are given.
    static NetProxy proxyFor(const QString& proxy, const QString& user, const QString& password);

private:
    Settings m_settings;
    Cancelled m_cancelled;
    mutable NetConnection m_connection;
};

// A download read block by block: open starts the request and waits for the
// response; read hands out the body in pieces as the caller asks for them.
class BlockDownload {
public:
    BlockDownload(TransferConnection& connection, const QString& url, const QByteArray& authorization);

    // False when the address could not be opened (or waiting was given up).
    bool open();
    bool gaveUp() const { return m_request->result().cancelled; }
    long status() const { return m_request->status(); }
    qint64 contentLength() const { return std::max<qint64>(m_request->contentLength(), 0); }
    qint64 fileTime() const { return m_request->fileTime(); }  // seconds since 1970, -1 when the server sent none
    // Up to max bytes: the count, 0 at the end of the body, -1 on a failure.
    qint64 read(char* buffer, qint64 max);
    // Why the last read failed, or why open did.
    QString errorText() const { return m_errorText; }

private:
    std::unique_ptr<NetRequest> m_request;
    QString m_errorText;
};
