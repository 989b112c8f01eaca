#include "ServiceUsers.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int lockRetrying(int fd, int operation)
{
    int rc;
    do
        rc = ::flock(fd, operation);
    while (rc != 0 && errno == EINTR);
    return rc;
}

}  // namespace

ServiceUsers::~ServiceUsers() { leave(); }

std::string ServiceUsers::filePath(int port, std::string& error)
{
    const std::string name = "/linguaro-service-" + std::to_string(port) + ".users";
    struct stat info {};
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && ::stat(runtime, &info) == 0 && S_ISDIR(info.st_mode))
        return runtime + name;
    // a folder others could have made or could write to would let them hold the lock
    const char* temp = std::getenv("TMPDIR");
    const std::string folder = std::string(temp && *temp ? temp : "/tmp") + "/linguaro-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot make the folder " + folder + ": " + std::strerror(errno);
        return {};
    }
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()
        || (info.st_mode & 077) != 0) {
        error = "the folder " + folder + " is not a private folder of this user";
        return {};
    }
    return folder + name;
}

bool ServiceUsers::join(const std::string& path, std::string& error)
{
    leave();
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0 || lockRetrying(m_fd, LOCK_SH) != 0) {
        error = "cannot lock " + path + ": " + std::strerror(errno);
        leave();
        return false;
    }
    m_path = path;
    return true;
}

bool ServiceUsers::leaveLast()
{
    if (m_fd < 0)
        return false;
    if (lockRetrying(m_fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    // others use it, or the service found itself unused and is closing its port:
    // a shared lock is granted once it has
    lockRetrying(m_fd, LOCK_SH);
    leave();
    return false;
}

void ServiceUsers::leave()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

bool ServiceUsers::noneLeft(const std::string& path)
{
    for (int tries = 0; tries < 3; ++tries) {
        if (m_fd < 0) {
            m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            if (m_fd < 0)
                return errno == ENOENT;
            m_path = path;
        }
        if (lockRetrying(m_fd, LOCK_EX | LOCK_NB) != 0)
            return false;
        // a file put in the place of ours would have users of its own
        struct stat held {
        }, named{};
        if (::fstat(m_fd, &held) != 0 || ::stat(path.c_str(), &named) != 0)
            return true;
        if (held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return true;
        leave();
    }
    return false;
}
