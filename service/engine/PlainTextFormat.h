#pragma once

#include <string>
#include <string_view>

// The engine's plain-text format done in the service instead of by starting
// its deformatter and reformatter for every request. Each function handles
// the text it knows byte for byte as those programs do, and returns false
// (leaving out alone) for anything else, so the caller can hand that text to
// the programs themselves.
namespace PlainTextFormat {

// Text to stream: engine-special characters escaped with "\", each run of
// blanks (space, tab, line feed, "~") but a lone space kept as a "[...]"
// block, and a "." and empty block ".[]" ahead of every paragraph break
// (two line feeds in a row) and at the end. Takes valid UTF-8 without
// carriage return or NUL and no run of blanks longer than 8192 bytes.
bool deformat(std::string_view text, std::string& out);

// Stream to text: ".[]" and block brackets dropped, escapes undone, NUL
// dropped. Takes valid UTF-8 without a blank kept in a file ("[@file]").
bool reformat(std::string_view stream, std::string& out);

}  // namespace PlainTextFormat
