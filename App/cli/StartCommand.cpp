#include "App/cli/StartCommand.h"

#include "Classes/app/ListeDictViewController.h"
#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/dataBaseRequest.h"
#include "Classes/core/siteRequest.h"
#include "Platform/profile/Profile.h"

#include <ostream>

namespace orvaneh {

namespace {

std::string cleanUpLine(int removed) {
    const auto days = ConfigurationManager::getCleansingMaxDate();
    if (days < 1) {
        return "Nettoyage des dictées envoyées : désactivé (OptionMaxDate = " + std::to_string(days) + ")";
    }
    return "Nettoyage des dictées envoyées depuis plus de " + std::to_string(days) +
           (days > 1 ? " jours" : " jour") + " : " + std::to_string(removed) + " supprimée" +
           (removed > 1 ? "s" : "");
}

} // namespace

std::vector<std::string> StartCommand::helpLines() const {
    return {"start                         démarre le système comme l'application (dont le nettoyage",
            "                              des dictées envoyées anciennes) et dit ce qu'il a fait"};
}

int StartCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    if (!arguments.empty()) {
        return usageError(context, "start ne prend pas d'argument");
    }
    if (!context.start()) {
        return kFailure;
    }
    // The application opens on the dictation list, whose start removes the old sent dictations.
    const ListeDictViewController list(context.application);
    const Profile& profile = Profile::current();
    dataBaseRequest database;
    database.selectDataBaseInfo();
    DicteeRequest dictations;
    auto outbox = dictations.getListDictee(0);
    auto all = dictations.getListDictee(-1);
    auto sites = siteRequest().selectSites();

    context.out << "Démarrage terminé.\n"
                << "Documents : " << profile.documentsDirectory().string() << "\n"
                << "Configuration : " << profile.configurationDirectory().string() << "\n"
                << "Base de données : " << context.application.dataBasePath() << " (version "
                << database.numVersion() << ")\n"
                << "Dictées : " << all.size() << " dont " << outbox.size() << " dans la boîte d'envoi\n"
                << "Sites : " << sites.size() << "\n"
                << cleanUpLine(list.removedAtStart()) << "\n"
                << "Libellés des champs : « " << ConfigurationManager::getJobTitle() << " » et « "
                << ConfigurationManager::getIdentValue() << " »\n";
    if (!context.application.siteExists()) {
        context.out
            << "Aucun site n'est configuré : créez-en un avec « orvaneh-cli site add » avant d'envoyer "
               "des dictées.\n";
    }
    context.out.flush();
    return kSuccess;
}

} // namespace orvaneh
