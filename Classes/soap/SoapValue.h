#pragma once

#include "Classes/soap/USBoolean.h"
#include "Platform/runloop/Clock.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace orvaneh {

// A scalar field of a SOAP message and its text encoding: strings as they are (the XML writer
// escapes them), numbers in decimal, booleans "true"/"false", dates in UTC
// "yyyy-MM-ddTHH:mm:ssZ", binary data in standard Base64 without line breaks.
class SoapValue {
public:
    enum class Type { String, Number, Boolean, Date, Binary };

    static SoapValue string(std::string text);
    static SoapValue number(double value);
    static SoapValue boolean(bool value);
    static SoapValue date(WallTime time);
    static SoapValue binary(std::string bytes);

    Type type() const { return type_; }
    // The value of its own type; empty for another type.
    std::optional<std::string> stringValue() const;
    std::optional<double> numberValue() const;
    std::optional<USBoolean> booleanValue() const;
    std::optional<WallTime> dateValue() const;
    std::optional<std::string> binaryValue() const;

    // The element text this value is written as.
    std::string encoded() const;
    // The value an element's text gives for a field of `type`; `text` is empty when the element
    // holds no text at all. Absent: a string element without text, a boolean other than
    // "true"/"false", a date that is not ISO 8601, Base64 that does not decode. Unreadable
    // numbers read as 0, as the service's own clients do.
    static std::optional<SoapValue> decode(Type type, const std::optional<std::string>& text);

    // Base64 as the service's peers write it: white space and "=" anywhere are skipped; a final
    // group of one symbol or a symbol outside the alphabet makes it unreadable.
    static std::optional<std::string> decodeBase64(std::string_view text);
    // Integers as plain digits, other numbers in the shortest text that reads back the same.
    static std::string numberText(double value);

    bool operator==(const SoapValue&) const = default;

private:
    struct Binary {
        std::string bytes;
        bool operator==(const Binary&) const = default;
    };
    SoapValue(Type type, std::variant<std::string, double, USBoolean, WallTime, Binary> value)
        : type_(type), value_(std::move(value)) {}

    Type type_;
    std::variant<std::string, double, USBoolean, WallTime, Binary> value_;
};

} // namespace orvaneh
