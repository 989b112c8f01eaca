#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Starting a program without a shell and without Qt, the one way the service
// and its launcher do it. The child gets exactly the three descriptors asked
// for (none of the caller's other files or sockets), an empty signal mask, and
// the default action for the signals a server ignores or catches.
struct ProgramStart {
    // Program first. A name without a slash is looked up in $PATH.
    std::vector<std::string> arguments;
    // Descriptors for standard input, output and error; -1 is /dev/null.
    int input = -1;
    int output = -1;
    int errors = -1;
    // A session of its own: a terminal's Ctrl+C or hang-up meant for the
    // caller does not reach it.
    bool ownSession = false;
    // The whole environment, "NAME=value"; empty keeps the caller's.
    std::vector<std::string> environment;

    // The started program's id, or -1 with error giving the system's reason.
    pid_t start(std::string& error) const;
};
