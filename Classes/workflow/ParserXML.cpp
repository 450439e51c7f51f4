#include "Classes/workflow/ParserXML.h"

#include "Platform/json/Json.h"
#include "Platform/preferences/PreferenceStore.h"

#include <climits>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

namespace orvaneh {

namespace {

std::string textOf(const xmlChar* text) {
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

bool hasName(const xmlNode* node, std::string_view name) {
    return node->type == XML_ELEMENT_NODE && textOf(node->name) == name;
}

// The refusals below keep entity declarations (and with them "billion laughs" documents and
// external entities) out of every parsed document; _private carries the refusal flag.
void refuse(void* user) {
    auto* context = static_cast<xmlParserCtxtPtr>(user);
    *static_cast<bool*>(context->_private) = true;
    xmlStopParser(context);
}

void refuseEntityDecl(void* user, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    refuse(user);
}

void refuseReference(void* user, const xmlChar*) {
    refuse(user);
}

void ignoreError(void*, xmlErrorPtr) {}

} // namespace

std::string XmlElement::name() const {
    return textOf(node_->name);
}

std::string XmlElement::stringValue() const {
    xmlChar* content = xmlNodeGetContent(node_);
    std::string text = textOf(content);
    xmlFree(content);
    return text;
}

std::vector<XmlElement> XmlElement::elementsForName(std::string_view name) const {
    std::vector<XmlElement> elements;
    for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
        if (hasName(child, name)) {
            elements.emplace_back(child);
        }
    }
    return elements;
}

std::vector<std::pair<std::string, std::string>> XmlElement::attributes() const {
    std::vector<std::pair<std::string, std::string>> list;
    for (xmlAttr* attribute = node_->properties; attribute != nullptr; attribute = attribute->next) {
        xmlChar* text = xmlNodeListGetString(node_->doc, attribute->children, 1);
        list.emplace_back(textOf(attribute->name), textOf(text));
        xmlFree(text);
    }
    return list;
}

std::optional<std::string> XmlElement::attributeForName(std::string_view name) const {
    for (auto& [attribute, text] : attributes()) {
        if (attribute == name) {
            return std::move(text);
        }
    }
    return std::nullopt;
}

void XmlDocument::Free::operator()(_xmlDoc* document) const {
    xmlFreeDoc(document);
}

std::optional<XmlDocument> XmlDocument::parse(std::string_view xml) {
    if (xml.size() > static_cast<std::size_t>(INT_MAX)) {
        return std::nullopt;
    }
    xmlParserCtxtPtr context = xmlCreateMemoryParserCtxt(xml.data(), static_cast<int>(xml.size()));
    if (context == nullptr) {
        return std::nullopt;
    }
    bool refused = false;
    context->_private = &refused;
    context->sax->entityDecl = &refuseEntityDecl;
    context->sax->reference = &refuseReference;
    context->sax->serror = &ignoreError;
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlParseDocument(context);
    xmlDocPtr document = context->myDoc;
    const bool wellFormed = context->wellFormed != 0 && !refused && document != nullptr;
    xmlFreeParserCtxt(context);
    if (!wellFormed) {
        xmlFreeDoc(document);
        return std::nullopt;
    }
    return XmlDocument(document);
}

XmlElement XmlDocument::rootElement() const {
    return XmlElement(xmlDocGetRootElement(document_.get()));
}

std::vector<XmlElement> XmlDocument::nodesForXPath(const std::string& path) const {
    std::vector<XmlElement> elements;
    xmlXPathContextPtr context = xmlXPathNewContext(document_.get());
    if (context == nullptr) {
        return elements;
    }
    context->error = &ignoreError;
    xmlXPathObjectPtr result =
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path.c_str()), context);
    if (result != nullptr && result->nodesetval != nullptr) {
        for (int index = 0; index < result->nodesetval->nodeNr; ++index) {
            xmlNode* node = result->nodesetval->nodeTab[index];
            if (node->type == XML_ELEMENT_NODE) {
                elements.emplace_back(node);
            }
        }
    }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(context);
    return elements;
}

std::vector<std::vector<std::pair<std::string, std::string>>>
ParserXML::attributeLists(std::string_view xml, std::string_view name) {
    std::vector<std::vector<std::pair<std::string, std::string>>> lists;
    auto document = XmlDocument::parse(xml);
    if (!document) {
        return lists;
    }
    for (const auto& element : document->rootElement().elementsForName(name)) {
        lists.push_back(element.attributes());
    }
    return lists;
}

bool ParserXML::booleanReading(const std::string& text) {
    return PreferenceStore::boolFromJson(Json(text));
}

} // namespace orvaneh
