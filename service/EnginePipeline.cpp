#include "EnginePipeline.h"

#include <algorithm>
#include <iterator>

EnginePipeline::EnginePipeline(std::vector<ModeCommand> commands)
{
    ModeFile::AddNullFlush(commands);
    for (const ModeCommand& command : commands) {
        ProcessChain::Argv argv{command.program};
        argv.insert(argv.end(), command.args.begin(), command.args.end());
        m_commands.push_back(std::move(argv));
    }
}

void EnginePipeline::stopChain()
{
    m_chain.stop();
    m_running = false;
}

std::vector<int> EnginePipeline::ExitDescriptors(bool& busy)
{
    std::unique_lock lock(m_mutex, std::try_to_lock);
    busy = !lock.owns_lock();
    return busy ? std::vector<int>{} : m_chain.exitDescriptors();
}

void EnginePipeline::ReapIfExited()
{
    std::unique_lock lock(m_mutex, std::try_to_lock);
    if (lock.owns_lock() && m_chain.started() && !m_chain.alive())
        stopChain();
}

bool EnginePipeline::StopIfUnusedSince(ProcessChain::Clock::time_point since)
{
    std::unique_lock lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock() || !m_chain.started() || m_lastUsed >= since)
        return false;
    stopChain();
    return true;
}

ProcessChain::Clock::time_point EnginePipeline::lastUsed() const
{
    std::lock_guard lock(m_mutex);
    return m_lastUsed;
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

bool EnginePipeline::Process(const std::string& stream, ProcessChain::Clock::time_point deadline,
                             std::string& answer, std::string& error)
{
    std::vector<std::string> answers;
    if (!Process(std::vector<std::string>{stream}, deadline, answers, error))
        return false;
    answer = std::move(answers.front());
    return true;
}

bool EnginePipeline::Process(const std::vector<std::string>& blocks, ProcessChain::Clock::time_point deadline,
                             std::vector<std::string>& answers, std::string& error)
{
    std::lock_guard lock(m_mutex);
    m_lastUsed = ProcessChain::Clock::now();
    std::string request;
    for (const std::string& block : blocks) {
        // a NUL inside a block would end it early and shift every answer after it
        std::copy_if(block.begin(), block.end(), std::back_inserter(request), [](char c) { return c != '\0'; });
        request.push_back('\0');
    }
    std::string joined;
    m_crashedEveryTry = false;
    int crashes = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!ensureStarted(error))
            return false;
        if (m_chain.exchange(request, ProcessChain::AnswerEnd::AtNul, deadline, joined, error, blocks.size())) {
            answers.clear();
            size_t start = 0;
            for (size_t i = 0; i < blocks.size(); ++i) {
                const size_t end = i + 1 < blocks.size() ? joined.find('\0', start) : joined.size();
                answers.push_back(joined.substr(start, end - start));
                start = end + 1;
            }
            m_lastUsed = ProcessChain::Clock::now();
            return true;
        }
        crashes += m_chain.crashed() ? 1 : 0;
        stopChain();
        if (ProcessChain::Clock::now() >= deadline)
            return false;
    }
    m_crashedEveryTry = crashes == 2;
    return false;
}
