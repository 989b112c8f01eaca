#pragma once

#include <string>

class OleStorage;
class TextBuilder;

// Reads the text of a binary Word document (Word 97-2003, and Word 6/95 whose 8-bit text is in
// the code page its language implies) into `text`: the main text, then footnotes, endnotes and
// text boxes. Mapping files for 8-bit text come from `codePageFolder`. Returns a description of
// the file's version for the header line.
std::string readWordBinary(const OleStorage& storage, const std::string& codePageFolder, TextBuilder& text);
