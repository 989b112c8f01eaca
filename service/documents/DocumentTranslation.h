#pragma once

#include "ProcessChain.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class StopFlag;
class TranslationEngine;

// Whole documents translated with their layout kept: the engine's
// deformatter takes the markup out of the sentences once, every step of the
// route translates the stream, and the reformatter puts the markup back.
// Zip packages (Word, PowerPoint and Excel 2007+, OpenDocument) are checked
// before any work and rewritten entry by entry; only the parts holding text
// change. OpenDocument spreadsheets have no path in the engine: their text
// cells are read and written here, numbers and formulas left as they are.
namespace DocumentTranslation {

enum class Support { Kept, NotKept, Unknown };

// The formats of Formats() (and "htm") are kept; older office formats and PDF are known but not kept.
Support supports(const std::string& format);

// The formats whose layout is kept: docx, odt, odp, ods, pptx, xlsx, html, rtf.
const std::vector<std::string>& formats();

// The file name extensions of those formats, each format's own first (html, then htm).
const std::vector<std::string>& extensions();

// The kept format a file name extension in lower case stands for ("htm" -> "html"); empty when none.
std::string formatOf(const std::string& extension);

// A kept format as the user knows it, with its extensions: "Word (.docx)", "HTML (.html, .htm)".
std::string described(const std::string& format);

// The media type of a kept format.
std::string mediaType(const std::string& format);

struct Result {
    int status = 200;     // HTTP status; 200 when output was written
    std::string message;  // why not, for the user
};

// The engine's pieces answered of all there are; total is 0 until the document is read.
using Progress = std::function<void(size_t done, size_t total)>;

// Translates the document at input into output (both inside workDir, a
// private folder the caller removes), writing scratch files only there.
// stop: once raised, the engine's programs working on it are stopped and a failure comes back at once.
Result translate(TranslationEngine& engine, const std::filesystem::path& workDir, const std::filesystem::path& input,
                 const std::filesystem::path& output, const std::string& format, const std::string& from,
                 const std::string& to, ProcessChain::Clock::time_point deadline, const Progress& progress = {}, bool serbianCyrillic = false, const StopFlag* stop = nullptr);

// HTML character references for letters outside ASCII written out as UTF-8,
// since the engine's HTML deformatter turns them into broken bytes; the
// references to markup characters stay as they are.
std::string resolveCharacterReferences(const std::string& html);

}  // namespace DocumentTranslation
