#include "SentenceSplit.h"

#include <cstdlib>

namespace SentenceSplit {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Every position where a new sentence starts after a sentence end and its blanks.
std::vector<size_t> sentenceStarts(std::string_view text)
{
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '.' && c != '!' && c != '?')
            continue;
        size_t j = i + 1;
        while (j < text.size() && (text[j] == '"' || text[j] == '\'' || text[j] == ')' || text[j] == ']'))
            ++j;
        if (j >= text.size() || !isBlank(text[j]))
            continue;
        while (j < text.size() && isBlank(text[j]))
            ++j;
        if (j < text.size())
            starts.push_back(j);
        i = j - 1;
    }
    return starts;
}

}  // namespace

std::vector<std::string> Split(std::string_view text, int pieces, size_t minBytes)
{
    std::vector<std::string> out;
    if (pieces > 1 && text.size() >= 2 * minBytes) {
        const std::vector<size_t> starts = sentenceStarts(text);
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
