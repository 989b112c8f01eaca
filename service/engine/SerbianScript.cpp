#include "SerbianScript.h"

#include "FormDecoding.h"

#include <algorithm>
#include <array>
#include <utility>

namespace SerbianScript {
namespace {

// private-use stand-ins for the literal mark characters while the engine works
constexpr char32_t kHash = 0xE023;
constexpr char32_t kStar = 0xE02A;
constexpr char32_t kAt = 0xE040;

// Latin letter to Cyrillic, lower case
constexpr std::array<std::pair<char32_t, char32_t>, 30> kLetters{{
    {U'a', U'а'},
    {U'b', U'б'},
    {U'c', U'ц'},
    {U'č', U'ч'},
    {U'ć', U'ћ'},
    {U'd', U'д'},
    {U'đ', U'ђ'},
    {U'e', U'е'},
    {U'f', U'ф'},
    {U'g', U'г'},
    {U'h', U'х'},
    {U'i', U'и'},
    {U'j', U'ј'},
    {U'k', U'к'},
    {U'l', U'л'},
    {U'm', U'м'},
    {U'n', U'н'},
    {U'o', U'о'},
    {U'p', U'п'},
    {U'r', U'р'},
    {U's', U'с'},
    {U'š', U'ш'},
    {U't', U'т'},
    {U'u', U'у'},
    {U'v', U'в'},
    {U'z', U'з'},
    {U'ž', U'ж'},
    // the three letters Latin writes with two
    {U'Ǆ', U'џ'},
    {U'Ǉ', U'љ'},
    {U'Ǌ', U'њ'},
}};

struct CodePoint {
    char32_t value;
    size_t length;
};

// Invalid bytes come out one at a time as themselves.
CodePoint decode(std::string_view s, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > s.size())
        return {lead, 1};
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return {lead, 1};
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    return {value, length};
}

void encode(char32_t c, std::string& out) { FormDecoding::appendUtf8(c, out); }

// The lower-case form of a letter of the Serbian Latin alphabet; other characters unchanged.
char32_t lower(char32_t c)
{
    if (c >= U'A' && c <= U'Z')
        return c + 32;
    if (c == U'Č' || c == U'Ć' || c == U'Đ' || c == U'Š' || c == U'Ž')
        return c + 1;
    return c;
}

char32_t upperCyrillic(char32_t c) { return c >= 0x450 ? c - 0x50 : c - 0x20; }

// The Cyrillic letter of one Latin letter (or of a two-letter one, whose
// second letter is `next`; `used` then becomes 2); 0 when there is none.
char32_t cyrillicOf(char32_t c, char32_t next, int& used)
{
    const char32_t l = lower(c);
    const char32_t n = lower(next);
    used = 2;
    char32_t latin = l == U'd' && n == U'ž' ? U'Ǆ' : l == U'l' && n == U'j' ? U'Ǉ' : l == U'n' && n == U'j' ? U'Ǌ' : 0;
    if (!latin) {
        used = 1;
        latin = l;
    }
    for (const auto& [from, to] : kLetters) {
        if (from == latin)
            return l == c ? to : upperCyrillic(to);
    }
    return 0;
}

bool isBlank(char32_t c) { return c == U' ' || c == U'\t' || c == U'\n' || c == U'\r' || c == 0; }

bool isWordCharacter(char32_t c)
{
    if (c == kHash || c == kStar || c == kAt)
        return false;
    return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c >= 0x80;
}

// A block "[...]" at i goes out as it is, up to and with its closing
// bracket; false when none starts there.
bool copyBlock(std::string_view s, size_t& i, std::string& out)
{
    if (s[i] != '[')
        return false;
    size_t j = i + 1;
    while (j < s.size() && s[j] != ']')
        j += s[j] == '\\' ? 2 : 1;
    j = std::min(j + 1, s.size());
    out.append(s.substr(i, j - i));
    i = j;
    return true;
}

}  // namespace

bool hasCyrillic(std::string_view text)
{
    // U+0400 to U+04FF: the lead bytes 0xD0 to 0xD3
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0xD0 && byte <= 0xD3)
            return true;
    }
    return false;
}

std::string setMarkCharactersAside(std::string_view stream)
{
    std::string out;
    out.reserve(stream.size());
    for (size_t i = 0; i < stream.size();) {
        if (copyBlock(stream, i, out))
            continue;
        const char c = stream[i];
        const bool escaped = c == '\\' && i + 1 < stream.size();
        const char literal = escaped ? stream[i + 1] : c;
        if (literal == '#' || literal == '*' || literal == '@') {
            encode(literal == '#' ? kHash : literal == '*' ? kStar : kAt, out);
        } else {
            out.push_back(c);
            if (escaped)
                out.push_back(literal);
        }
        i += escaped ? 2 : 1;
    }
    return out;
}

std::string toCyrillic(std::string_view stream)
{
    std::string out;
    out.reserve(stream.size() + stream.size() / 2);
    bool keep = false;         // the word under way stays as the engine wrote it
    bool keptLetters = false;  // and its letters have begun
    for (size_t i = 0; i < stream.size();) {
        if (copyBlock(stream, i, out)) {
            keep = false;
            continue;
        }
        const char c = stream[i];
        if (c == '*' || c == '#' || (c == '\\' && i + 1 < stream.size() && stream[i + 1] == '@')) {
            keep = c != '#';
            keptLetters = false;
            i += c == '\\' ? 2 : 1;
            continue;
        }
        if (c == '\\' && i + 1 < stream.size()) {
            const CodePoint escaped = decode(stream, i + 1);
            out.append(stream.substr(i, 1 + escaped.length));
            i += 1 + escaped.length;
            keep = keep && !keptLetters;
            continue;
        }
        const CodePoint cp = decode(stream, i);
        i += cp.length;
        if (cp.value == kHash || cp.value == kStar || cp.value == kAt) {
            out += cp.value == kHash ? "#" : cp.value == kStar ? "*" : "\\@";
            keep = keep && !keptLetters;
        } else if (isBlank(cp.value)) {
            encode(cp.value, out);
            keep = false;
        } else if (!isWordCharacter(cp.value)) {
            encode(cp.value, out);
            keep = keep && !keptLetters;
        } else if (keep) {
            encode(cp.value, out);
            keptLetters = true;
        } else {
            const char32_t next = i < stream.size() ? decode(stream, i).value : 0;
            int used = 1;
            const char32_t cyrillic = cyrillicOf(cp.value, next, used);
            encode(cyrillic ? cyrillic : cp.value, out);
            if (used == 2)
                i += decode(stream, i).length;
        }
    }
    return out;
}

}  // namespace SerbianScript
