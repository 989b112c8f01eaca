#pragma once

#include <string>
#include <string_view>
#include <vector>

// Cuts a text into a few consecutive pieces at sentence ends, so one request
// can use several engine chains at once. A cut goes after a sentence's final
// ".", "!" or "?" (and any closing quote or bracket) and the blanks or line
// breaks that follow it, so every piece but the first starts a sentence.
namespace SentenceSplit {

// At most `pieces` pieces, none shorter than minBytes; the pieces joined
// give the text back. A text with no suitable sentence end stays whole.
std::vector<std::string> Split(std::string_view text, int pieces, size_t minBytes);

}  // namespace SentenceSplit
