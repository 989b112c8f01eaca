#include "TTransfer.h"

#include "NetworkShare.h"
#include "AtomicFile.h"
#include "TransferNames.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <optional>

using namespace TransferNames;

namespace {
constexpr qint64 CopyBlockSize = 16384;

QString withoutFilePrefix(const QString& url)
{
    return url.startsWith(QLatin1String("FILE://"), Qt::CaseInsensitive) ? url.mid(7) : url;
}

QString directoryPart(const QString& path)
{
    const qsizetype cut = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.left(cut + 1);
}

bool sameFile(const QString& source, const QString& target)
{
    if (source == target)
        return true;
    // Two spellings of one file: copying would truncate the source before reading it.
    // A link at the target is an entry of its own: the copy replaces it, never the file it leads to.
    struct stat a {
    }, b{};
    return stat(QFile::encodeName(source).constData(), &a) == 0 && lstat(QFile::encodeName(target).constData(), &b) == 0
           && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
}  // namespace

bool TTransfer::FileCopy(int idx, TTransferItem& item, double& workingDate, bool& noNewFile)
{
    SetAnimation(TTransferClip::CopyFiles);
    const QString name = urlFileName(item.URL);
    SetFileLine(name, true, DlgFromServerLabel, item.FTPHost.isEmpty() ? directoryPart(item.URL) : item.FTPHost);

    std::optional<NetworkShare> share;
    const auto copy = [&]() -> bool {
        if (!item.FTPHost.isEmpty()) {
            share.emplace(item.FTPHost);
            if (!share->connect(item.FTPUserID, item.FTPPassword)) {
                fire(OnConnectError);
                return false;
            }
        }
        const qint64 start = TickCount();
        QString source = withoutFilePrefix(item.URL);
        if (share)
            source = pathJoin(share->localPath(), source);
        const QString fileName = item.TargetFilename.isEmpty() ? name : item.TargetFilename;
        QString target = pathJoin(item.TargetDir, fileName);
        RememberTarget(target, item.TargetDir);

        if (sameFile(source, target)) {
            FireError(0, QStringLiteral("Cannot copy identical files ") + source);
            return false;
        }
        // Only a regular file has a length to copy; opening a pipe could wait forever.
        struct stat info {};
        if (stat(QFile::encodeName(source).constData(), &info) == 0 && !S_ISREG(info.st_mode)
            && !S_ISDIR(info.st_mode)) {
            FireError(2, QStringLiteral("Zero length source file ") + source);
            return false;
        }
        QFile in(source);
        if (QFileInfo(source).isDir() || !in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            FireError(1, QStringLiteral("Cannot open source file ") + source);
            return false;
        }
        if (DateCheckWanted(item)
            && !CheckDate(idx, source, dateTimeFromLocal(QFileInfo(source).lastModified()), workingDate, noNewFile))
            return false;
        if (fstat(in.handle(), &info) != 0 || !S_ISREG(info.st_mode)) {
            FireError(2, QStringLiteral("Zero length source file ") + source);
            return false;
        }
        const quint32 size = quint32(info.st_size);
        AtomicFile out;
        switch (OpenTarget(out, target, fileName, item.TargetFilename.isEmpty(), QIODevice::Unbuffered)) {
        case TargetOpen::Opened:
            break;
        case TargetOpen::Refused:
            return false;
        case TargetOpen::CannotCreate:
            FireError(3, QStringLiteral("Cannot create target file ") + target);
            return false;
        }

        resetCancel();
        std::vector<char> buffer(CopyBlockSize);
        quint32 done = 0;
        qint64 read = 0;
        qint64 written = 0;
        do {
            read = in.read(buffer.data(), CopyBlockSize);
            if (read < 0) {
                FireError(4, QStringLiteral("Error reading source file ") + source);
                return false;
            }
            written = read > 0 ? out.write(buffer.data(), read) : 0;
            // A write that stores less than was read (a full disk) is a failed copy.
            if (written != read) {
                FireError(5, QStringLiteral("Error writing to destination file ") + target);
                return false;
            }
            done += quint32(written);
            ShowProgress(done, size, start, DlgCopying, true);
            FireProgress(done, size);
        } while (read > 0 && !m_cancel);
        // Complete, or cancelled with its partial file kept; a failure above left the target as it was.
        if (!out.commit()) {
            FireError(5, QStringLiteral("Error writing to destination file ") + target);
            return false;
        }
        return true;
    };

    bool result = copy();
    if (share && !share->disconnect()) {
        fire(OnConnectError);
        result = false;
    }
    return result;
}
