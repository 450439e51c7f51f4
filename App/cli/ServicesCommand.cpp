#include "App/cli/ServicesCommand.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/screens/ServicesViewController.h"
#include "Classes/workflow/ParamWorkflowDictee.h"
#include "Platform/json/Json.h"

#include <cstddef>
#include <ostream>
#include <string>

namespace orvaneh {

std::vector<std::string> ServicesCommand::helpLines() const {
    return {
        "services [--author A] [--json]",
        "                              les services dans l'ordre du choix du service, indentés de deux",
        "                              espaces par niveau, les sites marqués [site], chacun suivi du",
        "                              numéro et du guid que --service accepte ; --author : ceux de",
        "                              l'auteur A ; --json : name, guid, level, isSite et id (le numéro)",
    };
}

int ServicesCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseOptions(arguments, {"json"}, {"author"}, context);
    if (!parsed) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    // A reading command: the list is given even where the screens do not offer the picker.
    if (!ConfigurationManager::shouldDisplayServices()) {
        context.err << "Le choix du service est masqué dans les écrans (réglage ServicesDisplay désactivé)."
                    << std::endl;
    }
    std::string author = parsed->option("author").value_or("");
    if (!author.empty()) {
        // The author as a parameter screen takes him: an unknown one is refused with the names
        // it offers, as every other command does.
        ParamWorkflowDictee screen{ParamWorkflow{}};
        if (auto problem = screen.choose(AbstractParamWorkflow::kAuthorTag, author)) {
            return usageError(context, *problem);
        }
        author = screen.fieldText(AbstractParamWorkflow::kAuthorTag);
    }
    const ServicesViewController picker(author);
    const auto& services = picker.servicesList();
    if (parsed->flag("json")) {
        Json all = Json::array();
        for (const auto& service : services) {
            all.push_back(Json{{"name", service.name},
                               {"guid", service.guid},
                               {"level", service.nivImbrication},
                               {"isSite", service.isSite},
                               {"id", static_cast<std::int64_t>(service.idService)}});
        }
        // A stored name that is not UTF-8 is shown with replacement characters, never an abort.
        context.out << jsonText(all) << std::endl;
        return kSuccess;
    }
    if (services.empty()) {
        context.out << "Aucun service." << std::endl;
        return kSuccess;
    }
    for (const auto& service : services) {
        context.out << std::string(2 * static_cast<std::size_t>(service.nivImbrication), ' ')
                    << (service.isSite ? "[site] " : "") << service.name << "  ("
                    << static_cast<std::int64_t>(service.idService) << ", " << service.guid << ")\n";
    }
    context.out.flush();
    return kSuccess;
}

} // namespace orvaneh
