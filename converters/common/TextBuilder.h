#pragma once

#include "MemoryBudget.h"

#include <cstdint>
#include <string>
#include <string_view>

// Collects a document's text as UTF-8: paragraphs one a line, table cells apart by a tab,
// blank lines between larger parts (sheets, slides, pages). Control characters never get in.
// The text counts against the memory budget: a damaged or hostile file can repeat one text endlessly.
class TextBuilder {
public:
    void append(char32_t c);
    void appendUtf8(std::string_view text);
    // UTF-16 little-endian code units, surrogate pairs joined
    void appendUtf16le(const std::uint8_t* data, std::size_t units);

    // Ends the current line; nothing when the line is empty, so empty paragraphs leave no trace.
    void endLine();
    // Ends a table cell: the next cell starts after a tab on the same line.
    void endCell();
    // Ends a row of cells: the line ends without the last cell's tab.
    void endRow();
    // Ends a larger part: one blank line after it.
    void endPart();

    // True once something other than spaces and replacement characters is in.
    bool hasText() const { return m_hasText; }
    bool atLineStart() const { return m_text.empty() || m_text.back() == '\n'; }
    // True where a space would add nothing: at the start of a line or after a space or tab.
    bool atSpace() const
    {
        return m_text.empty() || m_text.back() == '\n' || m_text.back() == ' ' || m_text.back() == '\t';
    }
    // The text; from here on it is the caller's to count.
    std::string finish();

private:
    void trimLineEnd();
    void count()
    {
        if (m_text.capacity() > m_counted) {
            m_charge.add(m_text.capacity() - m_counted);
            m_counted = m_text.capacity();
        }
    }

    std::string m_text;
    MemoryCharge m_charge;
    std::size_t m_counted = 0;
    bool m_hasText = false;
    char16_t m_highSurrogate = 0;
};

namespace Utf8 {
void encode(char32_t c, std::string& out);
bool isValid(std::string_view text);
}  // namespace Utf8
