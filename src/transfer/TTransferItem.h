#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Job kinds, in the order callers rely on (ordinal values from 0).
enum TTransferProtocol {
    tpHttp,
    tpFtp,
    tpFile,
    tpFtpUpload,
    tpHttpUpload,
    tpMultiFtp,
    tpMultiFtpUpload,
    tpFtpDelete,
    tpFtpList,
    tpFtpTest
};

enum TTransferHTTPCommand { hcPost, hcPut };

enum TTransferAuthentication { taNever, taAlways, taAuto };

// A 64-bit file time: 100-nanosecond units since 1 January 1601, as two halves.
struct TFileTime {
    quint32 dwLowDateTime = 0;
    quint32 dwHighDateTime = 0;
};

// One entry of a remote listing.
struct TFileDetailItem {
    quint32 Attributes = 0;
    QString FileName;
    quint32 SizeLow = 0;
    quint32 SizeHigh = 0;
    TFileTime LastWriteTime;
};

class TFileDetailItems {
public:
    TFileDetailItem* Add();
    int Count() const { return int(m_items.size()); }
    TFileDetailItem& operator[](int i) { return *m_items.at(size_t(i)); }
    const TFileDetailItem& operator[](int i) const { return *m_items.at(size_t(i)); }

private:
    std::vector<std::unique_ptr<TFileDetailItem>> m_items;
};

// One job of a transfer run. Fields marked "result" are written by the run.
class TTransferItem {
public:
    QString URL;
    QString TargetDir;
    QString TargetFilename;
    TTransferProtocol Protocol = tpHttp;
    TTransferHTTPCommand HTTPCommand = hcPost;
    QString FTPHost;
    QString FTPUserID;
    QString FTPPassword;
    int FTPPort = 21;
    bool Active = true;
    bool Success = false;  // result
    bool CopyNewerOnly = false;
    double FileDate = 0;
    bool NoNewFile = false;  // result
    double NewFileDate = 0;  // result
    TTransferAuthentication Authenticate = taNever;
    QString HTTPUserID;
    QString DisplayURL;
    QString HTTPPassword;
    quint32 ExpectedSize = 0;
    bool Cancelled = false;                         // result
    std::unique_ptr<QStringList> FileList;          // result of a listing, or none
    std::unique_ptr<TFileDetailItems> FileDetails;  // result of a listing, or none

    // Copies the published fields (not the results); a null source does nothing.
    void Assign(const TTransferItem* source);
};

// The job list of one component.
class TTransferItems {
public:
    TTransferItem* Add();
    void Clear() { m_items.clear(); }
    int Count() const { return int(m_items.size()); }
    int ActiveCount() const;
    TTransferItem& operator[](int i) { return *m_items.at(size_t(i)); }
    const TTransferItem& operator[](int i) const { return *m_items.at(size_t(i)); }

private:
    std::vector<std::unique_ptr<TTransferItem>> m_items;
};
