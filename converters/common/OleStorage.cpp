#include "OleStorage.h"

#include "ConversionError.h"

#include <cstdint>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-utils.h>

OleStorage::OleStorage(const std::string& bytes)
{
    m_fileSize = bytes.size();
    static const bool ready = [] {
        gsf_init();
        // the library's complaints about damaged containers would reach the user one by one;
        // the converter gives one reason of its own instead
        g_log_set_handler(
            "libgsf:msole", static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        g_log_set_handler(
            "libgsf", static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        return true;
    }();
    (void)ready;
    GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                           static_cast<gsf_off_t>(bytes.size()), FALSE);
    GError* error = nullptr;
    m_root = gsf_infile_msole_new(input, &error);
    g_object_unref(input);
    if (!m_root) {
        const std::string reason = error && error->message ? error->message : "unknown structure";
        if (error)
            g_error_free(error);
        throw ConversionError("the file is damaged: its container cannot be read (" + reason + ")");
    }
    if (has("EncryptedPackage")) {
        g_object_unref(m_root);
        m_root = nullptr;
        throw ConversionError("the document is protected by a password");
    }
}

OleStorage::~OleStorage()
{
    if (m_root)
        g_object_unref(m_root);
}

bool OleStorage::has(const char* name) const
{
    GsfInput* child = gsf_infile_child_by_name(m_root, name);
    if (!child)
        return false;
    g_object_unref(child);
    return true;
}

std::vector<unsigned char> OleStorage::stream(const char* name) const
{
    GsfInput* child = gsf_infile_child_by_name(m_root, name);
    if (!child)
        return {};
    // no stream of a compound file can be larger than the file itself
    const gsf_off_t size = gsf_input_size(child);
    if (size < 0 || static_cast<std::uint64_t>(size) > m_fileSize) {
        g_object_unref(child);
        throw ConversionError(std::string("the file is damaged: its part \"") + name + "\" has a wrong size");
    }
    std::vector<unsigned char> data(static_cast<std::size_t>(size));
    const bool ok = data.empty() || gsf_input_read(child, data.size(), data.data()) != nullptr;
    g_object_unref(child);
    if (!ok)
        throw ConversionError(std::string("the file is damaged: its part \"") + name + "\" cannot be read");
    return data;
}
