#pragma once

#include <libxml/tree.h>

#include <string>
#include <string_view>

// One XML part of an office package, parsed with libxml2. Nothing is fetched from outside and
// parts that declare a document type (the only way to define entities) are refused.
class XmlDocument {
public:
    XmlDocument(const std::string& content, const std::string& partName);
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    xmlNode* root() const { return xmlDocGetRootElement(m_document); }

    static bool is(const xmlNode* node, std::string_view localName);
    // The attribute with this local name whatever its namespace; empty when absent.
    static std::string attribute(const xmlNode* node, std::string_view localName);
    // The next node in document order after `node`, not entering node's children when `skipChildren`.
    static xmlNode* next(xmlNode* node, const xmlNode* top, bool skipChildren = false);

private:
    xmlDoc* m_document = nullptr;
};
