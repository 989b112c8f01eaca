#include "SentenceSplit.h"

#include <cstdlib>

namespace SentenceSplit {
namespace {

class Scanner {
public:
    Scanner(std::string_view text, Form form) : m_text(text), m_stream(form == Form::EngineStream) {}

    // Length of the blank at pos: a blank character, or in the stream format
    // a whole "[...]" block; 0 when there is none.
    size_t blankAt(size_t pos) const
    {
        bool lineBreak = false;
        return blankAt(pos, lineBreak);
    }

    size_t blankAt(size_t pos, bool& lineBreak) const
    {
        if (pos >= m_text.size())
            return 0;
        const char c = m_text[pos];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            lineBreak = lineBreak || c == '\n' || c == '\r';
            return 1;
        }
        if (!m_stream || c != '[')
            return 0;
        for (size_t i = pos + 1; i < m_text.size(); ++i) {
            if (m_text[i] == '\\') {
                ++i;
            } else if (m_text[i] == '\n') {
                lineBreak = true;
            } else if (m_text[i] == ']') {
                return i + 1 - pos;
            }
        }
        return 0;  // unclosed: not a block we may cut after
    }

    // Every position where a new sentence starts after a sentence end and its blanks.
    std::vector<size_t> sentenceStarts() const { return m_stream ? paragraphStarts() : lineStarts(); }

private:
    // The start of every line after a line that ends a sentence.
    std::vector<size_t> lineStarts() const
    {
        std::vector<size_t> starts;
        size_t i = 0;
        while (i < m_text.size()) {
            const char c = m_text[i];
            if (m_stream && c == '\\') {
                i += 2;
                continue;
            }
            if (const size_t blank = m_stream && c == '[' ? blankAt(i) : 0) {
                i += blank;
                continue;
            }
            ++i;
            if ((c != '.' && c != '!' && c != '?') || isInitial(i - 1))
                continue;
            size_t j = i;
            while (j < m_text.size() && (m_text[j] == '"' || m_text[j] == '\'' || m_text[j] == ')'))
                ++j;
            size_t blanks = j;
            bool lineBreak = false;
            while (const size_t n = blankAt(blanks, lineBreak))
                blanks += n;
            if (blanks == j || !lineBreak)
                continue;
            if (blanks < m_text.size())
                starts.push_back(blanks);
            i = blanks;
        }
        return starts;
    }

    // The end of every paragraph mark the deformatter makes, ".[]" and then a
    // block of blanks with an empty line: there the engine ends a sentence
    // whatever the words before say, so nothing reads across the cut.
    std::vector<size_t> paragraphStarts() const
    {
        std::vector<size_t> starts;
        size_t i = 0;
        while (i < m_text.size()) {
            const char c = m_text[i];
            if (c == '\\') {
                i += 2;
                continue;
            }
            if (c != '[') {
                ++i;
                continue;
            }
            bool lineBreak = false;
            const size_t blank = blankAt(i, lineBreak);
            if (blank == 0)
                return starts;  // an unclosed block runs to the end
            const std::string_view inside = m_text.substr(i + 1, blank - 2);
            if (i >= 3 && m_text.substr(i - 3, 3) == ".[]" && inside.find("\n\n") != std::string_view::npos
                && i + blank < m_text.size())
                starts.push_back(i + blank);
            i += blank;
        }
        return starts;
    }

    static bool isLetterOrDigit(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
               || static_cast<unsigned char>(c) >= 0x80;
    }

    // A lone letter or digit before the point: an initial or a list label.
    bool isInitial(size_t point) const
    {
        return point >= 1 && isLetterOrDigit(m_text[point - 1]) && (point < 2 || !isLetterOrDigit(m_text[point - 2]));
    }

    std::string_view m_text;
    bool m_stream;
};

}  // namespace

std::vector<std::string> split(std::string_view text, int pieces, size_t minBytes, Form form)
{
    std::vector<std::string> out;
    if (pieces > 1 && text.size() >= 2 * minBytes) {
        const std::vector<size_t> starts = Scanner(text, form).sentenceStarts();
        size_t from = 0;
        for (int k = 1; k < pieces; ++k) {
            // the sentence start nearest to an even share of the text
            const size_t ideal = text.size() * static_cast<size_t>(k) / static_cast<size_t>(pieces);
            size_t best = 0;
            for (const size_t s : starts) {
                if (s < from + minBytes || s + minBytes > text.size())
                    continue;
                if (best == 0 || std::labs(long(s) - long(ideal)) < std::labs(long(best) - long(ideal)))
                    best = s;
            }
            if (best == 0)
                break;
            out.emplace_back(text.substr(from, best - from));
            from = best;
        }
        out.emplace_back(text.substr(from));
        return out;
    }
    out.emplace_back(text);
    return out;
}

}  // namespace SentenceSplit
