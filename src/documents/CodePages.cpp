#include "CodePages.h"

#include <QStringDecoder>

#include <array>
#include <map>

namespace CodePages {
namespace {

// Bytes 0x80-0x9F of code page 1252; the rest of the upper half is Latin-1. 0 marks a hole.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void appendWindows1252(QByteArrayView bytes, QString& out)
{
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u < 0xA0) {
            const char16_t c = kWindows1252High[u - 0x80];
            // the holes are kept as the C1 control of the same value, as other readers do
            out.append(QChar(c ? c : char16_t(u)));
        } else {
            out.append(QChar(char16_t(u)));
        }
    }
}

}  // namespace

int fromCharset(int charset)
{
    switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    default: return 0;
    }
}

int toWindows1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < int(kWindows1252High.size()); ++i)
        if (kWindows1252High[i] == c)
            return 0x80 + i;
    return -1;
}

struct Decoder::Converters {
    std::map<int, std::unique_ptr<QStringDecoder>> byCodePage;  // null: not known to this system
};

Decoder::Decoder() : m_converters(std::make_unique<Converters>()) {}
Decoder::~Decoder() = default;

void Decoder::append(QByteArrayView bytes, int codePage, QString& out)
{
    if (bytes.isEmpty())
        return;
    if (codePage == 1252 || codePage <= 0) {
        appendWindows1252(bytes, out);
        return;
    }
    auto& slot = m_converters->byCodePage[codePage];
    if (!slot) {
        const QByteArray name = codePage == 10000 ? QByteArray("macintosh")
                              : codePage == 437   ? QByteArray("IBM437")
                              : codePage == 65001 ? QByteArray("UTF-8")
                                                  : "windows-" + QByteArray::number(codePage);
        slot = std::make_unique<QStringDecoder>(name.constData(), QStringConverter::Flag::Stateless);
    }
    if (!slot->isValid()) {
        appendWindows1252(bytes, out);
        return;
    }
    out.append(slot->decode(bytes));
}

}  // namespace CodePages
