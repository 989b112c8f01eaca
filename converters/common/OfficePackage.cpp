#include "OfficePackage.h"

#include "ConversionError.h"
#include "XmlDocument.h"
#include "ZipArchive.h"

#include <vector>

namespace {

// A relationship's target as a part name: relative to the folder of its source, "." and ".."
// resolved, never above the package's root.
std::string resolve(const std::string& sourcePart, const std::string& target)
{
    std::string joined;
    if (!target.empty() && target[0] == '/') {
        joined = target.substr(1);
    } else {
        const std::size_t slash = sourcePart.rfind('/');
        joined = (slash == std::string::npos ? std::string() : sourcePart.substr(0, slash + 1)) + target;
    }
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= joined.size()) {
        std::size_t end = joined.find('/', start);
        if (end == std::string::npos)
            end = joined.size();
        const std::string segment = joined.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& segment : segments)
        result += (result.empty() ? "" : "/") + segment;
    return result;
}

std::string relsName(const std::string& part)
{
    const std::size_t slash = part.rfind('/');
    if (slash == std::string::npos)
        return "_rels/" + part + ".rels";
    return part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
}

std::string kindOf(const std::string& main)
{
    if (main.rfind("word/", 0) == 0)
        return "a Word document";
    if (main.rfind("xl/", 0) == 0)
        return "an Excel workbook";
    if (main.rfind("ppt/", 0) == 0)
        return "a PowerPoint presentation";
    return "an office document of another kind";
}

}  // namespace

OfficePackage::OfficePackage(const ZipArchive& package, const std::string& expectedMain, const std::string& what)
    : m_package(package)
{
    if (package.has("EncryptedPackage"))
        throw ConversionError("the document is protected by a password");
    if (package.has("_rels/.rels")) {
        const auto mains = relationsOfType("", "officeDocument");
        if (!mains.empty())
            m_main = mains.begin()->second;
    }
    if (m_main.empty())
        m_main = expectedMain;
    const std::string folder = expectedMain.substr(0, expectedMain.find('/') + 1);
    if (m_main.rfind(folder, 0) != 0)
        throw ConversionError("not " + what + ": the file is " + kindOf(m_main));
    if (!package.has(m_main)) {
        if (!package.has("[Content_Types].xml"))
            throw ConversionError("not " + what + ": the file is a ZIP archive of another kind");
        throw ConversionError("the file is damaged: its part " + m_main + " is missing");
    }
}

std::map<std::string, std::string> OfficePackage::relationsOfType(const std::string& part,
                                                                  const std::string& typeSuffix) const
{
    std::map<std::string, std::string> result;
    const std::string name = part.empty() ? "_rels/.rels" : relsName(part);
    if (!m_package.has(name))
        return result;
    const XmlDocument document(m_package, name);
    for (xmlNode* node = document.root()->children; node; node = node->next) {
        if (!XmlDocument::is(node, "Relationship") || XmlDocument::attribute(node, "TargetMode") == "External")
            continue;
        const std::string type = XmlDocument::attribute(node, "Type");
        if (!typeSuffix.empty()
            && (type.size() < typeSuffix.size() + 1
                || type.compare(type.size() - typeSuffix.size() - 1, std::string::npos, "/" + typeSuffix) != 0))
            continue;
        result[XmlDocument::attribute(node, "Id")] = resolve(part, XmlDocument::attribute(node, "Target"));
    }
    return result;
}

std::map<std::string, std::string> OfficePackage::relations(const std::string& part) const
{
    return relationsOfType(part, "");
}

std::string OfficePackage::relatedPart(const std::string& part, const std::string& typeSuffix,
                                       const std::string& fallback) const
{
    const auto found = relationsOfType(part, typeSuffix);
    return found.empty() ? fallback : found.begin()->second;
}
