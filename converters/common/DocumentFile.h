#pragma once

#include <cstdint>
#include <string>

// The bytes of a document and what kind of container they are.
class DocumentFile {
public:
    enum class Kind { Empty, Ole, Zip, Pdf, Other };

    // Reads the whole file; files above `maxBytes` are refused rather than read into memory.
    static DocumentFile read(const std::string& path, std::uint64_t maxBytes = 512ull << 20);

    Kind kind() const;
    const std::string& bytes() const { return m_bytes; }
    // A reason for a file that is not what the converter reads: empty, plain text, or unknown.
    std::string notA(const std::string& what) const;

private:
    std::string m_bytes;
};
