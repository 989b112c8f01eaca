#include "XmlDocument.h"

#include "ConversionError.h"

#include <libxml/parser.h>

#include <cstring>

XmlDocument::XmlDocument(const std::string& content, const std::string& partName)
{
    m_document = xmlReadMemory(content.data(), static_cast<int>(content.size()), partName.c_str(), nullptr,
                               XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT);
    if (!m_document || !root())
        throw ConversionError("the file is damaged: its part " + partName + " is not well-formed XML");
    if (m_document->intSubset || m_document->extSubset)
        throw ConversionError("the part " + partName + " declares a document type, which office files never do");
}

XmlDocument::~XmlDocument()
{
    if (m_document)
        xmlFreeDoc(m_document);
}

bool XmlDocument::is(const xmlNode* node, std::string_view localName)
{
    return node && node->type == XML_ELEMENT_NODE && node->name &&
           localName == reinterpret_cast<const char*>(node->name);
}

std::string XmlDocument::text(const xmlNode* node)
{
    xmlChar* content = xmlNodeGetContent(node);
    std::string result = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return result;
}

std::string XmlDocument::attribute(const xmlNode* node, std::string_view localName)
{
    for (const xmlAttr* attribute = node->properties; attribute; attribute = attribute->next) {
        if (localName != reinterpret_cast<const char*>(attribute->name))
            continue;
        if (attribute->children && attribute->children->content)
            return reinterpret_cast<const char*>(attribute->children->content);
        return {};
    }
    return {};
}

std::string XmlDocument::relationshipId(const xmlNode* node)
{
    for (const xmlAttr* attribute = node->properties; attribute; attribute = attribute->next)
        if (attribute->ns && std::string_view("id") == reinterpret_cast<const char*>(attribute->name) &&
            attribute->children && attribute->children->content)
            return reinterpret_cast<const char*>(attribute->children->content);
    return {};
}

xmlNode* XmlDocument::next(xmlNode* node, const xmlNode* top, bool skipChildren)
{
    if (!skipChildren && node->children)
        return node->children;
    while (node && node != top) {
        if (node->next)
            return node->next;
        node = node->parent;
    }
    return nullptr;
}
