// htm-extract PAGE: the text of a web page, written as UTF-8 to PAGE with its extension changed
// to ".txt". Parsing is libxml2's HTML parser; the page's declared character set is honoured.
#include "ConversionError.h"
#include "CharsetConverter.h"
#include "ConverterMain.h"
#include "DocumentFile.h"
#include "MemoryBudget.h"
#include "SafeOutput.h"
#include "TextBuilder.h"
#include "XmlDocument.h"

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <new>
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
        const std::string_view tag =
            std::string_view(head).substr(at, end == std::string::npos ? std::string::npos : end - at);
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
        while (stop < tag.size()
               && (std::isalnum(static_cast<unsigned char>(tag[stop])) || tag[stop] == '-' || tag[stop] == '_'
                   || tag[stop] == '.' || tag[stop] == ':'))
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
    if (label == "iso-8859-1" || label == "iso8859-1" || label == "latin1" || label == "l1" || label == "us-ascii"
        || label == "ascii" || label == "cp1252" || label == "x-cp1252" || label == "iso_8859-1")
        return "WINDOWS-1252";
    if (label == "iso-8859-9" || label == "latin5")
        return "WINDOWS-1254";
    if (label == "tis-620" || label == "iso-8859-11")
        return "WINDOWS-874";
    if (label == "shift_jis" || label == "shift-jis" || label == "sjis" || label == "x-sjis" || label == "ms_kanji"
        || label == "windows-31j" || label == "csshiftjis")
        return "CP932";
    if (label == "gb2312" || label == "gbk" || label == "x-gbk" || label == "chinese" || label == "csgb2312")
        return "GB18030";
    if (label == "euc-kr" || label == "ks_c_5601-1987" || label == "korean" || label == "windows-949")
        return "CP949";
    if (label == "big5" || label == "x-x-big5" || label == "big5-hkscs")
        return "BIG5-HKSCS";
    return label;
}

// Labels of the character sets that spend two or four bytes on each character of the markup.
bool isWideLabel(const std::string& label)
{
    for (const char* family : {"utf-16", "utf16", "utf-32", "utf32", "ucs-2", "ucs2", "ucs-4", "ucs4", "iso-10646-ucs",
                               "csunicode", "unicode", "utf-7", "utf7"})
        if (label.rfind(family, 0) == 0 && label != "unicode-1-1-utf-8")
            return true;
    return false;
}

// UTF-16 or UTF-32 without a byte-order mark, told by the zero bytes beside the markup's
// characters near the top; empty when the page is not laid out so.
std::string wideByPattern(std::string_view bytes)
{
    const std::size_t n = std::min<std::size_t>(bytes.size(), 512) & ~std::size_t(3);
    if (n < 8)
        return {};
    std::size_t zeros[4] = {};
    for (std::size_t i = 0; i < n; ++i)
        zeros[i % 4] += bytes[i] == '\0';
    const std::size_t quarter = n / 4;
    auto most = [&](std::size_t count) { return count * 10 >= quarter * 9; };
    auto few = [&](std::size_t count) { return count * 10 <= quarter; };
    // outside the supplementary planes two bytes of each four are zero
    if (most(zeros[2]) && most(zeros[3]) && few(zeros[0]))
        return "UTF-32LE";
    if (most(zeros[0]) && most(zeros[1]) && few(zeros[3]))
        return "UTF-32BE";
    // markup is Latin: at least a third of the characters have a zero high byte
    if ((zeros[1] + zeros[3]) * 3 >= 2 * quarter && few(zeros[0] + zeros[2]))
        return "UTF-16LE";
    if ((zeros[0] + zeros[2]) * 3 >= 2 * quarter && few(zeros[1] + zeros[3]))
        return "UTF-16BE";
    return {};
}

// What a browser takes an unlabelled page for.
std::string sniffed(std::string_view bytes) { return Utf8::isValid(bytes) ? "UTF-8" : "WINDOWS-1252"; }

// The page as UTF-8; bytes the character set does not define become U+FFFD. A label that does
// not fit the bytes (a wide set's label on a page whose markup is one byte a character, or
// sequences that set never makes almost everywhere) gives way to what the bytes look like.
std::string toUtf8(const std::string& page, std::string& charsetUsed)
{
    std::string_view bytes(page);
    std::string from;
    bool labelled = false;
    if (bytes.substr(0, 3) == "\xef\xbb\xbf") {
        from = "UTF-8";
        bytes.remove_prefix(3);
    } else if (bytes.substr(0, 4) == std::string_view("\xff\xfe\0\0", 4)) {
        from = "UTF-32LE";
        bytes.remove_prefix(4);
    } else if (bytes.substr(0, 4) == std::string_view("\0\0\xfe\xff", 4)) {
        from = "UTF-32BE";
        bytes.remove_prefix(4);
    } else if (bytes.substr(0, 2) == "\xff\xfe") {
        from = "UTF-16LE";
        bytes.remove_prefix(2);
    } else if (bytes.substr(0, 2) == "\xfe\xff") {
        from = "UTF-16BE";
        bytes.remove_prefix(2);
    } else if (const std::string wide = wideByPattern(bytes); !wide.empty()) {
        from = wide;
    } else {
        // a label read from one-byte markup cannot name a wide set
        const std::string label = declaredCharset(page);
        labelled = !label.empty() && !isWideLabel(label);
        from = labelled ? iconvName(label) : sniffed(bytes);
    }
    std::string out;
    std::size_t invalid = 0;
    // an unknown label is read the way a browser reads an unlabelled page
    bool known = convertToUtf8(bytes, from, out, &invalid);
    if (labelled && known && invalid > 0) {
        const std::size_t high = static_cast<std::size_t>(
            std::count_if(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
        known = invalid * 8 <= high;
    }
    if (!known) {
        from = sniffed(bytes);
        out.clear();
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
    return isOneOf(name, {"head", "script", "style", "noscript", "template", "title", "select", "option", "iframe",
                          "object", "embed", "svg", "math", "canvas", "audio", "video", "button"});
}

bool isBlock(const char* name)
{
    return isOneOf(name, {"p",      "div",        "h1",      "h2",         "h3",      "h4",       "h5",      "h6",
                          "ul",     "ol",         "li",      "dl",         "dt",      "dd",       "table",   "thead",
                          "tbody",  "tfoot",      "caption", "blockquote", "pre",     "section",  "article", "header",
                          "footer", "nav",        "aside",   "main",       "form",    "fieldset", "legend",  "address",
                          "figure", "figcaption", "hr",      "center",     "details", "summary",  "body",    "html",
                          "tr",     "menu",       "dir",     "noframes",   "frameset"});
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
        while (i < chars.size() && !std::isspace(static_cast<unsigned char>(chars[i]))
               && chars.substr(i, 2) != "\xc2\xa0")
            ++i;
        text.appendUtf8(chars.substr(start, i - start));
        if (i >= chars.size())
            break;
        // runs of white space (no-break spaces too) read as one space, none at a line's start
        while (i < chars.size()
               && (std::isspace(static_cast<unsigned char>(chars[i])) || chars.substr(i, 2) == "\xc2\xa0"))
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

// The page parsed a piece at a time, so that the memory its tree takes is checked as it grows.
htmlDocPtr parse(const std::string& utf8)
{
    // the bytes are UTF-8 by now: a <meta> naming the original character set must not make
    // the parser decode them a second time
    htmlParserCtxtPtr context = htmlCreatePushParserCtxt(nullptr, nullptr, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8);
    if (!context)
        throw std::bad_alloc();
    htmlCtxtUseOptions(context, HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET
                                    | HTML_PARSE_IGNORE_ENC);
    constexpr std::size_t kPiece = 1 << 20;
    try {
        // the last piece goes with the end: an end given apart can leave the last text unread
        std::size_t at = 0;
        do {
            const std::size_t size = std::min(kPiece, utf8.size() - at);
            htmlParseChunk(context, utf8.data() + at, static_cast<int>(size), at + size == utf8.size());
            MemoryBudget::check();
            at += size;
        } while (at < utf8.size());
    } catch (...) {
        if (context->myDoc)
            xmlFreeDoc(context->myDoc);
        htmlFreeParserCtxt(context);
        throw;
    }
    htmlDocPtr document = context->myDoc;
    htmlFreeParserCtxt(context);
    return document;
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
    MemoryCharge utf8Charge;
    utf8Charge.add(utf8.capacity());
    const std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> document(parse(utf8), xmlFreeDoc);
    if (!document || !xmlDocGetRootElement(document.get()))
        throw ConversionError("the page cannot be read as HTML");
    TextBuilder text;
    for (xmlNode* node = document->children; node; node = node->next)
        walk(node, text);
    const bool readable = text.hasText();
    const std::string result = text.finish();
    if (!readable && result.find("\xef\xbf\xbd") != std::string::npos)
        throw ConversionError("the page holds no readable text: its bytes are in no character set it could be read in");
    if (!readable)
        throw ConversionError("the page holds no text");
    writeFileSafely(output, result);
}

}  // namespace

int main(int argc, char** argv) { return runConverter("htm-extract", argc, argv, 1, "PAGE.htm", extract); }
