#include "StopFlag.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

StopFlag::StopFlag() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopFlag::~StopFlag()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void StopFlag::raise()
{
    if (m_raised.exchange(true) || m_fd < 0)
        return;
    // never read back: the descriptor stays readable for every waiter
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
}
