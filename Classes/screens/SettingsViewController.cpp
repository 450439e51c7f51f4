#include "Classes/screens/SettingsViewController.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/UserDefaultManager.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/preferences/PreferenceStore.h"

#include <algorithm>
#include <array>

namespace orvaneh {

namespace {

enum GroupIndex { Recording, Sending, WorkflowDisplay, Security, Others };

constexpr std::array<const char*, 5> kGroupTitles{
    "Enregistrement", "Envoi", "Affichage du workflow", "Sécurité",
    // Only an option added to the table without a place here would land in it.
    "Autres réglages"};

struct Placement {
    const char* key;
    GroupIndex group;
    const char* label;
};

constexpr Placement kPlacements[] = {
    {"ShowSettingsForRecord", Recording, "Paramètres avant l'enregistrement"},
    {"PushToRecordAndPlay", Recording, "Boutons à maintenir"},
    {"AudioSampleRate", Recording, "Fréquence d'échantillonnage"},
    {"ValidateBeforeSend", Sending, "Confirmation avant l'envoi"},
    {"OptionMaxDate", Sending, "Conservation des dictées envoyées"},
    {"ExportFileFormat", Sending, "Format des fichiers envoyés"},
    {"CompresseFile", Sending, "Envoi en archive zip"},
    {"versionWS", Sending, "Version du service web"},
    {"LinkDictationToSite", Sending, "Envoi au site d'enregistrement"},
    {"SendToVelmora", Sending, "Service de transcription"},
    {"TypeOfDelivery", Sending, "Mode de livraison du serveur"},
    {"NetworkStallTimeout", Sending, "Délai d'un transfert bloqué"},
    {"JobTitlPref", WorkflowDisplay, "Libellé du titre"},
    {"IdentPref", WorkflowDisplay, "Libellé de l'identifiant"},
    {"ServicesDisplay", WorkflowDisplay, "Choix du service"},
    {"BlockRecipient", WorkflowDisplay, "Dactylo imposée par le type de travail"},
    {"OptionUseBarCodeReader", WorkflowDisplay, "Lecture de code pour l'identifiant"},
    {"TrustedCertificatesFile", Security, "Autorité de certification de l'office"},
    {"UtiliserTrousseau", Security, "Mots de passe dans le trousseau du bureau"},
};

// Options whose values the remarks of SettingDescription are about.
constexpr const char* kKeysWithRemarks[] = {"CompresseFile", "versionWS"};

const Placement* placementOf(const std::string& key) {
    const auto* found = std::find_if(std::begin(kPlacements), std::end(kPlacements),
                                     [&](const Placement& placement) { return placement.key == key; });
    return found == std::end(kPlacements) ? nullptr : found;
}

std::string textOf(const Json& value) {
    if (value.is_null()) {
        return {};
    }
    return value.is_string() ? value.get<std::string>() : value.dump();
}

Json currentValue(const std::string& key) {
    if (const auto* setting = ConfigurationManager::findSetting(key)) {
        return setting->read();
    }
    return UserDefaultManager::getObjectForKey(key).value_or(Json());
}

SettingsViewController::Item itemOf(const SettingDescription& description) {
    const auto* placement = placementOf(description.key);
    SettingsViewController::Item item;
    item.key = description.key;
    item.label = placement != nullptr ? placement->label : description.key;
    item.meaning = description.meaning;
    item.allowedValues = description.allowedValues();
    item.help = description.meaning + ". Valeurs possibles : " + item.allowedValues + ".";
    item.kind = description.kind;
    item.minimum = description.minimum;
    item.maximum = description.maximum;
    item.choices = description.choices;
    item.unit = description.unit;
    item.value = currentValue(description.key);
    item.valueText = textOf(item.value);
    return item;
}

} // namespace

std::string SettingsViewController::title() const {
    return localized("PARAMETRES_TITLE", "Paramètres");
}

std::vector<std::string> SettingsViewController::groupTitles() {
    return {kGroupTitles.begin(), kGroupTitles.end()};
}

std::vector<SettingsViewController::Group> SettingsViewController::groups() const {
    std::vector<Group> groups;
    for (const char* title : kGroupTitles) {
        groups.push_back({title, {}});
    }
    for (const auto& description : SettingDescription::all()) {
        const auto* placement = placementOf(description.key);
        groups[placement != nullptr ? placement->group : Others].items.push_back(itemOf(description));
    }
    std::erase_if(groups, [](const Group& group) { return group.items.empty(); });
    return groups;
}

bool SettingsViewController::hasSetting(const std::string& key) {
    return SettingDescription::find(key) != nullptr;
}

std::optional<SettingsViewController::Item> SettingsViewController::item(const std::string& key) const {
    const auto* description = SettingDescription::find(key);
    if (description == nullptr) {
        return std::nullopt;
    }
    return itemOf(*description);
}

std::optional<std::string> SettingsViewController::checkValue(const std::string& key,
                                                              const std::string& text) {
    const auto* description = SettingDescription::find(key);
    if (description == nullptr) {
        return "réglage inconnu : " + key;
    }
    auto checked = description->check(text);
    if (!checked.value) {
        return checked.problem;
    }
    return std::nullopt;
}

std::optional<std::string> SettingsViewController::setValue(const std::string& key, const std::string& text) {
    const auto* description = SettingDescription::find(key);
    if (description == nullptr) {
        return "réglage inconnu : " + key;
    }
    auto checked = description->check(text);
    if (!checked.value) {
        Log::write("Paramètres : " + checked.problem);
        return checked.problem;
    }
    const bool written = UserDefaultManager::setObject(*checked.value, key);
    // Written or not, the value holds in memory from now on: the view shows it.
    changed();
    if (!written) {
        return "le réglage " + key + " n'a pas été enregistré : " +
               PreferenceStore::standard().lastWriteError().value_or("raison inconnue");
    }
    return std::nullopt;
}

std::vector<std::string> SettingsViewController::remarks() const {
    return SettingDescription::remarksOnCurrentValues();
}

std::vector<std::string> SettingsViewController::remarksAfterSetting(const std::string& key) const {
    const bool concerned = std::any_of(std::begin(kKeysWithRemarks), std::end(kKeysWithRemarks),
                                       [&](const char* other) { return key == other; });
    return concerned ? remarks() : std::vector<std::string>{};
}

} // namespace orvaneh
