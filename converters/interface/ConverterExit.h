#pragma once

// How a document converter ends, as the translator reads it. Whatever the code, a reason
// for the user is one line on standard error.
namespace ConverterExit {
constexpr int Done = 0;         // the whole text is there
constexpr int Failed = 1;       // the document could not be read; no text anywhere
constexpr int Misused = 2;      // wrong arguments
constexpr int OutOfMemory = 3;  // the document needs more memory than the converter may take
constexpr int Partial = 4;      // the text is there, but only its beginning (too long, too slow)
}  // namespace ConverterExit
