#include "EngineVersions.h"

#include "ProgramStart.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A program's standard output; empty when it cannot be started. Its standard
// error is dropped: dpkg-query names there the files no package owns.
std::string output(const std::vector<std::string>& arguments)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    ProgramStart launch;
    launch.arguments = arguments;
    launch.output = pipeFds[1];
    std::string error;
    const pid_t pid = launch.start(error);
    ::close(pipeFds[1]);
    std::string output;
    if (pid > 0) {
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
            if (got > 0)
                output.append(buffer, size_t(got));
            else if (got == 0 || errno != EINTR)
                break;
        }
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    ::close(pipeFds[0]);
    return output;
}

}  // namespace

namespace EngineVersions {

std::map<std::string, std::string> parseOwners(const std::string& output)
{
    std::map<std::string, std::string> owners;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(": ");
        // "diversion by ..." and other notes have no package list before the path
        if (colon == std::string::npos || line.compare(0, 10, "diversion ") == 0)
            continue;
        std::string package = line.substr(0, std::min(line.find(','), colon));
        // "apertium-eng-spa:amd64": the architecture is no part of the name dpkg-query -W takes back
        if (const size_t arch = package.find(':'); arch != std::string::npos)
            package.resize(arch);
        if (!package.empty())
            owners.emplace(line.substr(colon + 2), package);
    }
    return owners;
}

std::map<std::string, std::string> parseVersions(const std::string& output)
{
    std::map<std::string, std::string> versions;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos && tab > 0 && tab + 1 < line.size())
            versions.emplace(line.substr(0, tab), line.substr(tab + 1));
    }
    return versions;
}

std::map<std::string, std::string> ofPairs(const std::vector<InstalledPair>& pairs,
                                           const std::filesystem::path& modesDir)
{
    // each pair's files that a package may own: the mode file, then the first data file it reads
    std::map<std::string, std::vector<std::string>> candidates;
    std::set<std::string> paths;
    for (const InstalledPair& pair : pairs) {
        std::vector<std::string>& files = candidates[pair.modeName];
        if (!files.empty())
            continue;
        files.push_back((modesDir / (pair.modeName + ".mode")).lexically_normal().string());
        for (const ModeCommand& command : pair.commands) {
            for (const std::string& argument : command.args) {
                std::error_code error;
                if (files.size() < 2 && !argument.empty() && argument.front() == '/'
                    && std::filesystem::is_regular_file(argument, error))
                    files.push_back(std::filesystem::path(argument).lexically_normal().string());
            }
        }
        paths.insert(files.begin(), files.end());
    }
    std::map<std::string, std::string> versions;
    if (paths.empty())
        return versions;
    std::vector<std::string> ask{"dpkg-query", "-S", "--"};
    ask.insert(ask.end(), paths.begin(), paths.end());
    const std::map<std::string, std::string> owners = parseOwners(output(ask));
    std::set<std::string> packages;
    for (const auto& [path, package] : owners)
        packages.insert(package);
    if (packages.empty())
        return versions;
    std::vector<std::string> show{"dpkg-query", "-W", "-f", "${Package}\t${Version}\n", "--"};
    show.insert(show.end(), packages.begin(), packages.end());
    const std::map<std::string, std::string> installed = parseVersions(output(show));
    for (const auto& [modeName, files] : candidates) {
        for (const std::string& file : files) {
            const auto owner = owners.find(file);
            if (owner == owners.end())
                continue;
            const auto version = installed.find(owner->second);
            if (version != installed.end())
                versions.emplace(modeName, owner->second + " " + version->second);
            break;
        }
    }
    return versions;
}

}  // namespace EngineVersions
