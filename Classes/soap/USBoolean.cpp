#include "Classes/soap/USBoolean.h"

namespace orvaneh {

std::optional<USBoolean> USBoolean::fromString(std::string_view text) {
    if (text == "true") {
        return USBoolean(true);
    }
    if (text == "false") {
        return USBoolean(false);
    }
    return std::nullopt;
}

} // namespace orvaneh
