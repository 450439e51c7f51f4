#pragma once

#include "Platform/json/Json.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace orvaneh {

// Reads property lists (XML or binary) written by older versions of the application, as
// JSON: dictionaries become objects, arrays arrays, integers and reals numbers, booleans
// booleans, dates {"$date": seconds since 1970}, data its Base64 text.
class PropertyList {
public:
    // Nothing when the file cannot be read, is larger than maxFileSize, is not a property
    // list, nests deeper than maxDepth, or holds a text with a NUL character (a damaged or
    // crafted list, refused before its values are read) or a text or key that is not UTF-8.
    static std::optional<Json> readFile(const std::filesystem::path& path);
    static std::optional<Json> parse(std::string_view bytes);

    static constexpr std::size_t maxFileSize = 4 * 1024 * 1024;
    static constexpr int maxDepth = 64;
};

} // namespace orvaneh
