#include "App/cli/SettingsCommand.h"

#include "App/cli/CliArguments.h"
#include "Classes/core/ConfigurationManager.h"
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

} // namespace

std::vector<std::string> SettingsCommand::helpLines() const {
    return {
        "settings list [--json]        tous les réglages avec leur valeur en vigueur",
        "settings get CLÉ              la valeur en vigueur d'un réglage",
        "settings set CLÉ VALEUR       enregistre un réglage (« true » ou « false » : booléen ; sinon texte)",
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
    if (parsed->flag("json")) {
        Json all = Json::object();
        for (const auto& setting : ConfigurationManager::settings()) {
            all[setting.key] = setting.read();
        }
        context.out << all.dump(2) << std::endl;
        return kSuccess;
    }
    for (const auto& setting : ConfigurationManager::settings()) {
        context.out << std::left << std::setw(26) << setting.key << display(setting.read()) << "\n";
    }
    context.out.flush();
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
    // Stored as the server's configuration import stores options.
    const std::string& value = arguments[1];
    bool written = value == "true" || value == "false"
                       ? UserDefaultManager::setBool(value == "true", setting->key)
                       : UserDefaultManager::setObject(value, setting->key);
    if (!written) {
        context.err << "Erreur : le réglage " << setting->key << " n'a pas été enregistré : "
                    << PreferenceStore::standard().lastWriteError().value_or("raison inconnue") << std::endl;
        return kFailure;
    }
    context.out << setting->key << " = " << display(setting->read()) << std::endl;
    return kSuccess;
}

} // namespace orvaneh
