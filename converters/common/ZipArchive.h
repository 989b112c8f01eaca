#pragma once

#include <string>
#include <vector>

struct zip;

// The parts of a ZIP package (.docx, .xlsx, .pptx), read with libzip from bytes in memory.
class ZipArchive {
public:
    explicit ZipArchive(const std::string& bytes);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool has(const std::string& name) const;
    // The part's content; a part that unpacks to more than `maxBytes` is refused.
    std::string read(const std::string& name, std::size_t maxBytes = 256u << 20) const;
    std::vector<std::string> names() const;

private:
    zip* m_archive = nullptr;
};
