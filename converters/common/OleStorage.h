#pragma once

#include <string>
#include <vector>

struct _GsfInfile;

// The streams of an OLE2 compound file (the container of the older office formats), read
// with libgsf from bytes already in memory.
class OleStorage {
public:
    explicit OleStorage(const std::string& bytes);
    ~OleStorage();
    OleStorage(const OleStorage&) = delete;
    OleStorage& operator=(const OleStorage&) = delete;

    bool has(const char* name) const;
    // The whole stream; an empty vector when there is none.
    std::vector<unsigned char> stream(const char* name) const;
    // True for office files whose content is encrypted as a whole (a password-protected
    // .docx/.xlsx/.pptx is such a container holding only the encrypted package).
    bool isEncryptedPackage() const { return has("EncryptedPackage"); }

private:
    _GsfInfile* m_root = nullptr;
    std::size_t m_fileSize = 0;
};
