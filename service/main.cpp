// linguaro-service: the built-in translation service.
//   linguaro-service [--host H] [--port P] [--modes DIR] [--timeout SECONDS] [--parallel N]
//                    [--request-timeout SECONDS] [--idle-timeout SECONDS] [--max-connections N]
//                    [--drain-grace SECONDS] [--drain-timeout SECONDS] [--users-file FILE]
// --timeout: how long one translation may take (default 120).
// --parallel: engine chains per pair that share a long request (default 1).
// --request-timeout: how long a client may take to send a request (default 30).
// --idle-timeout: a pair's engine programs unused this long are stopped (default 600).
// --max-connections: connections served at once; later ones wait to be taken (default 256).
// --drain-grace: on SIGTERM or SIGINT, /health answers 503 at once and connections are
//   still taken this long before the listener closes (default 5).
// --drain-timeout: how long the requests read by then may take to be answered; what is
//   unanswered after it is closed without an answer (default 30).
// --users-file: started on demand, the service ends once no program holds a lock on FILE
//   (see ServiceUsers); without it the service runs until it is stopped.
// Listens on 127.0.0.1:47210 unless told otherwise (--port 0 picks a free
// port) and prints "listening on http://H:P/translate" once it accepts.

#include "ServiceUsers.h"
#include "TranslationEngine.h"
#include "TranslationServer.h"

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

int usage()
{
    std::cerr << "usage: linguaro-service [--host H] [--port P] [--modes DIR] [--timeout SECONDS] [--parallel N]"
                 " [--request-timeout SECONDS] [--idle-timeout SECONDS] [--max-connections N]"
                 " [--drain-grace SECONDS] [--drain-timeout SECONDS] [--users-file FILE]\n";
    return 2;
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
        serverOptions.unused = [&] { return users.NoneLeft(usersFile); };
        // a program that joins from here on finds the port closed and starts a new service
        serverOptions.listeningStopped = [&] { users.Leave(); };
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
