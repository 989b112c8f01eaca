#include "DocumentTranslation.h"

#include "FormDecoding.h"
#include "RtfPreparation.h"
#include "ZipArchive.h"
#include "StopFlag.h"
#include "TranslationEngine.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace DocumentTranslation {

namespace {

using Clock = ProcessChain::Clock;

bool readFile(const fs::path& path, std::string& content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    content = buffer.str();
    return !in.bad();
}

bool writeFile(const fs::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    return !out.fail();
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Named references for the letters and signs of the European languages the
// engine reads; the Latin-1 names map onto their code points in order.
char32_t namedReference(const std::string& name)
{
    static const char* const latin1[] = {
        "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
        "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
        "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
        "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
        "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
        "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
        "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
        "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
        "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
    static const std::map<std::string, char32_t> others{
        {"OElig", 0x152},  {"oelig", 0x153},  {"Scaron", 0x160}, {"scaron", 0x161},  {"Yuml", 0x178},
        {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018}, {"rsquo", 0x2019},  {"sbquo", 0x201A},
        {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bdquo", 0x201E}, {"hellip", 0x2026}, {"euro", 0x20AC},
        {"trade", 0x2122}, {"bull", 0x2022},  {"dagger", 0x2020}};
    // a no-break space stays a reference: the deformatter reads it as a blank
    for (size_t i = 1; i < std::size(latin1); ++i) {
        if (name == latin1[i])
            return static_cast<char32_t>(0xA0 + i);
    }
    const auto it = others.find(name);
    return it == others.end() ? 0 : it->second;
}

// --- zip packages

struct ZipCloser {
    void operator()(zip_t* z) const
    {
        if (z)
            zip_discard(z);
    }
};
using ZipWriter = std::unique_ptr<zip_t, ZipCloser>;

bool isWordPart(const std::string& low)
{
    static const std::regex skipped("settings|theme|styles|font|rels|docprops|content_types");
    return low.size() > 4 && low.ends_with(".xml") && !std::regex_search(low, skipped);
}

bool isOpenDocumentPart(const std::string& low)
{
    const std::string base = low.substr(low.rfind('/') + 1);
    return base == "content.xml" || base == "styles.xml";
}

// Slides and their speaker notes; masters and layouts hold only placeholder prompts.
bool isSlidePart(const std::string& low)
{
    return low.ends_with(".xml")
           && (low.starts_with("ppt/slides/slide") || low.starts_with("ppt/notesslides/notesslide"));
}

bool isSharedStringsPart(const std::string& low) { return low == "xl/sharedstrings.xml"; }

// What sets one format apart from the others on its way through the engine.
struct Kind {
    const char* format;  // the first of its file name extensions
    const char* name;    // for the user, without the extensions
    std::vector<const char*> otherExtensions;
    const char* mediaType;
    const char* mainPart;  // the part every such package has; null when not a package
    bool (*isTextPart)(const std::string& lowerName);
    std::vector<ProcessChain::Argv> deformatter;
    const char* reformatter;
};

const std::vector<Kind>& kinds()
{
    static const std::vector<Kind> all{
        {"docx",
         "Word",
         {},
         "application/vnd.openxmlformats-officedocument.wordprocessingml.document",
         "word/document.xml",
         isWordPart,
         {{"apertium-adapt-docx", "-n"}, {"apertium-deswxml"}},
         "apertium-rewxml"},
        {"odt",
         "OpenDocument text",
         {},
         "application/vnd.oasis.opendocument.text",
         "content.xml",
         isOpenDocumentPart,
         {{"apertium-desodt"}},
         "apertium-reodt"},
        {"odp",
         "OpenDocument presentation",
         {},
         "application/vnd.oasis.opendocument.presentation",
         "content.xml",
         isOpenDocumentPart,
         {{"apertium-desodt"}},
         "apertium-reodt"},
        // the engine has no spreadsheet path for these: their text cells go through the text formatters
        {"ods",
         "OpenDocument spreadsheet",
         {},
         "application/vnd.oasis.opendocument.spreadsheet",
         "content.xml",
         nullptr,
         {{"apertium-desodt"}},
         "apertium-reodt"},
        {"pptx",
         "PowerPoint",
         {},
         "application/vnd.openxmlformats-officedocument.presentationml.presentation",
         "ppt/presentation.xml",
         isSlidePart,
         {{"apertium-despptx"}},
         "apertium-repptx"},
        {"xlsx",
         "Excel",
         {},
         "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
         "xl/workbook.xml",
         isSharedStringsPart,
         {{"apertium-desxlsx"}},
         "apertium-rexlsx"},
        {"html", "HTML", {"htm"}, "text/html", nullptr, nullptr, {{"apertium-deshtml"}}, "apertium-rehtml"},
        {"rtf", "rich text", {}, "application/rtf", nullptr, nullptr, {{"apertium-desrtf"}}, "apertium-rertf"},
    };
    return all;
}

// A format or any of its extensions ("htm" is HTML).
const Kind* kindOf(const std::string& format)
{
    for (const Kind& kind : kinds()) {
        const auto& others = kind.otherExtensions;
        if (format == kind.format || std::find(others.begin(), others.end(), format) != others.end())
            return &kind;
    }
    return nullptr;
}

// "Word (.docx)", "HTML (.html, .htm)"
std::string described(const Kind& kind)
{
    std::string text = std::string(kind.name) + " (." + kind.format;
    for (const char* extension : kind.otherExtensions)
        text += std::string(", .") + extension;
    return text + ")";
}

std::string encryptedMessage()
{
    return "The document is protected by a password (encrypted): open it in its office program, save it without "
           "the password and send that copy.";
}

// A file in the compound format of older office programs: an encrypted
// Word, Excel or PowerPoint 2007+ document, or one of their older binary kind.
Result refuseCompoundFile(const fs::path& input, const Kind& kind)
{
    static const unsigned char magic[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    char head[sizeof magic] = {};
    std::ifstream(input, std::ios::binary).read(head, sizeof head);
    if (std::memcmp(head, magic, sizeof magic) != 0)
        return {};
    std::string content;
    if (!readFile(input, content))
        return {500, "The document could not be read."};
    static const std::string encryptionInfo("E\0n\0c\0r\0y\0p\0t\0i\0o\0n\0I\0n\0f\0o\0", 28);
    if (content.find(encryptionInfo) != std::string::npos)
        return {400, encryptedMessage()};
    return {400,
            std::string("The file is not a ") + described(kind)
                + " document but one in the older binary format (.doc, .xls or .ppt), whose layout cannot be kept."};
}

// The shared reader's refusal in the service's words.
Result refusal(const ZipError& error, const Kind& kind)
{
    const std::string damaged = std::string("The file is damaged or is not a ") + described(kind) + " document: ";
    switch (error.problem()) {
    case ZipError::Problem::Unreadable:
        return {400, damaged + "it is not a readable zip package."};
    case ZipError::Problem::DamagedPart:
        return {400, std::string("The file is damaged: a part of the ") + described(kind)
                         + " document cannot be unpacked."};
    case ZipError::Problem::TooManyParts:
        return {413, "The document holds more than " + std::to_string(error.limit()) + " files."};
    case ZipError::Problem::TooLarge:
        return {413, "The document unpacks to more than " + std::to_string(error.limit() >> 20) + " MB."};
    case ZipError::Problem::PartTooLarge:
        return {413, "The document's part " + error.part() + " unpacks to more than "
                         + std::to_string(error.limit() >> 20) + " MB."};
    case ZipError::Problem::TooDense:
        return {413, "The document's part " + error.part() + " unpacks to more than " + std::to_string(error.limit())
                         + " times its packed size."};
    }
    return {400, damaged + error.what()};
}

// Refuses the package before any work when it is not the kind of document it
// claims to be; the reader has already refused one that unpacks to too much.
Result checkPackage(const ZipArchive& zip, const Kind& kind)
{
    const std::string damaged = std::string("The file is damaged or is not a ") + described(kind) + " document: ";
    bool hasMain = false;
    const std::string mainPart = kind.mainPart;
    for (std::uint64_t i = 0; i < zip.count(); ++i) {
        const std::string name = zip.name(i);
        if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos)
            return {400, damaged + "it names a file outside itself."};
        hasMain = hasMain || name == mainPart;
    }
    if (!hasMain)
        return {400, damaged + "it has no " + mainPart + "."};
    // an OpenDocument file saved with a password keeps its parts enciphered inside the zip
    const std::optional<std::uint64_t> manifest = zip.find("META-INF/manifest.xml");
    if (manifest && zip.read(*manifest).find("encryption-data") != std::string::npos)
        return {400, encryptedMessage()};
    return {};
}

// The package again with the translated parts in place of the originals,
// every other entry copied as it was, in the same order.
Result writePackage(const ZipArchive& package, const std::map<zip_uint64_t, std::string>& replaced,
                    const fs::path& output)
{
    int error = 0;
    ZipWriter target(zip_open(output.c_str(), ZIP_CREATE | ZIP_EXCL, &error));
    const Result failed{500, "The translated document could not be written."};
    if (!target)
        return failed;
    zip_t* source = package.handle();
    for (zip_uint64_t index = 0; index < package.count(); ++index) {
        const std::string name = package.name(index);
        zip_int64_t added = -1;
        if (name.ends_with("/")) {
            added = zip_dir_add(target.get(), name.c_str(), ZIP_FL_ENC_UTF_8);
        } else {
            const auto it = replaced.find(index);
            zip_source_t* data = it != replaced.end()
                                     ? zip_source_buffer(target.get(), it->second.data(), it->second.size(), 0)
                                     : zip_source_zip(target.get(), source, index, 0, 0, -1);
            if (data)
                added = zip_file_add(target.get(), name.c_str(), data, ZIP_FL_ENC_UTF_8);
            if (data && added < 0)
                zip_source_free(data);
        }
        if (added < 0)
            return failed;
        // OpenDocument readers expect the media type first and stored as it is
        if (name == "mimetype")
            zip_set_file_compression(target.get(), static_cast<zip_uint64_t>(added), ZIP_CM_STORE, 0);
    }
    if (zip_close(target.get()) != 0)
        return failed;
    target.release();
    return {};
}

// --- the engine's formatters

// No one waits for the document any more: whatever is said here is never sent.
Result stopped() { return {503, "The document's translation was stopped."}; }

Result runFormatter(const std::vector<ProcessChain::Argv>& commands, const std::string& input,
                    Clock::time_point deadline, std::string& output, const char* what, const StopFlag* stop)
{
    ProcessChain chain;
    std::string error;
    if (chain.start(commands, error) && chain.exchange(input, deadline, output, error, stop))
        return {};
    if (StopFlag::raised(stop))
        return stopped();
    if (Clock::now() >= deadline)
        return {504, "The document took longer than its time limit to translate."};
    return {500, std::string("The document could not be ") + what + ": " + error + "."};
}

// The reformatter's output cut back into the parts it was given, by the
// "<file name=...>" line ahead of each.
bool splitParts(const std::string& joined, const std::map<std::string, zip_uint64_t>& names,
                std::map<zip_uint64_t, std::string>& parts)
{
    static const std::string marker = "<file name=\"";
    size_t at = joined.find(marker);
    while (at != std::string::npos) {
        const size_t nameEnd = joined.find('"', at + marker.size());
        const size_t close = joined.find("/>", at);
        if (nameEnd == std::string::npos || close == std::string::npos)
            return false;
        const auto it = names.find(joined.substr(at + marker.size(), nameEnd - at - marker.size()));
        if (it == names.end())
            return false;
        size_t begin = close + 2;
        if (begin < joined.size() && joined[begin] == ' ')
            ++begin;
        const size_t next = joined.find(marker, begin);
        std::string content = joined.substr(begin, (next == std::string::npos ? joined.size() : next) - begin);
        while (!content.empty() && content.back() == '\n')
            content.pop_back();
        // the declaration had a line of its own before the parts were joined into one line each
        if (const size_t declaration = content.find("?> "); declaration != std::string::npos && declaration < 200)
            content[declaration + 2] = '\n';
        parts[it->second] = std::move(content);
        at = next;
    }
    return parts.size() == names.size();
}

// Deformats once, runs every step of the route on the stream, reformats once.
Result translateFormatted(TranslationEngine& engine, const std::vector<ProcessChain::Argv>& deformatter,
                          const std::string& input, const char* reformatter, const std::string& from,
                          const std::string& to, Clock::time_point deadline, std::string& output,
                          const Progress& progress, bool serbianCyrillic, const StopFlag* stop)
{
    std::string stream;
    if (Result failed = runFormatter(deformatter, input, deadline, stream, "prepared for translation", stop);
        failed.status != 200)
        return failed;
    TranslationEngine::Outcome outcome =
        engine.translateStream(stream, from, to, deadline, progress, serbianCyrillic, stop);
    if (outcome.status != 200)
        return {outcome.status, outcome.text};
    return runFormatter({{reformatter}}, outcome.text, deadline, output, "put back together", stop);
}

// --- spreadsheets whose text cells are read and written here

constexpr const char* kOfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr const char* kTableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr const char* kTextNs = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";

struct XmlDocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDoc = std::unique_ptr<xmlDoc, XmlDocFree>;

XmlDoc parseXml(const std::string& content)
{
    // the parser's globals are set up once, before workers use it side by side
    static const bool ready = (xmlInitParser(), true);
    if (!ready || content.size() > static_cast<size_t>(INT32_MAX))
        return nullptr;
    return XmlDoc(xmlReadMemory(content.data(), static_cast<int>(content.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR));
}

bool isElement(const xmlNode* node, const char* ns, const char* name)
{
    return node->type == XML_ELEMENT_NODE && node->ns
           && std::strcmp(reinterpret_cast<const char*>(node->ns->href), ns) == 0
           && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::string attribute(xmlNode* node, const char* ns, const char* name)
{
    xmlChar* value = xmlGetNsProp(node, reinterpret_cast<const xmlChar*>(name), reinterpret_cast<const xmlChar*>(ns));
    std::string result = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return result;
}

bool hasAttribute(xmlNode* node, const char* ns, const char* name)
{
    return xmlHasNsProp(node, reinterpret_cast<const xmlChar*>(name), reinterpret_cast<const xmlChar*>(ns)) != nullptr;
}

// The paragraphs of the cells that hold text: numbers, dates and the results
// of formulas stay as they are.
void collectTextCells(xmlNode* node, std::vector<xmlNode*>& paragraphs)
{
    for (xmlNode* n = node; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (isElement(n, kTableNs, "table-cell") || isElement(n, kTableNs, "covered-table-cell")) {
            const std::string type = attribute(n, kOfficeNs, "value-type");
            if ((type.empty() || type == "string") && !hasAttribute(n, kTableNs, "formula")) {
                for (xmlNode* c = n->children; c; c = c->next) {
                    if (isElement(c, kTextNs, "p") || isElement(c, kTextNs, "h"))
                        paragraphs.push_back(c);
                }
                // a stored value would stand for the cell in place of its translated text
                if (xmlAttr* value = xmlHasNsProp(n, reinterpret_cast<const xmlChar*>("string-value"),
                                                  reinterpret_cast<const xmlChar*>(kOfficeNs)))
                    xmlRemoveProp(value);
            }
            continue;
        }
        collectTextCells(n->children, paragraphs);
    }
}

std::string dumpNode(xmlDoc* doc, xmlNode* node)
{
    std::unique_ptr<xmlBuffer, void (*)(xmlBuffer*)> buffer(xmlBufferCreate(), xmlBufferFree);
    if (!buffer || xmlNodeDump(buffer.get(), doc, node, 0, 0) < 0)
        return {};
    return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                       static_cast<size_t>(xmlBufferLength(buffer.get())));
}

// The text cells of content.xml translated in place. The paragraphs go to the
// OpenDocument formatters as one document of their own, so a bold run inside
// a cell stays inside its sentence; they come back in the same order.
Result translateTextCells(TranslationEngine& engine, const std::string& content, const std::string& from,
                          const std::string& to, Clock::time_point deadline, std::string& translated,
                          const Progress& progress, bool serbianCyrillic, const StopFlag* stop)
{
    const Result damaged{400, "The file is damaged: the cells of the OpenDocument spreadsheet (.ods) cannot be read."};
    XmlDoc doc = parseXml(content);
    if (!doc || !xmlDocGetRootElement(doc.get()))
        return damaged;
    std::vector<xmlNode*> paragraphs;
    collectTextCells(xmlDocGetRootElement(doc.get()), paragraphs);
    if (paragraphs.empty()) {
        translated = content;
        return {};
    }
    std::map<std::string, std::string> namespaces;
    std::string cells;
    for (xmlNode* paragraph : paragraphs) {
        if (xmlNs** inScope = xmlGetNsList(doc.get(), paragraph)) {
            for (xmlNs** ns = inScope; *ns; ++ns) {
                if ((*ns)->prefix)
                    namespaces.emplace(reinterpret_cast<const char*>((*ns)->prefix),
                                       reinterpret_cast<const char*>((*ns)->href));
            }
            xmlFree(inScope);
        }
        cells += dumpNode(doc.get(), paragraph);
    }
    std::string part = R"(<?xml version="1.0" encoding="UTF-8"?> <office:document-content)";
    for (const auto& [prefix, href] : namespaces)
        part += " xmlns:" + prefix + "=\"" + href + "\"";
    part +=
        "><office:body><office:spreadsheet>" + cells + "</office:spreadsheet></office:body></office:document-content>";
    std::replace(part.begin(), part.end(), '\n', ' ');
    const std::string name = "cells.xml";
    std::string joined;
    if (Result failed =
            translateFormatted(engine, kindOf("ods")->deformatter, "<file name=\"" + name + "\"/> " + part + "\n",
                               kindOf("ods")->reformatter, from, to, deadline, joined, progress, serbianCyrillic, stop);
        failed.status != 200)
        return failed;
    std::map<zip_uint64_t, std::string> back;
    XmlDoc result;
    if (splitParts(joined, {{name, 0}}, back))
        result = parseXml(back[0]);
    const Result lost{500, "The translated cells could not be put back into the spreadsheet."};
    xmlNode* sheet = result ? xmlDocGetRootElement(result.get()) : nullptr;
    for (const char* step : {"body", "spreadsheet"}) {
        xmlNode* child = sheet ? sheet->children : nullptr;
        while (child && !isElement(child, kOfficeNs, step))
            child = child->next;
        sheet = child;
    }
    if (!sheet)
        return lost;
    size_t at = 0;
    for (xmlNode* cell = sheet->children; cell; cell = cell->next) {
        if (cell->type != XML_ELEMENT_NODE)
            continue;
        if (at == paragraphs.size())
            return lost;
        std::string inner;
        for (xmlNode* c = cell->children; c; c = c->next)
            inner += dumpNode(result.get(), c);
        xmlNode* original = paragraphs[at++];
        // parsed where it goes, so its prefixes are the content's own
        xmlNode* children = nullptr;
        if (!inner.empty()
            && xmlParseInNodeContext(original, inner.data(), static_cast<int>(inner.size()),
                                     XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR, &children)
                   != XML_ERR_OK)
            return lost;
        while (xmlNode* old = original->children) {
            xmlUnlinkNode(old);
            xmlFreeNode(old);
        }
        if (children)
            xmlAddChildList(original, children);
    }
    if (at != paragraphs.size())
        return lost;
    xmlChar* memory = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(doc.get(), &memory, &size, "UTF-8");
    if (!memory)
        return lost;
    translated.assign(reinterpret_cast<const char*>(memory), static_cast<size_t>(size));
    xmlFree(memory);
    return {};
}

// A document with nothing to translate goes back as it came.
Result answerUnchanged(const fs::path& input, const fs::path& output)
{
    std::error_code ec;
    if (!fs::copy_file(input, output, ec))
        return {500, "The translated document could not be written."};
    return {};
}

// The parts holding text through the engine; a part that cannot be unpacked
// or unpacks to too much comes back as a ZipError.
Result translateParts(TranslationEngine& engine, const fs::path& workDir, const ZipArchive& zip, const fs::path& input,
                      const fs::path& output, const Kind& kind, const std::string& from, const std::string& to,
                      Clock::time_point deadline, const Progress& progress, bool serbianCyrillic, const StopFlag* stop)
{
    std::map<zip_uint64_t, std::string> parts;
    if (!kind.isTextPart) {
        const zip_uint64_t index = *zip.find(kind.mainPart);
        const std::string content = zip.read(index);
        if (Result failed =
                translateTextCells(engine, content, from, to, deadline, parts[index], progress, serbianCyrillic, stop);
            failed.status != 200)
            return failed;
        return parts[index] == content ? answerUnchanged(input, output) : writePackage(zip, parts, output);
    }
    const bool wordNames = std::string(kind.format) == "docx";
    const fs::path partsDir = workDir / "parts";
    fs::create_directory(partsDir);
    // the parts go to the formatters under names of our own, never the package's
    std::map<std::string, zip_uint64_t> names;
    std::string formatterInput;
    for (zip_uint64_t index = 0; index < zip.count(); ++index) {
        if (!kind.isTextPart(lower(zip.name(index))))
            continue;
        std::string content = zip.read(index);
        const std::string name = (partsDir / (std::to_string(index) + ".xml")).string();
        names[name] = index;
        if (wordNames) {
            if (!writeFile(name, content))
                return {500, "The document could not be unpacked for translation."};
            formatterInput += name + "\n";
        } else {
            // one line a part, as the deformatter reads them
            std::replace(content.begin(), content.end(), '\n', ' ');
            formatterInput += "<file name=\"" + name + "\"/> " + content + "\n";
        }
    }
    // a workbook of numbers only, or a deck of pictures: nothing for the engine
    if (names.empty())
        return answerUnchanged(input, output);
    std::string joined;
    if (Result failed = translateFormatted(engine, kind.deformatter, formatterInput, kind.reformatter, from, to,
                                           deadline, joined, progress, serbianCyrillic, stop);
        failed.status != 200)
        return failed;
    if (!splitParts(joined, names, parts))
        return {500, "The translated document could not be put back together."};
    return writePackage(zip, parts, output);
}


Result translatePackage(TranslationEngine& engine, const fs::path& workDir, const fs::path& input,
                        const fs::path& output, const Kind& kind, const std::string& from, const std::string& to,
                        Clock::time_point deadline, const Progress& progress, bool serbianCyrillic,
                        const StopFlag* stop)
{
    try {
        const ZipArchive zip(input);
        if (Result refused = checkPackage(zip, kind); refused.status != 200)
            return refused;
        return translateParts(engine, workDir, zip, input, output, kind, from, to, deadline, progress,
                              serbianCyrillic, stop);
    } catch (const ZipError& error) {
        return refusal(error, kind);
    }
}

// HTML and rich text: the whole file through the formatters, after the
// characters the engine reads wrongly are written out for it.
Result translateText(TranslationEngine& engine, const fs::path& input, const fs::path& output, const Kind& kind,
                     const std::string& from, const std::string& to, Clock::time_point deadline,
                     const Progress& progress, bool serbianCyrillic, const StopFlag* stop)
{
    std::string content;
    if (!readFile(input, content))
        return {500, "The document could not be read."};
    RtfPreparation::Prepared rtf;
    const bool richText = std::string(kind.format) == "rtf";
    if (richText && !RtfPreparation::prepare(content, rtf))
        return {400, "The file is damaged or is not a rich text (.rtf) document: it does not begin with {\\rtf."};
    std::string result;
    if (Result failed =
            translateFormatted(engine, kind.deformatter, richText ? rtf.rtf : resolveCharacterReferences(content),
                               kind.reformatter, from, to, deadline, result, progress, serbianCyrillic, stop);
        failed.status != 200)
        return failed;
    if (!writeFile(output, richText ? RtfPreparation::restore(result, rtf.setAside) : result))
        return {500, "The translated document could not be written."};
    return {};
}

}  // namespace

Support supports(const std::string& format)
{
    if (kindOf(format))
        return Support::Kept;
    static const char* const known[] = {"doc", "xls", "ppt", "pdf", "dot", "xlt", "pot"};
    return std::find(std::begin(known), std::end(known), format) != std::end(known) ? Support::NotKept
                                                                                    : Support::Unknown;
}

const std::vector<std::string>& formats()
{
    static const std::vector<std::string> formats = [] {
        std::vector<std::string> all;
        for (const Kind& kind : kinds())
            all.emplace_back(kind.format);
        return all;
    }();
    return formats;
}

const std::vector<std::string>& extensions()
{
    static const std::vector<std::string> extensions = [] {
        std::vector<std::string> all;
        for (const Kind& kind : kinds()) {
            all.emplace_back(kind.format);
            all.insert(all.end(), kind.otherExtensions.begin(), kind.otherExtensions.end());
        }
        return all;
    }();
    return extensions;
}

std::string formatOf(const std::string& extension)
{
    const Kind* kind = kindOf(extension);
    return kind ? kind->format : "";
}

std::string described(const std::string& format)
{
    const Kind* kind = kindOf(format);
    return kind ? described(*kind) : format;
}

std::string mediaType(const std::string& format)
{
    const Kind* kind = kindOf(format);
    return kind ? kind->mediaType : "application/octet-stream";
}

Result translate(TranslationEngine& engine, const fs::path& workDir, const fs::path& input, const fs::path& output,
                 const std::string& format, const std::string& from, const std::string& to, Clock::time_point deadline,
                 const Progress& progress, bool serbianCyrillic, const StopFlag* stop)
{
    const Kind* kind = kindOf(format);
    if (!kind)
        return {422, "Documents in the format \"" + format + "\" cannot be translated with their layout kept."};
    if (Result refused = refuseCompoundFile(input, *kind); refused.status != 200)
        return refused;
    if (!kind->mainPart)
        return translateText(engine, input, output, *kind, from, to, deadline, progress, serbianCyrillic, stop);
    return translatePackage(engine, workDir, input, output, *kind, from, to, deadline, progress, serbianCyrillic,
                            stop);
}

std::string resolveCharacterReferences(const std::string& html)
{
    std::string out;
    out.reserve(html.size());
    size_t i = 0;
    while (i < html.size()) {
        const size_t amp = html.find('&', i);
        if (amp == std::string::npos) {
            out.append(html, i, std::string::npos);
            break;
        }
        out.append(html, i, amp - i);
        const size_t semicolon = html.find(';', amp);
        char32_t c = 0;
        if (semicolon != std::string::npos && semicolon - amp <= 10) {
            const std::string name = html.substr(amp + 1, semicolon - amp - 1);
            if (name.size() > 1 && name[0] == '#') {
                const bool hex = name[1] == 'x' || name[1] == 'X';
                const std::string digits = name.substr(hex ? 2 : 1);
                const bool valid =
                    !digits.empty()
                    && digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") == std::string::npos;
                const unsigned long value = valid ? std::stoul(digits, nullptr, hex ? 16 : 10) : 0;
                // markup characters and the no-break space keep their references
                if (value > 0xA0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF))
                    c = static_cast<char32_t>(value);
            } else {
                c = namedReference(name);
            }
        }
        if (c) {
            FormDecoding::appendUtf8(c, out);
            i = semicolon + 1;
        } else {
            out.push_back('&');
            i = amp + 1;
        }
    }
    return out;
}

}  // namespace DocumentTranslation
