#include "RtfPreparation.h"

#include "FormDecoding.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>

namespace RtfPreparation {

namespace {

constexpr const char* kPlaceholder = "{\\lgkeep";

// Groups whose words are no text of the document even without the "\*" mark.
bool isHiddenDestination(const std::string& word)
{
    static const char* const hidden[] = {"fonttbl", "colortbl",  "stylesheet",        "info",   "pict",
                                         "object",  "listtable", "listoverridetable", "revtbl", "rsidtbl",
                                         "filetbl", "xmlnstbl",  "themedata"};
    return std::find_if(std::begin(hidden), std::end(hidden), [&](const char* h) { return word == h; })
           != std::end(hidden);
}

// The control word at `at` (just after a backslash): its letters and parameter.
struct ControlWord {
    std::string word;
    long parameter = 0;
    bool hasParameter = false;
    size_t end = 0;  // after the word and the blank that ends it
};

ControlWord readControlWord(const std::string& rtf, size_t at)
{
    ControlWord c;
    size_t i = at;
    while (i < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i])))
        ++i;
    c.word = rtf.substr(at, i - at);
    const size_t digits = i;
    if (i < rtf.size() && rtf[i] == '-')
        ++i;
    while (i < rtf.size() && i - digits < 11 && std::isdigit(static_cast<unsigned char>(rtf[i])))
        ++i;
    if (i > digits && std::isdigit(static_cast<unsigned char>(rtf[i - 1]))) {
        c.hasParameter = true;
        c.parameter = std::strtol(rtf.c_str() + digits, nullptr, 10);
    } else {
        i = digits;
    }
    if (i < rtf.size() && rtf[i] == ' ')
        ++i;
    c.end = i;
    return c;
}

// Where the group opened at `open` ends (the index after its closing brace).
size_t groupEnd(const std::string& rtf, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < rtf.size(); ++i) {
        const char c = rtf[i];
        if (c == '\\') {
            if (i + 1 < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i + 1]))) {
                const ControlWord w = readControlWord(rtf, i + 1);
                // binary data may hold braces of its own
                i = w.end - 1;
                if (w.word == "bin" && w.parameter > 0)
                    i += std::min(static_cast<size_t>(w.parameter), rtf.size() - i - 1);
            } else {
                ++i;
            }
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return i + 1;
        }
    }
    return rtf.size();
}

bool opensHiddenGroup(const std::string& rtf, size_t open)
{
    if (rtf.compare(open, 3, "{\\*") == 0)
        return true;
    if (open + 2 >= rtf.size() || rtf[open + 1] != '\\')
        return false;
    return isHiddenDestination(readControlWord(rtf, open + 2).word);
}

std::string iconvName(long codePage)
{
    switch (codePage) {
    case 10000:
        return "MACINTOSH";
    case 437:
    case 850:
    case 932:
    case 936:
    case 949:
    case 950:
        return "CP" + std::to_string(codePage);
    default:
        return codePage >= 874 && codePage <= 1258 ? "CP" + std::to_string(codePage) : "CP1252";
    }
}

// Bytes of the document's code page as UTF-8; false when they are not valid in it.
bool decodeBytes(const std::string& bytes, long codePage, std::string& out)
{
    iconv_t converter = ::iconv_open("UTF-8", iconvName(codePage).c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        converter = ::iconv_open("UTF-8", "CP1252");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    std::unique_ptr<void, int (*)(iconv_t)> closer(converter, ::iconv_close);
    std::string input = bytes;
    std::string result(bytes.size() * 4 + 4, '\0');
    char* in = input.data();
    size_t inLeft = input.size();
    char* outPtr = result.data();
    size_t outLeft = result.size();
    if (::iconv(converter, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
        return false;
    out.append(result.data(), result.size() - outLeft);
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The byte of a \'hh escape at `at` (its backslash), or -1.
int escapedByte(const std::string& rtf, size_t at)
{
    if (at + 3 >= rtf.size() || rtf[at] != '\\' || rtf[at + 1] != '\'')
        return -1;
    const int high = hexValue(rtf[at + 2]), low = hexValue(rtf[at + 3]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// Skips the stand-in characters a reader without Unicode shows after \uN.
size_t skipFallback(const std::string& rtf, size_t at, long count)
{
    for (; count > 0 && at < rtf.size(); --count) {
        if (escapedByte(rtf, at) >= 0)
            at += 4;
        else if (rtf[at] == '{' || rtf[at] == '}' || rtf[at] == '\\')
            break;
        else
            ++at;
    }
    return at;
}

}  // namespace

bool prepare(const std::string& rtf, Prepared& prepared)
{
    if (rtf.compare(0, 5, "{\\rtf") != 0)
        return false;
    std::string& out = prepared.rtf;
    out.clear();
    out.reserve(rtf.size());
    long codePage = 1252;
    // the number of stand-in characters after \uN, for each open group
    std::vector<long> fallback{1};
    char32_t highSurrogate = 0;
    size_t i = 0;
    while (i < rtf.size()) {
        const char c = rtf[i];
        if (c == '{') {
            if (i > 0 && opensHiddenGroup(rtf, i)) {
                const size_t end = groupEnd(rtf, i);
                out += kPlaceholder + std::to_string(prepared.setAside.size()) + "}";
                prepared.setAside.push_back(rtf.substr(i, end - i));
                i = end;
                continue;
            }
            fallback.push_back(fallback.back());
            out += c;
            ++i;
            continue;
        }
        if (c == '}') {
            if (fallback.size() > 1)
                fallback.pop_back();
            out += c;
            ++i;
            continue;
        }
        if (c != '\\' || i + 1 >= rtf.size()) {
            out += c;
            ++i;
            continue;
        }
        if (escapedByte(rtf, i) >= 0) {
            // a run of escaped bytes is one piece of text in the code page, two bytes a letter in some
            std::string bytes;
            size_t j = i;
            for (int b; (b = escapedByte(rtf, j)) >= 0; j += 4)
                bytes += static_cast<char>(b);
            if (!decodeBytes(bytes, codePage, out))
                out.append(rtf, i, j - i);
            i = j;
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(rtf[i + 1]))) {
            out.append(rtf, i, 2);
            i += 2;
            continue;
        }
        const ControlWord w = readControlWord(rtf, i + 1);
        if (w.word == "u" && w.hasParameter) {
            // a 16-bit unit, written signed; anything else is no letter
            const long value = w.parameter < 0 ? w.parameter + 65536 : w.parameter;
            const auto unit = static_cast<char32_t>(value >= 0 && value <= 0xFFFF ? value : 0);
            if (unit >= 0xD800 && unit < 0xDC00) {
                highSurrogate = unit;
            } else if (unit >= 0xDC00 && unit < 0xE000) {
                if (highSurrogate)
                    FormDecoding::appendUtf8(0x10000 + ((highSurrogate - 0xD800) << 10) + (unit - 0xDC00), out);
                highSurrogate = 0;
            } else if (unit > 0) {
                FormDecoding::appendUtf8(unit, out);
            }
            i = skipFallback(rtf, w.end, fallback.back());
            continue;
        }
        if (w.word == "uc" && w.hasParameter) {
            // the stand-ins go; what comes back is written with one each
            fallback.back() = std::max(0L, w.parameter);
            i = w.end;
            continue;
        }
        if (w.word == "ansicpg" && w.hasParameter)
            codePage = w.parameter;
        else if (w.word == "mac")
            codePage = 10000;
        else if (w.word == "pc")
            codePage = 437;
        else if (w.word == "pca")
            codePage = 850;
        size_t end = w.end;
        if (w.word == "bin" && w.parameter > 0)
            end += std::min(static_cast<size_t>(w.parameter), rtf.size() - end);
        out.append(rtf, i, end - i);
        i = end;
    }
    return true;
}

std::string restore(const std::string& reformatted, const std::vector<std::string>& setAside)
{
    std::string out;
    out.reserve(reformatted.size() + reformatted.size() / 8);
    const std::string placeholder = kPlaceholder;
    size_t i = 0;
    while (i < reformatted.size()) {
        if (reformatted.compare(i, placeholder.size(), placeholder) == 0) {
            char* end = nullptr;
            const unsigned long index = std::strtoul(reformatted.c_str() + i + placeholder.size(), &end, 10);
            if (end && *end == '}' && index < setAside.size()) {
                out += setAside[index];
                i = static_cast<size_t>(end - reformatted.c_str()) + 1;
                continue;
            }
        }
        const auto lead = static_cast<unsigned char>(reformatted[i]);
        if (lead < 0x80) {
            out += reformatted[i++];
            continue;
        }
        // one UTF-8 letter; a stray byte is kept as the reader's question mark
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        char32_t code = length == 1 ? U'?' : lead & (0x3F >> (length - 1));
        for (int k = 1; k < length; ++k) {
            const auto next = i + static_cast<size_t>(k) < reformatted.size()
                                  ? static_cast<unsigned char>(reformatted[i + static_cast<size_t>(k)])
                                  : 0;
            code = (code << 6) | (next & 0x3F);
        }
        i += static_cast<size_t>(length);
        if (code > 0x10FFFF)
            code = U'?';
        std::vector<char32_t> units;
        if (code > 0xFFFF) {
            units = {0xD800 + ((code - 0x10000) >> 10), 0xDC00 + ((code - 0x10000) & 0x3FF)};
        } else {
            units = {code};
        }
        for (const char32_t unit : units) {
            const long value = unit > 32767 ? static_cast<long>(unit) - 65536 : static_cast<long>(unit);
            out += "\\u" + std::to_string(value) + "?";
        }
    }
    return out;
}

}  // namespace RtfPreparation
