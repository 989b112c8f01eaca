#include "XlsxReader.h"

#include "ConversionError.h"
#include "NumberText.h"
#include "OfficePackage.h"
#include "XmlDocument.h"
#include "ZipArchive.h"

#include <cstdlib>
#include <map>
#include <set>

namespace {

// The text of a string item: its runs in order, without the phonetic guides of East Asian text.
std::string itemText(xmlNode* item)
{
    std::string text;
    for (xmlNode* node = item; node; node = XmlDocument::next(node, item, XmlDocument::is(node, "rPh"))) {
        if (XmlDocument::is(node, "t") && !XmlDocument::is(node->parent, "rPh")) {
            text += XmlDocument::text(node);
        }
    }
    return text;
}

// "BC12" -> column 54 (counted from 0); -1 when the reference has no letters.
long columnOf(const std::string& reference)
{
    long column = 0;
    std::size_t i = 0;
    for (; i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z' && i < 4; ++i)
        column = column * 26 + (reference[i] - 'A' + 1);
    return i == 0 ? -1 : column - 1;
}

struct Styles {
    std::vector<int> xfFormats;
    std::map<int, std::string> codes;

    std::string show(double value, int style, bool from1904) const
    {
        const bool known = style >= 0 && static_cast<std::size_t>(style) < xfFormats.size();
        return NumberText::show(value, known ? xfFormats[static_cast<std::size_t>(style)] : 0, codes, from1904);
    }
};

}  // namespace

Workbook readXlsxWorkbook(const ZipArchive& package)
{
    const OfficePackage parts(package, "xl/workbook.xml", "an Excel workbook");
    const XmlDocument book(package, parts.mainPart());
    bool from1904 = false;
    struct Entry {
        std::string name;
        std::string part;
    };
    std::vector<Entry> entries;
    const auto relations = parts.relations(parts.mainPart());
    for (xmlNode* node = book.root(); node; node = XmlDocument::next(node, book.root())) {
        if (XmlDocument::is(node, "workbookPr"))
            from1904 =
                XmlDocument::attribute(node, "date1904") == "1" || XmlDocument::attribute(node, "date1904") == "true";
        if (XmlDocument::is(node, "sheet")) {
            const auto target = relations.find(XmlDocument::relationshipId(node));
            if (target != relations.end())
                entries.push_back({XmlDocument::attribute(node, "name"), target->second});
        }
    }

    std::vector<std::string> strings;
    MemoryCharge stringsCharge;
    const std::string sharedName = parts.relatedPart(parts.mainPart(), "sharedStrings", "xl/sharedStrings.xml");
    if (package.has(sharedName)) {
        const XmlDocument shared(package, sharedName);
        for (xmlNode* node = shared.root()->children; node; node = node->next)
            if (XmlDocument::is(node, "si")) {
                strings.push_back(itemText(node));
                stringsCharge.add(MemoryBudget::cost(strings.back()));
            }
    }
    Styles styles;
    const std::string stylesName = parts.relatedPart(parts.mainPart(), "styles", "xl/styles.xml");
    if (package.has(stylesName)) {
        const XmlDocument document(package, stylesName);
        for (xmlNode* node = document.root(); node; node = XmlDocument::next(node, document.root())) {
            if (XmlDocument::is(node, "numFmt"))
                styles.codes[std::atoi(XmlDocument::attribute(node, "numFmtId").c_str())] =
                    XmlDocument::attribute(node, "formatCode");
            if (XmlDocument::is(node, "xf") && XmlDocument::is(node->parent, "cellXfs"))
                styles.xfFormats.push_back(std::atoi(XmlDocument::attribute(node, "numFmtId").c_str()));
        }
    }

    Workbook workbook;
    std::set<std::string> read;
    for (const Entry& entry : entries) {
        // a second entry naming a part already read would only repeat its cells
        if (!read.insert(entry.part).second)
            continue;
        Workbook::Sheet sheet;
        sheet.name = entry.name;
        if (!package.has(entry.part)) {
            workbook.sheets.push_back(std::move(sheet));
            continue;
        }
        const XmlDocument document(package, entry.part);
        std::uint32_t row = 0;
        for (xmlNode* rowNode = document.root(); rowNode; rowNode = XmlDocument::next(rowNode, document.root())) {
            if (!XmlDocument::is(rowNode, "row"))
                continue;
            const std::string number = XmlDocument::attribute(rowNode, "r");
            row = number.empty() ? row + 1 : static_cast<std::uint32_t>(std::strtoul(number.c_str(), nullptr, 10));
            long column = -1;
            for (xmlNode* cell = rowNode->children; cell; cell = cell->next) {
                if (!XmlDocument::is(cell, "c"))
                    continue;
                const long at = columnOf(XmlDocument::attribute(cell, "r"));
                column = at >= 0 ? at : column + 1;
                const std::string type = XmlDocument::attribute(cell, "t");
                std::string value;
                bool hasValue = false;
                for (xmlNode* part = cell->children; part; part = part->next) {
                    if (XmlDocument::is(part, "v")) {
                        value = XmlDocument::text(part);
                        hasValue = true;
                    } else if (XmlDocument::is(part, "is")) {
                        value = itemText(part);
                        hasValue = true;
                    }
                }
                if (!hasValue)
                    continue;
                std::string text;
                if (type == "s") {
                    const unsigned long index = std::strtoul(value.c_str(), nullptr, 10);
                    if (index < strings.size())
                        text = strings[index];
                } else if (type == "b") {
                    text = value == "1" ? "TRUE" : "FALSE";
                } else if (type == "str" || type == "inlineStr" || type == "e" || type == "d") {
                    text = value;
                } else {
                    char* end = nullptr;
                    const double number = std::strtod(value.c_str(), &end);
                    const std::string style = XmlDocument::attribute(cell, "s");
                    text = end && *end == '\0' && !value.empty()
                               ? styles.show(number, style.empty() ? 0 : std::atoi(style.c_str()), from1904)
                               : value;
                }
                workbook.put(sheet, row, static_cast<std::uint32_t>(column), std::move(text));
            }
        }
        workbook.sheets.push_back(std::move(sheet));
    }
    return workbook;
}
