#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

struct zip;
struct zip_error;
struct zip_source;

// Why a package is refused; what() words it for a converter's report, and a
// reader with words of its own goes by problem(), part() and limit().
class ZipError : public std::runtime_error {
public:
    enum class Problem {
        Unreadable,    // not a zip container at all, or a broken one
        DamagedPart,   // a part that cannot be found or unpacked
        TooManyParts,  // more parts than ZipArchive::kMaxParts
        TooLarge,      // unpacks to more than ZipArchive::kMaxTotalBytes in all
        PartTooLarge,  // one part unpacks to more than ZipArchive::kMaxPartBytes
        TooDense,      // packed more densely than ZipArchive::kMaxRatio
    };
    ZipError(Problem problem, std::string part, std::uint64_t limit, const std::string& reason);

    Problem problem() const { return m_problem; }
    const std::string& part() const { return m_part; }
    std::uint64_t limit() const { return m_limit; }

private:
    Problem m_problem;
    std::string m_part;
    std::uint64_t m_limit;
};

// The parts of a zip package (.docx, .xlsx, .pptx, .odt...), read with libzip.
// Every reader holds to the same limits: a package is refused on opening from
// what its directory says, and a part while it is unpacked from what really
// comes out, since the directory can lie.
class ZipArchive {
public:
    static constexpr std::uint64_t kMaxParts = 10000;
    static constexpr std::uint64_t kMaxTotalBytes = 500ull << 20;
    // No part of an office package unpacks to more than this.
    static constexpr std::uint64_t kMaxPartBytes = 256ull << 20;
    // Packed more densely than this, a large part is taken for a zip bomb: office XML packs to
    // a tenth or so of its size, and deflate cannot go beyond about a thousandth.
    static constexpr std::uint64_t kMaxRatio = 200;
    static constexpr std::uint64_t kRatioFrom = 16ull << 20;

    // From bytes in memory, which must outlive the archive.
    explicit ZipArchive(const std::string& bytes);
    // From a file.
    explicit ZipArchive(const std::filesystem::path& file);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    std::uint64_t count() const;
    std::string name(std::uint64_t index) const;
    std::optional<std::uint64_t> find(const std::string& name) const;
    bool has(const std::string& name) const { return find(name).has_value(); }

    // Unpacks the part piece by piece into `consume`.
    void read(const std::string& name, const std::function<void(const char* data, std::size_t size)>& consume) const;
    void read(std::uint64_t index, const std::function<void(const char* data, std::size_t size)>& consume) const;
    // The whole part.
    std::string read(std::uint64_t index) const;

    // For copying parts unchanged into a new package with libzip.
    zip* handle() const { return m_archive; }

private:
    void open(const std::function<zip_source*(zip_error*)>& makeSource);
    void checkDirectory() const;

    zip* m_archive = nullptr;
};
