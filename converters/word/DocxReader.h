#pragma once

class TextBuilder;
class ZipArchive;

// Reads the text of an Office Open XML document (.docx, .docm, .dotx): the body with its
// tables and text boxes, then footnotes and endnotes. Deleted revisions and field codes are
// left out.
void readDocx(const ZipArchive& package, TextBuilder& text);
