#include "CodePage.h"

#include "ConversionError.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

CodePage CodePage::load(const std::string& folder, int number)
{
    const std::string name = "cp" + std::to_string(number) + ".txt";
    std::ifstream file(folder + "/" + name);
    if (!file)
        throw ConversionError("the character mapping file " + name + " is missing beside the converter (in " + folder
                              + ")");
    CodePage page;
    page.m_number = number;
    std::string line;
    std::size_t entries = 0;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        char* end = nullptr;
        const unsigned long code = std::strtoul(line.c_str(), &end, 16);
        if (end == line.c_str())
            continue;
        char* after = nullptr;
        const unsigned long unicode = std::strtoul(end, &after, 16);
        if (after == end || unicode > 0x10ffff || ++entries > 100000)
            throw ConversionError("the character mapping file " + name + " is damaged");
        if (code < 0x100) {
            page.m_single[code] = static_cast<char32_t>(unicode);
        } else if (code <= 0xffff) {
            page.m_lead[code >> 8] = true;
            page.m_double[static_cast<std::uint16_t>(code)] = static_cast<char32_t>(unicode);
        }
    }
    for (unsigned c = 0; c < 0x20; ++c)
        page.m_single[c] = c;
    return page;
}

void CodePage::decode(const std::uint8_t* bytes, std::size_t length, std::u32string& out) const
{
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t byte = bytes[i];
        if (m_lead[byte] && i + 1 < length) {
            const auto found = m_double.find(static_cast<std::uint16_t>(byte << 8 | bytes[i + 1]));
            if (found != m_double.end()) {
                out += found->second;
                ++i;
                continue;
            }
        }
        out += m_single[byte];
    }
}

int codePageForLanguage(std::uint16_t languageId)
{
    const int primary = languageId & 0x3ff;
    switch (primary) {
    case 0x08:
        return 1253;  // Greek
    case 0x19:
    case 0x22:
    case 0x02:
    case 0x23:
    case 0x2f:  // Russian, Ukrainian, Bulgarian, Belarusian, Macedonian
        return 1251;
    case 0x1a:  // Croatian, Serbian (Cyrillic: 0x0c1a)
        return languageId == 0x0c1a ? 1251 : 1250;
    case 0x05:
    case 0x0e:
    case 0x15:
    case 0x18:
    case 0x1b:
    case 0x1c:
    case 0x24:
        return 1250;  // Czech, Hungarian, Polish, Romanian, Slovak, Albanian, Slovenian
    case 0x1f:
        return 1254;  // Turkish
    case 0x0d:
        return 1255;  // Hebrew
    case 0x01:
    case 0x29:
    case 0x20:
        return 1256;  // Arabic, Farsi, Urdu
    case 0x25:
    case 0x26:
    case 0x27:
        return 1257;  // Estonian, Latvian, Lithuanian
    case 0x2a:
        return 1258;  // Vietnamese
    case 0x1e:
        return 874;  // Thai
    case 0x11:
        return 932;  // Japanese
    case 0x12:
        return 949;  // Korean
    case 0x04:
        return (languageId == 0x0404 || languageId == 0x0c04 || languageId == 0x1404) ? 950 : 936;
    default:
        return 1252;
    }
}
