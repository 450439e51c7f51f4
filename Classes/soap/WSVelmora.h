#pragma once

#include "Classes/soap/SoapValue.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvaneh {

class WSVelmoraSoapBinding;

// The transcription service's SOAP interface: its namespace, its endpoint and the table of its
// operations (the one place that knows each operation's fields, their order and types).
class WSVelmora {
public:
    static constexpr const char* kNamespace = "https://ws.velmora.fr/";
    static constexpr const char* kPrefix = "WSVelmora";
    static constexpr const char* kServicePath = "/DataTransfertService.asmx";

    struct Field {
        const char* name;
        SoapValue::Type type;
    };
    struct Operation {
        const char* name;
        bool hasSecurityHeader;
        std::vector<Field> request;  // in writing order
        std::optional<Field> result; // the response's one field, if any
    };

    static const std::vector<Operation>& operations();
    // nullptr for a name the service does not have.
    static const Operation* operation(std::string_view name);
    // Username, Password, AuthenticatedToken.
    static const std::vector<Field>& securityHeaderFields();

    // The endpoint on a site whose address is "host[:port]", with or without "https://" (an
    // "http://" address is reached over https too: the service carries passwords).
    static std::string endpointForAddress(const std::string& siteAddress);
    // A new binding to the endpoint; each caller takes its own.
    static std::shared_ptr<WSVelmoraSoapBinding> soapBinding(const std::string& siteAddress);
};

} // namespace orvaneh
