#include "EnginePipeline.h"

#include "StopFlag.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

struct EnginePipeline::Request {
    std::string input;  // the blocks, each ended by a NUL
    size_t blocks = 0;
    Clock::time_point deadline;
    const std::function<void(size_t)>* answered = nullptr;
    const StopFlag* stop = nullptr;
    // written and read by the caller that pumps, under the lock
    size_t written = 0;
    std::vector<std::string> answers;
    std::string partial;    // the answer being read
    bool finished = false;  // answered or failed
    bool failed = false;
    bool crashed = false;    // a program crashed while this was in the chain
    bool displaced = false;  // failed only because another request's stop ended the chain
    std::string error;

    // As it was before its first try.
    void restart()
    {
        written = 0;
        answers.clear();
        partial.clear();
        finished = failed = crashed = displaced = false;
        error.clear();
    }
};

EnginePipeline::EnginePipeline(std::vector<ModeCommand> commands) : m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    ModeFile::addNullFlush(commands);
    for (const ModeCommand& command : commands) {
        ProcessChain::Argv argv{command.program};
        argv.insert(argv.end(), command.args.begin(), command.args.end());
        m_commands.push_back(std::move(argv));
    }
}

EnginePipeline::~EnginePipeline()
{
    m_chain.stop();
    ::close(m_wake);
}

void EnginePipeline::stopChain()
{
    m_chain.stop();
    m_running = false;
}

std::vector<int> EnginePipeline::exitDescriptors(bool& busy)
{
    std::unique_lock lock(m_mutex, std::try_to_lock);
    busy = !lock.owns_lock() || !m_queue.empty();
    return busy ? std::vector<int>{} : m_chain.exitDescriptors();
}

void EnginePipeline::reapIfExited()
{
    std::unique_lock lock(m_mutex, std::try_to_lock);
    if (lock.owns_lock() && m_queue.empty() && m_chain.started() && !m_chain.alive())
        stopChain();
}

bool EnginePipeline::stopIfUnusedSince(Clock::time_point since)
{
    std::unique_lock lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock() || !m_queue.empty() || !m_chain.started() || m_lastUsed >= since)
        return false;
    stopChain();
    return true;
}

EnginePipeline::Clock::time_point EnginePipeline::lastUsed() const
{
    std::lock_guard lock(m_mutex);
    return m_lastUsed;
}

size_t EnginePipeline::outstandingBytes() const
{
    std::lock_guard lock(m_mutex);
    size_t bytes = 0;
    for (const auto& request : m_queue)
        bytes += request->input.size();
    return bytes;
}

bool EnginePipeline::ensureStarted(std::string& error)
{
    // a chain that is out of step would hand this request an earlier answer
    if (m_chain.started() && m_chain.alive() && !m_chain.hasStrayOutput())
        return true;
    ++m_starts;
    m_running = m_chain.start(m_commands, error, ProcessChain::Watch::ProgramExits);
    return m_running;
}

void EnginePipeline::wakePump()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wake, &one, sizeof one);
}

bool EnginePipeline::process(const std::string& stream, Clock::time_point deadline, std::string& answer,
                             std::string& error, bool* crashedEveryTry)
{
    std::vector<std::string> answers;
    if (!process(std::vector<std::string>{stream}, deadline, answers, error, crashedEveryTry))
        return false;
    answer = std::move(answers.front());
    return true;
}

bool EnginePipeline::process(const std::vector<std::string>& blocks, Clock::time_point deadline,
                             std::vector<std::string>& answers, std::string& error, bool* crashedEveryTry,
                             const std::function<void(size_t)>& answered, const StopFlag* stop)
{
    const auto request = std::make_shared<Request>();
    for (const std::string& block : blocks) {
        // a NUL inside a block would end it early and shift every answer after it
        std::copy_if(block.begin(), block.end(), std::back_inserter(request->input), [](char c) { return c != '\0'; });
        request->input.push_back('\0');
    }
    request->blocks = blocks.size();
    request->deadline = deadline;
    if (answered)
        request->answered = &answered;
    request->stop = stop;
    if (crashedEveryTry)
        *crashedEveryTry = false;
    bool crashedBefore = false;
    std::unique_lock lock(m_mutex);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool alone = attempt == 1;
        // a second try waits for the chain to empty; new requests wait behind it
        if (alone)
            ++m_secondTries;
        const auto mayEnter = [&] { return !m_alone && (alone ? m_queue.empty() : m_secondTries == 0); };
        // with a stop to watch, the wait is cut into short ones so that it is seen soon
        while (!mayEnter() && !StopFlag::raised(stop) && Clock::now() < deadline)
            m_changed.wait_until(lock,
                                 stop ? std::min(deadline, Clock::now() + std::chrono::milliseconds(50)) : deadline);
        const bool admitted = mayEnter() && !StopFlag::raised(stop);
        if (alone)
            --m_secondTries;
        if (!admitted) {
            m_changed.notify_all();
            error = StopFlag::raised(stop) ? "stopped" : "the engine took too long";
            return false;
        }
        m_alone = alone;
        const auto leaveAlone = [&] {
            if (alone) {
                m_alone = false;
                m_changed.notify_all();
            }
        };
        if (m_queue.empty() && !ensureStarted(error)) {
            leaveAlone();
            return false;
        }
        request->restart();
        m_queue.push_back(request);
        m_lastUsed = Clock::now();
        wakePump();
        while (!request->finished) {
            if (m_pumping) {
                m_changed.wait(lock);
                continue;
            }
            m_pumping = true;
            pump(lock, *request);
            m_pumping = false;
            // another request still in the chain takes over
            m_changed.notify_all();
        }
        leaveAlone();
        m_lastUsed = Clock::now();
        if (!request->failed) {
            answers = std::move(request->answers);
            return true;
        }
        error = request->error;
        if (request->displaced && Clock::now() < deadline) {
            --attempt;
            continue;
        }
        if (alone && crashedEveryTry)
            *crashedEveryTry = crashedBefore && request->crashed;
        crashedBefore = request->crashed;
        if (Clock::now() >= deadline)
            return false;
    }
    return false;
}

void EnginePipeline::pump(std::unique_lock<std::mutex>& lock, const Request& own)
{
    char buffer[65536];
    std::vector<pollfd> fds;
    while (!own.finished) {
        // the oldest request with input left is written first, so answers come in queue order
        Request* writing = nullptr;
        auto deadline = Clock::time_point::max();
        for (const auto& request : m_queue) {
            if (!writing && request->written < request->input.size())
                writing = request.get();
            deadline = std::min(deadline, request->deadline);
        }
        const int input = m_chain.inputDescriptor();
        const int output = m_chain.outputDescriptor();
        fds.clear();
        fds.push_back({output, POLLIN, 0});
        fds.push_back({m_wake, POLLIN, 0});
        if (writing)
            fds.push_back({input, POLLOUT, 0});
        const size_t firstExit = fds.size();
        for (const int fd : m_chain.exitDescriptors())
            fds.push_back({fd, POLLIN, 0});
        // a stop raised for any request in the chain wakes the wait
        const size_t firstStop = fds.size();
        for (const auto& request : m_queue) {
            if (request->stop && request->stop->descriptor() >= 0)
                fds.push_back({request->stop->descriptor(), POLLIN, 0});
        }
        lock.unlock();
        const int ready = ::poll(fds.data(), fds.size(), ProcessChain::millisecondsLeft(deadline));
        const int pollError = errno;
        lock.lock();
        if (ready < 0 && pollError == EINTR)
            continue;
        if (ready < 0) {
            failAll(std::string("poll: ") + std::strerror(pollError));
            return;
        }
        if (ready == 0 && Clock::now() >= deadline) {
            failAll("the engine took too long");
            return;
        }
        if (fds[1].revents) {
            uint64_t drained = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_wake, &drained, sizeof drained);
        }
        if (std::any_of(m_queue.begin(), m_queue.end(), [](const auto& r) { return StopFlag::raised(r->stop); })) {
            dropStopped();
            continue;
        }
        for (size_t i = firstExit; i < firstStop; ++i) {
            if (fds[i].revents) {
                failAll(m_chain.exitReport(i - firstExit));
                return;
            }
        }
        if (writing && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n =
                ::write(input, writing->input.data() + writing->written, writing->input.size() - writing->written);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                failAll("the engine stopped reading");
                return;
            }
            if (n > 0)
                writing->written += static_cast<size_t>(n);
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::read(output, buffer, sizeof buffer);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            std::string error = "the engine ended unexpectedly";
            if (n <= 0 || !deliver(buffer, static_cast<size_t>(n), error)) {
                failAll(error);
                return;
            }
        }
    }
}

bool EnginePipeline::deliver(const char* bytes, size_t size, std::string& error)
{
    std::string_view got(bytes, size);
    while (!got.empty()) {
        if (m_queue.empty()) {
            error = "the engine answered more than it was asked";
            return false;
        }
        Request& head = *m_queue.front();
        const size_t nul = got.find('\0');
        head.partial.append(got.substr(0, nul));
        if (nul == std::string_view::npos)
            return true;
        got.remove_prefix(nul + 1);
        head.answers.push_back(std::move(head.partial));
        head.partial.clear();
        if (head.answered)
            (*head.answered)(head.answers.size());
        if (head.answers.size() < head.blocks)
            continue;
        if (head.written < head.input.size()) {
            error = "the engine answered before reading the whole request";
            return false;
        }
        head.finished = true;
        m_queue.pop_front();
        m_changed.notify_all();
    }
    return true;
}

void EnginePipeline::dropStopped()
{
    const auto stopped = [](const std::shared_ptr<Request>& r) { return StopFlag::raised(r->stop); };
    // one not yet written only leaves the queue; one partly written takes the chain with it
    const bool chainEnds =
        std::any_of(m_queue.begin(), m_queue.end(), [&](const auto& r) { return stopped(r) && r->written > 0; });
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        Request& request = **it;
        if (!chainEnds && !stopped(*it)) {
            ++it;
            continue;
        }
        request.finished = request.failed = true;
        request.displaced = !stopped(*it);
        request.error = request.displaced ? "the chain was stopped for another request" : "stopped";
        it = m_queue.erase(it);
    }
    if (chainEnds)
        stopChain();
    m_changed.notify_all();
}

void EnginePipeline::failAll(const std::string& error)
{
    const bool crashed = m_chain.crashed();
    for (const auto& request : m_queue) {
        request->finished = true;
        request->failed = true;
        request->crashed = crashed;
        request->error = error;
    }
    m_queue.clear();
    stopChain();
    m_changed.notify_all();
}
