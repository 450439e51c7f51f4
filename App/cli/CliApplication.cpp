#include "App/cli/CliApplication.h"

#include "App/cli/DictationCommand.h"
#include "App/cli/DossierCommand.h"
#include "App/cli/RepeatedLineFilter.h"
#include "App/cli/SendCommand.h"
#include "App/cli/ServicesCommand.h"
#include "App/cli/SettingsCommand.h"
#include "App/cli/SiteCommand.h"
#include "App/cli/StartCommand.h"
#include "App/cli/TranscriptionCommand.h"
#include "App/cli/WorkflowCommand.h"
#include "Classes/app/OrvanehAppDelegate.h"
#include "Platform/log/Log.h"
#include "Platform/preferences/PreferenceStore.h"
#include "Platform/profile/ProfileSetup.h"
#include "Platform/secrets/SecretStore.h"
#include "Platform/ui/ConsoleUserInterface.h"

#ifdef ORVANEH_HAVE_LIBSECRET
#include "Platform/secrets/LibsecretStore.h"
#endif

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>

namespace orvaneh {

CliApplication::CliApplication() {
    commands_.push_back(std::make_unique<StartCommand>());
    commands_.push_back(std::make_unique<SettingsCommand>());
    commands_.push_back(std::make_unique<DictationCommand>());
    commands_.push_back(std::make_unique<SiteCommand>());
    commands_.push_back(std::make_unique<WorkflowCommand>());
    commands_.push_back(std::make_unique<ServicesCommand>());
    commands_.push_back(std::make_unique<SendCommand>());
    commands_.push_back(std::make_unique<TranscriptionCommand>());
    commands_.push_back(std::make_unique<DossierCommand>());
}

CliApplication::~CliApplication() = default;

void CliApplication::printHelp(std::ostream& stream) const {
    stream << "Utilisation : orvaneh-cli [--home RÉP] [--verbose] COMMANDE [ARGUMENTS]\n\n"
           << "Options générales :\n"
           << "  --home RÉP     tout le profil (documents, réglages, journal) dans RÉP ;\n"
           << "                 sinon $ORVANEH_HOME, sinon ~/.local/share/orvaneh et ~/.config/orvaneh\n"
           << "  --verbose      recopie le journal sur la sortie d'erreur\n"
           << "  --help         cette aide ; « COMMANDE --help » : l'aide d'une commande\n"
           << "  --version      la version du programme\n\n"
           << "Commandes :\n";
    for (const auto& command : commands_) {
        for (const auto& line : command->helpLines()) {
            stream << "  " << line << "\n";
        }
    }
    stream.flush();
}

void CliApplication::printCommandHelp(const CliCommand& command, const std::string& action,
                                      std::ostream& stream) {
    // A usage line starts with "command action"; the lines indented below it belong to it.
    const std::string prefix = command.name() + " " + action;
    const auto lines = command.helpLines();
    const bool known =
        !action.empty() && std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind(prefix + " ", 0) == 0 || line == prefix;
        });
    stream << "Utilisation : orvaneh-cli [--home RÉP] [--verbose] " << command.name() << " …\n\n";
    bool inBlock = false;
    for (const auto& line : lines) {
        if (line.rfind(' ', 0) != 0) {
            inBlock = !known || line.rfind(prefix + " ", 0) == 0 || line == prefix;
        }
        if (inBlock) {
            stream << "  " << line << "\n";
        }
    }
    stream.flush();
}

int CliApplication::run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                        bool interactive, bool sharedTerminal) {
    std::optional<std::filesystem::path> home;
    bool verbose = false;
    bool help = false;
    std::vector<std::string> rest;
    // Global options come before the command; --home is also accepted after it.
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        bool beforeCommand = rest.empty();
        if (argument == "--home" || argument.rfind("--home=", 0) == 0) {
            if (argument == "--home") {
                if (index + 1 >= arguments.size()) {
                    err << "Erreur : l'option --home attend un répertoire" << std::endl;
                    return CliCommand::kUsageError;
                }
                home = arguments[++index];
            } else {
                home = argument.substr(7);
            }
            if (home->empty()) {
                err << "Erreur : l'option --home attend un répertoire" << std::endl;
                return CliCommand::kUsageError;
            }
        } else if (beforeCommand && (argument == "--verbose" || argument == "-v")) {
            verbose = true;
        } else if (beforeCommand && (argument == "--help" || argument == "-h")) {
            help = true;
        } else if (beforeCommand && argument == "--version") {
            out << "orvaneh-cli " << ORVANEH_VERSION << std::endl;
            return CliCommand::kSuccess;
        } else if (beforeCommand && argument.rfind("-", 0) == 0) {
            err << "Erreur : option inconnue : " << argument << "\n"
                << "Voir « orvaneh-cli --help »." << std::endl;
            return CliCommand::kUsageError;
        } else {
            rest.push_back(argument);
        }
    }
    if (help) {
        printHelp(out);
        return CliCommand::kSuccess;
    }
    if (rest.empty()) {
        err << "Erreur : il manque la commande.\n\n";
        printHelp(err);
        return CliCommand::kUsageError;
    }
    auto command = std::find_if(commands_.begin(), commands_.end(),
                                [&](const auto& candidate) { return candidate->name() == rest.front(); });
    if (command == commands_.end()) {
        err << "Erreur : commande inconnue : " << rest.front() << "\n"
            << "Voir « orvaneh-cli --help »." << std::endl;
        return CliCommand::kUsageError;
    }

    std::vector<std::string> commandArguments(rest.begin() + 1, rest.end());
    // "dictation new --help": the help of that action, before anything touches the profile.
    for (const auto& argument : commandArguments) {
        if (argument == "--") {
            break;
        }
        if (argument == "--help" || argument == "-h") {
            const bool named = !commandArguments.empty() && commandArguments.front().rfind('-', 0) != 0;
            printCommandHelp(**command, named ? commandArguments.front() : std::string(), out);
            return CliCommand::kSuccess;
        }
    }

    // The log goes to the file only: what the person must read, the command prints itself.
    Log::setEchoToStderr(verbose);
    OrvanehAppDelegate application;
    auto console = std::make_shared<ConsoleUserInterface>(err, interactive);
    std::uint64_t failedBefore = 0;
    auto start = [&]() -> bool {
        std::string error;
        if (!ProfileSetup::install(Profile::resolve(home), &error)) {
            err << "Erreur : " << error << std::endl;
            return false;
        }
        UserInterface::install(console);
#ifdef ORVANEH_HAVE_LIBSECRET
        // The desktop's keyring when the session has one; asked only once a password is at stake.
        SecretStore::install(std::make_shared<LibsecretStore>());
#endif
        auto started = application.startCore(false);
        for (const auto& notice : started.notices) {
            err << "Attention : " << notice << std::endl;
        }
        if (started.error) {
            err << "Erreur : " << *started.error << std::endl;
            return false;
        }
        // Writes the start-up could not persist (volatile keys on a full disk) are not the
        // command's: only those it made itself turn its success into a failure.
        failedBefore = PreferenceStore::standard().failedWriteCount();
        return true;
    };
    // On one terminal, a result line the console has just shown as a message is not repeated.
    std::optional<RepeatedLineFilter> filter;
    std::optional<std::ostream> filteredOut;
    if (sharedTerminal) {
        filter.emplace(*out.rdbuf(),
                       [console](const std::string& line) { return console->takeShownLine(line); });
        filteredOut.emplace(&*filter);
    }
    CliContext context{filteredOut ? *filteredOut : out, err, application, interactive, start};
    context.shownAsMessage = [console](const std::string& line) { return console->takeShownLine(line); };
    if (!(*command)->startsItself() && !context.start()) {
        return CliCommand::kFailure;
    }
    int status = (*command)->run(commandArguments, context);
    if (context.startFailed) {
        return CliCommand::kFailure;
    }
    if (context.starter) {
        return status; // stopped before starting: a usage error
    }
    PreferenceStore& preferences = PreferenceStore::standard();
    if (status == CliCommand::kSuccess && preferences.failedWriteCount() > failedBefore) {
        err << "Erreur : des réglages n'ont pas été enregistrés : "
            << preferences.lastWriteError().value_or("raison inconnue") << std::endl;
        return CliCommand::kFailure;
    }
    return status;
}

} // namespace orvaneh
