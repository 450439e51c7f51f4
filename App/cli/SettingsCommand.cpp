#include "App/cli/SettingsCommand.h"

#include "App/cli/CliArguments.h"
#include "Classes/screens/SettingsViewController.h"

#include <iomanip>
#include <ostream>

namespace orvaneh {

namespace {

bool knownOrComplain(const std::string& key, CliContext& context) {
    if (SettingsViewController::hasSetting(key)) {
        return true;
    }
    context.err << "Erreur : réglage inconnu : " << key << "\n"
                << "« orvaneh-cli settings list » donne la liste des réglages." << std::endl;
    return false;
}

std::string withUnit(const SettingsViewController::Item& item) {
    return item.unit.empty() || item.valueText.empty() ? item.valueText : item.valueText + " " + item.unit;
}

void printRemarks(const std::vector<std::string>& remarks, std::ostream& stream) {
    for (const auto& remark : remarks) {
        stream << "Remarque : " << remark << "\n";
    }
    stream.flush();
}

} // namespace

std::vector<std::string> SettingsCommand::helpLines() const {
    return {
        "settings list [--json]        les réglages par groupe : valeur, unité, libellé, sens et valeurs",
        "                              possibles",
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
    const SettingsViewController screen;
    const auto groups = screen.groups();
    if (parsed->flag("json")) {
        Json all = Json::object();
        for (const auto& group : groups) {
            for (const auto& item : group.items) {
                all[item.key] =
                    Json{{"value", item.value},           {"unit", item.unit},    {"meaning", item.meaning},
                         {"allowed", item.allowedValues}, {"group", group.title}, {"label", item.label}};
            }
        }
        context.out << jsonText(all) << std::endl;
        return kSuccess;
    }
    for (const auto& group : groups) {
        context.out << (&group == &groups.front() ? "" : "\n") << "== " << group.title << " ==\n";
        for (const auto& item : group.items) {
            context.out << std::left << std::setw(26) << item.key << withUnit(item) << "\n"
                        << "    " << item.label << "\n"
                        << "    " << item.meaning << "\n"
                        << "    valeurs possibles : " << item.allowedValues << "\n";
        }
    }
    printRemarks(screen.remarks(), context.out);
    return kSuccess;
}

int SettingsCommand::get(const std::vector<std::string>& arguments, CliContext& context) {
    if (arguments.size() != 1) {
        return usageError(context, arguments.empty() ? "il manque la clé du réglage" : "trop d'arguments");
    }
    if (!knownOrComplain(arguments.front(), context)) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    context.out << SettingsViewController().item(arguments.front())->valueText << std::endl;
    return kSuccess;
}

int SettingsCommand::set(const std::vector<std::string>& arguments, CliContext& context) {
    if (arguments.size() != 2) {
        return usageError(context, arguments.size() < 2 ? "il faut la clé et la valeur" : "trop d'arguments");
    }
    const std::string& key = arguments[0];
    if (!knownOrComplain(key, context)) {
        return kUsageError;
    }
    // Checked before the start: a refused value leaves no profile behind.
    if (auto problem = SettingsViewController::checkValue(key, arguments[1])) {
        context.err << "Erreur : " << *problem << "\n"
                    << "Rien n'a été enregistré." << std::endl;
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    SettingsViewController screen;
    if (auto problem = screen.setValue(key, arguments[1])) {
        context.err << "Erreur : " << *problem << std::endl;
        return kFailure;
    }
    context.out << key << " = " << screen.item(key)->valueText << std::endl;
    printRemarks(screen.remarksAfterSetting(key), context.err);
    return kSuccess;
}

} // namespace orvaneh
