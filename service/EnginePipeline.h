#pragma once

#include "ModeFile.h"
#include "ProcessChain.h"

#include <atomic>
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
    // again; one whose program exits during this request is stopped and the
    // request tried once more on a fresh chain. A time-out stops the chain
    // and fails the request.
    bool Process(const std::string& stream, ProcessChain::Clock::time_point deadline,
                 std::string& answer, std::string& error);

    // Several blocks in flight at once, so every program of the chain has
    // work (one answer per block, in order). Same failure rules as above.
    bool Process(const std::vector<std::string>& blocks, ProcessChain::Clock::time_point deadline,
                 std::vector<std::string>& answers, std::string& error);

    // True when the last Process() failed because a program of the chain
    // crashed on the request, on the second try too. Read by the holder of
    // the chain, before its next request.
    bool crashedEveryTry() const { return m_crashedEveryTry; }

    // How often the chain was started; lets tests see a restart. Neither
    // waits for a request in progress.
    int starts() const { return m_starts; }
    bool running() const { return m_running; }

    // For a watcher between requests; each returns at once (doing nothing)
    // while a request has the chain.
    // The descriptors that wake when a program exits; busy tells a chain in use.
    std::vector<int> ExitDescriptors(bool& busy);
    // Stops a chain one of whose programs has exited, reaping them all.
    void ReapIfExited();
    // Stops a running chain last used before the given time; true if it did.
    bool StopIfUnusedSince(ProcessChain::Clock::time_point since);
    ProcessChain::Clock::time_point lastUsed() const;

private:
    bool ensureStarted(std::string& error);
    void stopChain();

    std::vector<ProcessChain::Argv> m_commands;
    mutable std::mutex m_mutex;
    ProcessChain m_chain;
    std::atomic<int> m_starts = 0;
    std::atomic<bool> m_running = false;
    ProcessChain::Clock::time_point m_lastUsed;
    bool m_crashedEveryTry = false;
};
