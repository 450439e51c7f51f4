#include "Classes/soap/WSVelmoraSoapBinding_envelope.h"

#include "Classes/soap/WSVelmoraMessage.h"
#include "Platform/log/Log.h"

#include <libxml/tree.h>
#include <memory>

namespace orvaneh {

namespace {

const xmlChar* xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

} // namespace

std::string WSVelmoraSoapBinding_envelope::serializedFormUsingHeaderElements(const Elements& header,
                                                                             const Elements& body) {
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(xmlNewDoc(xml("1.0")), &xmlFreeDoc);
    if (!document) {
        Log::write("Error creating the xml document tree");
        return {};
    }
    xmlNode* root = xmlNewDocNode(document.get(), nullptr, xml("Envelope"), nullptr);
    xmlDocSetRootElement(document.get(), root);
    xmlNs* soap = xmlNewNs(root, xml("http://schemas.xmlsoap.org/soap/envelope/"), xml("soap"));
    xmlSetNs(root, soap);
    xmlNs* xsl = xmlNewNs(root, xml("http://www.w3.org/1999/XSL/Transform"), xml("xsl"));
    xmlNewNs(root, xml("http://www.w3.org/2001/XMLSchema-instance"), xml("xsi"));
    xmlNewNs(root, xml("http://www.w3.org/2001/XMLSchema"), xml("xsd"));
    xmlNs* service = xmlNewNs(root, xml(WSVelmora::kNamespace), xml(WSVelmora::kPrefix));
    xmlNewNsProp(root, xsl, xml("version"), xml("1.0"));

    auto addSection = [&](const char* name, const Elements& elements) {
        if (elements.empty()) {
            return;
        }
        xmlNode* section = xmlNewChild(root, soap, xml(name), nullptr);
        for (const auto& [elementName, message] : elements) {
            if (xmlNode* node = message->xmlNodeForDoc(document.get(), service, elementName)) {
                xmlAddChild(section, node);
            }
        }
    };
    addSection("Header", header);
    addSection("Body", body);

    xmlChar* text = nullptr;
    int size = 0;
    // No encoding given: the declaration carries none and characters outside ASCII are written
    // as character references, which any reader decodes.
    xmlDocDumpFormatMemory(document.get(), &text, &size, 1);
    std::string envelope =
        text != nullptr ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
    xmlFree(text);
    return envelope;
}

} // namespace orvaneh
