#pragma once

#include "Platform/json/Json.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvaneh {

// Tolerant reading of the entries handed to the directory imports. The catalogue sends
// everything as text, but older servers and hand-made files do not: a missing key reads as
// the empty text, false or 0, and a number where text is expected reads as its text.
class CatalogueValue {
public:
    static std::string text(const Json& entry, std::string_view key);
    static bool boolean(const Json& entry, std::string_view key);
    // The number truncated towards zero, held within the 32-bit range; 0 when not a number.
    static std::int32_t truncatedInteger(const Json& entry, std::string_view key);
    // A list of texts; a single text counts as a list of one.
    static std::vector<std::string> textList(const Json& entry, std::string_view key);
    // The value as text ("" for null, objects and lists).
    static std::string asText(const Json& value);

    // The parts between separators, empty ones included ("a;;b" gives three parts, "" one).
    static std::vector<std::string> split(std::string_view text, char separator);
};

} // namespace orvaneh
