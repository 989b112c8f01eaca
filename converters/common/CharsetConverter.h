#pragma once

#include <string>
#include <string_view>

#include <cstddef>

// Text in a character set iconv knows, as UTF-8; bytes the set does not define become U+FFFD,
// counted in `invalid` when given. Returns false, and leaves `out` alone, when iconv does not
// know the set.
bool convertToUtf8(std::string_view bytes, const std::string& charset, std::string& out,
                   std::size_t* invalid = nullptr);
