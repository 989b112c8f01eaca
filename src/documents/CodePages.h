#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

// Windows code pages as rich text names them: \ansicpg, \fcharset, \'hh bytes.
namespace CodePages {

// The code page a font character set stands for; 0 when the set names none (default, symbol, OEM).
int fromCharset(int charset);

// The byte that stands for `c` in code page 1252, or -1 when that code page lacks it.
int toWindows1252(char16_t c);

// Turns bytes of one code page into text; unknown code pages read as 1252.
// One decoder serves a whole document: it keeps the converters it has made.
class Decoder {
public:
    Decoder();
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    void append(QByteArrayView bytes, int codePage, QString& out);

private:
    struct Converters;
    std::unique_ptr<Converters> m_converters;
};

}  // namespace CodePages
