#include "Platform/crypto/Base64.h"

#include <array>

namespace orvaneh {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr int invalid = -1;
constexpr int padding = -2;
constexpr int space = -3;

constexpr std::array<int, 256> makeDecodeTable() {
    std::array<int, 256> table{};
    for (auto& entry : table) {
        entry = invalid;
    }
    for (int i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(alphabet[i])] = i;
    }
    table['='] = padding;
    for (char c : {' ', '\t', '\n', '\r', '\v', '\f'}) {
        table[static_cast<unsigned char>(c)] = space;
    }
    return table;
}

constexpr std::array<int, 256> decodeTable = makeDecodeTable();

} // namespace

std::string Base64::encode(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        std::uint32_t group =
            (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        out.push_back(alphabet[(group >> 18) & 0x3F]);
        out.push_back(alphabet[(group >> 12) & 0x3F]);
        out.push_back(alphabet[(group >> 6) & 0x3F]);
        out.push_back(alphabet[group & 0x3F]);
    }
    std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t group = std::uint32_t{bytes[i]} << 16;
        if (rest == 2) {
            group |= std::uint32_t{bytes[i + 1]} << 8;
        }
        out.push_back(alphabet[(group >> 18) & 0x3F]);
        out.push_back(alphabet[(group >> 12) & 0x3F]);
        out.push_back(rest == 2 ? alphabet[(group >> 6) & 0x3F] : '=');
        out.push_back('=');
    }
    return out;
}

std::string Base64::encode(std::string_view bytes) {
    return encode(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::optional<std::string> Base64::decode(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t group = 0;
    int symbols = 0;  // symbols of the current quantum, padding included
    int paddings = 0; // "=" seen so far; only white space may follow a complete padded quantum
    bool finished = false;
    for (char c : text) {
        int value = decodeTable[static_cast<unsigned char>(c)];
        if (value == space) {
            continue;
        }
        if (value == invalid || finished) {
            return std::nullopt;
        }
        if (value == padding) {
            // "=" may only fill the last one or two places of a quantum.
            if (symbols < 2) {
                return std::nullopt;
            }
            ++paddings;
            group <<= 6;
        } else {
            if (paddings > 0) {
                return std::nullopt;
            }
            group = (group << 6) | static_cast<std::uint32_t>(value);
        }
        if (++symbols == 4) {
            out.push_back(static_cast<char>((group >> 16) & 0xFF));
            if (paddings < 2) {
                out.push_back(static_cast<char>((group >> 8) & 0xFF));
            }
            if (paddings < 1) {
                out.push_back(static_cast<char>(group & 0xFF));
            }
            finished = paddings > 0;
            group = 0;
            symbols = 0;
        }
    }
    if (symbols != 0) {
        return std::nullopt;
    }
    return out;
}

} // namespace orvaneh
