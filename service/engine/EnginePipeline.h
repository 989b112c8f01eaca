#pragma once

#include "ModeFile.h"
#include "ProcessChain.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class StopFlag;

// One pair's engine kept running between requests in null-flush mode: a
// request is a block of the engine's stream format followed by NUL, and the
// answer is what comes back up to the next NUL. Several requests may be in the
// chain at once: each one's blocks are written after those of the requests
// before it and its answers are the next ones out, so the chain's programs
// keep working from one request into the next as they do on one long text.
class EnginePipeline {
public:
    using Clock = ProcessChain::Clock;

    explicit EnginePipeline(std::vector<ModeCommand> commands);
    ~EnginePipeline();
    EnginePipeline(const EnginePipeline&) = delete;
    EnginePipeline& operator=(const EnginePipeline&) = delete;

    // Thread-safe. A chain that died since the last request is started again.
    // When a program of the chain exits or a request in it runs out of time,
    // the chain is stopped and every request in it fails; each one whose time
    // is not up tries once more on a fresh chain, alone, so that a text the
    // engine crashes on is told from the texts that were beside it.
    // crashedEveryTry: a program crashed while this request was in the chain,
    // on the second try too.
    bool process(const std::string& stream, Clock::time_point deadline, std::string& answer, std::string& error,
                 bool* crashedEveryTry = nullptr);
    // Several blocks, one answer per block, in order. answered, when given, is
    // told how many blocks have their answer each time one more does (from
    // another caller's thread, with the chain's lock held: it must not call
    // back into the chain); a second try counts from 0 again.
    // A request whose stop is raised fails at once. Once part of it is in the
    // chain, the chain is stopped with it, since what it holds of that request
    // would come out ahead of the next one's answers; the requests beside it
    // go again on a fresh chain, a try they do not lose.
    bool process(const std::vector<std::string>& blocks, Clock::time_point deadline, std::vector<std::string>& answers,
                 std::string& error, bool* crashedEveryTry = nullptr, const std::function<void(size_t)>& answered = {},
                 const StopFlag* stop = nullptr);

    // Bytes of the requests in the chain that are not answered yet; 0 when idle.
    size_t outstandingBytes() const;

    // How often the chain was started; lets tests see a restart. Neither
    // waits for a request in progress.
    int starts() const { return m_starts; }
    bool running() const { return m_running; }

    // For a watcher between requests; each returns at once (doing nothing)
    // while requests are in the chain.
    // The descriptors that wake when a program exits; busy tells a chain in use.
    std::vector<int> exitDescriptors(bool& busy);
    // Stops a chain one of whose programs has exited, reaping them all.
    void reapIfExited();
    // Stops a running chain last used before the given time; true if it did.
    bool stopIfUnusedSince(Clock::time_point since);
    Clock::time_point lastUsed() const;

private:
    struct Request;

    bool ensureStarted(std::string& error);
    void stopChain();
    // Moves the chain's bytes for every request in it until `own` has its
    // answers or has failed. Called with the lock held by one caller at a time;
    // the lock is let go while waiting for the chain.
    void pump(std::unique_lock<std::mutex>& lock, const Request& own);
    // Hands what was read to the requests in order; false when it cannot be theirs.
    bool deliver(const char* bytes, size_t size, std::string& error);
    void failAll(const std::string& error);
    // Takes the requests whose stop is raised out of the chain, as described at Process.
    void dropStopped();
    void wakePump();

    std::vector<ProcessChain::Argv> m_commands;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    ProcessChain m_chain;
    std::deque<std::shared_ptr<Request>> m_queue;  // in the chain, oldest first
    bool m_pumping = false;                        // a caller is moving the chain's bytes
    bool m_alone = false;                          // a second try has the chain to itself
    int m_secondTries = 0;                         // waiting to have it; new requests wait behind them
    int m_wake = -1;                               // eventfd: new input for the caller that pumps
    std::atomic<int> m_starts = 0;
    std::atomic<bool> m_running = false;
    Clock::time_point m_lastUsed;
};
