#pragma once

#include <functional>
#include <string>

// Runs a converter's work: a ConversionError (or any other failure) is printed on standard
// error as "<program>: <document>: <reason>" and turned into exit code 1; usage errors give 2,
// a failed allocation (the translator caps a converter's memory) ConverterExit::OutOfMemory.
int runConverter(const char* program, int argc, char** argv, int argumentsWanted, const char* usage,
                 const std::function<void(char** arguments)>& work);

// The file's base name with control characters replaced, fit for a single header line.
std::string headerName(const std::string& path);

// Writes all of `text` to standard output; fails with a ConversionError when it cannot.
void writeStandardOutput(const std::string& text);
