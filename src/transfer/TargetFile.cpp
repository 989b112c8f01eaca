#include "TargetFile.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TargetFile::~TargetFile() { Discard(); }

bool TargetFile::Open(const QString& path, QIODevice::OpenMode extraMode)
{
    Discard();
    struct stat old {};
    const bool exists = lstat(QFile::encodeName(path).constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return false;
    const QString folder = QFileInfo(path).path();
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        m_temporary = folder + QStringLiteral("/.transfer-")
                      + QString::number(QRandomGenerator::global()->generate64(), 36) + QStringLiteral(".part");
        // O_EXCL with O_NOFOLLOW: only ever a file of our own making, never a name someone put there.
        fd = ::open(QFile::encodeName(m_temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        m_temporary.clear();
        return false;
    }
    // A file that is replaced keeps its permissions (a program stays executable).
    if (exists && S_ISREG(old.st_mode))
        fchmod(fd, old.st_mode & 0777);
    if (!m_file.open(fd, QIODevice::WriteOnly | extraMode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        ::unlink(QFile::encodeName(m_temporary).constData());
        m_temporary.clear();
        return false;
    }
    m_path = path;
    return true;
}

bool TargetFile::Commit()
{
    if (m_temporary.isEmpty())
        return false;
    const bool written = m_file.flush() && m_file.error() == QFileDevice::NoError;
    m_file.close();
    // rename() replaces the entry itself: a link at the name goes, its target stays.
    if (!written
        || ::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_path).constData()) != 0) {
        Discard();
        return false;
    }
    m_temporary.clear();
    return true;
}

void TargetFile::Discard()
{
    if (m_file.isOpen())
        m_file.close();
    if (!m_temporary.isEmpty())
        ::unlink(QFile::encodeName(m_temporary).constData());
    m_temporary.clear();
}
