#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvaneh {

// Message digests (OpenSSL).
class Digest {
public:
    static std::array<std::uint8_t, 20> sha1(std::span<const std::uint8_t> bytes);
    static std::array<std::uint8_t, 20> sha1(std::string_view bytes);
    static std::array<std::uint8_t, 16> md5(std::span<const std::uint8_t> bytes);
    static std::array<std::uint8_t, 16> md5(std::string_view bytes);
    // SHA-1 of a whole file, read block by block; nothing when it cannot be read.
    static std::optional<std::array<std::uint8_t, 20>> sha1OfFile(const std::filesystem::path& file);
    // Lower-case hexadecimal text of the bytes.
    static std::string toHex(std::span<const std::uint8_t> bytes);
};

} // namespace orvaneh
