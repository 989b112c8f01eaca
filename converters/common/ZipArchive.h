#pragma once

#include <functional>
#include <string>
#include <vector>

struct zip;

// The parts of a ZIP package (.docx, .xlsx, .pptx), read with libzip from bytes in memory.
class ZipArchive {
public:
    // No part of an office package unpacks to more than this.
    static constexpr std::size_t kMaxPartBytes = 256u << 20;
    // Packed more densely than this, a large part is taken for a ZIP bomb: office XML packs to
    // a tenth or so of its size, and deflate cannot go beyond about a thousandth.
    static constexpr std::size_t kMaxRatio = 200;
    static constexpr std::size_t kRatioFrom = 16u << 20;

    explicit ZipArchive(const std::string& bytes);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool has(const std::string& name) const;
    // Unpacks the part piece by piece into `consume`; a part too large or packed too densely is
    // refused before it is unpacked, from what the directory says, and while it is, from what
    // really comes out.
    void read(const std::string& name, const std::function<void(const char* data, std::size_t size)>& consume) const;

private:
    zip* m_archive = nullptr;
};
