// Starting programs for the engine, the version lookup and the application's
// launcher: what the child gets and what it is spared, seen from inside it.
#include "ProgramStart.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Ran {
    pid_t pid = -1;
    std::string error;
    std::string output;
    int status = -1;
};

// Runs the program with its standard output on a pipe and collects all it writes.
Ran run(ProgramStart launch)
{
    Ran ran;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return ran;
    launch.output = pipeFds[1];
    ran.pid = launch.start(ran.error);
    ::close(pipeFds[1]);
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        ran.output.append(buffer, size_t(got));
    }
    ::close(pipeFds[0]);
    if (ran.pid > 0)
        ::waitpid(ran.pid, &ran.status, 0);
    return ran;
}

struct Case {
    const char* what;
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
    bool ownSession;
    std::string expected;  // what the program writes, or the reason it did not start
    bool starts;
};

}  // namespace

TEST(ProgramStart, ChildGetsOnlyWhatItIsGiven)
{
    // a descriptor the caller holds without close-on-exec, as a server's socket may be
    const int held = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(held, 3);
    const std::string heldPath = "/proc/self/fd/" + std::to_string(held);
    // the service ignores SIGPIPE; its children must not inherit that
    const auto previous = std::signal(SIGPIPE, SIG_IGN);

    const std::vector<Case> cases{
        {"looked up in PATH, finds the program", {"echo", "found"}, {}, false, "found\n", true},
        {"no descriptor of the caller's beyond the three",
         {"/bin/sh", "-c", "test -e " + heldPath + " && echo leaked || echo closed"},
         {},
         false,
         "closed\n",
         true},
        {"standard input and error are /dev/null",
         {"/bin/sh", "-c", "readlink /proc/self/fd/0 /proc/self/fd/2"},
         {},
         false,
         "/dev/null\n/dev/null\n",
         true},
        {"SIGPIPE back to its default",
         {"/bin/sh", "-c",
          "ignored=$(sed -n 's/^SigIgn:\\t//p' /proc/$$/status); "
          "[ $((0x$ignored & 0x1000)) -eq 0 ] && echo default || echo ignored"},
         {},
         false,
         "default\n",
         true},
        {"an environment of its own replaces the caller's",
         {"/bin/sh", "-c", "echo \"$ONLY:$HOME\""},
         {"ONLY=this"},
         false,
         "this:\n",
         true},
        {"a session of its own",
         {"/bin/sh", "-c", "read -r pid name state parent group sid rest </proc/$$/stat; [ $sid = $$ ] && echo leader"},
         {},
         true,
         "leader\n",
         true},
        {"a missing program says why", {"/nonexistent/program"}, {}, false, "No such file or directory", false},
        {"no program at all", {}, {}, false, "no program named", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramStart launch;
        launch.arguments = c.arguments;
        launch.environment = c.environment;
        launch.ownSession = c.ownSession;
        const Ran ran = run(launch);
        if (c.starts) {
            ASSERT_GT(ran.pid, 0) << ran.error;
            EXPECT_EQ(ran.output, c.expected);
            EXPECT_TRUE(WIFEXITED(ran.status) && WEXITSTATUS(ran.status) == 0);
        } else {
            EXPECT_EQ(ran.pid, -1);
            EXPECT_EQ(ran.error, c.expected);
        }
    }
    std::signal(SIGPIPE, previous);
    ::close(held);
}
