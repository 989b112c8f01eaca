#include "SafeOutput.h"

#include "ConversionError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int error)
{
    throw ConversionError(what + " " + path + ": " + std::strerror(error));
}

}  // namespace

void writeFileSafely(const std::string& path, const std::string& text)
{
    if (path.empty() || path.back() == '/')
        throw ConversionError("no output file named");
    std::vector<char> pattern(path.begin(), path.end());
    const char suffix[] = ".partXXXXXX";
    pattern.insert(pattern.end(), suffix, suffix + sizeof suffix);
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        fail("cannot create a file beside", path, errno);
    const std::string temporary(pattern.data());
    auto abandon = [&](const char* what) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        fail(what, path, error);
    };
    // mkstemp makes the file private; give it the mode an ordinary new file would get
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0)
        abandon("cannot set the mode of");
    if (!writeAll(fd, text))
        abandon("cannot write");
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail("cannot write", path, error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail("cannot write", path, error);
    }
}

bool writeAll(int fd, const std::string& text)
{
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string withExtension(const std::string& path, const std::string& extension)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    // a leading dot names a hidden file, it does not start an extension
    if (dot == std::string::npos || dot <= nameStart)
        return path + extension;
    return path.substr(0, dot) + extension;
}
