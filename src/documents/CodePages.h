#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

// Windows and Mac code pages as rich text names them: \ansicpg, \cpg, \fcharset, \'hh bytes.
namespace CodePages {

// The code page a font character set stands for; 0 when the set names none (default, symbol, OEM).
int fromCharset(int charset);

// The byte that stands for `c` in code page 1252, or -1 when that code page lacks it.
int toWindows1252(char16_t c);

// True when `byte` opens a two-byte character in the double-byte code page `codePage`.
bool isLeadByte(int codePage, unsigned char byte);

// Turns bytes of one code page into text; unknown code pages read as 1252. A byte or sequence the
// code page does not define becomes U+FFFD and never takes its neighbours with it.
// One decoder serves a whole document: it keeps the converters it has made.
class Decoder {
public:
    Decoder();
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    void append(QByteArrayView bytes, int codePage, QString& out);

private:
    struct Converter;
    struct Converters;
    void convert(Converter& converter, QByteArrayView bytes, QString& out);
    void appendDoubleByte(Converter& converter, int codePage, int base, QByteArrayView bytes, QString& out);

    std::unique_ptr<Converters> m_converters;
};

}  // namespace CodePages
