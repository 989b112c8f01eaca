#include "XmlDocument.h"

#include "ConversionError.h"
#include "MemoryBudget.h"
#include "ZipArchive.h"

#include <libxml/parser.h>

#include <cstring>
#include <new>

XmlDocument::XmlDocument(const ZipArchive& package, const std::string& partName)
{
    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(nullptr, nullptr, nullptr, 0, partName.c_str());
    if (!context)
        throw std::bad_alloc();
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT);
    auto damaged = [&] {
        throw ConversionError("the file is damaged: its part " + partName + " is not well-formed XML");
    };
    auto parse = [&](const char* data, std::size_t size, bool last) {
        xmlParseChunk(context, data, static_cast<int>(size), last);
        if (!context->wellFormed)
            damaged();
        if (context->myDoc && (context->myDoc->intSubset || context->myDoc->extSubset))
            throw ConversionError("the part " + partName + " declares a document type, which office files never do");
        MemoryBudget::check();
    };
    try {
        package.read(partName, [&](const char* data, std::size_t size) { parse(data, size, false); });
        parse(nullptr, 0, true);
        if (!context->myDoc || !xmlDocGetRootElement(context->myDoc))
            damaged();
    } catch (...) {
        if (context->myDoc)
            xmlFreeDoc(context->myDoc);
        xmlFreeParserCtxt(context);
        throw;
    }
    m_document = context->myDoc;
    xmlFreeParserCtxt(context);
}

XmlDocument::~XmlDocument()
{
    if (m_document)
        xmlFreeDoc(m_document);
}

bool XmlDocument::is(const xmlNode* node, std::string_view localName)
{
    return node && node->type == XML_ELEMENT_NODE && node->name
           && localName == reinterpret_cast<const char*>(node->name);
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
        if (attribute->ns && std::string_view("id") == reinterpret_cast<const char*>(attribute->name)
            && attribute->children && attribute->children->content)
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
