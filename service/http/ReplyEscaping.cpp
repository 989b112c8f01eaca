#include "ReplyEscaping.h"

namespace ReplyEscaping {
namespace {

// Length of the line break at pos (CR LF, CR or LF), 0 when there is none.
size_t breakLength(std::string_view text, size_t pos)
{
    if (pos >= text.size())
        return 0;
    if (text[pos] == '\r')
        return pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
    return text[pos] == '\n' ? 1 : 0;
}

// Counts the line breaks of a run starting at pos; spaces and tabs on the
// empty lines in between belong to the run. pos moves behind the run.
int consumeBreaks(std::string_view text, size_t& pos)
{
    int breaks = 0;
    size_t scan = pos;
    while (true) {
        const size_t len = breakLength(text, scan);
        if (len == 0)
            break;
        scan += len;
        ++breaks;
        pos = scan;
        // a following line that holds only blanks and ends in a break is empty
        size_t blank = scan;
        while (blank < text.size() && (text[blank] == ' ' || text[blank] == '\t'))
            ++blank;
        if (breakLength(text, blank) == 0)
            break;
        scan = blank;
    }
    return breaks;
}

}  // namespace

std::string escape(std::string_view translation)
{
    std::string out;
    out.reserve(translation.size() + translation.size() / 8 + 2);
    out.push_back('"');
    size_t pos = 0;
    while (pos < translation.size()) {
        if (breakLength(translation, pos) > 0) {
            int breaks = consumeBreaks(translation, pos);
            for (; breaks >= 2; breaks -= 2)
                out += "\\r\\n \\r\\n";
            if (breaks == 1)
                out += "\\r\\n";
            continue;
        }
        const char c = translation[pos++];
        if (c == '"')
            out += "\\\"";
        else
            out.push_back(c);
    }
    // the client reads a backslash before the closing quote as an escaped
    // quote; it drops the last character whatever it is, so close with a space
    out.push_back(!translation.empty() && translation.back() == '\\' ? ' ' : '"');
    return out;
}

}  // namespace ReplyEscaping
