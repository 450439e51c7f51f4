#include "Classes/core/PropertyList.h"

#include "Classes/core/StringExtension.h"
#include "Platform/crypto/Base64.h"
#include "Platform/files/AtomicFile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <plist/plist.h>

namespace orvaneh {

namespace {

// Seconds between 1970-01-01 and the property-list epoch 2001-01-01.
constexpr double kAppleEpochOffset = 978307200.0;

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

std::optional<std::uint64_t> bigEndian(std::string_view bytes, std::uint64_t offset, std::uint64_t width) {
    if (width == 0 || width > 8 || offset > bytes.size() || width > bytes.size() - offset) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (std::uint64_t index = 0; index < width; ++index) {
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + index]);
    }
    return value;
}

// libplist aborts the process (an assertion) when asked for a string or a key holding a NUL
// byte, which a binary list can carry in a UTF-16 string. Such a list is damaged: every
// string object of the object table is checked before libplist sees the bytes. False as well
// when the tables themselves cannot be walked.
bool binaryStringsAreClean(std::string_view bytes) {
    constexpr std::size_t kTrailer = 32;
    if (bytes.size() < 8 + kTrailer) {
        return false;
    }
    const std::uint64_t trailer = bytes.size() - kTrailer;
    const std::uint64_t offsetWidth = static_cast<unsigned char>(bytes[trailer + 6]);
    const auto count = bigEndian(bytes, trailer + 8, 8);
    const auto table = bigEndian(bytes, trailer + 24, 8);
    if (!count || !table || offsetWidth == 0 || offsetWidth > 8 || *table > trailer ||
        *count > (trailer - *table) / offsetWidth) {
        return false;
    }
    for (std::uint64_t index = 0; index < *count; ++index) {
        const auto offset = bigEndian(bytes, *table + index * offsetWidth, offsetWidth);
        if (!offset || *offset >= *table) {
            return false;
        }
        const unsigned char marker = static_cast<unsigned char>(bytes[*offset]);
        const unsigned kind = marker >> 4;
        // 0x5: ASCII, 0x6: UTF-16 (two bytes a character), 0x7: UTF-8.
        if (kind < 0x5 || kind > 0x7) {
            continue;
        }
        std::uint64_t length = marker & 0x0F;
        std::uint64_t start = *offset + 1;
        if (length == 0x0F) {
            if (start >= *table || (static_cast<unsigned char>(bytes[start]) >> 4) != 0x1) {
                return false;
            }
            const std::uint64_t width = 1ULL << (static_cast<unsigned char>(bytes[start]) & 0x0F);
            const auto counted = bigEndian(bytes, start + 1, width);
            if (!counted) {
                return false;
            }
            length = *counted;
            start += 1 + width;
        }
        const std::uint64_t unit = kind == 0x6 ? 2 : 1;
        if (start > *table || length > (*table - start) / unit) {
            return false;
        }
        for (std::uint64_t at = start; at < start + length * unit; at += unit) {
            if (bytes[at] == '\0' && (unit == 1 || bytes[at + 1] == '\0')) {
                return false;
            }
        }
    }
    return true;
}

// The same danger in an XML list is a raw NUL byte, which no well-formed XML holds.
bool stringsAreClean(std::string_view bytes) {
    if (bytes.starts_with("bplist")) {
        return binaryStringsAreClean(bytes);
    }
    return bytes.find('\0') == std::string_view::npos;
}

std::optional<Json> convert(plist_t node, int depth) {
    if (depth > PropertyList::maxDepth || node == nullptr) {
        return std::nullopt;
    }
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return Json(value != 0);
    }
    case PLIST_UINT: {
        std::uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // Binary lists store negative integers in two's complement.
        return Json(static_cast<std::int64_t>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return Json(value);
    }
    case PLIST_STRING: {
        // Read with its length: a NUL inside would make plist_get_string_val abort.
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        // A binary list may carry any byte in an "ASCII" string: text that is not UTF-8 comes
        // from a damaged or crafted list, like a NUL.
        if (text == nullptr || std::strlen(text) != length ||
            !StringExtension::isValidUtf8(std::string_view(text, length))) {
            return std::nullopt;
        }
        return Json(std::string(text, length));
    }
    case PLIST_KEY: {
        char* text = nullptr;
        plist_get_key_val(node, &text);
        std::string key = text ? std::string(text) : std::string();
        std::free(text);
        if (!StringExtension::isValidUtf8(key)) {
            return std::nullopt;
        }
        return Json(std::move(key));
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        std::uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        Json value = Base64::encode(std::string_view(bytes ? bytes : "", bytes ? length : 0));
        std::free(bytes);
        return value;
    }
    case PLIST_DATE: {
        std::int32_t seconds = 0;
        std::int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        return Json{{"$date", kAppleEpochOffset + seconds + microseconds / 1e6}};
    }
    case PLIST_UID: {
        std::uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return Json(value);
    }
    case PLIST_ARRAY: {
        Json array = Json::array();
        std::uint32_t count = plist_array_get_size(node);
        for (std::uint32_t index = 0; index < count; ++index) {
            auto item = convert(plist_array_get_item(node, index), depth + 1);
            if (!item) {
                return std::nullopt;
            }
            array.push_back(std::move(*item));
        }
        return array;
    }
    case PLIST_DICT: {
        Json object = Json::object();
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        if (iterator == nullptr) {
            return object;
        }
        bool ok = true;
        while (true) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &key, &item);
            if (key == nullptr) {
                break;
            }
            std::string name(key);
            std::free(key);
            auto value = convert(item, depth + 1);
            if (!value || !StringExtension::isValidUtf8(name)) {
                ok = false;
                break;
            }
            object[name] = std::move(*value);
        }
        std::free(iterator);
        if (!ok) {
            return std::nullopt;
        }
        return object;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<Json> PropertyList::parse(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > maxFileSize || !stringsAreClean(bytes)) {
        return std::nullopt;
    }
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    PlistPtr owner(root);
    if (root == nullptr) {
        return std::nullopt;
    }
    return convert(root, 0);
}

std::optional<Json> PropertyList::readFile(const std::filesystem::path& path) {
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    if (error || size > maxFileSize) {
        return std::nullopt;
    }
    auto contents = AtomicFile::read(path);
    if (!contents) {
        return std::nullopt;
    }
    return parse(*contents);
}

} // namespace orvaneh
