#include "ModeFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace ModeFile {
namespace {

class PipelineReader {
public:
    PipelineReader(std::string_view text, const std::vector<std::string>& placeholders)
        : m_text(text), m_placeholders(placeholders)
    {}

    Parsed read()
    {
        Parsed result;
        std::vector<std::string> words;
        while (m_pos < m_text.size() && result.ok()) {
            const char c = m_text[m_pos];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                ++m_pos;
            } else if (c == '|') {
                ++m_pos;
                result.error = finishCommand(words, result.commands);
            } else {
                result.error = readWord(words);
            }
        }
        if (result.ok())
            result.error = finishCommand(words, result.commands);
        if (result.ok() && result.commands.empty())
            result.error = "empty pipeline";
        if (!result.ok())
            result.commands.clear();
        return result;
    }

private:
    static std::string finishCommand(std::vector<std::string>& words, std::vector<ModeCommand>& out)
    {
        if (words.empty())
            return "empty command in pipeline";
        ModeCommand command;
        command.program = words.front();
        command.args.assign(words.begin() + 1, words.end());
        out.push_back(std::move(command));
        words.clear();
        return {};
    }

    // A placeholder "$N" at m_pos (after the "$"); returns its value.
    std::string placeholderValue(std::string& error)
    {
        if (m_pos >= m_text.size() || m_text[m_pos] < '1' || m_text[m_pos] > '9') {
            error = "unsupported use of $";
            return {};
        }
        const size_t index = static_cast<size_t>(m_text[m_pos] - '1');
        ++m_pos;
        return index < m_placeholders.size() ? m_placeholders[index] : std::string();
    }

    // One shell word; an unquoted placeholder that expands to nothing yields no word.
    std::string readWord(std::vector<std::string>& words)
    {
        std::string word;
        bool quoted = false;  // the word exists even if it ends up empty
        std::string error;
        while (m_pos < m_text.size() && error.empty()) {
            const char c = m_text[m_pos];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '|')
                break;
            ++m_pos;
            if (c == '\'') {
                const size_t end = m_text.find('\'', m_pos);
                if (end == std::string_view::npos)
                    return "unterminated quote";
                word.append(m_text.substr(m_pos, end - m_pos));
                m_pos = end + 1;
                quoted = true;
            } else if (c == '"') {
                error = readDoubleQuoted(word);
                quoted = true;
            } else if (c == '\\') {
                if (m_pos >= m_text.size())
                    return "dangling backslash";
                word.push_back(m_text[m_pos++]);
                quoted = true;
            } else if (c == '$') {
                word += placeholderValue(error);
            } else if (std::string_view(";&<>`(){}*?[]~#").find(c) != std::string_view::npos) {
                error = std::string("unsupported shell character '") + c + "'";
            } else {
                word.push_back(c);
            }
        }
        if (!error.empty())
            return error;
        if (quoted || !word.empty())
            words.push_back(std::move(word));
        return {};
    }

    std::string readDoubleQuoted(std::string& word)
    {
        std::string error;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '"')
                return {};
            if (c == '\\' && m_pos < m_text.size()
                && std::string_view("\"\\$`").find(m_text[m_pos]) != std::string_view::npos) {
                word.push_back(m_text[m_pos++]);
            } else if (c == '$') {
                word += placeholderValue(error);
                if (!error.empty())
                    return error;
            } else if (c == '`') {
                return "unsupported shell character '`'";
            } else {
                word.push_back(c);
            }
        }
        return "unterminated quote";
    }

    std::string_view m_text;
    const std::vector<std::string>& m_placeholders;
    size_t m_pos = 0;
};

}  // namespace

std::vector<std::string> unmarkedPlaceholders() { return {"-n", ""}; }

Parsed parsePipeline(std::string_view text, const std::vector<std::string>& placeholders)
{
    return PipelineReader(text, placeholders).read();
}

Parsed load(const std::filesystem::path& file, const std::vector<std::string>& placeholders)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        Parsed failed;
        failed.error = "cannot read " + file.string();
        return failed;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parsePipeline(text.str(), placeholders);
}

void addNullFlush(std::vector<ModeCommand>& commands)
{
    for (ModeCommand& command : commands) {
        if (std::find(command.args.begin(), command.args.end(), "-z") == command.args.end())
            command.args.insert(command.args.begin(), "-z");
    }
}

}  // namespace ModeFile
