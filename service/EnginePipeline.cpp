#include "EnginePipeline.h"

#include <algorithm>

EnginePipeline::EnginePipeline(std::vector<ModeCommand> commands)
{
    ModeFile::AddNullFlush(commands);
    for (const ModeCommand& command : commands) {
        ProcessChain::Argv argv{command.program};
        argv.insert(argv.end(), command.args.begin(), command.args.end());
        m_commands.push_back(std::move(argv));
    }
}

int EnginePipeline::starts() const
{
    std::lock_guard lock(m_mutex);
    return m_starts;
}

bool EnginePipeline::ensureStarted(std::string& error)
{
    // a chain that is out of step would hand this request an earlier answer
    if (m_chain.started() && m_chain.alive() && !m_chain.hasStrayOutput())
        return true;
    ++m_starts;
    return m_chain.start(m_commands, error);
}

bool EnginePipeline::Process(const std::string& stream, ProcessChain::Clock::time_point deadline,
                             std::string& answer, std::string& error)
{
    std::lock_guard lock(m_mutex);
    std::string block = stream;
    block.erase(std::remove(block.begin(), block.end(), '\0'), block.end());
    block.push_back('\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!ensureStarted(error))
            return false;
        if (m_chain.exchange(block, ProcessChain::AnswerEnd::AtNul, deadline, answer, error))
            return true;
        m_chain.stop();
        if (ProcessChain::Clock::now() >= deadline)
            return false;
    }
    return false;
}
