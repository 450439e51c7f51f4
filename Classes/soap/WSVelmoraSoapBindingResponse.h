#pragma once

#include "Classes/soap/SOAPFault.h"
#include "Classes/soap/WSVelmoraMessage.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvaneh {

// What one call brought back: the response messages and faults of the SOAP body in document
// order, and the error that kept the call from an answer (transport, HTTP, unreadable XML).
struct WSVelmoraSoapBindingResponse {
    struct Error {
        std::string domain; // "WSVelmoraSoapBindingResponseHTTP", "...XML", or the network's
        long code = 0;
        std::string description; // French for the network's failures
        bool operator==(const Error&) const = default;
    };
    using BodyPart = std::variant<WSVelmoraMessage, SOAPFault>;

    std::vector<BodyPart> bodyParts;
    std::optional<Error> error;

    static constexpr const char* kHttpDomain = "WSVelmoraSoapBindingResponseHTTP";
    static constexpr const char* kXmlDomain = "WSVelmoraSoapBindingResponseXML";
    static constexpr const char* kNetworkDomain = "Reseau";

    // Reads the answer to `operation` from its body: every "<operation>Response" element and
    // every fault of the Body, in order; other elements are ignored. An empty or malformed body
    // sets error (domain XML, code 1, "Errors while parsing returned XML").
    static WSVelmoraSoapBindingResponse fromBody(std::string_view body, std::string_view operation);

    // The first response message and the first fault, if any.
    const WSVelmoraMessage* firstMessage() const;
    const SOAPFault* firstFault() const;
};

} // namespace orvaneh
