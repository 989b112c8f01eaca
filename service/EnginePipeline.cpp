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
    std::string request;
    for (const std::string& block : blocks) {
        // a NUL inside a block would end it early and shift every answer after it
        std::copy_if(block.begin(), block.end(), std::back_inserter(request), [](char c) { return c != '\0'; });
        request.push_back('\0');
    }
    std::string joined;
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
            return true;
        }
        m_chain.stop();
        if (ProcessChain::Clock::now() >= deadline)
            return false;
    }
    return false;
}
