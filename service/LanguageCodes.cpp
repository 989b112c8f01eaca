#include "LanguageCodes.h"

#include <algorithm>
#include <array>
#include <utility>

namespace LanguageCodes {
namespace {

// ISO 639-3 names used by the engine's pairs, for the languages the
// application's list knows by a two-letter code.
constexpr std::array<std::pair<std::string_view, std::string_view>, 24> kEngineNames{{
    {"eng", "en"}, {"spa", "es"}, {"fra", "fr"}, {"por", "pt"}, {"cat", "ca"},
    {"ita", "it"}, {"deu", "de"}, {"nld", "nl"}, {"ell", "el"}, {"rus", "ru"},
    {"glg", "gl"}, {"ron", "ro"}, {"pol", "pl"}, {"swe", "sv"}, {"dan", "da"},
    {"nob", "no"}, {"afr", "af"}, {"bel", "be"}, {"bul", "bg"}, {"ukr", "uk"},
    {"mlt", "mt"}, {"cym", "cy"}, {"gle", "ga"}, {"isl", "is"},
}};

constexpr std::array<std::pair<std::string_view, std::string_view>, 53> kNames{{
    {"en", "English"}, {"fr", "French"}, {"de", "German"}, {"es", "Spanish"},
    {"it", "Italian"}, {"pt", "Portuguese"}, {"nl", "Dutch"}, {"el", "Greek"},
    {"ko", "Korean"}, {"ru", "Russian"}, {"ja", "Japanese"}, {"zh", "Chinese (Simplified)"},
    {"zh-tw", "Chinese (Traditional)"}, {"hu", "Hungarian"}, {"da", "Danish"},
    {"fi", "Finnish"}, {"sv", "Swedish"}, {"ar", "Arabic"}, {"ca", "Catalan"},
    {"hr", "Croatian"}, {"cs", "Czech"}, {"iw", "Hebrew"}, {"no", "Norwegian"},
    {"af", "Afrikaans"}, {"sq", "Albanian"}, {"be", "Belarusian"}, {"bg", "Bulgarian"},
    {"et", "Estonian"}, {"tl", "Filipino"}, {"gl", "Galician"}, {"ht", "Haitian"},
    {"hi", "Hindi"}, {"is", "Icelandic"}, {"id", "Indonesian"}, {"ga", "Irish"},
    {"lv", "Latvian"}, {"lt", "Lithuanian"}, {"mk", "Macedonian"}, {"ms", "Malay"},
    {"mt", "Maltese"}, {"fa", "Persian"}, {"pl", "Polish"}, {"ro", "Romanian"},
    {"sr", "Serbian"}, {"sk", "Slovak"}, {"sl", "Slovenian"}, {"sw", "Swahili"},
    {"th", "Thai"}, {"tr", "Turkish"}, {"uk", "Ukrainian"}, {"vi", "Vietnamese"},
    {"cy", "Welsh"}, {"yi", "Yiddish"},
}};

}  // namespace

std::string Lower(std::string_view code)
{
    std::string out(code);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string WireCode(std::string_view engineName)
{
    const std::string name = Lower(engineName);
    for (const auto& [engine, wire] : kEngineNames) {
        if (engine == name)
            return std::string(wire);
    }
    return name;
}

bool IsWellFormed(std::string_view code)
{
    if (code.size() < 2 || code.size() > 12)
        return false;
    return std::all_of(code.begin(), code.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

std::string DisplayName(std::string_view wireCode)
{
    for (const auto& [code, name] : kNames) {
        if (code == wireCode)
            return std::string(name);
    }
    return {};
}

std::string Describe(std::string_view wireCode)
{
    const std::string name = DisplayName(wireCode);
    if (name.empty())
        return std::string(wireCode);
    return name + " (" + std::string(wireCode) + ")";
}

}  // namespace LanguageCodes
