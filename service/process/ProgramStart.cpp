#include "ProgramStart.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace {

std::vector<char*> pointers(const std::vector<std::string>& strings)
{
    std::vector<char*> out;
    for (const std::string& s : strings)
        out.push_back(const_cast<char*>(s.c_str()));
    out.push_back(nullptr);
    return out;
}

void attach(posix_spawn_file_actions_t& actions, int descriptor, int target, int nullMode)
{
    if (descriptor >= 0)
        posix_spawn_file_actions_adddup2(&actions, descriptor, target);
    else
        posix_spawn_file_actions_addopen(&actions, target, "/dev/null", nullMode, 0);
}

}  // namespace

pid_t ProgramStart::start(std::string& error) const
{
    if (arguments.empty() || arguments.front().empty()) {
        error = "no program named";
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    attach(actions, input, STDIN_FILENO, O_RDONLY);
    attach(actions, output, STDOUT_FILENO, O_WRONLY);
    attach(actions, errors, STDERR_FILENO, O_WRONLY);
    // other requests' pipes and the server's sockets stay out of the child
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t mask;
    sigemptyset(&mask);
    posix_spawnattr_setsigmask(&attributes, &mask);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP})
        sigaddset(&mask, signal);
    posix_spawnattr_setsigdefault(&attributes, &mask);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (ownSession)
        flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attributes, flags);

    const std::vector<char*> argv = pointers(arguments);
    const std::vector<char*> envp = pointers(environment);
    char* const* env = environment.empty() ? environ : envp.data();
    pid_t pid = -1;
    const bool searched = arguments.front().find('/') == std::string::npos;
    const int failed = searched ? ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), env)
                                : ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), env);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) {
        error = std::strerror(failed);
        return -1;
    }
    return pid;
}
