#pragma once

#include "Classes/soap/WSVelmora.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlNode;
struct _xmlNs;

namespace orvaneh {

// One message of the transcription service: an operation's request (named after the
// operation), its response ("<Op>Response") or the security header ("SecurityHeader"). Its
// fields are those of the service's table, each absent until set; absent fields are not
// written, and neither are number fields holding 0.
class WSVelmoraMessage {
public:
    // Nothing for an operation the service does not have.
    static std::optional<WSVelmoraMessage> request(std::string_view operation);
    static std::optional<WSVelmoraMessage> response(std::string_view operation);
    static WSVelmoraMessage securityHeader();

    const std::string& name() const { return name_; }
    const std::vector<WSVelmora::Field>& fields() const { return fields_; }

    // False (and nothing set) when the message has no such field or the value is of another type.
    bool set(std::string_view field, SoapValue value);
    bool setText(std::string_view field, std::string text) {
        return set(field, SoapValue::string(std::move(text)));
    }
    void clear(std::string_view field);
    const SoapValue* get(std::string_view field) const;
    std::optional<std::string> text(std::string_view field) const;
    std::optional<bool> boolean(std::string_view field) const;
    std::optional<double> number(std::string_view field) const;
    std::optional<std::string> binary(std::string_view field) const;

    // The element `ns:elementName` (prefix of `ns`) with one child per written field, in table order.
    _xmlNode* xmlNodeForDoc(_xmlDoc* document, _xmlNs* ns, const std::string& elementName) const;
    // Reads the fields from the children of `node` matched by local name (the last of several
    // wins); a child typed with xsi:type as an XML Schema scalar is read as that type.
    void deserializeElementsFromNode(_xmlNode* node);

    bool operator==(const WSVelmoraMessage&) const = default;

private:
    WSVelmoraMessage(std::string name, std::vector<WSVelmora::Field> fields);
    std::optional<std::size_t> indexOf(std::string_view field) const;

    std::string name_;
    std::vector<WSVelmora::Field> fields_;
    std::vector<std::optional<SoapValue>> values_;
};

} // namespace orvaneh
