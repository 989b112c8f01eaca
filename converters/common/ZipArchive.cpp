#include "ZipArchive.h"

#include "ConversionError.h"

#include <zip.h>

#include <algorithm>
#include <cstdint>

ZipArchive::ZipArchive(const std::string& bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source)
        m_archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!m_archive) {
        const std::string reason = zip_error_strerror(&error);
        if (source)
            zip_source_free(source);
        zip_error_fini(&error);
        throw ConversionError("the file is damaged: its ZIP container cannot be read (" + reason + ")");
    }
    zip_error_fini(&error);
}

ZipArchive::~ZipArchive()
{
    if (m_archive)
        zip_discard(m_archive);
}

bool ZipArchive::has(const std::string& name) const { return zip_name_locate(m_archive, name.c_str(), 0) >= 0; }

namespace {

[[noreturn]] void refuse(const std::string& name, const std::string& why)
{
    throw ConversionError("the document is too large to convert: its part " + name + " " + why);
}

// The size a part unpacks to, said or found, checked against the bounds.
void checkUnpacked(const std::string& name, std::uint64_t unpacked, std::uint64_t packed)
{
    if (unpacked > ZipArchive::kMaxPartBytes)
        refuse(name, "unpacks to more than " + std::to_string(ZipArchive::kMaxPartBytes >> 20) + " MB");
    if (unpacked > ZipArchive::kRatioFrom && unpacked / std::max<std::uint64_t>(packed, 1) > ZipArchive::kMaxRatio)
        refuse(name, "unpacks to more than " + std::to_string(ZipArchive::kMaxRatio) + " times its packed size");
}

}  // namespace

void ZipArchive::read(const std::string& name,
                      const std::function<void(const char* data, std::size_t size)>& consume) const
{
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(m_archive, name.c_str(), 0, &stat) != 0)
        throw ConversionError("the file is damaged: its part " + name + " cannot be read (" + zip_strerror(m_archive)
                              + ")");
    const std::uint64_t packed = (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
    if (stat.valid & ZIP_STAT_SIZE)
        checkUnpacked(name, stat.size, packed);
    zip_file_t* file = zip_fopen(m_archive, name.c_str(), 0);
    if (!file)
        throw ConversionError("the file is damaged: its part " + name + " cannot be read (" + zip_strerror(m_archive)
                              + ")");
    std::uint64_t unpacked = 0;
    char buffer[65536];
    try {
        for (;;) {
            const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
            if (got < 0)
                throw ConversionError("the file is damaged: its part " + name + " cannot be unpacked ("
                                      + zip_file_strerror(file) + ")");
            if (got == 0)
                break;
            // the sizes in the directory can lie; count what really comes out
            unpacked += static_cast<std::uint64_t>(got);
            checkUnpacked(name, unpacked, packed);
            consume(buffer, static_cast<std::size_t>(got));
        }
    } catch (...) {
        zip_fclose(file);
        throw;
    }
    zip_fclose(file);
}
