#include "TTransfer.h"

#include "FtpListing.h"
#include "FtpSession.h"
#include "AtomicFile.h"
#include "TransferNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace TransferNames;

// The kept connection of a run: the session and its key (host + user +
// password). The session itself knows the folder it is in; no second record
// of it is kept that could fall out of step.
struct TTransferFtpState {
    std::unique_ptr<FtpSession> kept;
    QString key;
};

void TTransfer::FtpStateDeleter::operator()(TTransferFtpState* state) const { delete state; }

namespace {

constexpr qint64 kBlockSize = 4096;

double entryDate(const FtpListEntry& entry)
{
    // A server that gives no date counts as "now", as for the HTTP download.
    return serverDateTime(entry.modified.isValid() ? entry.modified.toSecsSinceEpoch() : -1);
}

QString slashed(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

}  // namespace

// The FTP side of one job: its connection, and the steps the job kinds share.
class TTransferFtp {
public:
    TTransferFtp(TTransfer& transfer, TTransferItem& item) : t(transfer), item(item)
    {
        if (!t.m_ftp)
            t.m_ftp.reset(new TTransferFtpState);
    }

    TTransferFtpState& state() { return *t.m_ftp; }
    QString key() const { return item.FTPHost + item.FTPUserID + item.FTPPassword; }

    // The kept session when the key matches (unless a new one is wanted), else
    // a new login; null after the connect error was reported.
    FtpSession* connect(bool alwaysNew, bool keep)
    {
        TTransferFtpState& st = state();
        if (!alwaysNew && st.kept && st.key == key())
            return session = st.kept.get();
        FtpSession::Options options;
        options.host = item.FTPHost;
        options.port = int(quint16(item.FTPPort));
        options.user = item.FTPUserID;
        options.password = item.FTPPassword;
        options.passive = t.FTPPassive;
        options.connectTimeout = t.ConnectTimeout;
        options.stallTimeout = t.StallTimeout;
        TTransfer* owner = &t;
        auto fresh = std::make_unique<FtpSession>(options, [owner] { return owner->m_cancel.load(); });
        if (!fresh->connect()) {
            t.FireError(6, QStringLiteral("Cannot connect to FTP server ") + item.FTPHost);
            return session = nullptr;
        }
        if (keep) {
            st.kept = std::move(fresh);
            st.key = key();
            return session = st.kept.get();
        }
        own = std::move(fresh);
        return session = own.get();
    }

    // Ends this job's use of the connection: without keep it is closed (and
    // nothing stays kept); with keep the directory the job left is restored.
    void finish(bool keep, bool changed, const QString& savedDir)
    {
        if (!keep) {
            close();
            return;
        }
        if (changed && session)
            session->setCwd(savedDir.isEmpty() ? QStringLiteral("/") : savedDir);
    }

    void close()
    {
        TTransferFtpState& st = state();
        own.reset();
        st.kept.reset();
        st.key.clear();
        session = nullptr;
    }

    struct DirChange {
        bool changed = false;
        bool entered = true;
        QString saved;
    };
    // The directory part of a remote path (up to its last "/") is entered.
    DirChange enterRemoteDir(const QString& url)
    {
        DirChange change;
        if (!url.contains(QLatin1Char('/')))
            return change;
        QString dir = url;
        while (!dir.endsWith(QLatin1Char('/')))
            dir.chop(1);
        change.saved = session->cwd();
        change.changed = true;
        change.entered = session->changeDir(dir);
        return change;
    }

    // Enters a remote directory, creating the components that are missing.
    bool enterOrCreate(const QString& targetDir)
    {
        if (targetDir.isEmpty() || session->changeDir(targetDir))
            return true;
        const QString dir = slashed(targetDir);
        // An absolute folder is built from the root, not below the current folder.
        if (dir.startsWith(QLatin1Char('/')) && !session->changeDir(QStringLiteral("/")))
            return false;
        for (const QString& part : dir.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            if (session->changeDir(part))
                continue;
            if (!session->makeDir(part) || !session->changeDir(part))
                return false;
        }
        return true;
    }

    // File line, a new login, the folder of url entered and its entries listed.
    enum class Listing { NoConnection, Failed, Listed };
    Listing listRemote(const QString& url, bool keep, DirChange& dir, std::vector<FtpListEntry>& entries)
    {
        t.SetFileLine(urlFileName(url), t.ShowServer, t.DlgFromServerLabel, item.FTPHost);
        if (!connect(true, keep))
            return Listing::NoConnection;
        dir = enterRemoteDir(url);
        return dir.entered && list(entries) ? Listing::Listed : Listing::Failed;
    }

    bool list(std::vector<FtpListEntry>& entries)
    {
        QByteArray listing;
        bool machineForm = false;
        if (!session->list(listing, machineForm))
            return false;
        entries = machineForm ? parseMlsdListing(listing) : parseListListing(listing, QDate::currentDate());
        return true;
    }

    // Size and date of a remote plain file; False when there is none.
    bool stat(const QString& name, FtpListEntry& entry)
    {
        entry = FtpListEntry();
        entry.name = name.section(QLatin1Char('/'), -1);
        return session->stat(name, entry.size, entry.modified);
    }

    bool download(int idx, const QString& url, const QString& targetName, bool keep, double& workingDate,
                  bool& noNewFile, bool setFileLine);
    bool upload(int idx, const QString& source, const QString& remoteDir, const QString& remoteName, bool keep,
                double& workingDate, bool& noNewFile);

    TTransfer& t;
    TTransferItem& item;
    std::unique_ptr<FtpSession> own;  // a connection this job does not keep
    FtpSession* session = nullptr;
};

bool TTransferFtp::download(int idx, const QString& url, const QString& targetName, bool keep, double& workingDate,
                            bool& noNewFile, bool setFileLine)
{
    if (setFileLine) {
        t.SetFileLine(urlFileName(url), t.ShowServer, t.DlgFromServerLabel, item.FTPHost);
    }
    if (!connect(false, keep))
        return false;
    const DirChange dir = enterRemoteDir(url);
    const QString name = urlFileName(url);
    // A folder that cannot be entered holds nothing to fetch; looking for the
    // name in the folder we happen to be in could fetch the wrong file.
    if (!dir.entered) {
        t.fire(t.OnURLNotFound, url);
        finish(keep, dir.changed, dir.saved);
        return false;
    }

    quint32 total = 0;
    FtpListEntry entry;
    if (stat(name, entry)) {
        total = quint32(entry.size & 0xffffffffULL);
        if (t.DateCheckWanted(item) && !t.CheckDate(idx, name, entryDate(entry), workingDate, noNewFile)) {
            finish(keep, dir.changed, dir.saved);
            return false;
        }
    }

    if (!session->openRead(name)) {
        t.fire(t.OnURLNotFound, url);
        finish(keep, dir.changed, dir.saved);
        return false;
    }
    if (total == 0 && session->remoteSize() > 0)
        total = quint32(quint64(session->remoteSize()) & 0xffffffffULL);

    const QString fileName = targetName.isEmpty() ? name : targetName;
    QString path = pathJoin(item.TargetDir, fileName);
    t.RememberTarget(path, item.TargetDir);
    const auto abandon = [&] {
        session->closeRead();
        finish(keep, dir.changed, dir.saved);
        return false;
    };
    const auto cannotCreate = [&] {
        abandon();
        t.FireError(3, QStringLiteral("Cannot create target file ") + path);
        return false;
    };
    AtomicFile file;
    switch (t.OpenTarget(file, path, fileName, targetName.isEmpty())) {
    case TTransfer::TargetOpen::Opened:
        break;
    case TTransfer::TargetOpen::Refused:
        return abandon();
    case TTransfer::TargetOpen::CannotCreate:
        return cannotCreate();
    }

    t.resetCancel();
    const qint64 start = TTransfer::TickCount();
    quint32 done = 0;
    qint64 last = kBlockSize;
    bool readFailed = false;
    char block[kBlockSize];
    while (last != 0 && !t.m_cancel) {
        last = session->read(block, kBlockSize);
        if (last < 0) {
            readFailed = !session->gaveUp();
            break;
        }
        if (last > 0 && file.write(block, last) != last) {
            file.discard();
            abandon();
            throw ETransferIOError((QStringLiteral("Error writing to destination file ") + path).toStdString());
        }
        done += quint32(last);
        t.ShowProgress(done, total, start, t.DlgDwnload);
        t.FireProgress(done, total);
    }
    // A transfer that broke off is no download: the piece does not take the file's place.
    // A cancelled one does: its partial file stays.
    if (readFailed) {
        file.discard();
    } else if (!file.commit()) {
        abandon();
        throw ETransferIOError((QStringLiteral("Error writing to destination file ") + path).toStdString());
    }
    session->closeRead();
    const QString reason = session->errorText();
    finish(keep, dir.changed, dir.saved);
    if (readFailed) {
        t.FireError(4, QStringLiteral("Error reading source file ") + url + QStringLiteral(" (") + reason
                           + QLatin1Char(')'));
        return false;
    }
    return true;  // also when cancelled: the partial file stays
}

bool TTransferFtp::upload(int idx, const QString& source, const QString& remoteDir, const QString& remoteName,
                          bool keep, double& workingDate, bool& noNewFile)
{
    t.SetAnimation(TTransferClip::Upload);
    t.SetFileLine(urlFileName(source), true, t.DlgToServerLabel, item.FTPHost);
    if (!connect(false, keep))
        return false;
    const QString saved = session->cwd();
    const bool changed = !remoteDir.isEmpty();
    if (!enterOrCreate(remoteDir)) {
        finish(keep, changed, saved);
        return false;
    }

    if (t.DateCheckWanted(item)) {
        FtpListEntry entry;
        if (stat(remoteName, entry)) {
            bool allow = true;
            t.fire(t.OnCopyOverWrite, remoteName, allow);
            const double newdate = entryDate(entry);
            if (allow && t.OnFileDateCheck) {
                workingDate = newdate;
                t.fire(t.OnFileDateCheck, idx, newdate, allow);
            } else if (allow) {
                // An upload goes ahead only when the remote copy is not later.
                const double compared = workingDate;
                workingDate = newdate;
                if (newdate > compared) {
                    allow = false;
                    noNewFile = true;
                    t.fire(t.OnNoNewFileFound, remoteName, compared, newdate);
                }
            }
            if (!allow) {
                finish(keep, changed, saved);
                return false;
            }
        }
    }

    // The local source is opened before the remote file is created, so a
    // missing source leaves no empty file behind on the server.
    QFile file(source);
    if (!QFileInfo(source).isFile() || !file.open(QIODevice::ReadOnly)) {
        finish(keep, changed, saved);
        t.fire(t.OnURLNotFound, source);
        t.FireError(1, QStringLiteral("Cannot open source file ") + source);
        return false;
    }
    t.RememberTarget(source, remoteDir);
    const qint64 size = file.size();
    const quint32 total = quint32(quint64(size) & 0xffffffffULL);
    t.resetCancel();
    const qint64 start = TTransfer::TickCount();
    quint32 sent = 0;
    const FtpSession::Source read = [&](char* buffer, qint64 max) -> qint64 {
        if (t.m_cancel)
            return -2;
        const qint64 n = file.read(buffer, std::min(max, kBlockSize));
        if (n <= 0)
            return n;
        sent += quint32(n);
        t.ShowProgress(sent, total, start, t.DlgUpload);
        t.FireProgress(sent, total);
        return n;
    };
    const QString remotePath = session->resolve(remoteName);
    const FtpSession::StoreResult stored = session->store(remoteName, size, read);
    const QString reason = session->errorText();
    file.close();
    finish(keep, changed, saved);
    switch (stored) {
    case FtpSession::StoreResult::Done:
    case FtpSession::StoreResult::GaveUp:
        return true;
    case FtpSession::StoreResult::Refused:
        t.fire(t.OnURLNotFound, source);
        return false;
    case FtpSession::StoreResult::SourceFailed:
        throw ETransferIOError((QStringLiteral("Error reading source file ") + source).toStdString());
    case FtpSession::StoreResult::BrokenOff:
        break;
    }
    t.FireError(5, QStringLiteral("Error writing to destination file ") + remotePath + QStringLiteral(" (") + reason
                       + QLatin1Char(')'));
    return false;
}

void TTransfer::FtpRunEnd()
{
    if (!m_ftp)
        return;
    m_ftp->kept.reset();
    m_ftp->key.clear();
}

bool TTransfer::FtpDownload(int idx, TTransferItem& item, bool keep, double& workingDate, bool& noNewFile)
{
    TTransferFtp ftp(*this, item);
    return ftp.download(idx, item.URL, item.TargetFilename, keep, workingDate, noNewFile, true);
}

bool TTransfer::FtpUpload(int idx, TTransferItem& item, bool keep, double& workingDate, bool& noNewFile)
{
    TTransferFtp ftp(*this, item);
    const QString remoteName = item.TargetFilename.isEmpty() ? urlFileName(item.URL) : item.TargetFilename;
    return ftp.upload(idx, item.URL, item.TargetDir, remoteName, keep, workingDate, noNewFile);
}

bool TTransfer::MultiFtpDownload(int, TTransferItem& item, double& workingDate, bool& noNewFile)
{
    TTransferFtp ftp(*this, item);
    const QString url = slashed(item.URL);
    TTransferFtp::DirChange dir;
    std::vector<FtpListEntry> entries;
    const auto listing = ftp.listRemote(url, true, dir, entries);
    if (listing == TTransferFtp::Listing::NoConnection)
        return false;
    if (listing == TTransferFtp::Listing::Failed) {
        fire(OnURLNotFound, item.URL);
        ftp.finish(true, dir.changed, dir.saved);
        return false;
    }
    const QString pattern = urlFileName(url);
    QStringList names;
    for (const FtpListEntry& entry : entries)
        if (ftpPatternMatches(pattern, entry.name))
            names << entry.name;

    for (int i = 0; i < names.size(); ++i) {
        const QString& name = names[i];
        SetFileLineWithPrefix(FileLinePrefix(i + 1, int(names.size())), name, ShowServer, DlgFromServerLabel,
                              item.FTPHost);
        // A listed name is only ever a plain name inside TargetDir.
        if (isSafeListingName(name)) {
            TTransferFtp file(*this, item);
            file.download(i, name, name, true, workingDate, noNewFile, false);
        } else {
            FireError(3, QStringLiteral("Cannot create target file ") + name);
        }
        fire(OnMultiFTPFileDone, name);
        // Each file's download starts afresh; a Cancel stops the whole job.
        if (m_cancel)
            break;
    }
    if (dir.changed && m_ftp->kept)
        m_ftp->kept->setCwd(dir.saved.isEmpty() ? QStringLiteral("/") : dir.saved);
    return true;
}

bool TTransfer::MultiFtpUpload(int idx, TTransferItem& item, bool keep, double& workingDate, bool& noNewFile)
{
    TTransferFtp ftp(*this, item);
    SetAnimation(TTransferClip::Upload);
    SetFileLine(urlFileName(item.URL), true, DlgToServerLabel, item.FTPHost);
    // The files below share this one login.
    if (!ftp.connect(true, true))
        return false;
    const QString saved = ftp.session->cwd();
    if (!ftp.enterOrCreate(item.TargetDir)) {
        ftp.finish(keep, true, saved);
        return false;
    }

    const QString pattern = slashed(item.URL);
    const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash >= 0 ? pattern.left(slash + 1) : QString();
    QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QStringList names =
        dir.entryList({pattern.mid(slash + 1)}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDir::Unsorted);
    for (const QString& name : names) {
        // Already in the target folder: each file goes right here.
        TTransferFtp file(*this, item);
        file.upload(idx, folder + name, QString(), name, true, workingDate, noNewFile);
        fire(OnMultiFTPFileDone, name);
        if (m_cancel)
            break;
    }
    ftp.close();
    return true;
}

bool TTransfer::FtpDelete(int idx, TTransferItem& item, bool keep)
{
    TTransferFtp ftp(*this, item);
    SetAnimation(TTransferClip::Upload);
    SetFileLine(urlFileName(item.URL), true, DlgToServerLabel, item.FTPHost);
    if (!ftp.connect(false, keep))
        return false;
    // The folder is entered unless the session is really in it already; a
    // kept connection comes back to the folder its last job started from.
    if (!item.TargetDir.isEmpty() && ftp.session->resolve(item.TargetDir) != ftp.session->cwd()
        && !ftp.session->changeDir(item.TargetDir))
        return false;
    const QString name = item.TargetFilename.isEmpty() ? urlFileName(item.URL) : item.TargetFilename;
    if (ftp.session->Delete(name))
        fire(OnRemovedFile, idx);
    else
        fire(OnRemovedFileFailed, idx);
    if (!keep)
        ftp.close();
    return true;
}

bool TTransfer::FtpList(int, TTransferItem& item)
{
    TTransferFtp ftp(*this, item);
    const QString url = slashed(item.URL);
    TTransferFtp::DirChange dir;
    std::vector<FtpListEntry> entries;
    const auto listing = ftp.listRemote(url, false, dir, entries);
    if (listing == TTransferFtp::Listing::NoConnection)
        return false;
    const bool listed = listing == TTransferFtp::Listing::Listed;
    item.FileList = std::make_unique<QStringList>();
    item.FileDetails = std::make_unique<TFileDetailItems>();
    ftp.close();
    // A folder that cannot be listed is reported, not passed off as empty.
    if (!listed) {
        fire(OnURLNotFound, item.URL);
        return false;
    }
    const QString pattern = urlFileName(url);
    int position = 0;
    for (const FtpListEntry& entry : entries) {
        if (!ftpPatternMatches(pattern, entry.name))
            continue;
        item.FileList->append(entry.name);
        *item.FileDetails->Add() = ftpEntryToDetailItem(entry);
        if (++position > 1) {
            const QString line = QString::number(position) + QLatin1Char(' ') + entry.name;
            toDialog([line](TTransferProgressView& d) { d.setFileLine(line); });
        }
    }
    return true;
}

bool TTransfer::FtpTest(int, TTransferItem& item)
{
    TTransferFtp ftp(*this, item);
    SetAnimation(TTransferClip::Upload);
    if (!ftp.connect(false, false))
        return false;
    ftp.close();
    return true;
}
