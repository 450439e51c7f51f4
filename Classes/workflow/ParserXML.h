#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace orvaneh {

// An element of an XmlDocument; valid while the document lives.
class XmlElement {
public:
    explicit XmlElement(_xmlNode* node) : node_(node) {}

    std::string name() const;
    // The text of the element and of all its descendants.
    std::string stringValue() const;
    // The child elements with that name, in document order.
    std::vector<XmlElement> elementsForName(std::string_view name) const;
    // Every attribute as (name, text), in document order.
    std::vector<std::pair<std::string, std::string>> attributes() const;
    std::optional<std::string> attributeForName(std::string_view name) const;

private:
    _xmlNode* node_;
};

// A parsed XML document (the small DOM the result readers need). Parsing never touches the
// network, loads no DTD and expands no entity: documents declaring entities are refused.
class XmlDocument {
public:
    // Nothing when the text is not a well-formed document.
    static std::optional<XmlDocument> parse(std::string_view xml);

    XmlElement rootElement() const;
    // For readers that need libxml2's namespace-aware tree; valid while this document lives.
    _xmlDoc* get() const { return document_.get(); }
    // The elements an XPath expression selects; empty when it is invalid.
    std::vector<XmlElement> nodesForXPath(const std::string& path) const;

private:
    struct Free {
        void operator()(_xmlDoc* document) const;
    };
    explicit XmlDocument(_xmlDoc* document) : document_(document) {}
    std::unique_ptr<_xmlDoc, Free> document_;
};

// One field of a record type that ParserXML fills from the attribute of the same name.
template <class Record> struct XmlField {
    const char* name;
    std::variant<std::string Record::*, bool Record::*> member;
};

// Reads lists of records from XML: every child of the root element named after the record
// type gives one record whose fields are set from the attributes of the same name. A record
// type declares `static constexpr const char* kXmlElementName` and
// `static const std::vector<XmlField<Record>>& xmlFields()`.
class ParserXML {
public:
    // Text fields take the attribute's text, boolean fields its boolean reading; attributes
    // that name no field are ignored. Bad text gives an empty list.
    template <class Record>
    static std::vector<Record> parseFromXML(std::string_view xml, const Record& /*object*/) {
        std::vector<Record> records;
        for (const auto& attributes : attributeLists(xml, Record::kXmlElementName)) {
            Record record{};
            for (const auto& [attribute, text] : attributes) {
                for (const auto& field : Record::xmlFields()) {
                    if (attribute != field.name) {
                        continue;
                    }
                    if (const auto* member = std::get_if<std::string Record::*>(&field.member)) {
                        record.*(*member) = text;
                    } else {
                        record.*std::get<bool Record::*>(field.member) = booleanReading(text);
                    }
                }
            }
            records.push_back(std::move(record));
        }
        return records;
    }

    // The attributes of each child of the root element with that name, in document order.
    static std::vector<std::vector<std::pair<std::string, std::string>>>
    attributeLists(std::string_view xml, std::string_view name);
    // "YES", "true", "1"... true; "NO", "false", "0", "" false.
    static bool booleanReading(const std::string& text);
};

} // namespace orvaneh
