#include "App/cli/StartCommand.h"

#include "Classes/core/ConfigurationManager.h"
#include "Platform/profile/Profile.h"

#include <ostream>

namespace orvaneh {

std::vector<std::string> StartCommand::helpLines() const {
    return {"start                         démarre le système et dit ce qu'il a fait"};
}

int StartCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    if (!arguments.empty()) {
        return usageError(context, "start ne prend pas d'argument");
    }
    const Profile& profile = Profile::current();
    context.out << "Démarrage terminé.\n"
                << "Documents : " << profile.documentsDirectory().string() << "\n"
                << "Configuration : " << profile.configurationDirectory().string() << "\n"
                << "Libellés des champs : « " << ConfigurationManager::getJobTitle() << " » et « "
                << ConfigurationManager::getIdentValue() << " »\n"
                << "Format des fichiers envoyés : " << ConfigurationManager::getExportFileFormat()
                << std::endl;
    return kSuccess;
}

} // namespace orvaneh
