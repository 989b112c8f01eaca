#include "ProcessChain.h"

#include "ProgramStart.h"
#include "StopFlag.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
// the C library's header lacks the C++ linkage guards
extern "C" {
#include <sys/pidfd.h>
}
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Writing into a dead engine must come back as EPIPE, not end the service.
void ignoreBrokenPipes()
{
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

// The engine's tools read their input as UTF-8 whatever the service's locale;
// the whole locale is set, since a LANG naming a locale this machine lacks
// makes some of them stop at start-up and give an empty translation.
std::vector<std::string> childEnvironment()
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string_view entry(*e);
        if (entry.starts_with("LC_ALL=") || entry.starts_with("LC_CTYPE="))
            continue;
        env.emplace_back(entry);
    }
    env.emplace_back("LC_ALL=C.UTF-8");
    return env;
}

bool isExecutable(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

int ProcessChain::millisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 60'000));
}

ProcessChain::~ProcessChain() { stop(); }

std::string ProcessChain::findProgram(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return isExecutable(name) ? name : std::string();
    std::string dirs;
    const char* enginePath = std::getenv("APERTIUM_PATH");
    dirs = enginePath && *enginePath ? enginePath : "/usr/bin";
    if (const char* path = std::getenv("PATH"))
        dirs += std::string(":") + path;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = dirs.substr(start, end - start);
        if (!dir.empty() && isExecutable(dir + "/" + name))
            return dir + "/" + name;
        start = end + 1;
    }
    return {};
}

bool ProcessChain::start(const std::vector<Argv>& commands, std::string& error, Watch watch)
{
    stop();
    ignoreBrokenPipes();
    m_crashed = false;
    if (commands.empty()) {
        error = "nothing to run";
        return false;
    }
    const std::vector<std::string> environment = childEnvironment();

    int first[2];
    if (::pipe2(first, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m_input = first[1];
    int upstream = first[0];  // what the next program reads

    for (const Argv& command : commands) {
        const std::string program = findProgram(command.front());
        if (program.empty()) {
            error = "program not found: " + command.front();
            closeFd(upstream);
            stop();
            return false;
        }
        int down[2];
        if (::pipe2(down, O_CLOEXEC) != 0) {
            error = std::string("pipe: ") + std::strerror(errno);
            closeFd(upstream);
            stop();
            return false;
        }
        ProgramStart launch;
        launch.arguments = command;
        launch.arguments.front() = program;
        launch.input = upstream;
        launch.output = down[1];
        launch.environment = environment;
        std::string why;
        const pid_t pid = launch.start(why);
        closeFd(upstream);
        if (watch == Watch::ProgramExits)
            m_heldWriteEnds.push_back(down[1]);
        else
            ::close(down[1]);
        if (pid < 0) {
            ::close(down[0]);
            error = "cannot start " + program + ": " + why;
            stop();
            return false;
        }
        m_pids.push_back(pid);
        m_names.push_back(command.front());
        upstream = down[0];
        if (watch == Watch::ProgramExits) {
            const int pidfd = ::pidfd_open(pid, 0);
            if (pidfd < 0) {
                error = std::string("cannot watch ") + program + ": " + std::strerror(errno);
                closeFd(upstream);
                stop();
                return false;
            }
            ::fcntl(pidfd, F_SETFD, FD_CLOEXEC);
            m_pidfds.push_back(pidfd);
        }
    }
    m_output = upstream;
    ::fcntl(m_input, F_SETFL, ::fcntl(m_input, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_output, F_SETFL, ::fcntl(m_output, F_GETFL) | O_NONBLOCK);
    return true;
}

void ProcessChain::stop()
{
    closeFd(m_input);
    closeFd(m_output);
    for (int& fd : m_heldWriteEnds)
        closeFd(fd);
    m_heldWriteEnds.clear();
    for (int& fd : m_pidfds)
        closeFd(fd);
    m_pidfds.clear();
    for (pid_t pid : m_pids) {
        if (pid <= 0)
            continue;  // already reaped
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    m_pids.clear();
    m_names.clear();
}

std::string ProcessChain::reapExited(size_t index)
{
    pid_t& pid = m_pids[index];
    std::string how = "ended";
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, WNOHANG) == pid) {
        pid = -pid;  // reaped: stop() must not wait for it again
        if (WIFSIGNALED(status)) {
            how = "was killed by signal " + std::to_string(WTERMSIG(status));
            const int signal = WTERMSIG(status);
            m_crashed = m_crashed || signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE
                        || signal == SIGABRT;
        } else if (WIFEXITED(status))
            how = "exited with code " + std::to_string(WEXITSTATUS(status));
    }
    return "the engine program " + m_names[index] + " " + how;
}

bool ProcessChain::alive()
{
    if (m_pids.empty())
        return false;
    if (!m_pidfds.empty()) {
        std::vector<pollfd> fds;
        for (const int fd : m_pidfds)
            fds.push_back({fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 0) <= 0)
            return std::none_of(m_pids.begin(), m_pids.end(), [](pid_t pid) { return pid < 0; });
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents)
                reapExited(i);
        }
        return false;
    }
    for (size_t i = 0; i < m_pids.size(); ++i) {
        if (m_pids[i] < 0)
            return false;
        if (::waitpid(m_pids[i], nullptr, WNOHANG) == m_pids[i]) {
            m_pids[i] = -m_pids[i];
            return false;
        }
    }
    return true;
}

std::string ProcessChain::exitReport(size_t index)
{
    // whatever came out since may be a block cut short by the exit
    std::string report = reapExited(index);
    // the programs beside one that crashed end by a broken pipe: name the one that crashed
    for (size_t k = 0; k < m_pids.size() && !m_crashed; ++k) {
        const std::string other = m_pids[k] > 0 ? reapExited(k) : std::string();
        if (m_crashed)
            report = other;
    }
    return report;
}

bool ProcessChain::hasStrayOutput()
{
    if (m_output < 0)
        return false;
    pollfd p{m_output, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

bool ProcessChain::exchange(std::string_view input, Clock::time_point deadline, std::string& answer, std::string& error,
                            const StopFlag* stop)
{
    answer.clear();
    if (m_input < 0 || m_output < 0) {
        error = "engine not running";
        return false;
    }
    size_t written = 0;
    if (input.empty())
        closeFd(m_input);
    char buffer[65536];
    std::vector<pollfd> fds;
    for (;;) {
        if (StopFlag::raised(stop)) {
            error = "stopped";
            return false;
        }
        fds.clear();
        fds.push_back({m_output, POLLIN, 0});
        const bool writing = m_input >= 0 && written < input.size();
        if (writing)
            fds.push_back({m_input, POLLOUT, 0});
        const size_t firstExit = fds.size();
        for (const int fd : m_pidfds)
            fds.push_back({fd, POLLIN, 0});
        // wakes the wait when the stop is raised; the loop's next turn sees it
        const size_t stopIndex = fds.size();
        if (stop && stop->descriptor() >= 0)
            fds.push_back({stop->descriptor(), POLLIN, 0});
        const int ready = ::poll(fds.data(), fds.size(), millisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0) {
            error = std::string("poll: ") + std::strerror(errno);
            return false;
        }
        if (ready == 0 && Clock::now() >= deadline) {
            error = "the engine took too long";
            return false;
        }
        for (size_t i = firstExit; ready > 0 && i < stopIndex; ++i) {
            if (fds[i].revents) {
                error = exitReport(i - firstExit);
                return false;
            }
        }
        if (writing && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = ::write(m_input, input.data() + written, input.size() - written);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                error = "the engine stopped reading";
                return false;
            }
            if (n > 0)
                written += static_cast<size_t>(n);
            if (written == input.size())
                closeFd(m_input);
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::read(m_output, buffer, sizeof buffer);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0) {
                if (written == input.size())
                    return true;
                error = "the engine ended unexpectedly";
                return false;
            }
            answer.append(buffer, static_cast<size_t>(n));
        }
    }
}
