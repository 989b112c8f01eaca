#include "ZipArchive.h"

#include <zip.h>

#include <algorithm>

namespace {

std::string megabytes(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

std::string wording(ZipError::Problem problem, const std::string& part, std::uint64_t limit, const std::string& reason)
{
    using Problem = ZipError::Problem;
    const std::string tooLarge = "the document is too large to convert: ";
    switch (problem) {
    case Problem::Unreadable:
        return "the file is damaged: its ZIP container cannot be read (" + reason + ")";
    case Problem::DamagedPart:
        return "the file is damaged: its part " + part + " " + reason;
    case Problem::TooManyParts:
        return tooLarge + "it holds more than " + std::to_string(limit) + " files";
    case Problem::TooLarge:
        return tooLarge + "it unpacks to more than " + megabytes(limit);
    case Problem::PartTooLarge:
        return tooLarge + "its part " + part + " unpacks to more than " + megabytes(limit);
    case Problem::TooDense:
        return tooLarge + "its part " + part + " unpacks to more than " + std::to_string(limit)
               + " times its packed size";
    }
    return reason;
}

// The size a part unpacks to, said or found, checked against the bounds.
void checkUnpacked(const std::string& name, std::uint64_t unpacked, std::uint64_t packed)
{
    if (unpacked > ZipArchive::kMaxPartBytes)
        throw ZipError(ZipError::Problem::PartTooLarge, name, ZipArchive::kMaxPartBytes, {});
    if (unpacked > ZipArchive::kRatioFrom && unpacked / std::max<std::uint64_t>(packed, 1) > ZipArchive::kMaxRatio)
        throw ZipError(ZipError::Problem::TooDense, name, ZipArchive::kMaxRatio, {});
}

[[noreturn]] void unreadable(zip_error_t& error, zip_source_t* source)
{
    const std::string reason = zip_error_strerror(&error);
    if (source)
        zip_source_free(source);
    zip_error_fini(&error);
    throw ZipError(ZipError::Problem::Unreadable, {}, 0, reason);
}

}  // namespace

ZipError::ZipError(Problem problem, std::string part, std::uint64_t limit, const std::string& reason)
    : std::runtime_error(wording(problem, part, limit, reason)), m_problem(problem), m_part(std::move(part)),
      m_limit(limit)
{
}

ZipArchive::ZipArchive(const std::string& bytes)
{
    open([&bytes](zip_error_t* error) { return zip_source_buffer_create(bytes.data(), bytes.size(), 0, error); });
}

ZipArchive::ZipArchive(const std::filesystem::path& file)
{
    open([&file](zip_error_t* error) { return zip_source_file_create(file.c_str(), 0, -1, error); });
}

void ZipArchive::open(const std::function<zip_source_t*(zip_error_t*)>& makeSource)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = makeSource(&error);
    if (source)
        m_archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!m_archive)
        unreadable(error, source);
    zip_error_fini(&error);
    checkDirectory();
}

ZipArchive::~ZipArchive()
{
    if (m_archive)
        zip_discard(m_archive);
}

void ZipArchive::checkDirectory() const
{
    // the archive is given up by the destructor only once the constructor is through
    try {
        const std::uint64_t entries = count();
        if (entries > kMaxParts)
            throw ZipError(ZipError::Problem::TooManyParts, {}, kMaxParts, {});
        std::uint64_t total = 0;
        for (std::uint64_t i = 0; i < entries; ++i) {
            zip_stat_t stat;
            zip_stat_init(&stat);
            if (zip_stat_index(m_archive, i, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)
                || !(stat.valid & ZIP_STAT_NAME))
                throw ZipError(ZipError::Problem::DamagedPart, "#" + std::to_string(i + 1), 0, "cannot be read");
            total += stat.size;
            if (total > kMaxTotalBytes)
                throw ZipError(ZipError::Problem::TooLarge, {}, kMaxTotalBytes, {});
            checkUnpacked(stat.name, stat.size, (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0);
        }
    } catch (...) {
        zip_discard(m_archive);
        throw;
    }
}

std::uint64_t ZipArchive::count() const
{
    const zip_int64_t entries = zip_get_num_entries(m_archive, 0);
    return entries < 0 ? 0 : static_cast<std::uint64_t>(entries);
}

std::string ZipArchive::name(std::uint64_t index) const
{
    const char* name = zip_get_name(m_archive, index, 0);
    return name ? name : std::string();
}

std::optional<std::uint64_t> ZipArchive::find(const std::string& name) const
{
    const zip_int64_t index = zip_name_locate(m_archive, name.c_str(), 0);
    if (index < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(index);
}

void ZipArchive::read(const std::string& name,
                      const std::function<void(const char* data, std::size_t size)>& consume) const
{
    const std::optional<std::uint64_t> index = find(name);
    if (!index)
        throw ZipError(ZipError::Problem::DamagedPart, name, 0,
                       std::string("cannot be read (") + zip_strerror(m_archive) + ")");
    read(*index, consume);
}

void ZipArchive::read(std::uint64_t index,
                      const std::function<void(const char* data, std::size_t size)>& consume) const
{
    const std::string partName = name(index);
    zip_stat_t stat;
    zip_stat_init(&stat);
    zip_file_t* file = zip_stat_index(m_archive, index, 0, &stat) == 0 ? zip_fopen_index(m_archive, index, 0) : nullptr;
    if (!file)
        throw ZipError(ZipError::Problem::DamagedPart, partName, 0,
                       std::string("cannot be read (") + zip_strerror(m_archive) + ")");
    const std::uint64_t packed = (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
    std::uint64_t unpacked = 0;
    char buffer[65536];
    try {
        for (;;) {
            const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
            if (got < 0)
                throw ZipError(ZipError::Problem::DamagedPart, partName, 0,
                               std::string("cannot be unpacked (") + zip_file_strerror(file) + ")");
            if (got == 0)
                break;
            unpacked += static_cast<std::uint64_t>(got);
            checkUnpacked(partName, unpacked, packed);
            consume(buffer, static_cast<std::size_t>(got));
        }
    } catch (...) {
        zip_fclose(file);
        throw;
    }
    zip_fclose(file);
}

std::string ZipArchive::read(std::uint64_t index) const
{
    std::string content;
    read(index, [&content](const char* data, std::size_t size) { content.append(data, size); });
    return content;
}
