#include "DocumentTranslation.h"

#include "FormDecoding.h"
#include "TranslationEngine.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
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
        "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
        "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
        "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
        "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
        "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
        "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
        "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
        "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
        "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
        "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
    static const std::map<std::string, char32_t> others{
        {"OElig", 0x152}, {"oelig", 0x153}, {"Scaron", 0x160}, {"scaron", 0x161}, {"Yuml", 0x178},
        {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"sbquo", 0x201A},
        {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bdquo", 0x201E}, {"hellip", 0x2026}, {"euro", 0x20AC},
        {"trade", 0x2122}, {"bull", 0x2022}, {"dagger", 0x2020}};
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
using Zip = std::unique_ptr<zip_t, ZipCloser>;

const char* formatName(const std::string& format)
{
    return format == "docx" ? "Word (.docx)" : format == "odt" ? "OpenDocument text (.odt)" : "HTML";
}

// Opens the package and refuses it before any work when it would unpack to
// too much or is not the kind of document it claims to be.
Result openPackage(const fs::path& input, const std::string& format, const Limits& limits, Zip& zip)
{
    int error = 0;
    zip.reset(zip_open(input.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    const std::string damaged =
        std::string("The file is damaged or is not a ") + formatName(format) + " document: ";
    if (!zip)
        return {400, damaged + "it is not a readable zip package."};
    const zip_int64_t entries = zip_get_num_entries(zip.get(), 0);
    if (entries < 0 || static_cast<uint64_t>(entries) > limits.maxEntries)
        return {413, "The document holds more than " + std::to_string(limits.maxEntries) + " files."};
    uint64_t unpacked = 0;
    bool hasMain = false;
    const std::string mainPart = format == "docx" ? "word/document.xml" : "content.xml";
    for (zip_int64_t i = 0; i < entries; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)
            || !(st.valid & ZIP_STAT_NAME))
            return {400, damaged + "an entry of it cannot be read."};
        unpacked += st.size;
        if (unpacked > limits.maxUnpackedBytes)
            return {413, "The document unpacks to more than " + std::to_string(limits.maxUnpackedBytes >> 20) + " MB."};
        const std::string name = st.name;
        if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos)
            return {400, damaged + "it names a file outside itself."};
        hasMain = hasMain || name == mainPart;
    }
    if (!hasMain)
        return {400, damaged + "it has no " + mainPart + "."};
    return {};
}

// The parts that hold the document's text.
bool isTextPart(const std::string& format, const std::string& name)
{
    const std::string low = lower(name);
    if (format == "docx") {
        static const std::regex skipped("settings|theme|styles|font|rels|docprops|content_types");
        return low.size() > 4 && low.ends_with(".xml") && !std::regex_search(low, skipped);
    }
    const std::string base = low.substr(low.rfind('/') + 1);
    return base == "content.xml" || base == "styles.xml";
}

bool readEntry(zip_t* zip, zip_uint64_t index, std::string& content)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip, index, 0, &st) != 0)
        return false;
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen_index(zip, index, 0), zip_fclose);
    if (!file)
        return false;
    content.assign(st.size, '\0');
    zip_int64_t done = 0;
    while (done < static_cast<zip_int64_t>(st.size)) {
        const zip_int64_t n = zip_fread(file.get(), content.data() + done, st.size - static_cast<zip_uint64_t>(done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The package again with the translated parts in place of the originals,
// every other entry copied as it was, in the same order.
Result writePackage(zip_t* source, const std::map<zip_uint64_t, std::string>& replaced, const fs::path& output)
{
    int error = 0;
    Zip target(zip_open(output.c_str(), ZIP_CREATE | ZIP_EXCL, &error));
    const Result failed{500, "The translated document could not be written."};
    if (!target)
        return failed;
    const zip_int64_t entries = zip_get_num_entries(source, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const std::string name = zip_get_name(source, index, 0);
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

Result runFormatter(const std::vector<ProcessChain::Argv>& commands, const std::string& input, Clock::time_point deadline,
                    std::string& output, const char* what)
{
    ProcessChain chain;
    std::string error;
    if (chain.start(commands, error) && chain.exchange(input, deadline, output, error))
        return {};
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
                          const std::string& to, Clock::time_point deadline, std::string& output)
{
    std::string stream;
    if (Result failed = runFormatter(deformatter, input, deadline, stream, "prepared for translation");
        failed.status != 200)
        return failed;
    TranslationEngine::Outcome outcome = engine.TranslateStream(stream, from, to, deadline);
    if (outcome.status != 200)
        return {outcome.status, outcome.text};
    return runFormatter({{reformatter}}, outcome.text, deadline, output, "put back together");
}

Result translatePackage(TranslationEngine& engine, const fs::path& workDir, const fs::path& input,
                        const fs::path& output, const std::string& format, const std::string& from,
                        const std::string& to, Clock::time_point deadline, const Limits& limits)
{
    Zip zip;
    if (Result refused = openPackage(input, format, limits, zip); refused.status != 200)
        return refused;
    const fs::path partsDir = workDir / "parts";
    fs::create_directory(partsDir);
    // the parts go to the formatters under names of our own, never the package's
    std::map<std::string, zip_uint64_t> names;
    std::string formatterInput;
    const zip_int64_t entries = zip_get_num_entries(zip.get(), 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        if (!isTextPart(format, zip_get_name(zip.get(), index, 0)))
            continue;
        std::string content;
        if (!readEntry(zip.get(), index, content))
            return {400, std::string("The file is damaged: a part of the ") + formatName(format) + " document cannot be unpacked."};
        const std::string name = (partsDir / (std::to_string(i) + ".xml")).string();
        names[name] = index;
        if (format == "docx") {
            if (!writeFile(name, content))
                return {500, "The document could not be unpacked for translation."};
            formatterInput += name + "\n";
        } else {
            // one line a part, as the OpenDocument deformatter reads them
            std::replace(content.begin(), content.end(), '\n', ' ');
            formatterInput += "<file name=\"" + name + "\"/> " + content + "\n";
        }
    }
    const std::vector<ProcessChain::Argv> deformatter =
        format == "docx" ? std::vector<ProcessChain::Argv>{{"apertium-adapt-docx", "-n"}, {"apertium-deswxml"}}
                         : std::vector<ProcessChain::Argv>{{"apertium-desodt"}};
    std::string joined;
    if (Result failed = translateFormatted(engine, deformatter, formatterInput,
                                           format == "docx" ? "apertium-rewxml" : "apertium-reodt", from, to, deadline,
                                           joined);
        failed.status != 200)
        return failed;
    std::map<zip_uint64_t, std::string> parts;
    if (!splitParts(joined, names, parts))
        return {500, "The translated document could not be put back together."};
    return writePackage(zip.get(), parts, output);
}

Result translateHtml(TranslationEngine& engine, const fs::path& input, const fs::path& output, const std::string& from,
                     const std::string& to, Clock::time_point deadline)
{
    std::string html;
    if (!readFile(input, html))
        return {500, "The document could not be read."};
    std::string result;
    if (Result failed = translateFormatted(engine, {{"apertium-deshtml"}}, ResolveCharacterReferences(html),
                                           "apertium-rehtml", from, to, deadline, result);
        failed.status != 200)
        return failed;
    if (!writeFile(output, result))
        return {500, "The translated document could not be written."};
    return {};
}

}  // namespace

Support Supports(const std::string& format)
{
    if (format == "docx" || format == "odt" || format == "html" || format == "htm")
        return Support::Kept;
    static const char* const known[] = {"pptx", "xlsx", "odp", "ods", "rtf", "doc", "xls", "ppt", "pdf"};
    return std::find(std::begin(known), std::end(known), format) != std::end(known) ? Support::NotKept
                                                                                     : Support::Unknown;
}

std::string MediaType(const std::string& format)
{
    if (format == "docx")
        return "application/vnd.openxmlformats-officedocument.wordprocessingml.document";
    if (format == "odt")
        return "application/vnd.oasis.opendocument.text";
    return "text/html";
}

Result Translate(TranslationEngine& engine, const fs::path& workDir, const fs::path& input, const fs::path& output,
                 const std::string& format, const std::string& from, const std::string& to,
                 Clock::time_point deadline, const Limits& limits)
{
    if (Supports(format) != Support::Kept)
        return {422, "Documents in the format \"" + format + "\" cannot be translated with their layout kept."};
    if (format == "html" || format == "htm")
        return translateHtml(engine, input, output, from, to, deadline);
    return translatePackage(engine, workDir, input, output, format, from, to, deadline, limits);
}

std::string ResolveCharacterReferences(const std::string& html)
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
                const bool valid = !digits.empty()
                                   && digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789")
                                          == std::string::npos;
                const unsigned long value = valid ? std::stoul(digits, nullptr, hex ? 16 : 10) : 0;
                // markup characters and the no-break space keep their references
                if (value > 0xA0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF))
                    c = static_cast<char32_t>(value);
            } else {
                c = namedReference(name);
            }
        }
        if (c) {
            FormDecoding::AppendUtf8(c, out);
            i = semicolon + 1;
        } else {
            out.push_back('&');
            i = amp + 1;
        }
    }
    return out;
}

}  // namespace DocumentTranslation
