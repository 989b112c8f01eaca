#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Which of the window's languages a text is written in, for the service and
// the application alike. The answer is either the candidates, best first, or
// "cannot tell": the text is too short, the detector is unsure, the text mixes
// languages, or its language is not in our lists. A wrong switch costs the user
// more than no switch, so any doubt gives "cannot tell". Codes are the window's
// service codes in lower case ("fr", "zh-tw").
namespace LanguageDetection {

struct Candidate {
    std::string code;
    int percent = 0;  // share of the text's letters in that language, 0 to 100
};

enum class Verdict { Detected, TooShort, Unsure, Mixed, NotListed };

template <typename CandidateType>
struct ResultOf {
    Verdict verdict = Verdict::TooShort;
    std::vector<CandidateType> candidates;  // best first; empty unless Detected

    bool detected() const { return verdict == Verdict::Detected; }
    const CandidateType& best() const { return candidates.front(); }
};
using Result = ResultOf<Candidate>;

// Codes the text is likely to be in (the window's interface language, the chosen
// source), any case; empty for none. They tip a close call, never overrule the text.
struct Hints {
    std::string interfaceLanguage;
    std::string source;
};

// Fewer letters than this, or a single word, and nothing is said.
inline constexpr int MinimumLetters = 20;
// Long texts are judged on an evenly spaced sample of at most this many bytes.
inline constexpr std::size_t SampleBytes = 64 * 1024;
// The best language must hold this share of the text, or the text counts as mixed.
inline constexpr int MajorityPercent = 70;

// Bytes that are not UTF-8 count as no letter and are never read as text.
Result detect(std::string_view utf8, const Hints& hints = {});

// Two codes are one language to the detector: the same code, or both
// Serbo-Croatian (Croatian and Serbian), which it cannot keep apart in Latin script.
bool sameLanguage(std::string_view code, std::string_view other);

// Why the language cannot be told ("Cannot tell the language: the text is too
// short."); empty for Detected.
std::string cannotTellReason(Verdict verdict);

// "detected", "too short", "unsure", "mixed", "not listed".
const char* verdictName(Verdict verdict);

using Piece = std::pair<std::size_t, std::size_t>;  // [begin, end)

// Stretches of a long text, evenly spaced, that together stay within `budget`
// units. `cutsBefore(i)` says whether a piece may start or end at unit i (never
// inside a character); `isSpace(i)` lets a piece begin after a word, not in one.
template <typename CutsBefore, typename IsSpace>
std::vector<Piece> samplePieces(std::size_t size, std::size_t budget, CutsBefore cutsBefore, IsSpace isSpace)
{
    if (size <= budget)
        return {{0, size}};
    constexpr std::size_t Pieces = 16;
    constexpr std::size_t WordReach = 48;
    const std::size_t length = budget / Pieces - WordReach;
    const std::size_t stride = size / Pieces;
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < Pieces; ++i) {
        std::size_t begin = i * stride;
        for (std::size_t k = begin; k < std::min(size, begin + WordReach); ++k)
            if (isSpace(k)) {
                begin = k + 1;
                break;
            }
        while (begin < size && !cutsBefore(begin))
            ++begin;
        std::size_t end = std::min(size, begin + length);
        while (end > begin && end < size && !cutsBefore(end))
            --end;
        if (end > begin)
            pieces.emplace_back(begin, end);
    }
    return pieces;
}

}  // namespace LanguageDetection
