#pragma once

#include "NetConnection.h"
#include "NetRequest.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// One logged-in FTP connection. The session has a connection of the network
// layer to itself, whose control connection the client keeps alive between
// requests, so every request made through one session after Connect runs
// without a new login; time-outs and Cancel are the layer's. The current remote directory is
// tracked here and every command names absolute paths, so nothing depends on
// where the server's own working directory happens to be.
class FtpSession {
public:
    struct Options {
        QString host;
        int port = 21;
        QString user;  // both user and password set: that account; else anonymous
        QString password;
        bool passive = false;
        int connectTimeout = 15;  // seconds
        int stallTimeout = 60;    // seconds without a byte moving, or without a reply
    };
    // True asks a data transfer (Read, Store) to give up. Commands always run
    // to their end or time-out.
    using Cancelled = std::function<bool()>;

    FtpSession(const Options& options, Cancelled cancelled);
    ~FtpSession();
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    // Logs in and learns the starting directory.
    bool connect();

    QString cwd() const { return m_cwd; }
    void setCwd(const QString& dir) { m_cwd = dir; }
    // An absolute remote path for a path relative to the current directory.
    QString resolve(const QString& path) const;

    bool changeDir(const QString& dir);
    bool makeDir(const QString& name);
    bool Delete(const QString& name);
    // Size and modification time (invalid when unknown) of a plain file; False when there is none.
    bool stat(const QString& name, quint64& size, QDateTime& modified);
    // The current directory's listing: the machine listing where the server
    // offers it (machineForm), the classic listing otherwise.
    bool list(QByteArray& listing, bool& machineForm);

    // Download: OpenRead waits until the server starts sending (False when the
    // file cannot be retrieved); Read hands the data out in pieces.
    bool openRead(const QString& name);
    // Bytes read, 0 at the end, -1 when the transfer failed or was given up.
    qint64 read(char* buffer, qint64 max);
    bool gaveUp() const { return m_request && m_request->result().cancelled; }
    // The size the server announced for the open download, -1 when unknown.
    qint64 remoteSize() const;
    void closeRead();

    enum class StoreResult { Done, Refused, SourceFailed, GaveUp, BrokenOff };
    using Source = NetRequest::Source;
    StoreResult store(const QString& name, qint64 size, const Source& source);

    // Why the last request failed.
    QString errorText() const { return m_errorText; }

private:
    void onReply(const QByteArray& line);

    // A new request for the path, on the session's connection.
    bool prepare(const QString& absolutePath, bool directory, const NetLimits& limits);
    bool prepare(const QString& absolutePath, bool directory) { return prepare(absolutePath, directory, limits()); }
    NetLimits limits() const;
    void* easy() const { return m_request ? m_request->easy() : nullptr; }
    bool perform();
    void finish();
    // Sends commands on the control connection; True when the first one succeeded
    // (the later ones only report, as PWD after CWD).
    bool quote(const QStringList& commands);
    QString lastQuotedDirectory() const;

    Options m_options;
    Cancelled m_cancelled;
    NetConnection m_connection;
    std::shared_ptr<void> m_quote;  // the client's list of the quoted commands, kept while the request lives
    std::unique_ptr<NetRequest> m_request;
    QByteArray m_baseUrl;
    QString m_cwd = QStringLiteral("/");
    QByteArray m_replies;    // control replies of the current request
    bool m_started = false;  // the server answered the transfer command with 1xx
    bool m_finished = false;
    bool m_ok = true;
    enum class MlsdSupport { Unknown, Yes, No } m_mlsd = MlsdSupport::Unknown;
    QString m_errorText;
};
