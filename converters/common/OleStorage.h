#pragma once

#include <string>
#include <vector>

struct _GsfInfile;

// The streams of an OLE2 compound file (the container of the older office formats), read
// with libgsf from bytes already in memory. A password-protected .docx/.xlsx/.pptx is such a
// file holding only the encrypted package: it is refused as protected.
class OleStorage {
public:
    explicit OleStorage(const std::string& bytes);
    ~OleStorage();
    OleStorage(const OleStorage&) = delete;
    OleStorage& operator=(const OleStorage&) = delete;

    bool has(const char* name) const;
    // The whole stream; an empty vector when there is none.
    std::vector<unsigned char> stream(const char* name) const;

private:
    _GsfInfile* m_root = nullptr;
    std::size_t m_fileSize = 0;
};
