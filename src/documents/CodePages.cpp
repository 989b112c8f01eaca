#include "CodePages.h"

#include <QStringDecoder>
#include <QSysInfo>

#include <array>
#include <cerrno>
#include <iconv.h>
#include <map>

namespace CodePages {
namespace {

// Bytes 0x80-0x9F of code page 1252; the rest of the upper half is Latin-1. 0 marks a hole.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// Upper halves of the Mac code pages that neither Qt nor the C library converts, after the
// vendor's mapping tables; 0 marks a byte with no character. Where the vendor maps a byte to a
// letter plus a private rendering hint, the letter stands alone.
using HighHalf = std::array<char16_t, 128>;

constexpr HighHalf kMacArabicHigh = {
    0x00C4, 0x00A0, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x06BA, 0x00AB,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x2026, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00BB, 0x00F4,
    0x00F6, 0x00F7, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x066A, 0x0026,
    0x0027, 0x0028, 0x0029, 0x002A, 0x002B, 0x060C, 0x002D, 0x002E, 0x002F, 0x0660, 0x0661, 0x0662, 0x0663,
    0x0664, 0x0665, 0x0666, 0x0667, 0x0668, 0x0669, 0x003A, 0x061B, 0x003C, 0x003D, 0x003E, 0x061F, 0x274A,
    0x0621, 0x0622, 0x0623, 0x0624, 0x0625, 0x0626, 0x0627, 0x0628, 0x0629, 0x062A, 0x062B, 0x062C, 0x062D,
    0x062E, 0x062F, 0x0630, 0x0631, 0x0632, 0x0633, 0x0634, 0x0635, 0x0636, 0x0637, 0x0638, 0x0639, 0x063A,
    0x005B, 0x005C, 0x005D, 0x005E, 0x005F, 0x0640, 0x0641, 0x0642, 0x0643, 0x0644, 0x0645, 0x0646, 0x0647,
    0x0648, 0x0649, 0x064A, 0x064B, 0x064C, 0x064D, 0x064E, 0x064F, 0x0650, 0x0651, 0x0652, 0x067E, 0x0679,
    0x0686, 0x06D5, 0x06A4, 0x06AF, 0x0688, 0x0691, 0x007B, 0x007C, 0x007D, 0x0698, 0x06D2,
};

constexpr HighHalf kMacHebrewHigh = {
    0x00C4, 0xFB1F, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x20AA,
    0x0027, 0x0029, 0x0028, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033,
    0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x05DC,
    0x201E, 0x0000, 0x0000, 0x0000, 0x0000, 0x05BC, 0xFB4B, 0xFB35, 0x2026, 0x00A0, 0x05B8, 0x05B7, 0x05B5,
    0x05B6, 0x05B4, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0xFB2A, 0xFB2B, 0x05BF, 0x05B0, 0x05B2,
    0x05B1, 0x05BB, 0x05B9, 0x05B8, 0x05B3, 0x05D0, 0x05D1, 0x05D2, 0x05D3, 0x05D4, 0x05D5, 0x05D6, 0x05D7,
    0x05D8, 0x05D9, 0x05DA, 0x05DB, 0x05DC, 0x05DD, 0x05DE, 0x05DF, 0x05E0, 0x05E1, 0x05E2, 0x05E3, 0x05E4,
    0x05E5, 0x05E6, 0x05E7, 0x05E8, 0x05E9, 0x05EA, 0x007D, 0x005D, 0x007B, 0x005B, 0x007C,
};

constexpr HighHalf kMacThaiHigh = {
    0x00AB, 0x00BB, 0x2026, 0x0E48, 0x0E49, 0x0E4A, 0x0E4B, 0x0E4C, 0x0E48, 0x0E49, 0x0E4A, 0x0E4B, 0x0E4C,
    0x201C, 0x201D, 0x0E4D, 0x0000, 0x2022, 0x0E31, 0x0E47, 0x0E34, 0x0E35, 0x0E36, 0x0E37, 0x0E48, 0x0E49,
    0x0E4A, 0x0E4B, 0x0E4C, 0x2018, 0x2019, 0x0000, 0x00A0, 0x0E01, 0x0E02, 0x0E03, 0x0E04, 0x0E05, 0x0E06,
    0x0E07, 0x0E08, 0x0E09, 0x0E0A, 0x0E0B, 0x0E0C, 0x0E0D, 0x0E0E, 0x0E0F, 0x0E10, 0x0E11, 0x0E12, 0x0E13,
    0x0E14, 0x0E15, 0x0E16, 0x0E17, 0x0E18, 0x0E19, 0x0E1A, 0x0E1B, 0x0E1C, 0x0E1D, 0x0E1E, 0x0E1F, 0x0E20,
    0x0E21, 0x0E22, 0x0E23, 0x0E24, 0x0E25, 0x0E26, 0x0E27, 0x0E28, 0x0E29, 0x0E2A, 0x0E2B, 0x0E2C, 0x0E2D,
    0x0E2E, 0x0E2F, 0x0E30, 0x0E31, 0x0E32, 0x0E33, 0x0E34, 0x0E35, 0x0E36, 0x0E37, 0x0E38, 0x0E39, 0x0E3A,
    0x2060, 0x200B, 0x2013, 0x2014, 0x0E3F, 0x0E40, 0x0E41, 0x0E42, 0x0E43, 0x0E44, 0x0E45, 0x0E46, 0x0E47,
    0x0E48, 0x0E49, 0x0E4A, 0x0E4B, 0x0E4C, 0x0E4D, 0x2122, 0x0E4F, 0x0E50, 0x0E51, 0x0E52, 0x0E53, 0x0E54,
    0x0E55, 0x0E56, 0x0E57, 0x0E58, 0x0E59, 0x00AE, 0x00A9, 0x0000, 0x0000, 0x0000, 0x0000,
};

const HighHalf* highHalfOf(int codePage)
{
    switch (codePage) {
    case 10004:
        return &kMacArabicHigh;
    case 10005:
        return &kMacHebrewHigh;
    case 10021:
        return &kMacThaiHigh;
    default:
        return nullptr;
    }
}

// The Windows code page whose converter reads a Mac double-byte code page's pairs; the Mac ones
// extend these with a few single bytes of their own.
int baseOf(int codePage)
{
    switch (codePage) {
    case 10001:
        return 932;
    case 10002:
        return 950;
    case 10003:
        return 949;
    case 10008:
        return 936;
    default:
        return codePage;
    }
}

bool isDoubleByte(int codePage)
{
    switch (codePage) {
    case 932:
    case 936:
    case 949:
    case 950:
    case 1361:
    case 10001:
    case 10002:
    case 10003:
    case 10008:
        return true;
    default:
        return false;
    }
}

// The characters a Mac double-byte code page adds as single bytes; 0 for every other byte.
char16_t macSingleByte(int codePage, unsigned char byte)
{
    if (codePage == 10003) {
        switch (byte) {
        case 0x80:
            return 0x00A0;
        case 0x81:
            return 0x20A9;
        case 0x82:
            return 0x2013;
        case 0x83:
            return 0x00A9;
        case 0x84:
            return 0xFF3F;
        case 0xFF:
            return 0x2026;
        default:
            return 0;
        }
    }
    switch (byte) {
    case 0x80:
        return codePage == 10008 ? 0x00FC : 0x005C;
    case 0xA0:
        return 0x00A0;
    case 0xFD:
        return 0x00A9;
    case 0xFE:
        return 0x2122;
    case 0xFF:
        return 0x2026;
    default:
        return 0;
    }
}

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

void appendHighHalf(const HighHalf& high, QByteArrayView bytes, QString& out)
{
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        const char16_t c = u < 0x80 ? char16_t(u) : high[u - 0x80];
        out.append(c ? QChar(c) : QChar(QChar::ReplacementCharacter));
    }
}

// The C library's names for code pages Qt does not know.
QByteArray iconvName(int codePage)
{
    switch (codePage) {
    case 1361:
        return "JOHAB";
    case 10017:
        return "MAC-UK";
    case 10079:
        return "MAC-IS";
    default:
        return "CP" + QByteArray::number(codePage);
    }
}

}  // namespace

int fromCharset(int charset)
{
    switch (charset) {
    case 0:
        return 1252;
    case 77:
        return 10000;
    case 78:
        return 10001;
    case 79:
        return 10003;
    case 80:
        return 10008;
    case 81:
        return 10002;
    case 83:
        return 10005;
    case 84:
        return 10004;
    case 85:
        return 10006;
    case 86:
        return 10081;
    case 87:
        return 10021;
    case 88:
        return 10029;
    case 89:
        return 10007;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    default:
        return 0;
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

bool isLeadByte(int codePage, unsigned char byte)
{
    switch (codePage) {
    case 932:
    case 10001:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
        return byte >= 0x81 && byte <= 0xFE;
    case 1361:
        return (byte >= 0x84 && byte <= 0xD3) || (byte >= 0xD8 && byte <= 0xDE) || (byte >= 0xE0 && byte <= 0xF9);
    case 10002:
    case 10008:
        return byte >= 0xA1 && byte <= 0xFC;
    case 10003:
        return byte >= 0xA1 && byte <= 0xFD;
    default:
        return false;
    }
}

// A converter Qt knows, else one the C library knows; neither when the code page is unknown here.
struct Decoder::Converter {
    std::unique_ptr<QStringDecoder> qt;
    iconv_t iconv = iconv_t(-1);
    bool valid() const { return qt || iconv != iconv_t(-1); }
};

struct Decoder::Converters {
    std::map<int, Converter> byCodePage;
    ~Converters()
    {
        for (auto& [codePage, converter] : byCodePage)
            if (converter.iconv != iconv_t(-1))
                iconv_close(converter.iconv);
    }
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
    if (const HighHalf* high = highHalfOf(codePage)) {
        appendHighHalf(*high, bytes, out);
        return;
    }
    const int base = baseOf(codePage);
    const auto [slot, created] = m_converters->byCodePage.try_emplace(base);
    Converter& converter = slot->second;
    if (created) {
        // Qt's own UTF-8 converter marks a sequence cut short at the end; the others drop it
        const QByteArray first = base == 65001 ? QByteArray("UTF-8") : "windows-" + QByteArray::number(base);
        for (const QByteArray& name : {first, "cp" + QByteArray::number(base)}) {
            auto qt = std::make_unique<QStringDecoder>(name.constData(), QStringConverter::Flag::Stateless);
            if (qt->isValid()) {
                converter.qt = std::move(qt);
                break;
            }
        }
        if (!converter.qt) {
            const char* utf16 = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
            converter.iconv = iconv_open(utf16, iconvName(base).constData());
        }
    }
    if (!converter.valid()) {
        appendWindows1252(bytes, out);
        return;
    }
    if (isDoubleByte(codePage))
        appendDoubleByte(converter, codePage, base, bytes, out);
    else
        convert(converter, bytes, out);
}

// Pairs a lead byte with the byte after it, so a lead byte left at the end, which the converters
// would drop without a word, shows as U+FFFD; a Mac code page's own single bytes are read here.
void Decoder::appendDoubleByte(Converter& converter, int codePage, int base, QByteArrayView bytes, QString& out)
{
    const qsizetype size = bytes.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < size) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (isLeadByte(codePage, byte)) {
            i += 2;
            continue;
        }
        if (byte >= 0x80 && codePage != base) {
            // a byte that is the Mac's own, or one the base code page would pair with its neighbour
            const char16_t single = macSingleByte(codePage, byte);
            if (single || isLeadByte(base, byte)) {
                convert(converter, bytes.sliced(start, i - start), out);
                out.append(single ? QChar(single) : QChar(QChar::ReplacementCharacter));
                start = ++i;
                continue;
            }
        }
        ++i;
    }
    if (i > size) {
        convert(converter, bytes.sliced(start, size - 1 - start), out);
        out.append(QChar::ReplacementCharacter);
    } else {
        convert(converter, bytes.sliced(start), out);
    }
}

void Decoder::convert(Converter& converter, QByteArrayView bytes, QString& out)
{
    if (bytes.isEmpty())
        return;
    const qsizetype from = out.size();
    if (converter.qt) {
        out.append(converter.qt->decode(bytes));
        // some of Qt's converters put the control character SUB where a byte means nothing
        for (qsizetype i = from; i < out.size(); ++i)
            if (out.at(i).unicode() == 0x1A)
                out[i] = QChar::ReplacementCharacter;
        return;
    }
    iconv(converter.iconv, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = std::size_t(bytes.size());
    std::array<char16_t, 512> buffer;
    while (inLeft > 0) {
        char* to = reinterpret_cast<char*>(buffer.data());
        std::size_t toLeft = sizeof buffer;
        const std::size_t done = iconv(converter.iconv, &in, &inLeft, &to, &toLeft);
        const int error = errno;
        out.append(QStringView(buffer.data(), qsizetype((sizeof buffer - toLeft) / sizeof(char16_t))));
        if (done == std::size_t(-1) && error != E2BIG) {
            // a byte the code page does not define, or a sequence cut short: one byte goes
            out.append(QChar::ReplacementCharacter);
            ++in;
            --inLeft;
            iconv(converter.iconv, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

}  // namespace CodePages
