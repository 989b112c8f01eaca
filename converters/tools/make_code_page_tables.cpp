// Writes the character mapping files of the Word converter from the C library's iconv tables:
// make_code_page_tables FOLDER NUMBER... writes FOLDER/cpNUMBER.txt for each code page.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iconv.h>
#include <string>

namespace {

// The character `bytes` stand for in the code page, or 0 when they are not one whole character.
char32_t convert(iconv_t converter, const unsigned char* bytes, std::size_t length, bool& incomplete)
{
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(bytes));
    std::size_t inLeft = length;
    unsigned char out[16];
    char* outPointer = reinterpret_cast<char*>(out);
    std::size_t outLeft = sizeof out;
    const std::size_t result = iconv(converter, &in, &inLeft, &outPointer, &outLeft);
    incomplete = result == static_cast<std::size_t>(-1) && errno == EINVAL;
    if (result == static_cast<std::size_t>(-1) || inLeft != 0 || sizeof out - outLeft != 4)
        return 0;
    return static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) | (out[3] << 24));
}

bool write(const std::string& folder, int number)
{
    const std::string iconvName = number == 10000 ? "MACINTOSH" : "CP" + std::to_string(number);
    iconv_t converter = iconv_open("UTF-32LE", iconvName.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "make_code_page_tables: iconv does not know %s\n", iconvName.c_str());
        return false;
    }
    const std::string path = folder + "/cp" + std::to_string(number) + ".txt";
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) {
        std::perror(path.c_str());
        return false;
    }
    std::fprintf(file,
                 "# Code page %d to Unicode, from the C library's %s table.\n"
                 "# One character a line: its byte (or two bytes), then its Unicode code point.\n",
                 number, iconvName.c_str());
    for (unsigned lead = 0; lead < 256; ++lead) {
        const unsigned char one[1] = {static_cast<unsigned char>(lead)};
        bool incomplete = false;
        const char32_t c = convert(converter, one, 1, incomplete);
        if (c != 0 || lead == 0)
            std::fprintf(file, "0x%02X\t0x%04X\n", lead, static_cast<unsigned>(c));
        if (!incomplete)
            continue;
        for (unsigned trail = 0x40; trail < 0xff; ++trail) {
            const unsigned char two[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
            const char32_t d = convert(converter, two, 2, incomplete);
            if (d != 0)
                std::fprintf(file, "0x%02X%02X\t0x%04X\n", lead, trail, static_cast<unsigned>(d));
        }
    }
    iconv_close(converter);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_code_page_tables FOLDER NUMBER...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i)
        if (!write(argv[1], std::atoi(argv[i])))
            return 1;
    return 0;
}
