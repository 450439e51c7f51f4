#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvaneh {

// A boolean of the transcription service's messages, written "true" or "false".
class USBoolean {
public:
    explicit USBoolean(bool value = false) : value_(value) {}

    bool boolValue() const { return value_; }
    void setBoolValue(bool value) { value_ = value; }
    std::string stringValue() const { return value_ ? "true" : "false"; }

    // "true" or "false" exactly; anything else (other case included) is no boolean.
    static std::optional<USBoolean> fromString(std::string_view text);

    bool operator==(const USBoolean&) const = default;

private:
    bool value_;
};

} // namespace orvaneh
