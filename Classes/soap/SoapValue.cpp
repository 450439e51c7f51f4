#include "Classes/soap/SoapValue.h"

#include "Platform/crypto/Base64.h"
#include "Platform/time/DateFormatter.h"

#include <array>
#include <charconv>
#include <cmath>

namespace orvaneh {

SoapValue SoapValue::string(std::string text) {
    return SoapValue(Type::String, std::move(text));
}

SoapValue SoapValue::number(double value) {
    return SoapValue(Type::Number, value);
}

SoapValue SoapValue::boolean(bool value) {
    return SoapValue(Type::Boolean, USBoolean(value));
}

SoapValue SoapValue::date(WallTime time) {
    return SoapValue(Type::Date, time);
}

SoapValue SoapValue::binary(std::string bytes) {
    return SoapValue(Type::Binary, Binary{std::move(bytes)});
}

std::optional<std::string> SoapValue::stringValue() const {
    if (type_ != Type::String) {
        return std::nullopt;
    }
    return std::get<std::string>(value_);
}

std::optional<double> SoapValue::numberValue() const {
    if (type_ != Type::Number) {
        return std::nullopt;
    }
    return std::get<double>(value_);
}

std::optional<USBoolean> SoapValue::booleanValue() const {
    if (type_ != Type::Boolean) {
        return std::nullopt;
    }
    return std::get<USBoolean>(value_);
}

std::optional<WallTime> SoapValue::dateValue() const {
    if (type_ != Type::Date) {
        return std::nullopt;
    }
    return std::get<WallTime>(value_);
}

std::optional<std::string> SoapValue::binaryValue() const {
    if (type_ != Type::Binary) {
        return std::nullopt;
    }
    return std::get<Binary>(value_).bytes;
}

std::string SoapValue::numberText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<long long>(value));
    }
    std::array<char, 64> buffer{};
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return error == std::errc() ? std::string(buffer.data(), end) : std::string("0");
}

std::string SoapValue::encoded() const {
    switch (type_) {
    case Type::String:
        return std::get<std::string>(value_);
    case Type::Number:
        return numberText(std::get<double>(value_));
    case Type::Boolean:
        return std::get<USBoolean>(value_).stringValue();
    case Type::Date:
        return DateFormatter::format("yyyy-MM-dd'T'HH:mm:ss", std::get<WallTime>(value_),
                                     DateFormatter::Zone::Utc) +
               "Z";
    case Type::Binary:
        return Base64::encode(std::get<Binary>(value_).bytes);
    }
    return {};
}

std::optional<std::string> SoapValue::decodeBase64(std::string_view text) {
    auto symbolValue = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') {
            return c - 'A';
        }
        if (c >= 'a' && c <= 'z') {
            return c - 'a' + 26;
        }
        if (c >= '0' && c <= '9') {
            return c - '0' + 52;
        }
        if (c == '+') {
            return 62;
        }
        if (c == '/') {
            return 63;
        }
        return -1;
    };
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3 + 3);
    std::uint32_t group = 0;
    int symbols = 0;
    for (char c : text) {
        if (c == '=' || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            continue;
        }
        int value = symbolValue(c);
        if (value < 0) {
            return std::nullopt;
        }
        group = (group << 6) | static_cast<std::uint32_t>(value);
        if (++symbols == 4) {
            bytes += static_cast<char>((group >> 16) & 0xFF);
            bytes += static_cast<char>((group >> 8) & 0xFF);
            bytes += static_cast<char>(group & 0xFF);
            group = 0;
            symbols = 0;
        }
    }
    if (symbols == 1) {
        return std::nullopt;
    }
    if (symbols == 2) {
        bytes += static_cast<char>((group >> 4) & 0xFF);
    } else if (symbols == 3) {
        bytes += static_cast<char>((group >> 10) & 0xFF);
        bytes += static_cast<char>((group >> 2) & 0xFF);
    }
    return bytes;
}

std::optional<SoapValue> SoapValue::decode(Type type, const std::optional<std::string>& text) {
    switch (type) {
    case Type::String:
        if (!text) {
            return std::nullopt;
        }
        return string(*text);
    case Type::Number: {
        // from_chars, not strtod: the desktop runs in the user's locale, where "2.5" is no number.
        std::string digits = text.value_or("");
        auto first = digits.find_first_not_of(" \t\r\n");
        double value = 0.0;
        if (first != std::string::npos) {
            auto [end, error] = std::from_chars(digits.data() + first, digits.data() + digits.size(), value);
            if (error != std::errc() || !std::isfinite(value)) {
                value = 0.0;
            }
        }
        return number(value);
    }
    case Type::Boolean: {
        auto value = USBoolean::fromString(text.value_or(""));
        if (!value) {
            return std::nullopt;
        }
        return boolean(value->boolValue());
    }
    case Type::Date: {
        auto time = DateFormatter::parseIso8601(text.value_or(""));
        if (!time) {
            return std::nullopt;
        }
        return date(*time);
    }
    case Type::Binary: {
        auto bytes = decodeBase64(text.value_or(""));
        if (!bytes) {
            return std::nullopt;
        }
        return binary(std::move(*bytes));
    }
    }
    return std::nullopt;
}

} // namespace orvaneh
