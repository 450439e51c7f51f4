// An office web service's answer as the transports read it: the body unwrapped, read as JSON,
// its method, result and reason taken, a directory list walked, a catalogue parsed. Whatever
// the body, the reading ends with an answer or a refusal, and every text it gives is UTF-8.
#include "Classes/core/StringExtension.h"
#include "Classes/core/Tools.h"
#include "Classes/transport/WSCommunication.h"
#include "Classes/transport/WSResult.h"
#include "Classes/workflow/XMLCatalogueParser.h"
#include "Platform/log/Log.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace orvaneh;

namespace {

void checkText(const std::string& text) {
    if (!StringExtension::isValidUtf8(text)) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Log::setEchoToStderr(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = WSCommunication::getJSONstring(bytes);
    checkText(text);
    auto parsed = Tools::parseJSON(text);
    if (!parsed || !parsed->is_object()) {
        return 0;
    }
    WSResult result;
    result.dico = std::move(*parsed);
    const std::string method = result.getMethodName();
    checkText(method);
    checkText(result.getReason());
    checkText(WSCommunication::unexpectedMethodText(method, "PostFile"));
    const Json& names = result.getResult();
    if (names.is_array()) {
        for (const auto& name : names) {
            if (name.is_string()) {
                checkText(name.get<std::string>());
            }
        }
    }
    if (!names.is_null()) {
        checkText(names.dump());
    }
    const std::string catalogue = result.getResultText();
    if (method == "GetCatalogue" && !catalogue.empty()) {
        XMLCatalogueParser parser;
        if (parser.parse(StringExtension::replaceCharactersInValidXML(catalogue))) {
            (void)parser.getDataFromDictionary().dump();
        }
    }
    return 0;
}
