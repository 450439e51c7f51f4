#pragma once

#include "Classes/core/DicteeModel.h"
#include "Platform/json/Json.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvaneh {

// How the command line shows a dictation, the same way in every command: state names, dates,
// durations, and the JSON record.
class DictationFormat {
public:
    // Dates read for the text output (local time) and for JSON (ISO 8601 with the offset).
    static constexpr std::string_view kTextDatePattern = "yyyy-MM-dd HH:mm";
    static constexpr std::string_view kJsonDatePattern = "yyyy-MM-dd'T'HH:mm:ssZZZZZ";

    // A dictation identifier: digits only, so "12abc" or "-3" is a usage error rather than 12
    // or -3.
    static std::optional<std::int64_t> parseIdentifier(const std::string& text);
    // The dictation list's state word: "Brouillon", "En attente", "Envoi en cours",
    // "Tentative échouée" or "Envoyée".
    static std::string stateLabel(const DicteeModel& record);
    // The text on one line, for a row of a list: line ends, tabs and other control characters
    // become spaces, so that a title typed with a line break cannot look like two rows.
    static std::string oneLine(std::string_view text);
    // Minutes, seconds and tenths: "1:59.6".
    static std::string duration(double seconds);
    // The length of a recording of the dictation from its file, to the sample; the stored whole
    // seconds when the file cannot be read.
    static double trackSeconds(const DicteeModel& record, bool instruction);
    // Every field of a record read with kJsonDatePattern, with its state as in the text and its
    // durations in seconds to the sample.
    static Json toJson(const DicteeModel& record);
    // The same with the state word already known (a list row), so a long list does not ask the
    // profile's sender lock once per row.
    static Json toJson(const DicteeModel& record, const std::string& state);
    // A moment as the JSON output gives dates.
    static std::string jsonDate(double secondsSince1970);
    // A moment today as "HH:mm:ss", with the date when it is another day.
    static std::string textTime(double secondsSince1970);
};

} // namespace orvaneh
