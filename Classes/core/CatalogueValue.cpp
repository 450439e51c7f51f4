#include "Classes/core/CatalogueValue.h"

#include "Platform/preferences/PreferenceStore.h"

#include <cmath>
#include <limits>

namespace orvaneh {

namespace {

const Json* find(const Json& entry, std::string_view key) {
    if (!entry.is_object()) {
        return nullptr;
    }
    auto found = entry.find(std::string(key));
    if (found == entry.end() || found->is_null()) {
        return nullptr;
    }
    return &*found;
}

} // namespace

std::string CatalogueValue::asText(const Json& value) {
    switch (value.type()) {
    case Json::value_t::string:
        return value.get<std::string>();
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
        return value.dump();
    case Json::value_t::boolean:
        return value.get<bool>() ? "true" : "false";
    default:
        return {};
    }
}

std::string CatalogueValue::text(const Json& entry, std::string_view key) {
    const Json* value = find(entry, key);
    return value != nullptr ? asText(*value) : std::string();
}

bool CatalogueValue::boolean(const Json& entry, std::string_view key) {
    const Json* value = find(entry, key);
    return value != nullptr && PreferenceStore::boolFromJson(*value);
}

std::int32_t CatalogueValue::truncatedInteger(const Json& entry, std::string_view key) {
    const Json* value = find(entry, key);
    if (value == nullptr) {
        return 0;
    }
    double number = std::trunc(PreferenceStore::doubleFromJson(*value));
    if (std::isnan(number)) {
        return 0;
    }
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    if (number < lowest) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (number > highest) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(number);
}

std::vector<std::string> CatalogueValue::textList(const Json& entry, std::string_view key) {
    const Json* value = find(entry, key);
    std::vector<std::string> list;
    if (value == nullptr) {
        return list;
    }
    if (value->is_array()) {
        for (const auto& element : *value) {
            if (!element.is_null()) {
                list.push_back(asText(element));
            }
        }
    } else if (!value->is_object()) {
        list.push_back(asText(*value));
    }
    return list;
}

std::vector<std::string> CatalogueValue::split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace orvaneh
