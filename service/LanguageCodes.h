#pragma once

#include <string>
#include <string_view>

// Language codes as the application sends them ("en", "zh-tw") and the names
// the engine's pair files use ("eng", "es", "spa").
namespace LanguageCodes {

// The application's code for an engine language name; names with no
// two-letter code stay as they are.
std::string WireCode(std::string_view engineName);

// ASCII lower case; the application sends its codes in upper case elsewhere.
std::string Lower(std::string_view code);

// A code we are willing to repeat back: 2 to 12 characters of a-z, 0-9, "-".
bool IsWellFormed(std::string_view code);

// The English name of a code, empty when unknown.
std::string DisplayName(std::string_view wireCode);

// "English (en)", or the bare code when its name is unknown.
std::string Describe(std::string_view wireCode);

}  // namespace LanguageCodes
