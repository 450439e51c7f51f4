#include "Classes/soap/WSVelmoraSoapBindingResponse.h"

#include "Classes/workflow/ParserXML.h"

#include <libxml/tree.h>

namespace orvaneh {

namespace {

std::string textOf(const xmlChar* text) {
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

// Namespaces are compared by URI: the prefix is only the writer's spelling.
std::string namespaceOf(const xmlNode* node) {
    return node->ns != nullptr ? textOf(node->ns->href) : std::string();
}

} // namespace

WSVelmoraSoapBindingResponse WSVelmoraSoapBindingResponse::fromBody(std::string_view body,
                                                                    std::string_view operation) {
    WSVelmoraSoapBindingResponse response;
    auto document = XmlDocument::parse(body);
    xmlNode* root = document ? xmlDocGetRootElement(document->get()) : nullptr;
    if (root == nullptr) {
        response.error = Error{kXmlDomain, 1, "Errors while parsing returned XML"};
        return response;
    }
    const std::string expected = std::string(operation) + "Response";
    for (xmlNode* section = root->children; section != nullptr; section = section->next) {
        if (section->type != XML_ELEMENT_NODE || textOf(section->name) != "Body") {
            continue;
        }
        response.bodyParts.clear();
        for (xmlNode* part = section->children; part != nullptr; part = part->next) {
            if (part->type != XML_ELEMENT_NODE) {
                continue;
            }
            const std::string name = textOf(part->name);
            if (name == expected) {
                if (auto message = WSVelmoraMessage::response(operation)) {
                    message->deserializeElementsFromNode(part);
                    response.bodyParts.emplace_back(std::move(*message));
                }
            } else if (name == "Fault" && part->ns != nullptr && namespaceOf(part) == namespaceOf(section)) {
                response.bodyParts.emplace_back(SOAPFault::deserializeNode(part));
            }
        }
    }
    return response;
}

const WSVelmoraMessage* WSVelmoraSoapBindingResponse::firstMessage() const {
    for (const auto& part : bodyParts) {
        if (const auto* message = std::get_if<WSVelmoraMessage>(&part)) {
            return message;
        }
    }
    return nullptr;
}

const SOAPFault* WSVelmoraSoapBindingResponse::firstFault() const {
    for (const auto& part : bodyParts) {
        if (const auto* fault = std::get_if<SOAPFault>(&part)) {
            return fault;
        }
    }
    return nullptr;
}

} // namespace orvaneh
