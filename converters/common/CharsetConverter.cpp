#include "CharsetConverter.h"

#include <cerrno>
#include <iconv.h>

bool convertToUtf8(std::string_view bytes, const std::string& charset, std::string& out, std::size_t* invalid)
{
    iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    out.reserve(out.size() + bytes.size() + bytes.size() / 2);
    char buffer[16384];
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPointer = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(converter, &in, &inLeft, &outPointer, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPointer - buffer));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += "\xef\xbf\xbd";
            if (invalid)
                ++*invalid;
            ++in;
            --inLeft;
        }
    }
    iconv_close(converter);
    return true;
}
