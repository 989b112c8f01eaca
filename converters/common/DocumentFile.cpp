#include "DocumentFile.h"

#include "ConversionError.h"
#include "TextBuilder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

DocumentFile DocumentFile::read(const std::string& path, std::uint64_t maxBytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw ConversionError(std::string("cannot open the document: ") + std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw ConversionError("not a regular file");
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        ::close(fd);
        throw ConversionError("the document is too large (" + std::to_string(info.st_size >> 20) + " MB)");
    }
    DocumentFile file;
    file.m_bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < file.m_bytes.size()) {
        const ssize_t got = ::read(fd, file.m_bytes.data() + done, file.m_bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            throw ConversionError(std::string("cannot read the document: ") + std::strerror(error));
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    file.m_bytes.resize(done);
    ::close(fd);
    return file;
}

DocumentFile::Kind DocumentFile::kind() const
{
    if (m_bytes.empty())
        return Kind::Empty;
    if (m_bytes.compare(0, 8, "\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1", 8) == 0)
        return Kind::Ole;
    if (m_bytes.compare(0, 4, "PK\x03\x04", 4) == 0)
        return Kind::Zip;
    // the header may follow some leading bytes, as readers of this format allow
    if (m_bytes.find("%PDF-") < 1024)
        return Kind::Pdf;
    return Kind::Other;
}

std::string DocumentFile::notA(const std::string& what) const
{
    if (m_bytes.empty())
        return "the file is empty";
    const std::string_view head(m_bytes.data(), std::min<std::size_t>(m_bytes.size(), 4096));
    bool printable = Utf8::isValid(head.substr(0, head.size() > 4 ? head.size() - 4 : head.size()));
    for (unsigned char c : head)
        if (c < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f')
            printable = false;
    if (printable)
        return "not " + what + ": the file holds plain text (was it renamed?)";
    return "not " + what + " (the file's content is of another kind)";
}
