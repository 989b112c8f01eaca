#pragma once

#include <string>
#include <vector>

// Rich text made fit for the engine's RTF formatters and made RTF again
// after them. The engine reads \'e9 and \u233 as broken bytes or as markup
// in the middle of a word, and translates font and style names: characters
// are handed to it as UTF-8, and the groups that hold no text of the
// document (font, colour and style tables, pictures, "\*" destinations) are
// set aside behind a placeholder of their own.
namespace RtfPreparation {

struct Prepared {
    std::string rtf;                    // for the engine's deformatter
    std::vector<std::string> setAside;  // the groups the placeholders stand for
};

// False when the text is not RTF at all.
bool prepare(const std::string& rtf, Prepared& prepared);

// The reformatter's output as RTF again: the groups set aside back in place,
// letters outside ASCII written as \uN? escapes.
std::string restore(const std::string& reformatted, const std::vector<std::string>& setAside);

}  // namespace RtfPreparation
