#pragma once

#include "Platform/runloop/Clock.h"

#include <optional>
#include <string>
#include <string_view>

namespace orvaneh {

// Dates formatted with Unicode date patterns in the French locale ("fr_FR"), in the local
// time zone or in UTC. Supported fields: y yy yyyy, M MM MMM MMMM, d dd, E EEE EEEE,
// H HH, h hh, m mm, s ss, S SS SSS, a, Z, and 'quoted' literal text ('' for a quote).
// Other letters are copied as they stand.
class DateFormatter {
public:
    enum class Zone { Local, Utc };

    static std::string format(std::string_view pattern, WallTime time, Zone zone = Zone::Local);
    // Parses "yyyy-MM-ddTHH:mm:ss" with an optional fraction and an optional "Z" or ±hh:mm
    // offset (UTC when none). Nothing when the text is not such a date.
    static std::optional<WallTime> parseIso8601(std::string_view text);
};

} // namespace orvaneh
