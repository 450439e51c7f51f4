#include "Platform/crypto/Uuid.h"

#include <array>
#include <cstdint>
#include <openssl/rand.h>
#include <stdexcept>

namespace orvaneh {

std::string Uuid::generateV4() {
    std::array<std::uint8_t, 16> bytes{};
    // Identifiers must never repeat; without a seeded generator we refuse rather than
    // produce predictable ones.
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
        throw std::runtime_error("générateur aléatoire indisponible");
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant

    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            out.push_back('-');
        }
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0x0F]);
    }
    return out;
}

} // namespace orvaneh
