#include "AtomicFile.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString AtomicFile::linkEnd(const QString& path)
{
    QFileInfo info(path);
    for (int depth = 0; info.isSymLink() && depth < 40; ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.absoluteFilePath();
}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open(const QString& path, QIODevice::OpenMode extraMode, Link link)
{
    discard();
    m_error.clear();
    const QString target = link == Link::Follow ? linkEnd(path) : path;
    struct stat old {};
    const bool exists = lstat(QFile::encodeName(target).constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        failed(EISDIR);
        return false;
    }
    const QString folder = QFileInfo(target).path();
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        m_temporary = folder + QStringLiteral("/.") + QFileInfo(target).fileName() + QLatin1Char('-')
                      + QString::number(QRandomGenerator::global()->generate64(), 36) + QStringLiteral(".part");
        // O_EXCL with O_NOFOLLOW: only ever a file of our own making, never a name someone put there.
        fd = ::open(QFile::encodeName(m_temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        failed(errno);
        m_temporary.clear();
        return false;
    }
    // A file that is replaced keeps its permissions (a program stays executable).
    if (exists && S_ISREG(old.st_mode))
        fchmod(fd, old.st_mode & 0777);
    if (!m_file.open(fd, QIODevice::WriteOnly | extraMode, QFileDevice::AutoCloseHandle)) {
        m_error = m_file.errorString();
        ::close(fd);
        ::unlink(QFile::encodeName(m_temporary).constData());
        m_temporary.clear();
        return false;
    }
    m_path = target;
    return true;
}

qint64 AtomicFile::write(const char* data, qint64 size)
{
    errno = 0;
    const qint64 written = m_file.write(data, size);
    if (written != size && m_error.isEmpty())
        keepReason();
    return written;
}

bool AtomicFile::setPermissions(QFileDevice::Permissions permissions)
{
    // owner, group and others, three bits each, as chmod takes them
    const unsigned bits = unsigned(permissions.toInt());
    const mode_t mode = (((bits >> 12) & 7) << 6) | (((bits >> 4) & 7) << 3) | (bits & 7);
    if (::fchmod(m_file.handle(), mode) == 0)
        return true;
    failed(errno);
    return false;
}

void AtomicFile::keepReason()
{
    // a failed write (a full disk, a size limit) leaves Qt without a reason of its own
    if (errno != 0)
        failed(errno);
    else
        m_error = m_file.errorString();
}

bool AtomicFile::commit()
{
    if (m_temporary.isEmpty())
        return false;
    errno = 0;
    const bool written = m_file.flush() && m_file.error() == QFileDevice::NoError;
    if (!written && m_error.isEmpty())
        keepReason();
    // the data reaches the disk before the name does: a crash leaves the old file or the whole new one
    const bool synced = written && ::fsync(m_file.handle()) == 0;
    if (written && !synced)
        failed(errno);
    m_file.close();
    // rename() replaces the entry itself: a link at the name goes, its target stays.
    if (!synced) {
        discard();
        return false;
    }
    if (::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_path).constData()) != 0) {
        failed(errno);
        discard();
        return false;
    }
    m_temporary.clear();
    return true;
}

void AtomicFile::failed(int error) { m_error = QString::fromLocal8Bit(std::strerror(error)); }

void AtomicFile::discard()
{
    if (m_file.isOpen())
        m_file.close();
    if (!m_temporary.isEmpty())
        ::unlink(QFile::encodeName(m_temporary).constData());
    m_temporary.clear();
}

QString AtomicFile::writeWhole(const QString& path, const QByteArray& bytes, Link link)
{
    AtomicFile file;
    if (!file.open(path, {}, link))
        return file.errorString();
    // a short write leaves its reason on the file, and commit then gives up the new file
    const bool whole = file.write(bytes.constData(), bytes.size()) == bytes.size();
    if (!file.commit() || !whole)
        return file.errorString();
    return {};
}
