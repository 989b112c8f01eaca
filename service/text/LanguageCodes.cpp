#include "LanguageCodes.h"

#include <algorithm>
#include <array>
#include <utility>

namespace LanguageCodes {
namespace {

// The engine's language names for the window's languages. A name may stand
// for a language on one side only (rank -1 on the other).
struct EngineName {
    std::string_view engine;
    std::string_view wire;
    int sourceRank;
    int targetRank;
};

constexpr EngineName kEngineNames[] = {
    {"eng", "en", 0, 0},    {"en", "en", 0, 0},   {"fra", "fr", 0, 0},  {"fr", "fr", 0, 0},  {"deu", "de", 0, 0},
    {"de", "de", 0, 0},     {"spa", "es", 0, 0},  {"es", "es", 0, 0},   {"ita", "it", 0, 0}, {"it", "it", 0, 0},
    {"por", "pt", 0, 0},    {"pt", "pt", 0, 0},   {"nld", "nl", 0, 0},  {"nl", "nl", 0, 0},  {"ell", "el", 0, 0},
    {"el", "el", 0, 0},     {"kor", "ko", 0, 0},  {"rus", "ru", 0, 0},  {"ru", "ru", 0, 0},  {"jpn", "ja", 0, 0},
    {"zho", "zh", 0, 0},    {"hun", "hu", 0, 0},  {"dan", "da", 0, 0},  {"da", "da", 0, 0},  {"fin", "fi", 0, 0},
    {"swe", "sv", 0, 0},    {"sv", "sv", 0, 0},   {"ara", "ar", 0, 0},  {"cat", "ca", 0, 0}, {"ca", "ca", 0, 0},
    {"hbs_HR", "hr", 0, 0}, {"hrv", "hr", 0, 0},  {"hbs", "hr", 1, -1}, {"ces", "cs", 0, 0}, {"heb", "iw", 0, 0},
    {"nob", "no", 0, 0},    {"nno", "no", 1, 1},  {"afr", "af", 0, 0},  {"af", "af", 0, 0},  {"sqi", "sq", 0, 0},
    {"bel", "be", 0, 0},    {"bul", "bg", 0, 0},  {"est", "et", 0, 0},  {"tgl", "tl", 0, 0}, {"glg", "gl", 0, 0},
    {"gl", "gl", 0, 0},     {"hat", "ht", 0, 0},  {"hin", "hi", 0, 0},  {"isl", "is", 0, 0}, {"is", "is", 0, 0},
    {"ind", "id", 0, 0},    {"id", "id", 0, 0},   {"gle", "ga", 0, 0},  {"lav", "lv", 0, 0}, {"lit", "lt", 0, 0},
    {"mkd", "mk", 0, 0},    {"mk", "mk", 0, 0},   {"zlm", "ms", 0, 0},  {"msa", "ms", 0, 0}, {"mlt", "mt", 0, 0},
    {"fas", "fa", 0, 0},    {"pol", "pl", 0, 0},  {"ron", "ro", 0, 0},  {"ro", "ro", 0, 0},  {"hbs_SR", "sr", 0, 0},
    {"srp", "sr", 0, 0},    {"hbs", "sr", 1, -1}, {"slk", "sk", 0, 0},  {"slv", "sl", 0, 0}, {"sl", "sl", 0, 0},
    {"swa", "sw", 0, 0},    {"tha", "th", 0, 0},  {"tur", "tr", 0, 0},  {"ukr", "uk", 0, 0}, {"uk", "uk", 0, 0},
    {"vie", "vi", 0, 0},    {"cym", "cy", 0, 0},  {"cy", "cy", 0, 0},   {"yid", "yi", 0, 0},
};

constexpr std::array<std::pair<std::string_view, std::string_view>, 53> kNames{{
    {"en", "English"},
    {"fr", "French"},
    {"de", "German"},
    {"es", "Spanish"},
    {"it", "Italian"},
    {"pt", "Portuguese"},
    {"nl", "Dutch"},
    {"el", "Greek"},
    {"ko", "Korean"},
    {"ru", "Russian"},
    {"ja", "Japanese"},
    {"zh", "Chinese (Simplified)"},
    {"zh-tw", "Chinese (Traditional)"},
    {"hu", "Hungarian"},
    {"da", "Danish"},
    {"fi", "Finnish"},
    {"sv", "Swedish"},
    {"ar", "Arabic"},
    {"ca", "Catalan"},
    {"hr", "Croatian"},
    {"cs", "Czech"},
    {"iw", "Hebrew"},
    {"no", "Norwegian"},
    {"af", "Afrikaans"},
    {"sq", "Albanian"},
    {"be", "Belarusian"},
    {"bg", "Bulgarian"},
    {"et", "Estonian"},
    {"tl", "Filipino"},
    {"gl", "Galician"},
    {"ht", "Haitian"},
    {"hi", "Hindi"},
    {"is", "Icelandic"},
    {"id", "Indonesian"},
    {"ga", "Irish"},
    {"lv", "Latvian"},
    {"lt", "Lithuanian"},
    {"mk", "Macedonian"},
    {"ms", "Malay"},
    {"mt", "Maltese"},
    {"fa", "Persian"},
    {"pl", "Polish"},
    {"ro", "Romanian"},
    {"sr", "Serbian"},
    {"sk", "Slovak"},
    {"sl", "Slovenian"},
    {"sw", "Swahili"},
    {"th", "Thai"},
    {"tr", "Turkish"},
    {"uk", "Ukrainian"},
    {"vi", "Vietnamese"},
    {"cy", "Welsh"},
    {"yi", "Yiddish"},
}};

}  // namespace

std::string lower(std::string_view code)
{
    std::string out(code);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::vector<Match> wireCodes(std::string_view engineName, Side side)
{
    std::vector<Match> matches;
    for (const EngineName& name : kEngineNames) {
        const int rank = side == Side::Source ? name.sourceRank : name.targetRank;
        if (name.engine == engineName && rank >= 0)
            matches.push_back({std::string(name.wire), rank});
    }
    return matches;
}

std::vector<std::string> listCodes()
{
    std::vector<std::string> codes;
    for (const auto& [code, name] : kNames)
        codes.emplace_back(code);
    return codes;
}

bool isWellFormed(std::string_view code)
{
    if (code.size() < 2 || code.size() > 12)
        return false;
    return std::all_of(code.begin(), code.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; });
}

std::string displayName(std::string_view wireCode)
{
    for (const auto& [code, name] : kNames) {
        if (code == wireCode)
            return std::string(name);
    }
    return {};
}

std::string describe(std::string_view wireCode)
{
    const std::string name = displayName(wireCode);
    if (name.empty())
        return std::string(wireCode);
    return name + " (" + std::string(wireCode) + ")";
}

}  // namespace LanguageCodes
