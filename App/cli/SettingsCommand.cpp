#include "App/cli/SettingsCommand.h"

#include "App/cli/CliArguments.h"
#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/SettingDescription.h"
#include "Classes/core/UserDefaultManager.h"
#include "Platform/preferences/PreferenceStore.h"

#include <iomanip>
#include <ostream>

namespace orvaneh {

namespace {

std::string display(const Json& value) {
    if (value.is_string()) {
        return value.get<std::string>();
    }
    return value.dump();
}

const ConfigurationManager::Setting* findOrComplain(const std::string& key, CliContext& context) {
    const auto* setting = ConfigurationManager::findSetting(key);
    if (setting == nullptr) {
        context.err << "Erreur : réglage inconnu : " << key << "\n"
                    << "« orvaneh-cli settings list » donne la liste des réglages." << std::endl;
    }
    return setting;
}

// The description of a setting of the table, for showing it.
const SettingDescription& describe(const ConfigurationManager::Setting& setting) {
    static const SettingDescription unknown;
    const auto* description = SettingDescription::find(setting.key);
    return description != nullptr ? *description : unknown;
}

std::string withUnit(const Json& value, const SettingDescription& description) {
    std::string text = display(value);
    if (!description.unit.empty() && !text.empty()) {
        text += " " + description.unit;
    }
    return text;
}

void printRemarks(std::ostream& stream) {
    for (const auto& remark : SettingDescription::remarksOnCurrentValues()) {
        stream << "Remarque : " << remark << "\n";
    }
    stream.flush();
}

} // namespace

std::vector<std::string> SettingsCommand::helpLines() const {
    return {
        "settings list [--json]        chaque réglage : valeur, unité, sens et valeurs possibles",
        "settings get CLÉ              la valeur en vigueur d'un réglage",
        "settings set CLÉ VALEUR       enregistre un réglage après l'avoir vérifié (type, bornes, valeurs",
        "                              possibles ; une valeur refusée n'est pas enregistrée)",
    };
}

int SettingsCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    return dispatch(
        *this, arguments, context,
        {{"list", &SettingsCommand::list}, {"get", &SettingsCommand::get}, {"set", &SettingsCommand::set}});
}

int SettingsCommand::list(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseOptions(arguments, {"json"}, {}, context);
    if (!parsed) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    if (parsed->flag("json")) {
        Json all = Json::object();
        for (const auto& setting : ConfigurationManager::settings()) {
            const auto& description = describe(setting);
            all[setting.key] = Json{{"value", setting.read()},
                                    {"unit", description.unit},
                                    {"meaning", description.meaning},
                                    {"allowed", description.allowedValues()}};
        }
        context.out << all.dump(2) << std::endl;
        return kSuccess;
    }
    for (const auto& setting : ConfigurationManager::settings()) {
        const auto& description = describe(setting);
        context.out << std::left << std::setw(26) << setting.key << withUnit(setting.read(), description)
                    << "\n"
                    << "    " << description.meaning << "\n"
                    << "    valeurs possibles : " << description.allowedValues() << "\n";
    }
    printRemarks(context.out);
    return kSuccess;
}

int SettingsCommand::get(const std::vector<std::string>& arguments, CliContext& context) {
    if (arguments.size() != 1) {
        return usageError(context, arguments.empty() ? "il manque la clé du réglage" : "trop d'arguments");
    }
    const auto* setting = findOrComplain(arguments.front(), context);
    if (setting == nullptr) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    context.out << display(setting->read()) << std::endl;
    return kSuccess;
}

int SettingsCommand::set(const std::vector<std::string>& arguments, CliContext& context) {
    if (arguments.size() != 2) {
        return usageError(context, arguments.size() < 2 ? "il faut la clé et la valeur" : "trop d'arguments");
    }
    const auto* setting = findOrComplain(arguments[0], context);
    if (setting == nullptr) {
        return kUsageError;
    }
    // An option nobody described is not written blind.
    const auto* description = SettingDescription::find(setting->key);
    if (description == nullptr) {
        context.err << "Erreur : le réglage " << setting->key << " ne se modifie pas ici." << std::endl;
        return kFailure;
    }
    const auto checked = description->check(arguments[1]);
    if (!checked.value) {
        context.err << "Erreur : " << checked.problem << "\n"
                    << "Rien n'a été enregistré." << std::endl;
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    if (!UserDefaultManager::setObject(*checked.value, setting->key)) {
        context.err << "Erreur : le réglage " << setting->key << " n'a pas été enregistré : "
                    << PreferenceStore::standard().lastWriteError().value_or("raison inconnue") << std::endl;
        return kFailure;
    }
    context.out << setting->key << " = " << display(setting->read()) << std::endl;
    // The only remark concerns these two; after another key it would read as a complaint about it.
    if (setting->key == "CompresseFile" || setting->key == "versionWS") {
        printRemarks(context.err);
    }
    return kSuccess;
}

} // namespace orvaneh
