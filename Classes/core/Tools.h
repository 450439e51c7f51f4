#pragma once

#include "Platform/json/Json.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvaneh {

// Shared utilities: the documents directory, dates, time texts, identifiers, digests, JSON
// and the two message helpers used outside the screens.
class Tools {
public:
    // The profile's documents directory, without a trailing "/".
    static std::string documentsDirectory();
    // Removes the file if it exists; errors are ignored.
    static void deleteFileAtPath(const std::string& path);
    // True when `name` can only name an entry of the directory it is joined to: not empty, not
    // "." or "..", at most 255 bytes, without "/", "\\" (a separator on the office's Windows
    // servers) or control characters. Names built from stored or received data are checked.
    static bool isPlainFileName(std::string_view name);

    // Now, in seconds since 1970-01-01 UTC with a fraction (from the process clock).
    static double unixTsInSeconds();
    // Now, formatted with the pattern in the French locale and the local time zone.
    static std::string getDateStrForFormat(std::string_view format);
    // "%d:%02d": whole minutes and remaining whole seconds (75.9 gives "1:15").
    static std::string timeIntervalToString(double seconds);
    // A new random UUID: 36 characters, upper-case hexadecimal, 8-4-4-4-12.
    static std::string generateUUID();
    // SHA-1 of the bytes, in Base64 (28 characters).
    static std::string returnHashWithSHA1(std::string_view bytes);

    // Pretty-printed UTF-8 JSON of the value; the empty text when it cannot be serialised
    // (for example text that is not valid UTF-8).
    static std::string objectToJSON(const Json& object);
    // The parsed value; nothing when the text does not parse.
    static std::optional<Json> parseJSON(std::string_view text);

    // Shows the message as a transient banner; the title is not shown.
    static void displayAlertViewWithMessage(const std::string& message, const std::string& title);
    // A yes/no question: cancel button "CONFIRM_DIALOG_NO" ("Non") = 0, other button
    // "CONFIRM_DIALOG_YES" ("Oui") = 1. `answer` receives the tag and the button.
    static void displayAlertViewWithConfirm(const std::string& message, const std::string& title, int tag,
                                            std::function<void(int tag, int button)> answer);
};

} // namespace orvaneh
