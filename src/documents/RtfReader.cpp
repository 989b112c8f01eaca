#include "RtfReader.h"

#include "CodePages.h"
#include "RtfControlWords.h"
#include "RtfListTable.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

enum class Destination : std::uint8_t { Text, Skip, FontTable, ColorTable, Numbering, ListTable, ListOverrides };

// The numbering level named inside a \pn group.
enum class NumberingLevel : std::uint8_t { None, Bullet, Body };

struct CharState {
    int font = -1;        // index into the font table; -1 is the document's default font
    int halfPoints = 0;   // 0 leaves the size to the pane
    int foreground = -1;  // index into the colour table; -1 or 0 is automatic
    int background = -1;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    std::int8_t vertical = 0;  // 1 superscript, -1 subscript
    bool operator==(const CharState&) const = default;
};

struct ParaState {
    Qt::Alignment alignment = Qt::AlignLeft;
    ListKind list = ListKind::None;
    int listOverride = 0;  // \ls: a list of the list table, resolved when the paragraph ends
    int listLevel = 0;
};

// What a list table entry is: one of the list itself, or a \listoverride naming it.
enum class TableEntry : std::uint8_t { None, List, Override };

struct GroupState {
    CharState chars;
    ParaState para;
    Destination destination = Destination::Text;
    int unicodeSkip = 1;
    bool alternateText = false;                   // a \upr group: its own text is the 8-bit copy of its \ud child
    Destination alternateOf = Destination::Text;  // where the \upr stood: its \ud child is read as that
    NumberingLevel numberingLevel = NumberingLevel::None;
    ListKind numberingStyle = ListKind::Decimal;
    TableEntry tableEntry = TableEntry::None;
};

struct FontEntry {
    QString name;
    int codePage = 0;  // 0: the document's code page
};

using Word = RtfControlWords::Word;

// Characters the document would take for its own structure (new blocks, frames, objects).
bool isStructural(QChar c)
{
    const char16_t u = c.unicode();
    return u == '\n' || u == '\r' || u == QChar::ParagraphSeparator || u == 0xFDD0 || u == 0xFDD1
           || u == QChar::ObjectReplacementCharacter;
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class Parser {
public:
    Parser(QByteArrayView data, QTextDocument& document, const RtfReader::Limits& limits)
        : m_p(data.data()), m_end(data.data() + data.size()), m_document(document), m_cursor(&document),
          m_limits(limits)
    {}

    RtfReader::Result run();

private:
    GroupState& top() { return m_stack.back(); }

    void pushGroup();
    bool popGroup();  // false once the outermost group has closed
    void controlSequence();
    void controlWord(std::string_view name, bool hasParam, std::int64_t param);
    void textBytes();
    void byteOfText(char byte);
    void unicodeChar(std::int64_t value);
    void insertChar(char16_t c);
    void symbolChar(char16_t c);
    void appendToFontName(char16_t c);

    void queueBytes(const char* data, qsizetype size);
    void flushBytes();
    void appendText(QStringView text);
    void flushRun();
    void endParagraph();
    void finish();
    QTextCharFormat charFormat(const CharState& state);
    int codePageOf(int font) const;
    int entryCodePage() const;
    void commitFont();
    void commitColor();
    void listTableWord(Word word, int value);
    void note(const QString& problem);

    const char* m_p;
    const char* m_end;
    QTextDocument& m_document;
    QTextCursor m_cursor;
    RtfReader::Limits m_limits;
    RtfReader::Result m_result;

    std::vector<GroupState> m_stack;
    int m_overflowDepth = 0;
    bool m_starPending = false;
    int m_skipChars = 0;       // fallback characters still to skip after \uN
    bool m_skipTrail = false;  // the last fallback byte opened a two-byte character: its trail byte goes too

    int m_codePage = 1252;
    bool m_mac = false;  // the document says \mac
    int m_defaultFont = -1;
    std::unordered_map<int, FontEntry> m_fonts;
    std::vector<QColor> m_colors;
    RtfListTable m_lists;

    // font table entry being read
    int m_entryFont = 0;
    int m_entryCharset = -1;
    int m_entryCodePage = 0;  // \cpg: wins over the character set
    QByteArray m_entryNameBytes;
    QString m_entryName;
    // colour table entry being read
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorHasPart = false;

    CodePages::Decoder m_decoder;
    QByteArray m_bytes;  // 8-bit text not yet decoded
    int m_bytesCodePage = 0;
    QString m_decoded;  // scratch for flushBytes
    QString m_run;      // decoded text sharing one character state
    CharState m_runState;
    CharState m_cachedState;
    QTextCharFormat m_cachedFormat;
    bool m_haveCachedFormat = false;

    bool m_paragraphPending = false;  // a \par was read; the next content opens a new block
    int m_paragraphs = 0;
    bool m_full = false;  // the paragraph limit was reached
    bool m_blockHasContent = false;
    QTextList* m_list = nullptr;
    ListKind m_listKind = ListKind::None;
};

RtfReader::Result Parser::run()
{
    m_result.richText = RtfReader::looksLikeRtf(QByteArrayView(m_p, m_end - m_p));
    if (!m_result.richText)
        return m_result;
    while (m_p < m_end && *m_p != '{')
        ++m_p;

    m_document.clear();
    m_cursor = QTextCursor(&m_document);
    // one edit block for the whole load: the document lays itself out once, at the end
    m_cursor.beginEditBlock();
    bool closed = false;
    while (m_p < m_end && !m_full) {
        const char c = *m_p;
        if (c == '{') {
            ++m_p;
            pushGroup();
        } else if (c == '}') {
            ++m_p;
            if (!popGroup()) {
                closed = true;
                break;
            }
        } else if (c == '\\') {
            ++m_p;
            controlSequence();
        } else {
            textBytes();
        }
    }
    if (m_full) {
        note(QStringLiteral("The document has more than %1 paragraphs; the rest was not read.")
                 .arg(m_limits.maxParagraphs));
        finish();
    } else if (!closed) {
        note(QStringLiteral("The document ends before all of its groups are closed."));
        finish();
    }
    m_cursor.endEditBlock();
    return m_result;
}

void Parser::note(const QString& problem)
{
    if (!m_result.problems.contains(problem))
        m_result.problems << problem;
}

void Parser::pushGroup()
{
    flushBytes();
    m_skipChars = 0;
    m_skipTrail = false;
    if (m_stack.empty()) {
        m_stack.emplace_back();
        return;
    }
    if (int(m_stack.size()) >= m_limits.maxDepth) {
        ++m_overflowDepth;
        note(QStringLiteral("Groups nested deeper than %1 levels were read as one level.").arg(m_limits.maxDepth));
        return;
    }
    m_stack.push_back(m_stack.back());
    m_starPending = false;
}

bool Parser::popGroup()
{
    flushBytes();
    m_skipChars = 0;
    m_skipTrail = false;
    m_starPending = false;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return true;
    }
    if (m_stack.empty())
        return false;
    const GroupState closing = m_stack.back();
    if (closing.destination == Destination::FontTable)
        commitFont();
    if (closing.tableEntry == TableEntry::List)
        m_lists.endList();
    else if (closing.tableEntry == TableEntry::Override)
        m_lists.endOverride();
    if (m_stack.size() == 1) {
        finish();
        m_stack.clear();
        return false;
    }
    m_stack.pop_back();
    if (closing.destination == Destination::Numbering && top().destination == Destination::Text) {
        // the \pn group numbers the paragraph it stands in
        if (closing.numberingLevel == NumberingLevel::Bullet)
            top().para.list = ListKind::Bullet;
        else if (closing.numberingLevel == NumberingLevel::Body)
            top().para.list = closing.numberingStyle;
    }
    return true;
}

void Parser::controlSequence()
{
    if (m_p >= m_end) {
        note(QStringLiteral("The document ends inside a control word."));
        return;
    }
    const char c = *m_p;
    if (isLetter(c)) {
        const char* start = m_p;
        while (m_p < m_end && isLetter(*m_p))
            ++m_p;
        // control words are at most 32 letters; a longer one is nothing we know
        std::string_view name(start, std::size_t(m_p - start));
        if (name.size() > 32)
            name = std::string_view();
        bool negative = false;
        bool hasParam = false;
        std::int64_t param = 0;
        if (m_p < m_end && *m_p == '-' && m_p + 1 < m_end && isDigit(m_p[1])) {
            negative = true;
            ++m_p;
        }
        constexpr std::int64_t cap = std::int64_t(std::numeric_limits<std::int32_t>::max());
        while (m_p < m_end && isDigit(*m_p)) {
            hasParam = true;
            param = std::min(cap + 1, param * 10 + (*m_p - '0'));
            ++m_p;
        }
        if (negative)
            param = -param;
        if (m_p < m_end && *m_p == ' ')
            ++m_p;
        controlWord(name, hasParam, param);
        return;
    }

    ++m_p;
    if (c == '\'') {
        const int high = m_p < m_end ? hexValue(*m_p) : -1;
        const int low = m_p + 1 < m_end ? hexValue(m_p[1]) : -1;
        if (high < 0 || low < 0) {
            note(QStringLiteral("A character escape is incomplete."));
            return;
        }
        m_p += 2;
        byteOfText(char(high * 16 + low));
        return;
    }
    if (top().destination == Destination::Skip)
        return;
    if (c == '\\' || c == '{' || c == '}') {
        // a byte like any other: it may be the second byte of a two-byte character
        byteOfText(c);
        return;
    }
    m_skipTrail = false;
    if (c == '*') {
        m_starPending = true;
        return;
    }
    flushBytes();
    if (m_skipChars > 0) {
        --m_skipChars;
        return;
    }
    switch (c) {
    case '~':
        symbolChar(0x00A0);
        break;
    case '_':
        symbolChar(0x2011);
        break;
    case '\n':
    case '\r':
        controlWord("par", false, 0);
        break;
    default:
        break;  // optional hyphens, index marks and unknown symbols carry no text
    }
}

void Parser::controlWord(std::string_view name, bool hasParam, std::int64_t param)
{
    const Word word = RtfControlWords::lookup(name);
    const bool star = m_starPending;
    m_starPending = false;
    m_skipTrail = false;
    GroupState& state = top();

    if (word == Word::Binary) {
        // raw bytes follow; they are never text
        flushBytes();
        const std::int64_t count = std::max<std::int64_t>(0, hasParam ? param : 0);
        m_p += std::min<std::int64_t>(count, m_end - m_p);
        return;
    }
    if (state.destination == Destination::Skip) {
        if (word == Word::UnicodeCopy && m_stack.size() >= 2 && m_stack[m_stack.size() - 2].alternateText)
            state.destination = m_stack[m_stack.size() - 2].alternateOf;
        return;
    }
    if (star && !RtfControlWords::isDestination(word)) {
        flushBytes();
        state.destination = Destination::Skip;
        return;
    }
    if (word == Word::AlternateText) {
        // the 8-bit copy is skipped; the \ud group inside reads as what stood here
        flushBytes();
        state.alternateText = true;
        state.alternateOf = state.destination;
        state.destination = Destination::Skip;
        return;
    }

    flushBytes();
    const int value =
        int(std::clamp<std::int64_t>(param, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    const bool on = !hasParam || param != 0;

    if (state.destination == Destination::FontTable) {
        switch (word) {
        case Word::Font:
            commitFont();
            m_entryFont = value;
            break;
        case Word::FontCharset:
            m_entryCharset = value;
            break;
        case Word::FontCodePage:
            m_entryCodePage = value > 0 && value < 65536 ? value : 0;
            break;
        case Word::Unicode:
            if (param >= -32768 && param <= 65535)
                appendToFontName(char16_t(param < 0 ? param + 65536 : param));
            m_skipChars = state.unicodeSkip;
            break;
        case Word::SkipDestination:
            state.destination = Destination::Skip;
            break;
        default:
            break;
        }
        return;
    }
    if (state.destination == Destination::ColorTable) {
        const int component = std::clamp(value, 0, 255);
        switch (word) {
        case Word::Red:
            m_red = component;
            m_colorHasPart = true;
            break;
        case Word::Green:
            m_green = component;
            m_colorHasPart = true;
            break;
        case Word::Blue:
            m_blue = component;
            m_colorHasPart = true;
            break;
        default:
            break;
        }
        return;
    }
    if (state.destination == Destination::ListTable || state.destination == Destination::ListOverrides) {
        listTableWord(word, value);
        return;
    }
    if (state.destination == Destination::Numbering) {
        switch (word) {
        case Word::LevelBullet:
            state.numberingLevel = NumberingLevel::Bullet;
            break;
        case Word::LevelBody:
            state.numberingLevel = NumberingLevel::Body;
            break;
        case Word::StyleDecimal:
            state.numberingStyle = ListKind::Decimal;
            break;
        case Word::StyleLowerAlpha:
            state.numberingStyle = ListKind::LowerAlpha;
            break;
        case Word::StyleUpperAlpha:
            state.numberingStyle = ListKind::UpperAlpha;
            break;
        case Word::StyleLowerRoman:
            state.numberingStyle = ListKind::LowerRoman;
            break;
        case Word::StyleUpperRoman:
            state.numberingStyle = ListKind::UpperRoman;
            break;
        case Word::SkipDestination:
            state.destination = Destination::Skip;
            break;
        default:
            break;
        }
        return;
    }

    // Only the first character after \uN is a fallback worth skipping when it is a word for text.
    if (m_skipChars > 0 && word != Word::Unicode) {
        --m_skipChars;
        return;
    }

    CharState& chars = state.chars;
    switch (word) {
    case Word::Unknown:
    case Word::UnicodeCopy:
        break;
    case Word::FontTable:
        state.destination = Destination::FontTable;
        m_entryFont = 0;
        break;
    case Word::ColorTable:
        state.destination = Destination::ColorTable;
        m_red = m_green = m_blue = 0;
        m_colorHasPart = false;
        break;
    case Word::Numbering:
        state.destination = Destination::Numbering;
        state.numberingLevel = NumberingLevel::None;
        state.numberingStyle = ListKind::Decimal;
        break;
    case Word::SkipDestination:
        state.destination = Destination::Skip;
        break;
    case Word::Bold:
        chars.bold = on;
        break;
    case Word::Italic:
        chars.italic = on;
        break;
    case Word::Underline:
        chars.underline = on;
        break;
    case Word::UnderlineNone:
        chars.underline = false;
        break;
    case Word::Strike:
        chars.strike = on;
        break;
    case Word::Hidden:
        chars.hidden = on;
        break;
    case Word::Font:
        chars.font = hasParam && value >= 0 ? value : -1;
        break;
    case Word::FontSize:
        // Sizes beyond what word processors allow (1638 points) are clamped.
        if (hasParam && value > 0)
            chars.halfPoints = std::min(value, 3276);
        break;
    case Word::Foreground:
        chars.foreground = value;
        break;
    case Word::Background:
    case Word::Highlight:
        chars.background = value;
        break;
    case Word::Super:
        chars.vertical = 1;
        break;
    case Word::Sub:
        chars.vertical = -1;
        break;
    case Word::NoSuperSub:
        chars.vertical = 0;
        break;
    case Word::Plain:
        chars = CharState();
        break;
    case Word::Pard:
        state.para = ParaState();
        break;
    case Word::Par:
    case Word::Row:
        endParagraph();
        break;
    case Word::Line:
        insertChar(QChar::LineSeparator);
        break;
    case Word::Tab:
    case Word::Cell:
        insertChar(u'\t');
        break;
    case Word::AlignLeft:
        state.para.alignment = Qt::AlignLeft;
        break;
    case Word::AlignRight:
        state.para.alignment = Qt::AlignRight;
        break;
    case Word::AlignCenter:
        state.para.alignment = Qt::AlignHCenter;
        break;
    case Word::AlignJustify:
        state.para.alignment = Qt::AlignJustify;
        break;
    case Word::ListTable:
        state.destination = Destination::ListTable;
        break;
    case Word::ListOverrideTable:
        state.destination = Destination::ListOverrides;
        break;
    case Word::ListNumber:
        state.para.listOverride = std::max(0, value);
        state.para.list = ListKind::None;
        break;
    case Word::ListLevelIndex:
        state.para.listLevel = std::clamp(value, 0, 8);
        break;
    case Word::Unicode:
        unicodeChar(hasParam ? param : 0);
        break;
    case Word::UnicodeSkip:
        state.unicodeSkip = std::clamp(value, 0, m_limits.maxUnicodeSkip);
        break;
    case Word::Ansi:
        m_codePage = 1252;
        break;
    case Word::Mac:
        m_codePage = 10000;
        m_mac = true;
        break;
    case Word::Pc:
        m_codePage = 437;
        break;
    case Word::Pca:
        m_codePage = 850;
        break;
    case Word::AnsiCodePage:
        if (value > 0 && value < 65536)
            m_codePage = value;
        break;
    case Word::DefaultFont:
        m_defaultFont = value;
        break;
    case Word::EmDash:
        insertChar(0x2014);
        break;
    case Word::EnDash:
        insertChar(0x2013);
        break;
    case Word::BulletChar:
        insertChar(0x2022);
        break;
    case Word::LeftQuote:
        insertChar(0x2018);
        break;
    case Word::RightQuote:
        insertChar(0x2019);
        break;
    case Word::LeftDoubleQuote:
        insertChar(0x201C);
        break;
    case Word::RightDoubleQuote:
        insertChar(0x201D);
        break;
    case Word::EmSpace:
        insertChar(0x2003);
        break;
    case Word::EnSpace:
        insertChar(0x2002);
        break;
    case Word::QuarterSpace:
        insertChar(0x2005);
        break;
    case Word::ZeroWidthJoiner:
        insertChar(0x200D);
        break;
    case Word::ZeroWidthNonJoiner:
        insertChar(0x200C);
        break;
    case Word::LtrMark:
        insertChar(0x200E);
        break;
    case Word::RtlMark:
        insertChar(0x200F);
        break;
    default:
        break;  // words that only mean something inside a table or a \pn group
    }
}

void Parser::textBytes()
{
    const Destination destination = top().destination;
    if (destination == Destination::Skip) {
        while (m_p < m_end && *m_p != '{' && *m_p != '}' && *m_p != '\\')
            ++m_p;
        return;
    }
    if (destination == Destination::Text && m_skipChars == 0 && !m_skipTrail) {
        // the common case: a stretch of plain text, taken in one go
        const char* start = m_p;
        while (m_p < m_end) {
            const char c = *m_p;
            if (c == '{' || c == '}' || c == '\\' || (static_cast<unsigned char>(c) < 0x20 && c != '\t'))
                break;
            ++m_p;
        }
        if (m_p > start) {
            queueBytes(start, m_p - start);
            return;
        }
    }
    const char c = *m_p++;
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
        return;  // line ends are layout of the file; other control bytes are not text
    byteOfText(c);
}

void Parser::byteOfText(char byte)
{
    GroupState& state = top();
    switch (state.destination) {
    case Destination::Text: {
        const auto u = static_cast<unsigned char>(byte);
        if (m_skipChars > 0) {
            --m_skipChars;
            // a two-byte fallback counted as one character takes its second byte along
            m_skipTrail = m_skipChars == 0 && CodePages::isLeadByte(codePageOf(state.chars.font), u);
            return;
        }
        if (m_skipTrail) {
            m_skipTrail = false;
            if (u >= 0x40)
                return;
        }
        queueBytes(&byte, 1);
        return;
    }
    case Destination::FontTable:
        if (m_skipChars > 0)
            --m_skipChars;
        else if (byte == ';')
            commitFont();
        else if (m_entryNameBytes.size() < 256)
            m_entryNameBytes.append(byte);
        return;
    case Destination::ColorTable:
        if (byte == ';')
            commitColor();
        return;
    default:
        return;
    }
}

void Parser::unicodeChar(std::int64_t value)
{
    // \u takes a signed 16-bit number; anything outside that range is no character
    if (value < -32768 || value > 65535)
        insertChar(QChar::ReplacementCharacter);
    else
        insertChar(char16_t(value < 0 ? value + 65536 : value));
    m_skipChars = top().unicodeSkip;
}

// A character written as a control symbol (\~ or \_): text, or part of a font's name.
void Parser::symbolChar(char16_t c)
{
    if (top().destination == Destination::Text)
        insertChar(c);
    else if (top().destination == Destination::FontTable)
        appendToFontName(c);
}

void Parser::appendToFontName(char16_t c)
{
    const int codePage = entryCodePage();
    m_decoder.append(m_entryNameBytes, codePage > 0 ? codePage : m_codePage, m_entryName);
    m_entryNameBytes.clear();
    if (m_entryName.size() < 256)
        m_entryName.append(QChar(c));
}

void Parser::insertChar(char16_t c)
{
    flushBytes();
    const QChar ch(c);
    appendText(QStringView(&ch, 1));
}

void Parser::queueBytes(const char* data, qsizetype size)
{
    const int codePage = codePageOf(top().chars.font);
    if (!m_bytes.isEmpty() && codePage != m_bytesCodePage)
        flushBytes();
    m_bytesCodePage = codePage;
    m_bytes.append(data, size);
}

void Parser::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    m_decoded.resize(0);
    m_decoder.append(m_bytes, m_bytesCodePage, m_decoded);
    m_bytes.resize(0);
    appendText(m_decoded);
}

void Parser::appendText(QStringView text)
{
    if (text.isEmpty() || m_stack.empty() || top().chars.hidden)
        return;
    const CharState& chars = top().chars;
    if (!m_run.isEmpty() && !(chars == m_runState))
        flushRun();
    if (m_paragraphPending) {
        m_cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        m_paragraphPending = false;
    }
    if (m_run.isEmpty())
        m_runState = chars;
    m_run.append(text);
    m_blockHasContent = true;
}

void Parser::flushRun()
{
    if (m_run.isEmpty())
        return;
    if (std::any_of(m_run.cbegin(), m_run.cend(), isStructural)) {
        // a paragraph end written as a character breaks the line; object and frame marks go
        m_run.removeIf([](QChar c) {
            return c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1 || c == QChar::ObjectReplacementCharacter;
        });
        for (QChar& c : m_run)
            if (isStructural(c))
                c = QChar::LineSeparator;
        if (m_run.isEmpty())
            return;
    }
    m_cursor.insertText(m_run, charFormat(m_runState));
    m_run.clear();
}

void Parser::endParagraph()
{
    if (++m_paragraphs > m_limits.maxParagraphs) {
        m_full = true;
        return;
    }
    flushBytes();
    if (m_paragraphPending) {
        flushRun();
        m_cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    }
    flushRun();
    const ParaState& para = top().para;
    QTextBlockFormat format;
    format.setAlignment(para.alignment);
    m_cursor.setBlockFormat(format);
    const ListKind kind = para.list != ListKind::None ? para.list : m_lists.kindOf(para.listOverride, para.listLevel);
    if (kind != ListKind::None) {
        if (m_list && m_listKind == kind) {
            m_list->add(m_cursor.block());
        } else {
            QTextListFormat listFormat;
            listFormat.setStyle(listStyle(kind));
            listFormat.setIndent(1);
            m_list = m_cursor.createList(listFormat);
            m_listKind = kind;
        }
    } else {
        m_list = nullptr;
        m_listKind = ListKind::None;
    }
    m_paragraphPending = true;
    m_blockHasContent = false;
}

void Parser::finish()
{
    if (m_stack.empty())
        return;
    flushBytes();
    flushRun();
    // a last paragraph without its \par still gets its alignment and list
    if (!m_paragraphPending && m_blockHasContent) {
        endParagraph();
    }
    m_paragraphPending = false;
}

void Parser::listTableWord(Word word, int value)
{
    GroupState& state = top();
    if (word == Word::List)
        state.tableEntry = TableEntry::List;
    else if (word == Word::ListOverride)
        state.tableEntry = TableEntry::Override;
    else if (word == Word::SkipDestination)
        state.destination = Destination::Skip;
    m_lists.read(word, value);
}

int Parser::codePageOf(int font) const
{
    if (font < 0)
        font = m_defaultFont;
    const auto it = m_fonts.find(font);
    if (it != m_fonts.end() && it->second.codePage > 0)
        return it->second.codePage;
    return m_codePage;
}

// The code page of the font table entry being read; 0 leaves it to the document.
int Parser::entryCodePage() const
{
    if (m_entryCodePage > 0)
        return m_entryCodePage;
    // a Mac document's "ANSI" fonts hold the document's own Mac bytes
    if (m_entryCharset < 0 || (m_entryCharset == 0 && m_mac))
        return 0;
    return CodePages::fromCharset(m_entryCharset);
}

QTextCharFormat Parser::charFormat(const CharState& state)
{
    if (m_haveCachedFormat && state == m_cachedState)
        return m_cachedFormat;
    QTextCharFormat format;
    const auto font = m_fonts.find(state.font >= 0 ? state.font : m_defaultFont);
    if (font != m_fonts.end() && !font->second.name.isEmpty())
        format.setFontFamilies({font->second.name});
    if (state.halfPoints > 0)
        format.setFontPointSize(state.halfPoints / 2.0);
    if (state.bold)
        format.setFontWeight(QFont::Bold);
    if (state.italic)
        format.setFontItalic(true);
    if (state.underline)
        format.setFontUnderline(true);
    if (state.strike)
        format.setFontStrikeOut(true);
    if (state.vertical != 0)
        format.setVerticalAlignment(state.vertical > 0 ? QTextCharFormat::AlignSuperScript
                                                       : QTextCharFormat::AlignSubScript);
    // colour index 0 is the table's "automatic" entry
    if (state.foreground > 0 && state.foreground < int(m_colors.size()) && m_colors[state.foreground].isValid())
        format.setForeground(m_colors[state.foreground]);
    if (state.background > 0 && state.background < int(m_colors.size()) && m_colors[state.background].isValid())
        format.setBackground(m_colors[state.background]);
    m_cachedState = state;
    m_cachedFormat = format;
    m_haveCachedFormat = true;
    return format;
}

void Parser::commitFont()
{
    const bool known = m_fonts.count(m_entryFont) > 0;
    if (m_entryNameBytes.isEmpty() && m_entryName.isEmpty()) {
        m_entryCharset = -1;
        m_entryCodePage = 0;
        return;
    }
    if (known || int(m_fonts.size()) < m_limits.maxFonts) {
        const int codePage = entryCodePage();
        m_decoder.append(m_entryNameBytes, codePage > 0 ? codePage : m_codePage, m_entryName);
        FontEntry& entry = m_fonts[m_entryFont];
        // control characters and structure marks are no part of a font's name, nor is the ';' that
        // ends an entry (a \u59 or a byte of an exotic code page could put one there)
        m_entryName.removeIf([](QChar c) { return c.unicode() < 0x20 || c == u';' || isStructural(c); });
        // bytes and \u escapes each stop at 256; together they must too
        m_entryName.truncate(256);
        entry.name = m_entryName.trimmed();
        // the symbol set's bytes are glyph numbers, read as the document's code page
        entry.codePage = codePage;
    } else {
        note(QStringLiteral("The font table has more than %1 entries; the rest were ignored.").arg(m_limits.maxFonts));
    }
    m_entryNameBytes.clear();
    m_entryName.clear();
    m_entryCharset = -1;
    m_entryCodePage = 0;
    m_haveCachedFormat = false;
}

void Parser::commitColor()
{
    if (int(m_colors.size()) < m_limits.maxColors)
        m_colors.push_back(m_colorHasPart ? QColor(m_red, m_green, m_blue) : QColor());
    else
        note(QStringLiteral("The colour table has more than %1 entries; the rest were ignored.")
                 .arg(m_limits.maxColors));
    m_red = m_green = m_blue = 0;
    m_colorHasPart = false;
    m_haveCachedFormat = false;
}

}  // namespace

bool RtfReader::looksLikeRtf(QByteArrayView data)
{
    qsizetype i = 0;
    if (data.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    return data.sliced(i).startsWith("{\\rtf");
}

RtfReader::Result RtfReader::read(QByteArrayView data, QTextDocument& document, const Limits& limits)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    Parser parser(data, document, limits);
    Result result = parser.run();
    document.setUndoRedoEnabled(undo);
    return result;
}
