#pragma once

#include <string>
#include <string_view>
#include <vector>

// Cuts a text into a few consecutive pieces at sentence ends, so one request
// can use several engine chains at once. A cut goes after a line that ends a
// sentence: its final ".", "!" or "?" (and any closing quote or bracket),
// then blanks holding at least one line break. The engine reads such a piece
// exactly as it would the whole text; a cut after a period in mid-line could
// mistake an initial ("J. Smith") for a sentence end and lose the period.
namespace SentenceSplit {

enum class Form {
    PlainText,
    // the engine's stream format: "\x" is an escaped character, "[...]" a
    // block of formatting that counts as a blank and is never cut into. A
    // line end is no safe cut there ("Inc." ends a line but not the
    // sentence, and the engine may read across it), so the only cuts are
    // after the marks the deformatter puts at empty lines: ".[][\n\n]".
    EngineStream,
};

// At most `pieces` pieces, none shorter than minBytes; the pieces joined
// give the text back. A text with no suitable sentence end stays whole.
std::vector<std::string> split(std::string_view text, int pieces, size_t minBytes, Form form = Form::PlainText);

}  // namespace SentenceSplit
