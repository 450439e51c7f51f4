#include "App/cli/CliCommand.h"

#include <ostream>

namespace orvaneh {

int CliCommand::usageError(CliContext& context, const std::string& message) {
    context.err << "Erreur : " << message << "\n"
                << "Voir « orvaneh-cli --help »." << std::endl;
    return kUsageError;
}

} // namespace orvaneh
