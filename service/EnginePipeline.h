#pragma once

#include "ModeFile.h"
#include "ProcessChain.h"

#include <mutex>
#include <string>
#include <vector>

// One pair's engine kept running between requests in null-flush mode: a
// request is a block of the engine's stream format followed by NUL, and the
// answer is what comes back up to the next NUL. One request at a time.
class EnginePipeline {
public:
    explicit EnginePipeline(std::vector<ModeCommand> commands);

    // Thread-safe. A chain that died since the last request is started
    // again; one that dies during this request is restarted and the request
    // tried once more. A time-out stops the chain and fails the request.
    bool Process(const std::string& stream, ProcessChain::Clock::time_point deadline,
                 std::string& answer, std::string& error);

    // Several blocks in flight at once, so every program of the chain has
    // work (one answer per block, in order). Same failure rules as above.
    bool Process(const std::vector<std::string>& blocks, ProcessChain::Clock::time_point deadline,
                 std::vector<std::string>& answers, std::string& error);

    // How often the chain was started; lets tests see a restart.
    int starts() const;

private:
    bool ensureStarted(std::string& error);

    std::vector<ProcessChain::Argv> m_commands;
    mutable std::mutex m_mutex;
    ProcessChain m_chain;
    int m_starts = 0;
};
