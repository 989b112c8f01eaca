#pragma once

#include <memory>
#include <string>

class TranslationEngine;

// The HTTP side of the service: POST /translate answers the client's form
// with the quoted reply, GET /pairs lists what can be translated.
class TranslationServer {
public:
    explicit TranslationServer(TranslationEngine& engine);
    ~TranslationServer();
    TranslationServer(const TranslationServer&) = delete;
    TranslationServer& operator=(const TranslationServer&) = delete;

    // Binds host:port (port 0 picks a free one). Returns the bound port, -1 on failure.
    int bind(const std::string& host, int port);
    // Serves until stop(); returns false when serving could not start.
    bool run();
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};
