#include "TextBuilder.h"

void TextBuilder::append(char32_t c)
{
    if (c == U'\t') {
        m_text += '\t';
        count();
        return;
    }
    if (c == U'\n') {
        endLine();
        return;
    }
    if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0) || c == 0xfeff)
        return;
    // private-use characters are the bullets and ornaments of symbol fonts, not text
    if (c >= 0xe000 && c <= 0xf8ff)
        return;
    if ((c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff)
        c = 0xfffd;
    if (c != U' ' && c != 0xa0 && c != 0xfffd)
        m_hasText = true;
    Utf8::encode(c, m_text);
    count();
}

void TextBuilder::appendUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        char32_t c = byte;
        int more = 0;
        if (byte >= 0xf0 && byte < 0xf5) {
            c = byte & 0x07;
            more = 3;
        } else if (byte >= 0xe0) {
            c = byte & 0x0f;
            more = 2;
        } else if (byte >= 0xc2 && byte < 0xe0) {
            c = byte & 0x1f;
            more = 1;
        } else if (byte >= 0x80) {
            append(0xfffd);
            ++i;
            continue;
        }
        ++i;
        bool ok = true;
        for (int k = 0; k < more; ++k, ++i) {
            if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xc0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3f);
        }
        append(ok ? c : 0xfffd);
    }
}

void TextBuilder::appendUtf16le(const std::uint8_t* data, std::size_t units)
{
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t unit = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        if (unit >= 0xd800 && unit < 0xdc00) {
            if (m_highSurrogate)
                append(0xfffd);
            m_highSurrogate = unit;
            continue;
        }
        if (unit >= 0xdc00 && unit < 0xe000) {
            append(m_highSurrogate ? 0x10000 + ((m_highSurrogate - 0xd800) << 10) + (unit - 0xdc00) : 0xfffd);
            m_highSurrogate = 0;
            continue;
        }
        if (m_highSurrogate) {
            append(0xfffd);
            m_highSurrogate = 0;
        }
        append(unit);
    }
}

void TextBuilder::trimLineEnd()
{
    while (!m_text.empty() && (m_text.back() == ' ' || m_text.back() == '\t'))
        m_text.pop_back();
}

void TextBuilder::endLine()
{
    trimLineEnd();
    if (!m_text.empty() && m_text.back() != '\n')
        m_text += '\n';
    count();
}

void TextBuilder::endCell()
{
    // a space or tab left at the cell's end would read as part of the separator
    while (!m_text.empty() && m_text.back() == ' ')
        m_text.pop_back();
    m_text += '\t';
    count();
}

void TextBuilder::endRow()
{
    // rows whose cells are all empty leave no line of tabs behind
    std::size_t lineStart = m_text.rfind('\n');
    lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
    if (m_text.find_first_not_of('\t', lineStart) == std::string::npos)
        m_text.resize(lineStart);
    endLine();
}

void TextBuilder::endPart()
{
    endLine();
    if (!m_text.empty() && !(m_text.size() >= 2 && m_text.compare(m_text.size() - 2, 2, "\n\n") == 0))
        m_text += '\n';
}

std::string TextBuilder::finish()
{
    endLine();
    while (m_text.size() >= 2 && m_text.compare(m_text.size() - 2, 2, "\n\n") == 0)
        m_text.pop_back();
    m_charge.drop();
    m_counted = 0;
    return std::move(m_text);
}

namespace Utf8 {

void encode(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xc0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xe0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    }
}

bool isValid(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i++]);
        int more = byte < 0x80                   ? 0
                   : byte >= 0xc2 && byte < 0xe0 ? 1
                   : byte >= 0xe0 && byte < 0xf0 ? 2
                   : byte >= 0xf0 && byte < 0xf5 ? 3
                                                 : -1;
        if (more < 0)
            return false;
        for (; more > 0; --more, ++i)
            if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xc0) != 0x80)
                return false;
    }
    return true;
}

}  // namespace Utf8
