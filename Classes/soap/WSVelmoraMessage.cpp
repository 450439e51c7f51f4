#include "Classes/soap/WSVelmoraMessage.h"

#include <cstring>
#include <libxml/tree.h>

namespace orvaneh {

namespace {

std::string textOf(const xmlChar* text) {
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

const xmlChar* xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

// The scalar an XML Schema type name stands for, if it is one.
std::optional<SoapValue::Type> schemaScalar(std::string_view name) {
    using T = SoapValue::Type;
    if (name == "string" || name == "normalizedString" || name == "token") {
        return T::String;
    }
    if (name == "boolean") {
        return T::Boolean;
    }
    if (name == "dateTime") {
        return T::Date;
    }
    if (name == "base64Binary") {
        return T::Binary;
    }
    for (const char* numeric : {"int", "integer", "long", "short", "double", "float", "decimal",
                                "unsignedInt", "unsignedLong", "byte", "unsignedShort", "unsignedByte"}) {
        if (name == numeric) {
            return T::Number;
        }
    }
    return std::nullopt;
}

// The type a child says it has: an XML Schema scalar named by xsi:type overrides the declared
// one; any other xsi:type (a message type, which no field of the service holds) is not
// readable as a scalar, so the field stays absent.
std::optional<SoapValue::Type> typeOfChild(xmlNode* child, SoapValue::Type declared) {
    xmlChar* typed = xmlGetNsProp(child, xml("type"), xml("http://www.w3.org/2001/XMLSchema-instance"));
    if (typed == nullptr) {
        return declared;
    }
    std::string value = textOf(typed);
    xmlFree(typed);
    std::string prefix;
    std::string local = value;
    if (auto colon = value.find(':'); colon != std::string::npos) {
        prefix = value.substr(0, colon);
        local = value.substr(colon + 1);
    }
    xmlNs* ns = xmlSearchNs(child->doc, child, prefix.empty() ? nullptr : xml(prefix.c_str()));
    std::string uri = ns != nullptr ? textOf(ns->href) : std::string();
    if (uri == "http://www.w3.org/2001/XMLSchema") {
        return schemaScalar(local);
    }
    return std::nullopt;
}

} // namespace

WSVelmoraMessage::WSVelmoraMessage(std::string name, std::vector<WSVelmora::Field> fields)
    : name_(std::move(name)), fields_(std::move(fields)), values_(fields_.size()) {}

std::optional<WSVelmoraMessage> WSVelmoraMessage::request(std::string_view operation) {
    const auto* entry = WSVelmora::operation(operation);
    if (entry == nullptr) {
        return std::nullopt;
    }
    return WSVelmoraMessage(entry->name, entry->request);
}

std::optional<WSVelmoraMessage> WSVelmoraMessage::response(std::string_view operation) {
    const auto* entry = WSVelmora::operation(operation);
    if (entry == nullptr) {
        return std::nullopt;
    }
    std::vector<WSVelmora::Field> fields;
    if (entry->result) {
        fields.push_back(*entry->result);
    }
    return WSVelmoraMessage(std::string(entry->name) + "Response", std::move(fields));
}

WSVelmoraMessage WSVelmoraMessage::securityHeader() {
    return WSVelmoraMessage("SecurityHeader", WSVelmora::securityHeaderFields());
}

std::optional<std::size_t> WSVelmoraMessage::indexOf(std::string_view field) const {
    for (std::size_t index = 0; index < fields_.size(); ++index) {
        if (field == fields_[index].name) {
            return index;
        }
    }
    return std::nullopt;
}

bool WSVelmoraMessage::set(std::string_view field, SoapValue value) {
    auto index = indexOf(field);
    if (!index || fields_[*index].type != value.type()) {
        return false;
    }
    values_[*index] = std::move(value);
    return true;
}

void WSVelmoraMessage::clear(std::string_view field) {
    if (auto index = indexOf(field)) {
        values_[*index].reset();
    }
}

const SoapValue* WSVelmoraMessage::get(std::string_view field) const {
    auto index = indexOf(field);
    return index && values_[*index] ? &*values_[*index] : nullptr;
}

std::optional<std::string> WSVelmoraMessage::text(std::string_view field) const {
    const auto* value = get(field);
    return value != nullptr ? value->stringValue() : std::nullopt;
}

std::optional<bool> WSVelmoraMessage::boolean(std::string_view field) const {
    const auto* value = get(field);
    if (value == nullptr || !value->booleanValue()) {
        return std::nullopt;
    }
    return value->booleanValue()->boolValue();
}

std::optional<double> WSVelmoraMessage::number(std::string_view field) const {
    const auto* value = get(field);
    return value != nullptr ? value->numberValue() : std::nullopt;
}

std::optional<std::string> WSVelmoraMessage::binary(std::string_view field) const {
    const auto* value = get(field);
    return value != nullptr ? value->binaryValue() : std::nullopt;
}

xmlNode* WSVelmoraMessage::xmlNodeForDoc(xmlDoc* document, xmlNs* ns, const std::string& elementName) const {
    xmlNode* node = xmlNewDocNode(document, ns, xml(elementName.c_str()), nullptr);
    if (node == nullptr) {
        return nullptr;
    }
    for (std::size_t index = 0; index < fields_.size(); ++index) {
        const auto& value = values_[index];
        if (!value || (value->type() == SoapValue::Type::Number && value->numberValue() == 0.0)) {
            continue;
        }
        // xmlNewTextChild escapes the text, so the service reads back exactly what was set.
        xmlNewTextChild(node, ns, xml(fields_[index].name), xml(value->encoded().c_str()));
    }
    return node;
}

void WSVelmoraMessage::deserializeElementsFromNode(xmlNode* node) {
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) {
            continue;
        }
        auto index = indexOf(textOf(child->name));
        if (!index) {
            continue;
        }
        // Appended in place: a text cut into many CDATA sections must not cost the square of its size.
        std::optional<std::string> text;
        for (xmlNode* part = child->children; part != nullptr; part = part->next) {
            if (part->type == XML_TEXT_NODE || part->type == XML_CDATA_SECTION_NODE) {
                if (!text) {
                    text.emplace();
                }
                *text += textOf(part->content);
            }
        }
        auto type = typeOfChild(child, fields_[*index].type);
        values_[*index] = type ? SoapValue::decode(*type, text) : std::nullopt;
        // A value read as another scalar than declared does not fit the field.
        if (values_[*index] && values_[*index]->type() != fields_[*index].type) {
            values_[*index].reset();
        }
    }
}

} // namespace orvaneh
