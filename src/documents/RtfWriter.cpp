#include "RtfWriter.h"

#include "CodePages.h"

#include <QFont>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <map>
#include <vector>

namespace {

struct RunStyle {
    int font = -1;
    int halfPoints = -1;  // unknown at the start, so the first run always states its size
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int vertical = 0;  // 1 superscript, -1 subscript
    int foreground = 0;
    int background = 0;
    bool operator==(const RunStyle&) const = default;
};

bool isBulletStyle(QTextListFormat::Style style)
{
    return style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle
           || style == QTextListFormat::ListSquare;
}

const char* numberingWord(QTextListFormat::Style style)
{
    switch (style) {
    case QTextListFormat::ListLowerAlpha:
        return "\\pnlcltr";
    case QTextListFormat::ListUpperAlpha:
        return "\\pnucltr";
    case QTextListFormat::ListLowerRoman:
        return "\\pnlcrm";
    case QTextListFormat::ListUpperRoman:
        return "\\pnucrm";
    default:
        return "\\pndec";
    }
}

QString familyOf(const QFont& font)
{
    const QStringList families = font.families();
    return families.isEmpty() ? font.family() : families.first();
}

class Writer {
public:
    Writer(const QTextDocument& document, const QColor& defaultColor)
        : m_document(document), m_defaultColor(defaultColor)
    {}

    QByteArray write();

private:
    struct Resolved {
        QString family;
        RunStyle style;
    };

    Resolved resolve(const QTextCharFormat& format);
    int fontIndex(const QString& family);
    int colorIndex(const QColor& color);
    void collectTables();
    void writeHeader();
    void writeBlock(const QTextBlock& block);
    void writeListMarker(const QTextBlock& block, const QTextList& list);
    void switchStyle(const RunStyle& style);
    void writeText(QStringView text);

    const QTextDocument& m_document;
    QColor m_defaultColor;
    QByteArray m_out;
    std::vector<QString> m_fonts;
    std::map<QString, int> m_fontIndex;
    std::vector<QColor> m_colors;  // index 0 is "automatic" and never written
    std::map<QRgb, int> m_colorIndex;
    int m_symbolFont = -1;
    RunStyle m_current;
};

Writer::Resolved Writer::resolve(const QTextCharFormat& format)
{
    const QFont font = format.font().resolve(m_document.defaultFont());
    Resolved r;
    r.family = familyOf(font);
    r.style.font = fontIndex(r.family);
    double points = font.pointSizeF();
    if (points <= 0 && font.pixelSize() > 0)
        points = font.pixelSize() * 0.75;
    r.style.halfPoints = points > 0 ? qRound(points * 2) : 24;
    r.style.bold = font.weight() >= QFont::DemiBold;
    r.style.italic = font.italic();
    r.style.underline = font.underline();
    r.style.strike = font.strikeOut();
    const auto vertical = format.verticalAlignment();
    r.style.vertical = vertical == QTextCharFormat::AlignSuperScript ? 1
                       : vertical == QTextCharFormat::AlignSubScript ? -1
                                                                     : 0;
    const QBrush foreground = format.foreground();
    const QColor text = foreground.style() != Qt::NoBrush ? foreground.color() : m_defaultColor;
    r.style.foreground = text.isValid() ? colorIndex(text) : 0;
    const QBrush background = format.background();
    r.style.background = background.style() != Qt::NoBrush ? colorIndex(background.color()) : 0;
    return r;
}

int Writer::fontIndex(const QString& family)
{
    const auto it = m_fontIndex.find(family);
    if (it != m_fontIndex.end())
        return it->second;
    const int index = int(m_fonts.size());
    m_fonts.push_back(family);
    m_fontIndex.emplace(family, index);
    return index;
}

int Writer::colorIndex(const QColor& color)
{
    const QRgb rgb = color.rgb() & 0xFFFFFF;
    const auto it = m_colorIndex.find(rgb);
    if (it != m_colorIndex.end())
        return it->second;
    const int index = int(m_colors.size());
    m_colors.push_back(QColor(rgb));
    m_colorIndex.emplace(rgb, index);
    return index;
}

void Writer::collectTables()
{
    m_colors.push_back(QColor());
    fontIndex(familyOf(m_document.defaultFont()));
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            resolve(it.fragment().charFormat());
        if (block.textList() && isBulletStyle(block.textList()->format().style()) && m_symbolFont < 0) {
            // the bullet glyph comes from the symbol font, as word processors write it
            m_symbolFont = int(m_fonts.size());
            m_fonts.push_back(QStringLiteral("Symbol"));
        }
    }
}

void Writer::writeHeader()
{
    m_out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl";
    for (int i = 0; i < int(m_fonts.size()); ++i) {
        m_out += "{\\f" + QByteArray::number(i);
        m_out += i == m_symbolFont ? "\\fnil\\fcharset2 " : "\\fnil\\fcharset0 ";
        QString name = m_fonts[i];
        name.remove(u';');  // a semicolon would end the entry early
        writeText(name);
        m_out += ";}";
    }
    m_out += "}\r\n";
    if (m_colors.size() > 1) {
        m_out += "{\\colortbl ;";
        for (std::size_t i = 1; i < m_colors.size(); ++i) {
            const QColor& c = m_colors[i];
            m_out += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green()) + "\\blue"
                     + QByteArray::number(c.blue()) + ';';
        }
        m_out += "}\r\n";
    }
    m_out += "\\viewkind4\\uc1\r\n";
}

void Writer::switchStyle(const RunStyle& style)
{
    if (style == m_current)
        return;
    const int before = int(m_out.size());
    const auto flag = [this](bool now, bool was, const char* word) {
        if (now != was) {
            m_out += word;
            if (!now)
                m_out += '0';
        }
    };
    if (style.font != m_current.font)
        m_out += "\\f" + QByteArray::number(style.font);
    if (style.halfPoints != m_current.halfPoints)
        m_out += "\\fs" + QByteArray::number(style.halfPoints);
    flag(style.bold, m_current.bold, "\\b");
    flag(style.italic, m_current.italic, "\\i");
    if (style.underline != m_current.underline)
        m_out += style.underline ? "\\ul" : "\\ulnone";
    flag(style.strike, m_current.strike, "\\strike");
    if (style.vertical != m_current.vertical)
        m_out += style.vertical > 0 ? "\\super" : style.vertical < 0 ? "\\sub" : "\\nosupersub";
    if (style.foreground != m_current.foreground)
        m_out += "\\cf" + QByteArray::number(style.foreground);
    if (style.background != m_current.background)
        m_out += "\\highlight" + QByteArray::number(style.background);
    if (int(m_out.size()) > before)
        m_out += ' ';
    m_current = style;
}

void Writer::writeText(QStringView text)
{
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 0x20 && c < 0x7F) {
            if (c == '\\' || c == '{' || c == '}')
                m_out += '\\';
            m_out += char(c);
        } else if (c == '\t') {
            m_out += "\\tab ";
        } else if (c == QChar::LineSeparator || c == '\n') {
            m_out += "\\line ";
        } else if (c == QChar::Nbsp) {
            m_out += "\\~";
        } else if (c == QChar::ObjectReplacementCharacter || c == 0xFDD0 || c == 0xFDD1) {
            // images and frame marks have no text to keep
        } else if (const int byte = c >= 0x80 ? CodePages::toWindows1252(c) : -1; byte >= 0) {
            static const char hex[] = "0123456789abcdef";
            m_out += "\\'";
            m_out += hex[byte >> 4];
            m_out += hex[byte & 15];
        } else {
            m_out += "\\u" + QByteArray::number(c > 0x7FFF ? int(c) - 0x10000 : int(c)) + '?';
        }
    }
}

void Writer::writeListMarker(const QTextBlock& block, const QTextList& list)
{
    const QTextListFormat::Style style = list.format().style();
    if (isBulletStyle(style)) {
        const QByteArray symbol = QByteArray::number(m_symbolFont);
        m_out +=
            "{\\pntext\\f" + symbol + "\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf" + symbol + "\\pnindent0{\\pntxtb\\'B7}}";
    } else {
        m_out += "{\\pntext\\f0 ";
        writeText(list.itemText(block));
        m_out += "\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1";
        m_out += numberingWord(style);
        m_out += "{\\pntxta.}}";
    }
    m_out += "\\fi-360\\li720";
}

void Writer::writeBlock(const QTextBlock& block)
{
    m_out += "\\pard";
    switch (block.blockFormat().alignment() & Qt::AlignHorizontal_Mask) {
    case Qt::AlignRight:
        m_out += "\\qr";
        break;
    case Qt::AlignHCenter:
        m_out += "\\qc";
        break;
    case Qt::AlignJustify:
        m_out += "\\qj";
        break;
    default:
        break;
    }
    if (const QTextList* list = block.textList())
        writeListMarker(block, *list);
    m_out += ' ';
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        switchStyle(resolve(fragment.charFormat()).style);
        writeText(fragment.text());
    }
    m_out += "\\par\r\n";
}

QByteArray Writer::write()
{
    collectTables();
    writeHeader();
    m_out.reserve(m_out.size() + m_document.characterCount() * 2);
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next())
        writeBlock(block);
    m_out += "}\r\n";
    return m_out;
}

}  // namespace

QByteArray RtfWriter::write(const QTextDocument& document, const QColor& defaultColor)
{
    return Writer(document, defaultColor).write();
}
