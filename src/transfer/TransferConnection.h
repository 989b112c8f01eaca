#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <string>

typedef void CURL;
typedef void CURLM;

// The root handle of a run: one libcurl easy handle (so connections, DNS and
// TLS sessions are reused from job to job) driven through a multi handle, so
// waiting for the network can keep the window live and honour Cancel.
class TransferConnection {
public:
    struct Settings {
        QString agent;
        QString proxy;           // empty: the system's (http_proxy and friends)
        QString proxyUser;
        QString proxyPassword;
        int connectTimeout = 15;  // seconds
        int stallTimeout = 60;    // seconds below one byte a second
    };
    // Called while waiting; returns True to give up (cancel).
    using Idle = std::function<bool()>;

    TransferConnection(const Settings& settings, Idle idle);
    ~TransferConnection();
    TransferConnection(const TransferConnection&) = delete;
    TransferConnection& operator=(const TransferConnection&) = delete;

    // Resets the handle for a new request and applies the common options.
    CURL* Prepare(const QString& url);
    CURL* Easy() const { return m_easy; }
    // Runs the prepared request to its end, keeping the window live while it
    // waits. Returns libcurl's result; gaveUp tells that the idle check ended it.
    int Perform(bool& gaveUp);
    CURLM* Multi() const { return m_multi; }
    const Idle& IdleFunction() const { return m_idle; }
    const Settings& Config() const { return m_settings; }

private:
    Settings m_settings;
    Idle m_idle;
    CURL* m_easy = nullptr;
    CURLM* m_multi = nullptr;
};

// A download read block by block: Open starts the request and waits for the
// response; Read hands out the body in pieces as the caller asks for them.
class CurlDownload {
public:
    CurlDownload(TransferConnection& connection, const QString& url, const QByteArray& authorization);
    ~CurlDownload();

    // False when the address could not be opened (or waiting was given up).
    bool Open();
    bool GaveUp() const { return m_gaveUp; }
    long Status() const;
    qint64 ContentLength() const;
    qint64 FileTime() const;  // seconds since 1970, -1 when the server sent none
    // Up to max bytes: the count, 0 at the end of the body, -1 on a failure.
    qint64 Read(char* buffer, qint64 max);
    // Why the last Read failed, or why Open did.
    QString ErrorText() const { return m_errorText; }
    void Close();

private:
    bool Drive();  // one round of waiting and transferring; False when done
    static size_t OnWrite(char* data, size_t size, size_t count, void* self);

    TransferConnection& m_connection;
    struct curl_slist* m_headers = nullptr;
    std::string m_buffer;  // keeps its capacity from refill to refill
    size_t m_taken = 0;
    bool m_attached = false;
    bool m_done = false;
    bool m_gaveUp = false;
    int m_result = 0;
    QString m_errorText;
};
