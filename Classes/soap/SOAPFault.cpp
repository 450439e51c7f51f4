#include "Classes/soap/SOAPFault.h"

#include <libxml/tree.h>
#include <string_view>

namespace orvaneh {

namespace {

std::string textOf(const xmlChar* text) {
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

// The text of the element and of its descendants.
std::string contentOf(xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = textOf(content);
    xmlFree(content);
    return text;
}

} // namespace

SOAPFault SOAPFault::deserializeNode(xmlNode* node) {
    SOAPFault fault;
    const std::string uri = node->ns != nullptr ? textOf(node->ns->href) : std::string();
    const bool soap11 = uri == "http://schemas.xmlsoap.org/soap/envelope/";
    const bool soap12 = uri == "http://www.w3.org/2003/05/soap-envelope";
    if (!soap11 && !soap12) {
        return fault;
    }
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) {
            continue;
        }
        const std::string name = textOf(child->name);
        if (soap11) {
            if (name == "faultcode") {
                fault.faultcode = contentOf(child);
            } else if (name == "faultstring") {
                fault.faultstring = contentOf(child);
            } else if (name == "faultactor") {
                fault.faultactor = contentOf(child);
            } else if (name == "detail") {
                fault.detail = contentOf(child);
            }
            continue;
        }
        if (name == "Code") {
            for (xmlNode* value = child->children; value != nullptr; value = value->next) {
                if (value->type == XML_ELEMENT_NODE && textOf(value->name) == "Value") {
                    fault.faultcode = contentOf(value);
                    break;
                }
            }
        } else if (name == "Reason") {
            fault.faultstring = contentOf(child);
        } else if (name == "Node") {
            fault.faultactor = contentOf(child);
        } else if (name == "Detail") {
            fault.detail = contentOf(child);
        }
    }
    return fault;
}

} // namespace orvaneh
