#include "LanguageDetection.h"

#include "FormDecoding.h"
#include "LanguageCodes.h"

#include <cstdio>  // the detector's header uses FILE without including it
#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

#include <locale.h>
#include <wchar.h>
#include <wctype.h>

#include <cstring>

namespace LanguageDetection {
namespace {

// The detector's own names where they differ from our lists' codes: Bosnian and
// Montenegrin read as the Serbo-Croatian entries, Nynorsk as Norwegian.
std::string listCodeOf(CLD2::Language language)
{
    static const std::pair<const char*, const char*> Aliases[] = {
        {"zh-Hant", "zh-tw"}, {"bs", "hr"}, {"sr-ME", "sr"}, {"nn", "no"}, {"nb", "no"}, {"he", "iw"}, {"fil", "tl"}};
    const char* code = CLD2::LanguageCode(language);
    if (!code || language == CLD2::UNKNOWN_LANGUAGE)
        return {};
    for (const auto& [theirs, ours] : Aliases)
        if (std::strcmp(code, theirs) == 0)
            return ours;
    static const std::vector<std::string> listed = LanguageCodes::listCodes();
    const std::string lower = LanguageCodes::lower(code);
    return std::find(listed.begin(), listed.end(), lower) != listed.end() ? lower : std::string();
}

std::string detectorHintCode(const std::string& code)
{
    const std::string lower = LanguageCodes::lower(code);
    return lower == "zh-tw" ? "zh-Hant" : lower;
}

bool serboCroatian(std::string_view code)
{
    const std::string lower = LanguageCodes::lower(code);
    return lower == "hr" || lower == "sr";
}

// One code point from the front of `text`; -1 for a byte that starts no
// well-formed UTF-8 sequence (one byte is then passed over).
char32_t nextCodePoint(std::string_view text, std::size_t& at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size() || !FormDecoding::isValidUtf8(text.substr(at, length))) {
        ++at;
        return char32_t(-1);
    }
    char32_t c = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i)
        c = (c << 6) | (byte(at + i) & 0x3F);
    at += length;
    return c;
}

// Digits of other scripts count as letters to the C library; they are no words.
bool isDigit(char32_t c)
{
    static constexpr char32_t Zeros[] = {0x660, 0x6F0, 0x7C0, 0x966, 0x9E6, 0xA66, 0xAE6,  0xB66,  0xBE6, 0xC66,
                                         0xCE6, 0xD66, 0xDE6, 0xE50, 0xED0, 0xF20, 0x1040, 0x17E0, 0xFF10};
    return std::any_of(std::begin(Zeros), std::end(Zeros), [c](char32_t zero) { return c >= zero && c < zero + 10; });
}

// The text as the detector reads it (well-formed UTF-8 alone) and whether there
// is enough to judge: MinimumLetters letters in more than one word (a run of
// letters; scripts written without spaces still break at their punctuation).
struct Reading {
    std::string utf8;
    bool longEnough = false;
};

Reading read(std::string_view text)
{
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    const locale_t before = unicode ? uselocale(unicode) : locale_t(nullptr);
    Reading reading;
    reading.utf8.reserve(text.size());
    int letters = 0, words = 0;
    bool inWord = false;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        const char32_t c = nextCodePoint(text, at);
        if (c == char32_t(-1)) {
            reading.utf8 += ' ';
            inWord = false;
            continue;
        }
        reading.utf8.append(text.substr(start, at - start));
        const wint_t wide = wint_t(c);
        // combining marks (no width of their own) carry on the word they follow
        const bool letter =
            unicode && ((iswalpha(wide) && !isDigit(c)) || (inWord && c >= 0x300 && wcwidth(wchar_t(c)) == 0));
        letters += letter ? 1 : 0;
        words += letter && !inWord ? 1 : 0;
        inWord = letter;
    }
    if (unicode)
        uselocale(before);
    reading.longEnough = letters >= MinimumLetters && words > 1;
    return reading;
}

Result judge(std::string_view text, const Hints& hints)
{
    const Reading reading = read(text);
    if (!reading.longEnough)
        return {Verdict::TooShort, {}};

    std::string hintList;
    for (const std::string* hint : {&hints.source, &hints.interfaceLanguage})
        if (!hint->empty())
            hintList += (hintList.empty() ? "" : ",") + detectorHintCode(*hint);
    const CLD2::CLDHints cldHints{hintList.empty() ? nullptr : hintList.c_str(), nullptr, CLD2::UNKNOWN_ENCODING,
                                  CLD2::UNKNOWN_LANGUAGE};
    CLD2::Language languages[3];
    int percents[3];
    double scores[3];
    int textBytes = 0;
    bool reliable = false;
    const CLD2::Language top =
        CLD2::ExtDetectLanguageSummary(reading.utf8.data(), int(reading.utf8.size()), true, &cldHints, 0, languages,
                                       percents, scores, nullptr, &textBytes, &reliable);
    if (top == CLD2::UNKNOWN_LANGUAGE || !reliable)
        return {Verdict::Unsure, {}};

    Result result{Verdict::Detected, {}};
    for (int i = 0; i < 3; ++i) {
        if (languages[i] == CLD2::UNKNOWN_LANGUAGE || percents[i] <= 0)
            continue;
        const std::string code = listCodeOf(languages[i]);
        if (i == 0 && code.empty())
            return {Verdict::NotListed, {}};
        if (code.empty())
            continue;
        // Croatian, Serbian and Bosnian are one language to the engines: their shares add up
        auto same = std::find_if(result.candidates.begin(), result.candidates.end(),
                                 [&](const Candidate& c) { return sameLanguage(c.code, code); });
        if (same != result.candidates.end())
            same->percent += percents[i];
        else
            result.candidates.push_back({code, percents[i]});
    }
    std::stable_sort(result.candidates.begin(), result.candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.percent > b.percent; });
    if (result.candidates.empty())
        return {Verdict::NotListed, {}};
    if (result.best().percent < MajorityPercent)
        return {Verdict::Mixed, {}};
    return result;
}

}  // namespace

Result detect(std::string_view utf8, const Hints& hints)
{
    const auto continuation = [&](std::size_t i) { return (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80; };
    if (utf8.size() <= SampleBytes)
        return judge(utf8, hints);
    std::string sample;
    for (const auto& [begin, end] : samplePieces(
             utf8.size(), SampleBytes, [&](std::size_t i) { return !continuation(i); },
             [&](std::size_t i) { return utf8[i] == ' ' || utf8[i] == '\n'; }))
        sample.append(utf8.substr(begin, end - begin)).append(1, '\n');
    return judge(sample, hints);
}

bool sameLanguage(std::string_view code, std::string_view other)
{
    return !code.empty()
           && (LanguageCodes::lower(code) == LanguageCodes::lower(other)
               || (serboCroatian(code) && serboCroatian(other)));
}

namespace {

struct VerdictWords {
    Verdict verdict;
    const char* name;
    const char* reason;
};

constexpr VerdictWords Words[] = {
    {Verdict::Detected, "detected", ""},
    {Verdict::TooShort, "too short", "Cannot tell the language: the text is too short."},
    {Verdict::Unsure, "unsure", "Cannot tell the language of this text."},
    {Verdict::Mixed, "mixed", "Cannot tell the language: the text mixes languages."},
    {Verdict::NotListed, "not listed", "Cannot tell the language: it is none of the listed languages."},
};

const VerdictWords& wordsFor(Verdict verdict)
{
    return *std::find_if(std::begin(Words), std::end(Words), [verdict](const auto& w) { return w.verdict == verdict; });
}

}  // namespace

std::string cannotTellReason(Verdict verdict) { return wordsFor(verdict).reason; }

const char* verdictName(Verdict verdict) { return wordsFor(verdict).name; }

}  // namespace LanguageDetection
