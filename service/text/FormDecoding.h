#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Reading an application/x-www-form-urlencoded request body.
namespace FormDecoding {

using Fields = std::vector<std::pair<std::string, std::string>>;

// "%hh" becomes that byte, "+" a space (when plusIsSpace); a "%" that is
// not followed by two hexadecimal digits stays as it is.
std::string percentDecode(std::string_view text, bool plusIsSpace = true);

// The fields in the order sent. A field without "=" has an empty value;
// empty fields ("a=1&&b=2") are skipped.
Fields decode(std::string_view body);

// The value of the first field with that name.
std::optional<std::string> field(const Fields& fields, std::string_view name);

// Well-formed UTF-8 with no overlong forms, surrogates or values past U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// One code point appended to out as UTF-8.
void appendUtf8(char32_t c, std::string& out);

}  // namespace FormDecoding
