#include "WavFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr uint32_t kHeaderBytes = 44;
// RIFF sizes are 32-bit: a file stops growing before it would overflow them.
constexpr uint32_t kMaxDataBytes = 0xFFFFFFFFu - kHeaderBytes;

void putLe(char* at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = char((value >> (8 * i)) & 0xFF);
}

QByteArray header(int sampleRate, uint32_t dataBytes)
{
    QByteArray h(kHeaderBytes, '\0');
    char* p = h.data();
    std::memcpy(p, "RIFF", 4);
    putLe(p + 4, 36 + dataBytes, 4);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    putLe(p + 16, 16, 4);  // format chunk size
    putLe(p + 20, 1, 2);   // PCM
    putLe(p + 22, 1, 2);   // mono
    putLe(p + 24, uint32_t(sampleRate), 4);
    putLe(p + 28, uint32_t(sampleRate) * 2, 4);
    putLe(p + 32, 2, 2);   // bytes per frame
    putLe(p + 34, 16, 2);  // bits per sample
    std::memcpy(p + 36, "data", 4);
    putLe(p + 40, dataBytes, 4);
    return h;
}

bool writeAll(int fd, const char* data, size_t bytes)
{
    while (bytes > 0) {
        const ssize_t n = ::write(fd, data, bytes);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        bytes -= size_t(n);
    }
    return true;
}

// Only letters, digits and '-' reach a file name.
QString safeTag(const QString& tag)
{
    QString out;
    for (QChar c : tag)
        if (out.size() < 32 && c.unicode() < 128 && (c.isLetterOrNumber() || c == u'-'))
            out += c;
    return out;
}

}  // namespace

WavFile::~WavFile() { close(); }

bool WavFile::create(const QString& folder, const QString& tag, int sampleRate)
{
    close();
    m_error.clear();
    m_dataBytes = 0;
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("cannot make the folder %1").arg(folder);
        return false;
    }
    static std::atomic<unsigned> sequence{0};
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString cleanTag = safeTag(tag);
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = QStringLiteral("speech-%1-%2-%3").arg(stamp).arg(::getpid()).arg(++sequence);
        if (!cleanTag.isEmpty())
            name += u'-' + cleanTag;
        const QString path = QDir(folder).filePath(name + QStringLiteral(".wav"));
        // O_EXCL never opens what is already there, a planted link included
        m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (m_fd >= 0) {
            m_path = path;
            const QByteArray h = header(sampleRate, 0);
            if (!writeAll(m_fd, h.constData(), size_t(h.size())))
                fail(QString::fromLocal8Bit(std::strerror(errno)));
            return isOpen();
        }
        if (errno != EEXIST) {
            m_error = QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    m_error = QStringLiteral("no free file name in %1").arg(folder);
    return false;
}

void WavFile::append(const int16_t* samples, int count)
{
    if (m_fd < 0 || count <= 0)
        return;
    const uint32_t bytes = uint32_t(count) * 2;
    if (bytes > kMaxDataBytes - m_dataBytes)
        return;  // full: the header could not say more
    static_assert(std::endian::native == std::endian::little, "WAV samples are written as they lie in memory");
    if (!writeAll(m_fd, reinterpret_cast<const char*>(samples), bytes)) {
        fail(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_dataBytes += bytes;
}

void WavFile::close()
{
    if (m_fd < 0)
        return;
    // the sample rate sits in the header already; only the two sizes change
    char size[4];
    putLe(size, 36 + m_dataBytes, 4);
    bool ok = ::pwrite(m_fd, size, 4, 4) == 4;
    putLe(size, m_dataBytes, 4);
    ok = ::pwrite(m_fd, size, 4, 40) == 4 && ok;
    if (::close(m_fd) != 0)
        ok = false;
    m_fd = -1;
    if (!ok && m_error.isEmpty())
        m_error = QStringLiteral("cannot finish %1").arg(m_path);
}

void WavFile::fail(const QString& reason)
{
    // a file whose header does not match its samples is worse than none
    m_error = QStringLiteral("cannot write %1: %2").arg(m_path, reason);
    ::close(m_fd);
    m_fd = -1;
    ::unlink(QFile::encodeName(m_path).constData());
}
