#pragma once

#include "Platform/json/Json.h"

#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// What each option of the settings table means and what may be stored under it: the
// knowledge a settings screen or the command line needs to explain an option and to refuse a
// value the readers would misread (a text where a number is read, a rate the recorder cannot
// use, a certificate file that is not there).
class SettingDescription {
public:
    enum class Kind {
        Boolean, // true/false (also oui/non, 1/0)
        Integer, // within [minimum, maximum]
        Real,    // within [minimum, maximum], or one of `choices` when there are some
        Text,    // one of `choices` when there are some, else any non-empty line
        File     // an existing readable PEM file, or "" for none; stored as an absolute path
    };

    // The outcome of checking a value typed by the user.
    struct Checked {
        std::optional<Json> value; // what to store, when allowed
        std::string problem;       // otherwise, why not and what is allowed (French)
    };

    std::string key;
    Kind kind = Kind::Text;
    std::string meaning; // French, one sentence
    std::string unit;    // French, "" when the value has none
    double minimum = 0;
    double maximum = 0;
    std::vector<std::string> choices;

    // Every option of the settings table, in its order.
    static const std::vector<SettingDescription>& all();
    // The option with that key, or nullptr.
    static const SettingDescription* find(const std::string& key);

    // The value to store for `text` as typed, or the reason it is refused.
    Checked check(const std::string& text) const;
    // What may be stored, in French ("un entier de 0 à 3650", "wav ou spx", ...).
    std::string allowedValues() const;

    // Options whose current values leave another without effect, each as a French remark
    // (zip asked while the web service is too old for it).
    static std::vector<std::string> remarksOnCurrentValues();
};

} // namespace orvaneh
