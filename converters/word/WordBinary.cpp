#include "WordBinary.h"

#include "ByteReader.h"
#include "CodePage.h"
#include "ConversionError.h"
#include "OleStorage.h"
#include "TextBuilder.h"

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

namespace {

constexpr std::uint16_t kFibWord97 = 0xc0;  // Word 97 and later write 0xc1 or more
constexpr std::uint16_t kFibWord6 = 101;    // Word 6 writes 101, Word 95 104
constexpr std::uint16_t kEncrypted = 0x0100;
constexpr std::uint16_t kWhichTable = 0x0200;
constexpr std::size_t kFkpSize = 512;

// A run of text with one source in the file: Unicode, or 8-bit text.
struct Piece {
    std::uint32_t cpStart;
    std::uint32_t cpEnd;
    std::uint32_t fc;
    bool eightBit;
};

// Paragraph properties that matter for the text: whether a paragraph is in a table, and
// whether its mark ends a table row.
struct ParagraphRun {
    std::uint32_t fcStart;
    std::uint32_t fcEnd;
    bool inTable;
    bool rowEnd;
};

class Word {
public:
    Word(const OleStorage& storage, const std::string& codePageFolder)
        : m_stream(storage.stream("WordDocument")), m_reader(m_stream, "document stream"), m_folder(codePageFolder)
    {
        if (m_stream.empty()) {
            if (storage.has("Workbook") || storage.has("Book"))
                throw ConversionError("not a Word document: the file is an Excel workbook");
            if (storage.has("PowerPoint Document"))
                throw ConversionError("not a Word document: the file is a PowerPoint presentation");
            throw ConversionError("not a Word document: the file holds no document text");
        }
        m_storage = &storage;
    }

    std::string read(TextBuilder& text);

private:
    void readPieceTable(const ByteReader& source, std::uint32_t offset, std::uint32_t length);
    void readParagraphRuns(const ByteReader& table, std::uint32_t offset, std::uint32_t length);
    const ParagraphRun* paragraphAt(std::uint32_t fc) const;
    void emitRange(std::uint32_t cpStart, std::uint32_t cpEnd, TextBuilder& text);
    void put(char32_t c, std::optional<std::uint32_t> fc, TextBuilder& text);

    const OleStorage* m_storage = nullptr;
    std::vector<unsigned char> m_stream;
    ByteReader m_reader;
    std::string m_folder;
    bool m_word97 = true;
    std::vector<unsigned char> m_table;
    std::vector<Piece> m_pieces;
    std::vector<ParagraphRun> m_paragraphs;
    std::optional<CodePage> m_codePage;
    int m_codePageNumber = 1252;
    std::size_t m_emitted = 0;

    // fields: their instructions are hidden, their results shown
    std::vector<bool> m_fields;  // per open field: past its separator
    int m_hiddenFields = 0;
    char32_t m_previous = 0;
};

void Word::readPieceTable(const ByteReader& source, std::uint32_t offset, std::uint32_t length)
{
    std::size_t at = offset;
    const std::size_t end = static_cast<std::size_t>(offset) + length;
    source.require(offset, length);
    while (at < end) {
        const std::uint8_t kind = source.u8(at);
        if (kind == 1) {  // formatting changes of fast-saved pieces: not needed for the text
            at += 3 + source.u16(at + 1);
            continue;
        }
        if (kind != 2)
            throw ConversionError("the file is damaged: its piece table cannot be read");
        const std::uint32_t size = source.u32(at + 1);
        at += 5;
        source.require(at, size);
        if (size < 4)
            break;
        const std::size_t count = (size - 4) / 12;
        const std::size_t descriptors = at + (count + 1) * 4;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t start = source.u32(at + 4 * i);
            const std::uint32_t stop = source.u32(at + 4 * (i + 1));
            std::uint32_t fc = source.u32(descriptors + 8 * i + 2);
            bool eightBit = !m_word97;
            if (m_word97 && (fc & 0x40000000)) {
                eightBit = true;
                fc = (fc & 0x3fffffff) / 2;
            }
            if (stop > start)
                m_pieces.push_back({start, stop, fc, eightBit});
        }
        return;
    }
    throw ConversionError("the file is damaged: its piece table is missing");
}

void Word::readParagraphRuns(const ByteReader& table, std::uint32_t offset, std::uint32_t length)
{
    if (length < 4 || !table.has(offset, length))
        return;
    const std::size_t count = (length - 4) / 8;
    std::set<std::size_t> pages;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t page = (table.u32(offset + 4 * (count + 1) + 4 * i) & 0x3fffff) * kFkpSize;
        // a page that several entries name holds the same runs for each
        if (!m_reader.has(page, kFkpSize) || !pages.insert(page).second)
            continue;
        const std::size_t runs = m_reader.u8(page + kFkpSize - 1);
        for (std::size_t r = 0; r < runs && 4 * (runs + 1) + 13 * runs <= kFkpSize - 1; ++r) {
            ParagraphRun run{m_reader.u32(page + 4 * r), m_reader.u32(page + 4 * (r + 1)), false, false};
            const std::size_t papxOffset = m_reader.u8(page + 4 * (runs + 1) + 13 * r) * 2u;
            if (papxOffset != 0 && papxOffset < kFkpSize - 1) {
                std::size_t start = page + papxOffset;
                std::size_t size = m_reader.u8(start);
                if (size != 0) {
                    size = 2 * size - 1;
                    start += 1;
                } else {
                    size = 2u * m_reader.u8(start + 1);
                    start += 2;
                }
                std::size_t at = start + 2;  // after the style index
                const std::size_t end = std::min(start + size, page + kFkpSize - 1);
                while (at + 2 <= end) {
                    const std::uint16_t sprm = m_reader.u16(at);
                    at += 2;
                    std::size_t operand;
                    switch (sprm >> 13) {
                    case 0:
                    case 1:
                        operand = 1;
                        break;
                    case 2:
                    case 4:
                    case 5:
                        operand = 2;
                        break;
                    case 3:
                        operand = 4;
                        break;
                    case 7:
                        operand = 3;
                        break;
                    default:
                        if (sprm == 0xd608)  // a table row's cell definitions: a 16-bit size
                            operand = m_reader.u16(at) + 1u;
                        else if (sprm == 0xc615 && m_reader.u8(at) == 255)
                            operand = end - at;  // tab changes in their long form: stop here
                        else
                            operand = m_reader.u8(at) + 1u;
                    }
                    if (at + operand > end)
                        break;
                    if (sprm == 0x2416)  // in a table
                        run.inTable = run.inTable || m_reader.u8(at) != 0;
                    else if (sprm == 0x6649)  // table depth
                        run.inTable = run.inTable || m_reader.u32(at) != 0;
                    else if (sprm == 0x2417 || sprm == 0x244c)  // ends a row (of an outer or inner table)
                        run.rowEnd = run.rowEnd || m_reader.u8(at) != 0;
                    at += operand;
                }
            }
            if (run.fcEnd > run.fcStart)
                m_paragraphs.push_back(run);
        }
    }
    std::sort(m_paragraphs.begin(), m_paragraphs.end(),
              [](const ParagraphRun& a, const ParagraphRun& b) { return a.fcStart < b.fcStart; });
}

const ParagraphRun* Word::paragraphAt(std::uint32_t fc) const
{
    auto found = std::upper_bound(m_paragraphs.begin(), m_paragraphs.end(), fc,
                                  [](std::uint32_t value, const ParagraphRun& run) { return value < run.fcStart; });
    if (found == m_paragraphs.begin())
        return nullptr;
    --found;
    return fc < found->fcEnd ? &*found : nullptr;
}

void Word::put(char32_t c, std::optional<std::uint32_t> fc, TextBuilder& text)
{
    switch (c) {
    case 0x13:
        m_fields.push_back(false);
        ++m_hiddenFields;
        return;
    case 0x14:
        if (!m_fields.empty() && !m_fields.back()) {
            m_fields.back() = true;
            --m_hiddenFields;
        }
        return;
    case 0x15:
        if (!m_fields.empty()) {
            if (!m_fields.back())
                --m_hiddenFields;
            m_fields.pop_back();
        }
        return;
    default:
        break;
    }
    if (m_hiddenFields > 0)
        return;
    const ParagraphRun* paragraph = fc && !m_paragraphs.empty() ? paragraphAt(*fc) : nullptr;
    switch (c) {
    case 0x07:
        // the mark after a row's last cell ends the row; without paragraph properties a mark
        // right after another one is taken for it
        if (paragraph ? paragraph->rowEnd : m_previous == 0x07)
            text.endRow();
        else
            text.endCell();
        break;
    case 0x0d:
        if (paragraph && paragraph->inTable && !paragraph->rowEnd) {
            if (!text.atSpace())
                text.append(U' ');  // paragraphs inside a cell keep its row on one line
        } else {
            text.endLine();
        }
        break;
    case 0x0b:
    case 0x0c:
    case 0x0e:
        text.endLine();
        break;
    case 0x09:
        if (!text.atLineStart())  // a tab that indents a line (after a note's number) is no cell
            text.append(U'\t');
        break;
    case 0x1e:
        text.append(U'-');
        break;
    case 0xa0:
        text.append(U' ');
        break;
    default:
        text.append(c);  // other control characters (anchors of pictures, notes, drawings) are left out
    }
    m_previous = c;
}

void Word::emitRange(std::uint32_t cpStart, std::uint32_t cpEnd, TextBuilder& text)
{
    for (const Piece& piece : m_pieces) {
        const std::uint32_t from = std::max(cpStart, piece.cpStart);
        const std::uint32_t to = std::min(cpEnd, piece.cpEnd);
        if (from >= to)
            continue;
        const std::size_t count = to - from;
        // each character is stored once: pieces that claim more than the stream holds overlap
        m_emitted += count;
        if (m_emitted > m_stream.size())
            throw ConversionError("the file is damaged: its piece table names more text than it holds");
        if (!piece.eightBit) {
            const std::size_t offset = piece.fc + 2 * static_cast<std::size_t>(from - piece.cpStart);
            const unsigned char* bytes = m_reader.at(offset, 2 * count);
            for (std::size_t i = 0; i < count; ++i) {
                const char32_t unit = bytes[2 * i] | (bytes[2 * i + 1] << 8);
                if (unit >= 0xd800 && unit < 0xdc00 && i + 1 < count) {
                    const char32_t low = bytes[2 * i + 2] | (bytes[2 * i + 3] << 8);
                    if (low >= 0xdc00 && low < 0xe000) {
                        put(0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00), std::nullopt, text);
                        ++i;
                        continue;
                    }
                }
                put(unit, static_cast<std::uint32_t>(offset + 2 * i), text);
            }
            continue;
        }
        if (!m_codePage)
            m_codePage = CodePage::load(m_folder, m_codePageNumber);
        const std::size_t offset = piece.fc + static_cast<std::size_t>(from - piece.cpStart);
        const unsigned char* bytes = m_reader.at(offset, count);
        std::u32string decoded;
        m_codePage->decode(bytes, count, decoded);
        const bool oneByteEach = decoded.size() == count;
        for (std::size_t i = 0; i < decoded.size(); ++i)
            put(decoded[i],
                oneByteEach ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(offset + i)) : std::nullopt,
                text);
    }
}

std::string Word::read(TextBuilder& text)
{
    const std::uint16_t identifier = m_reader.u16(0);
    const std::uint16_t version = m_reader.u16(2);
    const std::uint16_t flags = m_reader.u16(0x0a);
    if (identifier != 0xa5ec && identifier != 0xa5dc)
        throw ConversionError("the file is damaged: its document stream does not start as Word's does");
    if (version < kFibWord6)
        throw ConversionError("documents of Word 2 and older are not supported");
    if (flags & kEncrypted)
        throw ConversionError("the document is protected by a password");
    m_word97 = version >= kFibWord97;

    std::uint32_t counts[8] =
        {};  // main text, footnotes, headers, macros, comments, endnotes, text boxes, header text boxes
    std::string description;
    if (m_word97) {
        description = "Word 97-2003 document";
        m_table = m_storage->stream((flags & kWhichTable) ? "1Table" : "0Table");
        const ByteReader table(m_table, "table stream");
        const std::size_t shorts = m_reader.u16(0x20);
        const std::size_t longsAt = 0x22 + 2 * shorts + 2;
        const std::size_t longs = m_reader.u16(longsAt - 2);
        for (std::size_t i = 0; i < 8 && 3 + i < longs; ++i)
            counts[i] = m_reader.u32(longsAt + 4 * (3 + i));
        const std::size_t pairsAt = longsAt + 4 * longs + 2;
        const std::size_t pairs = m_reader.u16(pairsAt - 2);
        auto pair = [&](std::size_t index, std::uint32_t& fc, std::uint32_t& lcb) {
            fc = lcb = 0;
            if (index < pairs) {
                fc = m_reader.u32(pairsAt + 8 * index);
                lcb = m_reader.u32(pairsAt + 8 * index + 4);
            }
        };
        std::uint32_t fc, lcb;
        pair(33, fc, lcb);  // the piece table
        if (lcb == 0)
            throw ConversionError("the file is damaged: its piece table is missing");
        readPieceTable(table, fc, lcb);
        pair(13, fc, lcb);  // where the paragraph properties are
        readParagraphRuns(table, fc, lcb);
        m_codePageNumber = 1252;  // 8-bit pieces of these versions are always in code page 1252
    } else {
        description = version >= 104 ? "Word 95 document" : "Word 6 document";
        for (std::size_t i = 0; i < 8; ++i)
            counts[i] = m_reader.u32(0x34 + 4 * i);
        // documents saved on a Macintosh name its character set; the others their language
        m_codePageNumber = m_reader.u16(0x14) == 256 ? 10000 : codePageForLanguage(m_reader.u16(0x06));
        const std::uint32_t fcClx = m_reader.u32(0x160);
        const std::uint32_t lcbClx = m_reader.u32(0x164);
        if (lcbClx > 0 && m_reader.has(fcClx, lcbClx)) {
            readPieceTable(m_reader, fcClx, lcbClx);
        } else {
            std::uint32_t total = 0;
            for (std::uint32_t count : counts)
                total += count;
            m_pieces.push_back({0, total + 1, m_reader.u32(0x18), true});
        }
    }

    // main text, then footnotes, endnotes and text boxes; headers and comments are left out
    std::uint32_t start = 0;
    for (int part = 0; part < 8; ++part) {
        const std::uint32_t end = start + counts[part];
        if (part == 0 || part == 1 || part == 5 || part == 6) {
            emitRange(start, end, text);
            m_fields.clear();
            m_hiddenFields = 0;
            text.endPart();
        }
        start = end;
    }
    return description;
}

}  // namespace

std::string readWordBinary(const OleStorage& storage, const std::string& codePageFolder, TextBuilder& text)
{
    return Word(storage, codePageFolder).read(text);
}
