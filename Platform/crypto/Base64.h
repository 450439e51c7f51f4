#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvaneh {

// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks).
class Base64 {
public:
    static std::string encode(std::span<const std::uint8_t> bytes);
    static std::string encode(std::string_view bytes);
    // Nothing when the text is not valid Base64 (white space is ignored).
    static std::optional<std::string> decode(std::string_view text);
};

} // namespace orvaneh
