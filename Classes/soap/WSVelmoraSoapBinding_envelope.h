#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orvaneh {

class WSVelmoraMessage;

// Writes the SOAP 1.1 envelope of one call. Stateless.
class WSVelmoraSoapBinding_envelope {
public:
    // (element name, message) entries, written in the given order.
    using Elements = std::vector<std::pair<std::string, const WSVelmoraMessage*>>;

    // The envelope text: XML declaration without encoding, soap:Envelope declaring soap, xsl,
    // xsi, xsd and the service's prefix, soap:Header only when `header` has entries, soap:Body
    // only when `body` has. Empty (logged) when the document cannot be made.
    static std::string serializedFormUsingHeaderElements(const Elements& header, const Elements& body);
};

} // namespace orvaneh
