#include "DocxReader.h"

#include "OfficePackage.h"
#include "TextBuilder.h"
#include "XmlDocument.h"
#include "ZipArchive.h"

#include <initializer_list>
#include <string_view>

namespace {

bool isAny(const xmlNode* node, std::initializer_list<std::string_view> names)
{
    for (std::string_view name : names)
        if (XmlDocument::is(node, name))
            return true;
    return false;
}

void readBody(xmlNode* top, TextBuilder& text)
{
    int cells = 0;
    auto lineBreak = [&] {
        if (cells == 0)
            text.endLine();
        else if (!text.atSpace())
            text.append(U' ');  // a break inside a cell keeps the row on one line
    };
    XmlDocument::traverse(
        top,
        [&](xmlNode* node) {
            if (node->type != XML_ELEMENT_NODE)
                return false;
            // deleted revisions, field instructions, properties, and the older drawing that
            // repeats a text box's content for programs without the newer one
            if (isAny(node, {"del", "delText", "instrText", "pPr", "rPr", "sectPr", "tblPr", "trPr", "tcPr", "Fallback",
                             "footnote", "endnote"})
                && !(XmlDocument::is(node, "footnote") || XmlDocument::is(node, "endnote")
                         ? XmlDocument::attribute(node, "type").empty()
                         : false))
                return false;
            if (XmlDocument::is(node, "t")) {
                text.appendUtf8(XmlDocument::text(node));
                return false;
            }
            if (XmlDocument::is(node, "tab") && XmlDocument::is(node->parent, "r") && !text.atLineStart())
                text.append(U'\t');
            else if (isAny(node, {"br", "cr"}))
                lineBreak();
            else if (XmlDocument::is(node, "noBreakHyphen"))
                text.append(U'-');
            else if (XmlDocument::is(node, "tc"))
                ++cells;
            else if (XmlDocument::is(node, "txbxContent"))
                text.endLine();
            return true;
        },
        [&](xmlNode* node) {
            if (XmlDocument::is(node, "p")) {
                lineBreak();
            } else if (XmlDocument::is(node, "tc")) {
                --cells;
                text.endCell();
            } else if (XmlDocument::is(node, "tr")) {
                text.endRow();
            } else if (XmlDocument::is(node, "txbxContent")) {
                text.endLine();
            }
        });
}

}  // namespace

void readDocx(const ZipArchive& package, TextBuilder& text)
{
    const OfficePackage parts(package, "word/document.xml", "a Word document");
    {
        const XmlDocument document(package, parts.mainPart());
        readBody(document.root(), text);
        text.endPart();
    }
    for (const char* kind : {"footnotes", "endnotes"}) {
        const std::string name = parts.relatedPart(parts.mainPart(), kind, "");
        if (name.empty() || !package.has(name))
            continue;
        const XmlDocument notes(package, name);
        readBody(notes.root(), text);
        text.endPart();
    }
}
