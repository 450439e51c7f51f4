#pragma once

#include <optional>
#include <string>

struct _xmlNode;

namespace orvaneh {

// A fault the service answered instead of (or beside) a response.
struct SOAPFault {
    std::optional<std::string> faultcode;
    std::optional<std::string> faultstring;
    std::optional<std::string> faultactor;
    std::optional<std::string> detail;

    // Reads a SOAP 1.1 or 1.2 fault element; a fault of another namespace is an empty fault.
    static SOAPFault deserializeNode(_xmlNode* node);

    bool operator==(const SOAPFault&) const = default;
};

} // namespace orvaneh
