#pragma once

#include "Platform/runloop/Clock.h"

#include <optional>
#include <string>

namespace orvaneh {

// A date of return the transcription service offers for a dictation sent now.
struct PossibleDate {
    std::string IdService;
    std::string IdOption;
    std::string DateTimeReturn; // as the service writes it
    std::optional<WallTime> dateReturn;
    bool isHeader = false;
};

} // namespace orvaneh
