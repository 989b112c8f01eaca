#pragma once

#include "FtpListing.h"
#include "NetConnection.h"
#include "NetRequest.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// One logged-in FTP connection. The session has a connection of the HTTP
// layer to itself, whose control connection libcurl keeps alive between
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
    // Runs while waiting for the network.
    using Idle = std::function<void()>;
    // True asks a data transfer (Read, Store) to give up. Commands always run
    // to their end or time-out.
    using Cancelled = std::function<bool()>;

    FtpSession(const Options& options, Idle idle, Cancelled cancelled);
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
    // Size and modification time of a plain file; False when there is none.
    bool stat(const QString& name, FtpListEntry& entry);
    // The current directory's entries: the machine listing where the server
    // offers it, the classic listing otherwise.
    bool list(std::vector<FtpListEntry>& entries);

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
    // Fills buffer with up to max bytes: the count, 0 at the end, -1 on a
    // read failure, -2 to give up.
    using Source = std::function<qint64(char* buffer, qint64 max)>;
    StoreResult store(const QString& name, qint64 size, const Source& source);

    // Why the last request failed.
    QString errorText() const { return m_errorText; }

private:
    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static size_t onRead(char* data, size_t size, size_t count, void* self);

    // A new request for the path, on the session's connection.
    bool prepare(const QString& absolutePath, bool directory, const NetLimits& limits);
    bool prepare(const QString& absolutePath, bool directory) { return prepare(absolutePath, directory, limits()); }
    NetLimits limits() const;
    CURL* easy() const { return m_request ? m_request->handle() : nullptr; }
    int perform();
    void finish();
    // Sends commands on the control connection; True when the first one succeeded
    // (the later ones only report, as PWD after CWD).
    bool quote(const QStringList& commands);
    QString lastQuotedDirectory() const;

    Options m_options;
    Idle m_idle;
    Cancelled m_cancelled;
    NetConnection m_connection;
    Curl::List m_quote;
    std::unique_ptr<NetRequest> m_request;
    QByteArray m_baseUrl;
    QString m_cwd = QStringLiteral("/");
    QByteArray m_replies;    // control replies of the current request
    bool m_started = false;  // the server answered the transfer command with 1xx
    bool m_finished = false;
    int m_result = 0;
    enum class MlsdSupport { Unknown, Yes, No } m_mlsd = MlsdSupport::Unknown;
    QString m_errorText;
    const Source* m_source = nullptr;
    bool m_sourceFailed = false;
    bool m_sourceGaveUp = false;
};
