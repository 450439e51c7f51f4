#include "Classes/core/Tools.h"

#include "Platform/crypto/Base64.h"
#include "Platform/crypto/Digest.h"
#include "Platform/crypto/Uuid.h"
#include "Platform/localisation/Localization.h"
#include "Platform/profile/Profile.h"
#include "Platform/runloop/Clock.h"
#include "Platform/time/DateFormatter.h"
#include "Platform/ui/UserInterface.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace orvaneh {

namespace {

// Deeper than anything the system exchanges. Copying, comparing and writing a value all recurse
// once per level, so deeper input is refused before it is built.
constexpr std::size_t maximumJsonDepth = 512;

bool nestedTooDeeply(std::string_view text) {
    std::size_t depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maximumJsonDepth) {
                return true;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

void newLine(std::string& out, int level) {
    out.push_back('\n');
    out.append(static_cast<std::size_t>(level) * 2, ' ');
}

// The phone's pretty layout: two-space indentation and " : " between key and value. Scalars
// and keys use nlohmann's escaping, which throws on text that is not UTF-8.
void writePretty(std::string& out, const Json& value, int level) {
    if (value.is_object() && !value.empty()) {
        out.push_back('{');
        bool first = true;
        for (const auto& [key, member] : value.items()) {
            if (!first) {
                out.push_back(',');
            }
            first = false;
            newLine(out, level + 1);
            out += Json(key).dump();
            out += " : ";
            writePretty(out, member, level + 1);
        }
        newLine(out, level);
        out.push_back('}');
    } else if (value.is_array() && !value.empty()) {
        out.push_back('[');
        bool first = true;
        for (const auto& element : value) {
            if (!first) {
                out.push_back(',');
            }
            first = false;
            newLine(out, level + 1);
            writePretty(out, element, level + 1);
        }
        newLine(out, level);
        out.push_back(']');
    } else {
        out += value.dump();
    }
}

} // namespace

std::string Tools::documentsDirectory() {
    std::string directory = Profile::current().documentsDirectory().string();
    while (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    return directory;
}

void Tools::deleteFileAtPath(const std::string& path) {
    if (path.empty()) {
        return;
    }
    std::error_code error;
    std::filesystem::remove(path, error);
}

bool Tools::isPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 255) {
        return false;
    }
    for (unsigned char c : name) {
        if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

double Tools::unixTsInSeconds() {
    return Seconds(Clock::current()->wallNow().time_since_epoch()).count();
}

std::string Tools::getDateStrForFormat(std::string_view format) {
    return DateFormatter::format(format, Clock::current()->wallNow(), DateFormatter::Zone::Local);
}

std::string Tools::timeIntervalToString(double seconds) {
    // A negative or undefined duration (a recording not measured yet) shows as nothing recorded.
    if (!(seconds >= 0)) {
        return "0:00";
    }
    // Bounded so the conversion stays defined; no real recording comes anywhere near.
    long long whole = static_cast<long long>(std::min(seconds, 1e15));
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

std::string Tools::generateUUID() {
    return Uuid::generateV4();
}

std::string Tools::returnHashWithSHA1(std::string_view bytes) {
    auto digest = Digest::sha1(bytes);
    return Base64::encode(std::span<const std::uint8_t>(digest));
}

std::string Tools::objectToJSON(const Json& object) {
    try {
        std::string out;
        writePretty(out, object, 0);
        return out;
    } catch (const Json::exception&) {
        return {};
    }
}

std::optional<Json> Tools::parseJSON(std::string_view text) {
    if (nestedTooDeeply(text)) {
        return std::nullopt;
    }
    try {
        Json value = Json::parse(text, nullptr, false);
        if (value.is_discarded()) {
            return std::nullopt;
        }
        return value;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void Tools::displayAlertViewWithMessage(const std::string& message, const std::string& /*title*/) {
    UserInterface::shared().pushBanner(message);
}

void Tools::displayAlertViewWithConfirm(const std::string& message, const std::string& title, int tag,
                                        std::function<void(int tag, int button)> answer) {
    UserInterface::shared().askConfirmation(title, message, localized("CONFIRM_DIALOG_NO", "Non"),
                                            localized("CONFIRM_DIALOG_YES", "Oui"), tag,
                                            [tag, answer = std::move(answer)](int button) {
                                                if (answer) {
                                                    answer(tag, button);
                                                }
                                            });
}

} // namespace orvaneh
