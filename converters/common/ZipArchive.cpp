#include "ZipArchive.h"

#include "ConversionError.h"

#include <zip.h>

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

bool ZipArchive::has(const std::string& name) const
{
    return zip_name_locate(m_archive, name.c_str(), 0) >= 0;
}

std::string ZipArchive::read(const std::string& name, std::size_t maxBytes) const
{
    zip_file_t* file = zip_fopen(m_archive, name.c_str(), 0);
    if (!file)
        throw ConversionError("the file is damaged: its part " + name + " cannot be read (" +
                              zip_strerror(m_archive) + ")");
    std::string content;
    char buffer[65536];
    for (;;) {
        const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
        if (got < 0) {
            const std::string reason = zip_file_strerror(file);
            zip_fclose(file);
            throw ConversionError("the file is damaged: its part " + name + " cannot be unpacked (" + reason + ")");
        }
        if (got == 0)
            break;
        // the sizes in the directory can lie; count what really comes out
        if (content.size() + static_cast<std::size_t>(got) > maxBytes) {
            zip_fclose(file);
            throw ConversionError("the part " + name + " unpacks to more than " +
                                  std::to_string(maxBytes >> 20) + " MB");
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    zip_fclose(file);
    return content;
}

std::vector<std::string> ZipArchive::names() const
{
    std::vector<std::string> result;
    const zip_int64_t count = zip_get_num_entries(m_archive, 0);
    for (zip_int64_t i = 0; i < count; ++i)
        if (const char* name = zip_get_name(m_archive, static_cast<zip_uint64_t>(i), 0))
            result.emplace_back(name);
    return result;
}
