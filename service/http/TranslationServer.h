#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class TranslationEngine;

// The HTTP side of the service: POST /translate answers the client's form
// with the quoted reply (POST /translate?serbian=cyrillic writes Serbian in
// Cyrillic), GET /pairs lists what can be translated, GET /health tells a load
// balancer whether anything can be, GET /metrics counts for a monitoring
// system what was done, POST /translate-document?format=F&from=A&to=B
// translates the document sent as the body and answers it in its format;
// with &job=TOKEN (the client's own, 8 to 64 of A-Z, a-z, 0-9, "-") GET
// /translate-document/progress?job=TOKEN tells {"done":N,"total":M} engine
// pieces while that document is being worked on, and DELETE stops it.
// One event-driven thread reads every connection; a request reaches a worker
// only once it has arrived whole, so slow or idle clients cost a connection,
// never a worker. Each request must arrive within requestTimeout of the
// connection opening or of the previous reply, or the connection is closed.
// A client that closes its connection before the answer stops the work done
// for it: the engine's programs on it are stopped, its chains freed.
class TranslationServer {
public:
    struct Options {
        std::chrono::seconds requestTimeout{30};
        // far above the client's largest chunk: 3000 UTF-16 units of any
        // script, every byte percent-encoded, are under 36 KB
        size_t maxBody = 1024 * 1024;
        int workers = 16;
        // Documents: written to a private folder as they arrive, with a
        // stall time-out (requestTimeout between two pieces) instead of a
        // deadline for the whole upload; at most `documents` at once.
        size_t maxDocument = 50 * 1024 * 1024;
        int documents = 1;
        // the time a document may take: a base plus so much per MB
        std::chrono::seconds documentTimeBase{60};
        std::chrono::seconds documentTimePerMB{60};
        unsigned maxConnections = 256;
        // After stop(): /health answers 503 at once, connections are still
        // taken for drainGrace (so a balancer's checks see it first), then the
        // listener closes; the requests read by then are answered, and what is
        // still unanswered drainTimeout after the listener closed is closed
        // without an answer, for a balancer to send elsewhere.
        std::chrono::seconds drainGrace{5};
        std::chrono::seconds drainTimeout{30};
        // Asked about once a second while serving; true ends the service as
        // stop() does, without the grace.
        std::function<bool()> unused;
        // Called once the listener is closed, so no one is let in while it ends.
        std::function<void()> listeningStopped;
    };

    explicit TranslationServer(TranslationEngine& engine);
    TranslationServer(TranslationEngine& engine, Options options);
    ~TranslationServer();
    TranslationServer(const TranslationServer&) = delete;
    TranslationServer& operator=(const TranslationServer&) = delete;

    // Binds host:port (port 0 picks a free one). Returns the bound port, -1 on failure.
    int bind(const std::string& host, int port);
    // Serves until stop() and the drain after it; returns false when serving could not start.
    bool run();
    // Begins the drain (see Options). May be called from any thread, also before run().
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};
