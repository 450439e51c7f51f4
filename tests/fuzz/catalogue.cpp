// The office's catalogue as the import reads it (event parser, then the four lists), and the
// same bytes through the small DOM reader that gives the transcription service's lists.
#include "Classes/soap/ModelDocument.h"
#include "Classes/soap/PossibleDate.h"
#include "Classes/workflow/ParserXML.h"
#include "Classes/workflow/XMLCatalogueParser.h"
#include "Platform/log/Log.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace orvaneh;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Log::setEchoToStderr(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    XMLCatalogueParser parser;
    if (parser.parse(bytes)) {
        // The lists are stored as text: dump() throws on anything that is not UTF-8.
        const Json lists = parser.getDataFromDictionary();
        (void)lists.dump();
        for (const char* key : {"Users", "Configuration", "Worktypes", "Services"}) {
            if (!lists.at(key).is_array()) {
                std::abort();
            }
        }
    } else if (parser.errorDescription().empty()) {
        std::abort(); // a refusal the user could not be told about
    }
    (void)ParserXML::parseFromXML(bytes, ModelDocument{});
    (void)ParserXML::parseFromXML(bytes, PossibleDate{});
    return 0;
}
