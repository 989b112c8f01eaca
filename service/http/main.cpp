// linguaro-service: the built-in translation service. Its options are in the table
// below, which --help prints. Listens on 127.0.0.1:47210 unless told otherwise
// (--port 0 picks a free port) and prints "listening on http://H:P/translate" once it accepts.

#include "DocumentTranslation.h"
#include "ServiceUsers.h"
#include "TranslationEngine.h"
#include "TranslationServer.h"

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

bool parseNumber(const char* text, int low, int high, int& value)
{
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

// Every option, in the order --help lists them. The manual page and docs/service.md are
// checked against what --help prints, so an option added here must be described there too.
struct Option {
    const char* name;
    const char* value;
    const char* help;
};
const Option Options[] = {
    {"--host", "address",
     "The address to listen on (default 127.0.0.1); the machine's address, or 0.0.0.0, serves other machines."},
    {"--port", "port", "The port (default 47210); 0 picks a free one."},
    {"--modes", "folder", "The engine's modes folder (default /usr/share/apertium/modes)."},
    {"--timeout", "seconds", "How long one translation may take (default 120)."},
    {"--parallel", "n", "Engine chains per pair that share one long request (default 1)."},
    {"--request-timeout", "seconds", "How long a client may take to send a request (default 30)."},
    {"--idle-timeout", "seconds", "A pair's engine programs unused this long are stopped (default 600)."},
    {"--max-connections", "n", "Connections served at once; later ones wait (default 256)."},
    {"--drain-grace", "seconds",
     "On SIGTERM or SIGINT, /health answers 503 at once and connections are still taken this long before the "
     "listener closes (default 5)."},
    {"--drain-timeout", "seconds",
     "How long the requests read by then may take to be answered; what is unanswered after it is closed "
     "without an answer (default 30)."},
    {"--users-file", "file",
     "End once no program holds a lock on this file; used when the translator starts the service itself."},
};

std::string usageLine()
{
    std::string line = "usage: linguaro-service";
    for (const Option& option : Options)
        line += std::string(" [") + option.name + " " + option.value + "]";
    return line + "\n";
}

int usage()
{
    std::cerr << usageLine() << "Try 'linguaro-service --help' for the options.\n";
    return 2;
}

// Writes text in lines that fit a terminal, each after indent.
void printWrapped(const std::string& text, const char* indent)
{
    std::string line;
    for (size_t at = 0; at < text.size();) {
        const size_t blank = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, blank - at);
        if (!line.empty() && line.size() + 1 + word.size() > 72) {
            std::cout << indent << line << "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        at = blank + 1;
    }
    std::cout << indent << line << "\n";
}

int help()
{
    std::cout << "usage: linguaro-service [options]\n\n";
    const std::vector<std::string>& kept = DocumentTranslation::formats();
    std::string formats;
    for (size_t i = 0; i < kept.size(); ++i)
        formats += (i == 0 ? "" : i + 1 < kept.size() ? ", " : " and ") + DocumentTranslation::described(kept[i]);
    printWrapped("The translation service of Linguaro Translator: translates text over HTTP with the engine's "
                 "language pairs installed on this machine, and whole documents with their layout kept: "
                     + formats + ".",
                 "");
    std::cout << "\nOptions:\n";
    for (const Option& option : Options) {
        std::cout << "  " << option.name << " <" << option.value << ">\n";
        printWrapped(option.help, "      ");
    }
    std::cout << "  -h, --help\n      Show this help and end.\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string host = "127.0.0.1";
    int port = 47210;
    TranslationEngine::Options options;
    TranslationServer::Options serverOptions;
    std::string usersFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
            return help();
        if (i + 1 >= argc)
            return usage();
        const char* value = argv[++i];
        int seconds = 0;
        int connections = 0;
        if (arg == "--host")
            host = value;
        else if (arg == "--port" && parseNumber(value, 0, 65535, port))
            continue;
        else if (arg == "--modes")
            options.modesDir = value;
        else if (arg == "--timeout" && parseNumber(value, 1, 86400, seconds))
            options.timeout = std::chrono::seconds(seconds);
        else if (arg == "--parallel" && parseNumber(value, 1, 16, options.parallel))
            continue;
        else if (arg == "--request-timeout" && parseNumber(value, 1, 3600, seconds))
            serverOptions.requestTimeout = std::chrono::seconds(seconds);
        else if (arg == "--idle-timeout" && parseNumber(value, 1, 86400, seconds))
            options.idleTimeout = std::chrono::seconds(seconds);
        else if (arg == "--max-connections" && parseNumber(value, 1, 65536, connections))
            serverOptions.maxConnections = static_cast<unsigned>(connections);
        else if (arg == "--drain-grace" && parseNumber(value, 0, 3600, seconds))
            serverOptions.drainGrace = std::chrono::seconds(seconds);
        else if (arg == "--drain-timeout" && parseNumber(value, 0, 86400, seconds))
            serverOptions.drainTimeout = std::chrono::seconds(seconds);
        else if (arg == "--users-file")
            usersFile = value;
        else
            return usage();
    }

    // Termination requests are taken by one thread with sigwait, so the
    // server drains in order and the engines' processes are reaped.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    TranslationEngine engine(options);
    for (const std::string& problem : engine.problems())
        std::cerr << "linguaro-service: " << problem << "\n";
    if (engine.router().pairs().empty())
        std::cerr << "linguaro-service: no language pairs found in " << options.modesDir << "\n";
    ServiceUsers users;
    if (!usersFile.empty()) {
        serverOptions.unused = [&] { return users.noneLeft(usersFile); };
        // a program that joins from here on finds the port closed and starts a new service
        serverOptions.listeningStopped = [&] { users.leave(); };
    }
    // documents take as many engine chains as a long text: that many at once
    serverOptions.documents = options.parallel;
    TranslationServer server(engine, serverOptions);
    const int bound = server.bind(host, port);
    if (bound < 0) {
        std::cerr << "linguaro-service: cannot listen on " << host << ":" << port << "\n";
        return 1;
    }
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    });
    std::cout << "listening on http://" << host << ":" << bound << "/translate" << std::endl;
    const bool served = server.run();
    if (stopper.joinable()) {
        // run() also ends on its own failure; wake the waiting thread then
        pthread_kill(stopper.native_handle(), SIGTERM);
        stopper.join();
    }
    return served ? 0 : 1;
}
