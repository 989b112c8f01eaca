// htm-extract PAGE: the text of a web page, written as UTF-8 to PAGE with its extension changed
// to ".txt". Parsing is libxml2's HTML parser; the page's declared character set is honoured.
#include "ConversionError.h"
#include "CharsetConverter.h"
#include "ConverterMain.h"
#include "DocumentFile.h"
#include "SafeOutput.h"
#include "TextBuilder.h"
#include "XmlDocument.h"

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace {

std::string lowered(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// The label a <meta> tag near the top declares (charset="..." or content="...; charset=..."),
// or the encoding of an XHTML page's XML declaration; empty when there is none.
std::string declaredCharset(const std::string& page)
{
    const std::string head = lowered(std::string_view(page).substr(0, 8192));
    if (head.rfind("<?xml", 0) == 0) {
        const std::size_t end = head.find("?>");
        const std::size_t key = head.find("encoding", 0);
        if (end != std::string::npos && key < end) {
            const std::size_t open = head.find_first_of("\"'", key);
            const std::size_t close = open < end ? head.find(head[open], open + 1) : std::string::npos;
            if (close < end)
                return head.substr(open + 1, close - open - 1);
        }
    }
    std::size_t at = 0;
    while ((at = head.find("<meta", at)) != std::string::npos) {
        const std::size_t end = head.find('>', at);
        const std::string_view tag = std::string_view(head).substr(at, end == std::string::npos ? std::string::npos : end - at);
        at += 5;
        const std::size_t key = tag.find("charset");
        if (key == std::string_view::npos)
            continue;
        std::size_t i = key + 7;
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\n' || tag[i] == '\r'))
            ++i;
        if (i >= tag.size() || tag[i] != '=')
            continue;
        ++i;
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '"' || tag[i] == '\'' || tag[i] == '\t'))
            ++i;
        std::size_t stop = i;
        while (stop < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[stop])) || tag[stop] == '-' ||
                                     tag[stop] == '_' || tag[stop] == '.' || tag[stop] == ':'))
            ++stop;
        if (stop > i)
            return std::string(tag.substr(i, stop - i));
    }
    return {};
}

// The iconv name for a label as browsers understand it: pages labelled Latin-1 or ASCII are
// read as windows-1252, Shift_JIS as its Windows form, and so on.
std::string iconvName(const std::string& label)
{
    if (label == "utf8" || label == "unicode-1-1-utf-8")
        return "UTF-8";
    if (label == "iso-8859-1" || label == "iso8859-1" || label == "latin1" || label == "l1" || label == "us-ascii" ||
        label == "ascii" || label == "cp1252" || label == "x-cp1252" || label == "iso_8859-1")
        return "WINDOWS-1252";
    if (label == "iso-8859-9" || label == "latin5")
        return "WINDOWS-1254";
    if (label == "tis-620" || label == "iso-8859-11")
        return "WINDOWS-874";
    if (label == "shift_jis" || label == "shift-jis" || label == "sjis" || label == "x-sjis" || label == "ms_kanji" ||
        label == "windows-31j" || label == "csshiftjis")
        return "CP932";
    if (label == "gb2312" || label == "gbk" || label == "x-gbk" || label == "chinese" || label == "csgb2312")
        return "GB18030";
    if (label == "euc-kr" || label == "ks_c_5601-1987" || label == "korean" || label == "windows-949")
        return "CP949";
    if (label == "big5" || label == "x-x-big5" || label == "big5-hkscs")
        return "BIG5-HKSCS";
    if (label == "utf-16" || label == "utf-16le" || label == "utf-16be")
        return "UTF-8";  // a page that says so in its own bytes cannot be UTF-16
    return label;
}

// The page as UTF-8; bytes the character set does not define become U+FFFD.
std::string toUtf8(const std::string& page, std::string& charsetUsed)
{
    std::string_view bytes(page);
    std::string from;
    if (bytes.substr(0, 3) == "\xef\xbb\xbf") {
        from = "UTF-8";
        bytes.remove_prefix(3);
    } else if (bytes.substr(0, 2) == "\xff\xfe") {
        from = "UTF-16LE";
        bytes.remove_prefix(2);
    } else if (bytes.substr(0, 2) == "\xfe\xff") {
        from = "UTF-16BE";
        bytes.remove_prefix(2);
    } else {
        const std::string label = declaredCharset(page);
        if (!label.empty())
            from = iconvName(label);
        else
            from = Utf8::isValid(bytes) ? "UTF-8" : "WINDOWS-1252";
    }
    std::string out;
    // an unknown label is read the way a browser reads an unlabelled page
    if (!convertToUtf8(bytes, from, out)) {
        from = Utf8::isValid(bytes) ? "UTF-8" : "WINDOWS-1252";
        convertToUtf8(bytes, from, out);
    }
    charsetUsed = from;
    return out;
}

bool isOneOf(const char* name, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), std::string_view(name)) != names.end();
}

bool isHidden(const char* name)
{
    return isOneOf(name, {"head", "script", "style", "noscript", "template", "title", "select", "option",
                          "iframe", "object", "embed", "svg", "math", "canvas", "audio", "video", "button"});
}

bool isBlock(const char* name)
{
    return isOneOf(name, {"p", "div", "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol", "li", "dl", "dt", "dd",
                          "table", "thead", "tbody", "tfoot", "caption", "blockquote", "pre", "section",
                          "article", "header", "footer", "nav", "aside", "main", "form", "fieldset", "legend",
                          "address", "figure", "figcaption", "hr", "center", "details", "summary", "body",
                          "html", "tr", "menu", "dir", "noframes", "frameset"});
}

void appendText(TextBuilder& text, const char* content, bool preformatted)
{
    std::string_view chars(content);
    if (preformatted) {
        text.appendUtf8(chars);
        return;
    }
    std::size_t i = 0;
    while (i < chars.size()) {
        const std::size_t start = i;
        while (i < chars.size() && !std::isspace(static_cast<unsigned char>(chars[i])) &&
               chars.substr(i, 2) != "\xc2\xa0")
            ++i;
        text.appendUtf8(chars.substr(start, i - start));
        if (i >= chars.size())
            break;
        // runs of white space (no-break spaces too) read as one space, none at a line's start
        while (i < chars.size() &&
               (std::isspace(static_cast<unsigned char>(chars[i])) || chars.substr(i, 2) == "\xc2\xa0"))
            i += chars[i] == '\xc2' ? 2 : 1;
        if (!text.atSpace())
            text.append(U' ');
    }
}

// Inside a table cell, paragraphs and line breaks read as spaces so that a row stays one line.
void breakLine(TextBuilder& text, int cells)
{
    if (cells == 0)
        text.endLine();
    else if (!text.atSpace())
        text.append(U' ');
}

void walk(xmlNode* top, TextBuilder& text)
{
    int preformatted = 0;
    int cells = 0;
    auto name = [](const xmlNode* node) { return std::string_view(reinterpret_cast<const char*>(node->name)); };
    XmlDocument::traverse(
        top,
        [&](xmlNode* node) {
            if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
                if (node->content)
                    appendText(text, reinterpret_cast<const char*>(node->content), preformatted > 0);
                return false;
            }
            if (node->type != XML_ELEMENT_NODE || !node->name || isHidden(name(node).data()))
                return false;
            const std::string_view element = name(node);
            if (element == "td" || element == "th")
                ++cells;
            else if (element == "table")
                cells = 0;
            if (element == "br" || isBlock(element.data()))
                breakLine(text, cells);
            if (element == "pre")
                ++preformatted;
            return true;
        },
        [&](xmlNode* node) {
            if (node->type != XML_ELEMENT_NODE || !node->name || isHidden(name(node).data()))
                return;
            const std::string_view element = name(node);
            if (element == "td" || element == "th") {
                text.endCell();
                cells = std::max(0, cells - 1);
            } else if (element == "tr") {
                text.endRow();
            } else if (isBlock(element.data())) {
                breakLine(text, cells);
            }
            if (element == "pre")
                --preformatted;
        });
}

void extract(char** arguments)
{
    const std::string page = arguments[0];
    const std::string output = withExtension(page, ".txt");
    if (output == page)
        throw ConversionError("the text would replace the page itself");
    const DocumentFile file = DocumentFile::read(page, 256u << 20);
    if (file.kind() == DocumentFile::Kind::Empty)
        throw ConversionError("the file is empty");
    std::string charset;
    const std::string utf8 = toUtf8(file.bytes(), charset);
    // the bytes are UTF-8 by now: a <meta> naming the original character set must not make
    // the parser decode them a second time
    htmlDocPtr document = htmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                                         HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                             HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC | HTML_PARSE_NOIMPLIED);
    if (!document || !xmlDocGetRootElement(document)) {
        if (document)
            xmlFreeDoc(document);
        throw ConversionError("the page cannot be read as HTML");
    }
    TextBuilder text;
    for (xmlNode* node = document->children; node; node = node->next)
        walk(node, text);
    xmlFreeDoc(document);
    if (!text.hasText())
        throw ConversionError("the page holds no text");
    writeFileSafely(output, text.finish());
}

}  // namespace

int main(int argc, char** argv)
{
    return runConverter("htm-extract", argc, argv, 1, "PAGE.htm", extract);
}
