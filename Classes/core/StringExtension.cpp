#include "Classes/core/StringExtension.h"

#include "Platform/crypto/Base64.h"

#include <algorithm>
#include <array>
#include <utility>

namespace orvaneh {

namespace {

// Length of the UTF-8 sequence starting at text[i], or 1 for a stray byte (treated as an
// ordinary character so that invalid text is kept, not cut).
std::size_t sequenceLength(std::string_view text, std::size_t i) {
    auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 1;
    if (i + length > text.size()) {
        return 1;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

char32_t decodeAt(std::string_view text, std::size_t i, std::size_t length) {
    auto byte = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(text[i + k])); };
    switch (length) {
    case 2:
        return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    case 3:
        return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    case 4:
        return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
               (byte(3) & 0x3F);
    default:
        return byte(0);
    }
}

// White space and line ends: ASCII, NEL, and the Unicode space and separator characters.
bool isWhiteSpace(char32_t c) {
    return c == U' ' || (c >= U'\t' && c <= U'\r') || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// Order matters: the list is applied as it stands, one replacement over the whole text at a time.
constexpr std::array<std::pair<std::string_view, std::string_view>, 22> specialCharacters = {{
    {"\u00CA", "e"}, {"&#xE8;", "e"}, {"&#xEA;", "e"}, {"&#xEB;", "e"}, {"&#xE0;", "a"}, {"&#xE1;", "a"},
    {"&#xE2;", "a"}, {"&#xE3;", "a"}, {"&#xEE;", "i"}, {"&#xEF;", "i"}, {"\u00E9", "e"}, {"\u00E8", "e"},
    {"\u00EA", "e"}, {"\u00E0", "a"}, {"\u00E2", "a"}, {"\u00E4", "a"}, {"\u00E7", "c"}, {"\u00EE", "i"},
    {"\u00EF", "i"}, {"/", "-"},      {"\\", "-"},     {"\uFFFD", "e"},
}};

} // namespace

std::string StringExtension::lowercased(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

std::string StringExtension::stringWithoutSpace(std::string_view text) {
    std::size_t begin = text.size();
    std::size_t end = 0;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = sequenceLength(text, i);
        if (!isWhiteSpace(decodeAt(text, i, length))) {
            if (begin == text.size()) {
                begin = i;
            }
            end = i + length;
        }
        i += length;
    }
    return begin < end ? std::string(text.substr(begin, end - begin)) : std::string();
}

std::string StringExtension::stringEmptyIfNull(const std::optional<std::string>& text) {
    return text.value_or(std::string());
}

std::string StringExtension::replaceSpecialCharacters(std::string_view text) {
    std::string result(text);
    for (const auto& [from, to] : specialCharacters) {
        result = replacingAll(result, from, to);
    }
    return result;
}

std::string StringExtension::replaceCharactersInValidXML(std::string_view text) {
    std::string result(text);
    result = replacingAll(result, "\\u003c", "<");
    result = replacingAll(result, "/u003e", "/>");
    result = replacingAll(result, "\\u003e", ">");
    return result;
}

std::string StringExtension::base64forData(std::string_view bytes) {
    return Base64::encode(bytes);
}

bool StringExtension::isSingleLineText(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            if (lead < 0x20 || lead == 0x7F) {
                return false;
            }
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t point = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            point = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            point = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            point = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > size) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) {
                return false;
            }
            point = (point << 6) | (bytes[i + k] & 0x3F);
        }
        const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
        if (overlong || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF) ||
            (point >= 0x80 && point < 0xA0)) {
            return false;
        }
        i += length;
    }
    return true;
}

std::size_t StringExtension::utf8SequenceLength(std::string_view text, std::size_t at) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    if (at >= text.size()) {
        return 0;
    }
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(at + k) & 0x3Fu);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

bool StringExtension::isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string StringExtension::replacingAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return std::string(text);
    }
    std::string result;
    result.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t found; (found = text.find(from, start)) != std::string_view::npos;
         start = found + from.size()) {
        result.append(text, start, found - start).append(to);
    }
    result.append(text, start);
    return result;
}

std::string StringExtension::withoutFirstAndLastCharacter(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const std::size_t first = std::max<std::size_t>(utf8SequenceLength(text, 0), 1);
    std::size_t last = text.size() - 1;
    while (last > 0 && (static_cast<unsigned char>(text[last]) & 0xC0) == 0x80) {
        --last;
    }
    return last < first ? std::string() : std::string(text.substr(first, last - first));
}

} // namespace orvaneh
