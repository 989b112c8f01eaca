#pragma once

#include <map>
#include <string>

class ZipArchive;

// The parts of an Office Open XML package and the relationships between them.
class OfficePackage {
public:
    // Finds the main part through the package's relationships (`expectedMain` is its usual
    // name); a package of another kind (a .docx given where a workbook is wanted) is refused.
    OfficePackage(const ZipArchive& package, const std::string& expectedMain, const std::string& what);

    const std::string& mainPart() const { return m_main; }
    // Relationship id -> part name, for the relationships of `part`.
    std::map<std::string, std::string> relations(const std::string& part) const;
    // The part `part` relates to with a relationship type ending in "/typeSuffix".
    std::string relatedPart(const std::string& part, const std::string& typeSuffix, const std::string& fallback) const;

private:
    std::map<std::string, std::string> relationsOfType(const std::string& part, const std::string& typeSuffix) const;

    const ZipArchive& m_package;
    std::string m_main;
};
