#pragma once

#include <libxml/tree.h>

#include <string>
#include <string_view>

class ZipArchive;

// One XML part of an office package, parsed with libxml2 as it is unpacked, its memory counted
// against the budget. Nothing is fetched from outside and parts that declare a document type
// (the only way to define entities) are refused.
class XmlDocument {
public:
    XmlDocument(const ZipArchive& package, const std::string& partName);
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    xmlNode* root() const { return xmlDocGetRootElement(m_document); }

    static bool is(const xmlNode* node, std::string_view localName);
    // The text inside the node.
    static std::string text(const xmlNode* node);
    // The attribute with this local name whatever its namespace; empty when absent.
    static std::string attribute(const xmlNode* node, std::string_view localName);
    // The relationship reference r:id (an attribute "id" in a namespace, beside a plain "id").
    static std::string relationshipId(const xmlNode* node);
    // The next node in document order after `node`, not entering node's children when `skipChildren`.
    static xmlNode* next(xmlNode* node, const xmlNode* top, bool skipChildren = false);

    // Visits the tree under `top` in document order: enter(node) says whether to go into the
    // node's children, leave(node) runs after them. No recursion, however deep the tree.
    template <typename Enter, typename Leave>
    static void traverse(xmlNode* top, Enter&& enter, Leave&& leave)
    {
        xmlNode* node = top;
        while (node) {
            if (enter(node) && node->children) {
                node = node->children;
                continue;
            }
            for (;;) {
                leave(node);
                if (node == top)
                    return;
                if (node->next) {
                    node = node->next;
                    break;
                }
                node = node->parent;
            }
        }
    }

private:
    xmlDoc* m_document = nullptr;
};
