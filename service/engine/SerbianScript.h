#pragma once

#include <string>
#include <string_view>

// Serbian is written in Cyrillic and in Latin letters; the engine reads and
// writes Latin only. Reading Cyrillic is left to the engine's own
// transliterator; writing it is done here, on the engine's stream format.
namespace SerbianScript {

// True when the UTF-8 text holds a Cyrillic letter.
bool hasCyrillic(std::string_view text);

// The literal "#", "*" and "@" of a formatted stream set aside as
// private-use characters, so that every one the engine's marking generator
// writes afterwards is a mark.
std::string setMarkCharactersAside(std::string_view stream);

// The stream of a marking generator in Cyrillic: the marks dropped, a word
// the engine did not know or left untranslated ("*", "@") kept as it is, a
// word it failed to inflect ("#", a Serbian lemma) written in Cyrillic like
// the rest; the characters set aside come back. Blocks and escapes are kept.
std::string toCyrillic(std::string_view stream);

}  // namespace SerbianScript
