#include "BiffReader.h"

#include "ByteReader.h"
#include "CharsetConverter.h"
#include "ConversionError.h"
#include "NumberText.h"
#include "OleStorage.h"
#include "TextBuilder.h"

#include <map>
#include <set>
#include <vector>

namespace {

enum Record : std::uint16_t {
    Bof = 0x0809,
    Eof = 0x000a,
    FilePass = 0x002f,
    CodePage = 0x0042,
    DateMode = 0x0022,
    Format = 0x041e,
    Xf = 0x00e0,
    BoundSheet = 0x0085,
    Sst = 0x00fc,
    Continue = 0x003c,
    LabelSst = 0x00fd,
    Label = 0x0204,
    RString = 0x00d6,
    Number = 0x0203,
    Rk = 0x027e,
    MulRk = 0x00bd,
    Formula = 0x0006,
    String = 0x0207,
    BoolErr = 0x0205,
};

// One record's body, with the bodies of the CONTINUE records after it: strings of the shared
// table may break across them, each break starting with a new flags byte.
struct RecordData {
    std::vector<unsigned char> bytes;
    std::set<std::size_t> breaks;
};

class Biff {
public:
    Biff(const std::vector<unsigned char>& stream)
        : m_stream(stream), m_reader(stream, "workbook stream"), m_allowance(stream.size(), "workbook stream")
    {}

    Workbook read();

private:
    struct Position {
        std::size_t offset;
        std::uint16_t type;
        std::uint16_t length;
    };
    Position record(std::size_t offset) const { return {offset, m_reader.u16(offset), m_reader.u16(offset + 2)}; }
    RecordData body(std::size_t offset, bool withContinues, std::size_t* after) const;
    // Calls visit(record, next) for each record of the substream (BOF to its EOF) at `offset`
    // that is not inside a nested one; `next` may be moved past the CONTINUE records it read.
    template <typename Visit>
    void substream(std::size_t offset, Visit&& visit) const;

    std::string decode8(const unsigned char* bytes, std::size_t length) const;
    // A string at `at` in `data`: 8-bit in Excel 5, a flagged Unicode string in Excel 97.
    std::string unicodeString(const RecordData& data, std::size_t& at, bool longLength) const;
    std::string cellNumber(double value, std::uint16_t xf) const;
    std::string errorText(std::uint8_t code) const;
    void readSheet(std::size_t offset, Workbook& workbook, Workbook::Sheet& sheet);

    const std::vector<unsigned char>& m_stream;
    ByteReader m_reader;
    // sheets that overlap would walk the same records again
    mutable ReadAllowance m_allowance;
    bool m_biff8 = true;
    bool m_from1904 = false;
    std::string m_codePage = "CP1252";
    std::vector<std::string> m_strings;
    MemoryCharge m_stringsCharge;
    std::map<int, std::string> m_formats;
    std::vector<std::uint16_t> m_xfFormats;
};

RecordData Biff::body(std::size_t offset, bool withContinues, std::size_t* after) const
{
    RecordData data;
    Position position = record(offset);
    for (;;) {
        const unsigned char* bytes = m_reader.at(position.offset + 4, position.length);
        data.bytes.insert(data.bytes.end(), bytes, bytes + position.length);
        offset = position.offset + 4 + position.length;
        if (!withContinues || !m_reader.has(offset, 4) || record(offset).type != Continue)
            break;
        position = record(offset);
        data.breaks.insert(data.bytes.size());
    }
    if (after)
        *after = offset;
    return data;
}

std::string Biff::decode8(const unsigned char* bytes, std::size_t length) const
{
    const std::string_view view(reinterpret_cast<const char*>(bytes), length);
    std::string out;
    if (!convertToUtf8(view, m_codePage, out))
        convertToUtf8(view, "CP1252", out);
    return out;
}

std::string Biff::unicodeString(const RecordData& data, std::size_t& at, bool longLength) const
{
    const ByteReader reader(data.bytes, "workbook stream");
    std::size_t count = longLength ? reader.u16(at) : reader.u8(at);
    at += longLength ? 2 : 1;
    if (!m_biff8) {
        std::string text = decode8(reader.at(at, count), count);
        at += count;
        return text;
    }
    const std::uint8_t flags = reader.u8(at++);
    bool wide = flags & 0x01;
    std::size_t runs = 0;
    std::size_t extra = 0;
    if (flags & 0x08) {
        runs = reader.u16(at);
        at += 2;
    }
    if (flags & 0x04) {
        extra = reader.u32(at);
        at += 4;
    }
    TextBuilder text;
    std::vector<unsigned char> units;
    while (count > 0) {
        if (data.breaks.count(at)) {
            // a string that runs into the next record says again how wide its characters are
            wide = reader.u8(at++) & 0x01;
        }
        const auto next = data.breaks.upper_bound(at);
        const std::size_t room = (next == data.breaks.end() ? data.bytes.size() : *next) - at;
        const std::size_t take = std::min(count, room / (wide ? 2 : 1));
        if (take == 0)
            throw ConversionError("the file is damaged: a string of its workbook ends too early");
        const unsigned char* bytes = reader.at(at, take * (wide ? 2 : 1));
        for (std::size_t i = 0; i < take; ++i) {
            units.push_back(wide ? bytes[2 * i] : bytes[i]);
            units.push_back(wide ? bytes[2 * i + 1] : 0);
        }
        at += take * (wide ? 2 : 1);
        count -= take;
    }
    text.appendUtf16le(units.data(), units.size() / 2);
    at += runs * 4 + extra;
    std::string result = text.finish();
    if (!result.empty() && result.back() == '\n')
        result.pop_back();
    return result;
}

std::string Biff::cellNumber(double value, std::uint16_t xf) const
{
    return NumberText::show(value, xf < m_xfFormats.size() ? m_xfFormats[xf] : 0, m_formats, m_from1904);
}

std::string Biff::errorText(std::uint8_t code) const
{
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0f:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1d:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    default:
        return "#N/A";
    }
}

template <typename Visit>
void Biff::substream(std::size_t offset, Visit&& visit) const
{
    int depth = 0;
    while (m_reader.has(offset, 4)) {
        const Position position = record(offset);
        m_allowance.spend(4u + position.length);
        std::size_t next = position.offset + 4 + position.length;
        if (position.type == Bof)
            ++depth;
        else if (position.type == Eof && --depth == 0)
            return;
        else if (depth == 1)
            visit(position, next);
        offset = next;
    }
}

double rkValue(std::uint32_t rk)
{
    double value;
    if (rk & 0x02) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xfffffffc) << 32;
        __builtin_memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
}

void Biff::readSheet(std::size_t offset, Workbook& workbook, Workbook::Sheet& sheet)
{
    if (!m_reader.has(offset, 4) || record(offset).type != Bof)
        throw ConversionError("the file is damaged: a sheet of its workbook cannot be found");
    std::uint32_t formulaRow = 0;
    std::uint32_t formulaColumn = 0;
    bool stringFollows = false;
    substream(offset, [&](const Position& position, std::size_t& next) {
        {
            const bool cell = position.type == LabelSst || position.type == Label || position.type == RString
                              || position.type == Number || position.type == Rk || position.type == MulRk
                              || position.type == Formula || position.type == BoolErr || position.type == String;
            if (cell) {
                const RecordData data = body(position.offset, position.type == Label || position.type == String, &next);
                const ByteReader r(data.bytes, "workbook stream");
                auto put = [&](std::uint32_t row, std::uint32_t column, std::string text) {
                    workbook.put(sheet, row, column, std::move(text));
                };
                switch (position.type) {
                case LabelSst: {
                    const std::uint32_t index = r.u32(6);
                    if (index < m_strings.size())
                        put(r.u16(0), r.u16(2), m_strings[index]);
                    break;
                }
                case Label:
                case RString: {
                    std::size_t at = 6;
                    put(r.u16(0), r.u16(2), unicodeString(data, at, true));
                    break;
                }
                case Number:
                    put(r.u16(0), r.u16(2), cellNumber(r.f64(6), r.u16(4)));
                    break;
                case Rk:
                    put(r.u16(0), r.u16(2), cellNumber(rkValue(r.u32(6)), r.u16(4)));
                    break;
                case MulRk: {
                    const std::uint32_t row = r.u16(0);
                    std::uint32_t column = r.u16(2);
                    for (std::size_t at = 4; at + 6 + 2 <= data.bytes.size(); at += 6, ++column)
                        put(row, column, cellNumber(rkValue(r.u32(at + 2)), r.u16(at)));
                    break;
                }
                case Formula: {
                    const std::uint32_t row = r.u16(0);
                    const std::uint32_t column = r.u16(2);
                    // the value the formula had when the file was saved
                    if (r.u16(12) != 0xffff) {
                        put(row, column, cellNumber(r.f64(6), r.u16(4)));
                    } else if (r.u8(6) == 0) {
                        stringFollows = true;
                        formulaRow = row;
                        formulaColumn = column;
                    } else if (r.u8(6) == 1) {
                        put(row, column, r.u8(8) ? "TRUE" : "FALSE");
                    } else if (r.u8(6) == 2) {
                        put(row, column, errorText(r.u8(8)));
                    }
                    break;
                }
                case String:
                    if (stringFollows) {
                        std::size_t at = 0;
                        put(formulaRow, formulaColumn, unicodeString(data, at, true));
                        stringFollows = false;
                    }
                    break;
                case BoolErr:
                    put(r.u16(0), r.u16(2), r.u8(7) ? errorText(r.u8(6)) : (r.u8(6) ? "TRUE" : "FALSE"));
                    break;
                default:
                    break;
                }
            }
        }
    });
}

Workbook Biff::read()
{
    if (!m_reader.has(0, 8) || record(0).type != Bof)
        throw ConversionError("the file is damaged: its workbook does not start as workbooks do");
    const std::uint16_t version = m_reader.u16(4);
    m_biff8 = version >= 0x0600;
    if (version < 0x0500)
        throw ConversionError("workbooks of Excel 4 and older are not supported");

    struct SheetEntry {
        std::uint32_t offset;
        std::string name;
    };
    std::vector<SheetEntry> entries;
    substream(0, [&](const Position& position, std::size_t& next) {
        const std::size_t offset = position.offset;
        if (position.type == FilePass) {
            throw ConversionError("the workbook is protected by a password");
        } else if (position.type == CodePage) {
            const std::uint16_t page = m_reader.u16(offset + 4);
            if (page == 10000)
                m_codePage = "MACINTOSH";
            else if (page != 1200 && page != 367)
                m_codePage = "CP" + std::to_string(page);
        } else if (position.type == DateMode) {
            m_from1904 = m_reader.u16(offset + 4) == 1;
        } else if (position.type == Format) {
            const RecordData data = body(offset, false, &next);
            std::size_t at = 2;
            m_formats[ByteReader(data.bytes, "workbook stream").u16(0)] = unicodeString(data, at, m_biff8);
        } else if (position.type == Xf) {
            m_xfFormats.push_back(m_reader.u16(offset + 4 + 2));
        } else if (position.type == BoundSheet) {
            const RecordData data = body(offset, false, &next);
            const ByteReader r(data.bytes, "workbook stream");
            std::size_t at = 6;
            SheetEntry entry{r.u32(0), unicodeString(data, at, false)};
            if (r.u8(5) == 0)  // worksheets; charts and macro sheets hold no cells
                entries.push_back(std::move(entry));
        } else if (position.type == Sst) {
            const RecordData data = body(offset, true, &next);
            const std::uint32_t unique = ByteReader(data.bytes, "workbook stream").u32(4);
            std::size_t at = 8;
            m_strings.reserve(std::min<std::size_t>(unique, data.bytes.size() / 3));
            for (std::uint32_t i = 0; i < unique && at < data.bytes.size(); ++i) {
                m_strings.push_back(unicodeString(data, at, true));
                m_stringsCharge.add(MemoryBudget::cost(m_strings.back()));
            }
        }
    });

    Workbook workbook;
    std::set<std::uint32_t> read;
    for (const SheetEntry& entry : entries) {
        // a second record naming a sheet already read would only repeat its cells
        if (!read.insert(entry.offset).second)
            continue;
        Workbook::Sheet sheet;
        sheet.name = entry.name;
        readSheet(entry.offset, workbook, sheet);
        workbook.sheets.push_back(std::move(sheet));
    }
    return workbook;
}

}  // namespace

Workbook readBiffWorkbook(const OleStorage& storage)
{
    std::vector<unsigned char> stream = storage.stream("Workbook");
    if (stream.empty())
        stream = storage.stream("Book");
    if (stream.empty())
        throw ConversionError("not an Excel workbook: the file holds no workbook");
    return Biff(stream).read();
}
