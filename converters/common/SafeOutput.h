#pragma once

#include <string>

// Puts `text` into the file `path` without ever writing through what is already there: the text
// goes into a new file beside it, which then replaces the name. A symbolic or hard link planted
// at `path` is replaced, never followed; on failure the old file is left as it was.
void writeFileSafely(const std::string& path, const std::string& text);

// Writes all of `text` to the descriptor; false with errno set when it cannot.
bool writeAll(int fd, const std::string& text);

// `path` with the extension of its last component replaced by (or extended with) `extension`.
std::string withExtension(const std::string& path, const std::string& extension);
