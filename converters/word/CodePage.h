#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class TextBuilder;

// A code page's bytes to Unicode, read from a mapping file beside the Word converter
// ("cp1252.txt": lines "0xBB 0xUUUU", or "0xBBBB 0xUUUU" for the two-byte characters of the
// East Asian code pages). Older Word files keep their text in such a code page.
class CodePage {
public:
    // Fails with a ConversionError naming the file when it is missing or unreadable.
    static CodePage load(const std::string& folder, int number);

    int number() const { return m_number; }
    // Appends the characters of `bytes`; bytes the code page does not define become U+FFFD.
    void decode(const std::uint8_t* bytes, std::size_t length, std::u32string& out) const;
    // One character of a single-byte code page.
    char32_t single(std::uint8_t byte) const { return m_single[byte]; }

private:
    int m_number = 0;
    std::vector<char32_t> m_single = std::vector<char32_t>(256, 0xfffd);
    std::vector<bool> m_lead = std::vector<bool>(256, false);
    std::unordered_map<std::uint16_t, char32_t> m_double;
};

// The code page a Word 6/95 document's language implies for its 8-bit text.
int codePageForLanguage(std::uint16_t languageId);
