#include "ConversionError.h"
#include "OfficePackage.h"
#include "Presentation.h"
#include "TextBuilder.h"
#include "XmlDocument.h"
#include "ZipArchive.h"

#include <set>

namespace {

// The paragraphs of a slide part: one line each, the cells of a table row on one line apart by
// tabs. On a notes page only the notes themselves, not its slide number or header fields.
void partText(const XmlDocument& part, bool notes, Presentation::Slide& slide)
{
    TextBuilder text;
    int cells = 0;
    XmlDocument::traverse(
        part.root(),
        [&](xmlNode* node) {
            if (node->type != XML_ELEMENT_NODE)
                return false;
            if (notes && XmlDocument::is(node, "sp")) {
                for (xmlNode* inner = node; inner; inner = XmlDocument::next(inner, node))
                    if (XmlDocument::is(inner, "ph")) {
                        const std::string type = XmlDocument::attribute(inner, "type");
                        return type == "body";
                    }
                return true;
            }
            if (XmlDocument::is(node, "t")) {
                text.appendUtf8(XmlDocument::text(node));
                return false;
            }
            if (XmlDocument::is(node, "tc"))
                ++cells;
            else if (XmlDocument::is(node, "br"))
                cells ? text.append(U' ') : text.endLine();
            else if (XmlDocument::is(node, "tab"))
                text.append(U' ');
            return true;
        },
        [&](xmlNode* node) {
            if (XmlDocument::is(node, "p")) {
                // paragraphs inside a table cell keep the row on one line
                if (cells)
                    text.atSpace() ? void() : text.append(U' ');
                else
                    text.endLine();
            } else if (XmlDocument::is(node, "tc")) {
                --cells;
                text.endCell();
            } else if (XmlDocument::is(node, "tr")) {
                text.endRow();
            }
        });
    slide.addLines(text.finish());
}

}  // namespace

Presentation readPptxPresentation(const ZipArchive& package)
{
    const OfficePackage parts(package, "ppt/presentation.xml", "a PowerPoint presentation");
    const XmlDocument presentationPart(package, parts.mainPart());
    const auto relations = parts.relations(parts.mainPart());
    Presentation presentation;
    std::set<std::string> read;
    for (xmlNode* node = presentationPart.root(); node; node = XmlDocument::next(node, presentationPart.root())) {
        if (!XmlDocument::is(node, "sldId"))
            continue;
        const auto target = relations.find(XmlDocument::relationshipId(node));
        // a second id naming a slide already read would only repeat its text
        if (target != relations.end() && !read.insert(target->second).second)
            continue;
        Presentation::Slide slide;
        if (target != relations.end() && package.has(target->second)) {
            partText(XmlDocument(package, target->second), false, slide);
            const std::string notes = parts.relatedPart(target->second, "notesSlide", "");
            if (!notes.empty() && package.has(notes) && read.insert(notes).second)
                partText(XmlDocument(package, notes), true, slide);
        }
        presentation.slides.push_back(std::move(slide));
    }
    return presentation;
}
