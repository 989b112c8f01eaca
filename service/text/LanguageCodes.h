#pragma once

#include <string>
#include <string_view>

#include <vector>

// Language codes as the application sends them ("en", "zh-tw": the window's
// service codes in lower case) and the names the engine's pair files use
// ("eng", "es", "spa", "hbs_HR").
namespace LanguageCodes {

enum class Side { Source, Target };

struct Match {
    std::string wireCode;
    int rank = 0;  // 0 is the language's own name; higher ranks are fallbacks
};

// Which of the window's languages an engine language name stands for on one
// side of a pair, best first; empty when none. "hbs" (Serbo-Croatian) reads
// Croatian and Serbian but is written only as "hbs_HR" or "hbs_SR";
// Norwegian is Bokmål ("nob") with Nynorsk ("nno") as a fallback; regional
// variants ("por_BR", "cat_valencia") stand for nothing.
std::vector<Match> wireCodes(std::string_view engineName, Side side);

// Every service code of the window's list, lower case.
std::vector<std::string> listCodes();

// ASCII lower case; the application sends its codes in upper case elsewhere.
std::string lower(std::string_view code);

// A code we are willing to repeat back: 2 to 12 characters of a-z, 0-9, "-".
bool isWellFormed(std::string_view code);

// The English name of a code, empty when unknown.
std::string displayName(std::string_view wireCode);

// "English (en)", or the bare code when its name is unknown.
std::string describe(std::string_view wireCode);

}  // namespace LanguageCodes
