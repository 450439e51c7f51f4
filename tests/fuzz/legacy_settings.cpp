// The settings file of older versions (an XML or binary property list) as the one-time
// migration reads it: parsed, then its fields taken into the preferences (in memory here).
#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/PropertyList.h"
#include "Platform/log/Log.h"

#include <cstdint>
#include <string_view>

using namespace orvaneh;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Log::setEchoToStderr(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto legacy = PropertyList::parse(bytes);
    if (legacy) {
        // Kept as JSON text afterwards: dump() throws on anything that is not UTF-8.
        (void)legacy->dump();
        if (legacy->is_object()) {
            ConfigurationManager::changeFieldsVersion2to3(*legacy);
        }
    }
    return 0;
}
