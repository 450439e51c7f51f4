#pragma once

#include "Classes/core/SettingDescription.h"
#include "Classes/screens/SuperController.h"
#include "Platform/json/Json.h"

#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// The settings screen: every option of the settings table, in groups as a user thinks of them
// (recording, sending, workflow display, security), each with a short label, an explanation,
// what may be stored and its current value. A value typed by the user is checked against the
// option's description before it is written; the screen shows the French reason of a refusal,
// and remarks on values that leave another without effect. The view draws the groups and their
// rows and calls setValue. Main run loop only.
class SettingsViewController : public SuperController {
public:
    struct Item {
        std::string key;
        std::string label;
        // The option's meaning, then what may be stored, in two sentences.
        std::string help;
        std::string meaning;
        std::string allowedValues;
        SettingDescription::Kind kind = SettingDescription::Kind::Text;
        // Bounds of a number without choices.
        double minimum = 0;
        double maximum = 0;
        std::vector<std::string> choices;
        std::string unit;
        // The value as the system reads it (defaults applied), and as a user reads or types it.
        Json value;
        std::string valueText;
    };

    struct Group {
        std::string title;
        std::vector<Item> items;
    };

    std::string screenName() const override { return "SettingsViewController"; }
    std::string title() const override;
    bool shouldDisplayMenuButton() const override { return true; }

    // The titles of the groups, in the order shown.
    static std::vector<std::string> groupTitles();
    // Every option by group, in the table's order within a group, with its value read now.
    std::vector<Group> groups() const;
    static bool hasSetting(const std::string& key);
    std::optional<Item> item(const std::string& key) const;

    // Why `text` cannot be stored under `key` (an unknown option, a refused value); nothing
    // when it can. Writes nothing, and needs no profile.
    static std::optional<std::string> checkValue(const std::string& key, const std::string& text);
    // Checks `text`, then stores the value. The French problem (refused, or not written to the
    // preference file: the value then holds for this process only), or nothing once stored.
    std::optional<std::string> setValue(const std::string& key, const std::string& text);

    // Remarks on the current values (an option without effect because of another).
    std::vector<std::string> remarks() const;
    // The remarks a change of `key` may have caused; none for options that no remark concerns.
    std::vector<std::string> remarksAfterSetting(const std::string& key) const;
};

} // namespace orvaneh
