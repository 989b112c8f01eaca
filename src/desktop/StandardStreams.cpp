#include "StandardStreams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

void StandardStreams::guard()
{
    for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream) {
        if (::fcntl(stream, F_GETFD) != -1 || errno != EBADF)
            continue;
        s_closed |= 1u << stream;
        // the lowest free number is this one, as the lower ones are open by now
        const int opened = ::open("/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != stream) {
            ::dup2(opened, stream);
            ::close(opened);
        }
    }
}

bool StandardStreams::wasClosed(int stream)
{
    return stream >= 0 && stream <= STDERR_FILENO && (s_closed & (1u << stream)) != 0;
}
