#include "PlainTextFormat.h"

namespace PlainTextFormat {
namespace {

// the deformatter moves longer blanks out to a file of their own
constexpr size_t LongestInlineBlank = 8192;

bool isEscaped(char c)
{
    switch (c) {
    case '$':
    case '/':
    case '<':
    case '>':
    case '@':
    case '[':
    case '\\':
    case ']':
    case '^':
    case '{':
    case '}':
        return true;
    default:
        return false;
    }
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '~'; }

// Well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF)
// without any of the refused characters.
bool isWholeUtf8(std::string_view s, std::string_view refusedControls)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            if (refusedControls.find(static_cast<char>(c)) != std::string_view::npos)
                return false;
            ++p;
            continue;
        }
        int more = 0;
        char32_t value = 0;
        char32_t least = 0;
        if (c >= 0xc2 && c <= 0xdf) {
            more = 1, value = c & 0x1f, least = 0x80;
        } else if (c >= 0xe0 && c <= 0xef) {
            more = 2, value = c & 0x0f, least = 0x800;
        } else if (c >= 0xf0 && c <= 0xf4) {
            more = 3, value = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (end - p <= more)
            return false;
        for (int i = 1; i <= more; ++i) {
            if ((p[i] & 0xc0) != 0x80)
                return false;
            value = (value << 6) | (p[i] & 0x3f);
        }
        if (value < least || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff))
            return false;
        p += more + 1;
    }
    return true;
}

}  // namespace

bool deformat(std::string_view text, std::string& out)
{
    using namespace std::string_view_literals;
    if (!isWholeUtf8(text, "\r\0"sv))
        return false;
    std::string result;
    result.reserve(text.size() + text.size() / 8 + 16);
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (!isBlank(c)) {
            if (isEscaped(c))
                result.push_back('\\');
            result.push_back(c);
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && isBlank(text[end]))
            ++end;
        const std::string_view run = text.substr(i, end - i);
        if (run.size() > LongestInlineBlank)
            return false;
        if (end == text.size() || run.find("\n\n") != std::string_view::npos)
            result += ".[]";
        if (run == " ") {
            result.push_back(' ');
        } else {
            result.push_back('[');
            result += run;
            result.push_back(']');
        }
        i = end;
    }
    if (text.empty() || !isBlank(text.back()))
        result += ".[]";
    out = std::move(result);
    return true;
}

bool reformat(std::string_view stream, std::string& out)
{
    using namespace std::string_view_literals;
    if (!isWholeUtf8(stream, ""sv))
        return false;
    std::string result;
    result.reserve(stream.size());
    for (size_t i = 0; i < stream.size(); ++i) {
        const char c = stream[i];
        if (c == '\\' && i + 1 < stream.size() && isEscaped(stream[i + 1])) {
            result.push_back(stream[++i]);
        } else if (c == '[' && i + 1 < stream.size() && stream[i + 1] == '@') {
            return false;  // a blank kept in a file: only the reformatter reads those
        } else if (c == '.' && stream.substr(i + 1, 2) == "[]") {
            i += 2;
        } else if (c != '[' && c != ']' && c != '\0') {
            result.push_back(c);
        }
    }
    out = std::move(result);
    return true;
}

}  // namespace PlainTextFormat
