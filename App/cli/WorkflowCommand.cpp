#include "App/cli/WorkflowCommand.h"

#include "App/cli/CliArguments.h"
#include "App/cli/DictationFields.h"
#include "Classes/core/ParamRequest.h"
#include "Classes/core/contextRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "Classes/packaging/Entity.h"
#include "Classes/workflow/ParamWorkflowDefault.h"
#include "Gestion Site/SiteListViewController.h"
#include "Platform/files/SystemErrorText.h"
#include "Platform/json/Json.h"
#include "Platform/network/NetworkLimits.h"
#include "Platform/runloop/RunLoop.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace orvaneh {

namespace {

constexpr const char* kMaskedPassword = "****";
// Every fetch ends on its own (stall, size and total limits); this only bounds a choice
// nobody answers.
constexpr Seconds kImportTimeLimit = Seconds(24 * 3600);

// The whole catalogue file, as the server's answer would be: a regular file no larger than an
// answer may be. A tube or a device is refused before any read, so nothing waits or fills memory.
std::optional<std::string> readCatalogueFile(const std::string& path, std::string& problem) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        problem = "impossible de lire le fichier « " + path + " » : " + systemErrorText(errno) +
                  ". Le workflow actuel est conservé.";
        return std::nullopt;
    }
    struct stat status {};
    std::optional<std::string> bytes;
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        problem = "« " + path + " » n'est pas un fichier ordinaire (dossier, tube ou périphérique)";
    } else if (static_cast<std::uintmax_t>(status.st_size) > kMaxAnswerBytes) {
        problem = "le fichier « " + path + " » dépasse 64 Mio : ce n'est pas un catalogue de workflow";
    } else {
        bytes.emplace();
        char block[65536];
        ssize_t count = 0;
        while ((count = ::read(descriptor, block, sizeof block)) != 0) {
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0 || bytes->size() + static_cast<std::size_t>(count) > kMaxAnswerBytes) {
                problem = count < 0
                              ? "impossible de lire le fichier « " + path + " » : " + systemErrorText(errno)
                              : "le fichier « " + path +
                                    " » dépasse 64 Mio : ce n'est pas un catalogue de "
                                    "workflow";
                bytes.reset();
                break;
            }
            bytes->append(block, static_cast<std::size_t>(count));
        }
    }
    ::close(descriptor);
    if (!bytes) {
        problem += ". Le workflow actuel est conservé.";
    }
    return bytes;
}

// Everything the directory holds, read once; both outputs are printed from it.
Json readDirectory() {
    Json directory = Json::object();

    userRequest users;
    contextRequest contexts;
    users.selectAllAuteur();
    Json authors = Json::array();
    for (std::size_t index = 0; index < users.tabNameUser.size(); ++index) {
        authors.push_back({{"login", users.tabNameUser[index]},
                           {"contextes", contexts.selectContextUser(users.tabIdUser[index])}});
    }
    directory["auteurs"] = authors;
    users.selectAllSecretaire();
    directory["secretaires"] = users.tabNameUser;

    worktypeRequest worktypes;
    worktypes.selectAllworktype();
    Json worktypeList = Json::array();
    for (const auto& [worktypeName, entry] : worktypes.tabWorktype.items()) {
        worktypeList.push_back({{"nom", worktypeName},
                                {"type", entry.value("Type", "")},
                                {"secretaire", entry.value("Secretaire", "")},
                                {"tracage", entry.value("Tracage", "")},
                                {"duree", entry.value("Duree", "")}});
    }
    directory["worktypes"] = worktypeList;

    Json services = Json::array();
    for (const auto& service : serviceRequest().selectAllServices()) {
        services.push_back({{"id", static_cast<std::int64_t>(service.idService)},
                            {"guid", service.guid},
                            {"nom", service.name},
                            {"estSite", service.isSite},
                            {"idSite", service.idSite},
                            {"parent", service.parentService},
                            {"secretaires", service.users},
                            {"worktypes", service.worktype}});
    }
    directory["services"] = services;

    ParamRequest parameters;
    if (parameters.selectParam() == 1) {
        directory["parametres"] = {{"ftpHost", parameters.ftpHost},
                                   {"ftpLogin", parameters.ftpLogin},
                                   {"ftpMdp", parameters.ftpMdp.empty() ? "" : kMaskedPassword},
                                   {"auteur", parameters.wfAuteur},
                                   {"contexte", parameters.wfContexte},
                                   {"secretaire", parameters.wfSecretaire},
                                   {"worktype", parameters.wfWorktype},
                                   {"typeDictee", parameters.wfTypeDictee},
                                   {"priorite", parameters.wfPriority},
                                   {"service", parameters.wfServiceID}};
    } else {
        directory["parametres"] = nullptr;
    }
    return directory;
}

std::string joined(const Json& texts) {
    std::string line;
    for (const auto& text : texts) {
        if (!line.empty()) {
            line += ", ";
        }
        line += text.get<std::string>();
    }
    return line.empty() ? "aucun" : line;
}

void printDirectory(std::ostream& out, const Json& directory) {
    out << "Auteurs (" << directory["auteurs"].size() << ") :\n";
    for (const auto& author : directory["auteurs"]) {
        out << "  " << author["login"].get<std::string>() << " ; contextes : " << joined(author["contextes"])
            << "\n";
    }
    out << "Secrétaires (" << directory["secretaires"].size() << ") :\n";
    for (const auto& typist : directory["secretaires"]) {
        out << "  " << typist.get<std::string>() << "\n";
    }
    out << "Worktypes (" << directory["worktypes"].size() << ") :\n";
    for (const auto& worktype : directory["worktypes"]) {
        out << "  " << worktype["nom"].get<std::string>()
            << " ; type : " << worktype["type"].get<std::string>()
            << " ; secrétaire : " << worktype["secretaire"].get<std::string>() << "\n";
    }
    out << "Services (" << directory["services"].size() << ") :\n";
    for (const auto& service : directory["services"]) {
        out << "  " << service["id"].get<std::int64_t>() << "  « " << service["nom"].get<std::string>()
            << " »" << (service["estSite"].get<bool>() ? " (site)" : "")
            << "  guid : " << service["guid"].get<std::string>()
            << "  parent : " << service["parent"].get<std::string>() << "\n"
            << "      secrétaires : " << joined(service["secretaires"])
            << " ; worktypes : " << joined(service["worktypes"]) << "\n";
    }
    const Json& parameters = directory["parametres"];
    if (parameters.is_null()) {
        out << "Paramètres par défaut : aucun\n";
        return;
    }
    out << "Paramètres par défaut :\n"
        << "  auteur : " << parameters["auteur"].get<std::string>() << "\n"
        << "  contexte : " << parameters["contexte"].get<std::string>() << "\n"
        << "  secrétaire : " << parameters["secretaire"].get<std::string>() << "\n"
        << "  worktype : " << parameters["worktype"].get<std::string>() << "\n"
        << "  type de dictée : " << parameters["typeDictee"].get<std::string>() << "\n"
        << "  priorité : " << parameters["priorite"].get<std::string>() << "\n"
        << "  service : " << parameters["service"].get<std::int32_t>() << "\n"
        << "  compte FTP : " << parameters["ftpLogin"].get<std::string>() << "@"
        << parameters["ftpHost"].get<std::string>()
        << "  mot de passe : " << parameters["ftpMdp"].get<std::string>() << "\n";
}

} // namespace

std::vector<std::string> WorkflowCommand::helpLines() const {
    return {
        "workflow show [--json]        auteurs, secrétaires, contextes, worktypes, services et paramètres",
        "workflow import-file FICHIER  remplace l'annuaire par celui d'un catalogue XML",
        "workflow import [--dir NOM]   importe le catalogue du site par défaut depuis son serveur ;",
        "                              --dir choisit le dossier de configuration (\"\" : « config »)",
        "workflow defaults [--author A] [--service ID] [--type TYPE] [--context C] [--worktype W]",
        "                  [--typist S] [--priority moyenne|haute] [--json]",
        "                              les paramètres par défaut des nouvelles dictées ; avec des",
        "                              options, choisis comme à l'écran (--service 0 : aucun) et",
        "                              enregistrés ; ID : le numéro ou le guid que « services »",
        "                              montre pour l'auteur",
    };
}

int WorkflowCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    return dispatch(*this, arguments, context,
                    {{"show", &WorkflowCommand::show},
                     {"import-file", &WorkflowCommand::importFile},
                     {"import", &WorkflowCommand::importFromServer},
                     {"defaults", &WorkflowCommand::defaults}});
}

int WorkflowCommand::show(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseOptions(arguments, {"json"}, {}, context);
    if (!parsed) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    Json directory = readDirectory();
    if (parsed->flag("json")) {
        context.out << jsonText(directory) << std::endl;
    } else {
        printDirectory(context.out, directory);
        context.out.flush();
    }
    return kSuccess;
}

int WorkflowCommand::importFile(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseArguments(arguments, {}, {}, context);
    if (!parsed) {
        return kUsageError;
    }
    if (parsed->positional().size() != 1) {
        return usageError(context, "indiquez un seul fichier de catalogue");
    }
    if (!context.start()) {
        return kFailure;
    }
    std::string error;
    const auto bytes = readCatalogueFile(parsed->positional().front(), error);
    if (!bytes) {
        context.err << "Erreur : " << error << std::endl;
        return kFailure;
    }
    if (!Entity::importCatalogue(*bytes, &error)) {
        context.err << "Erreur : " << error << std::endl;
        return kFailure;
    }
    context.out << "Fin de l'importation" << std::endl;
    return kSuccess;
}

int WorkflowCommand::defaults(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed =
        parseOptions(arguments, {"json"},
                     {"author", "service", "type", "context", "worktype", "typist", "priority"}, context);
    if (!parsed) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    ParamWorkflowDefault screen;
    if (DictationFields::anyGiven(*parsed)) {
        if (auto problem = DictationFields::applyToScreen(screen, *parsed)) {
            return usageError(context, problem->text);
        }
        screen.saveParam();
    }
    if (parsed->flag("json")) {
        const auto& service = screen.serviceChosen();
        Json shown = {{"auteur", screen.fieldText(ParamWorkflowDefault::kAuthorTag)},
                      {"service", service ? static_cast<std::int64_t>(service->idService) : 0},
                      {"serviceNom", screen.fieldText(ParamWorkflowDefault::kServiceTag)},
                      {"typeDictee", screen.fieldText(ParamWorkflowDefault::kTypeTag)},
                      {"contexte", screen.fieldText(ParamWorkflowDefault::kContextTag)},
                      {"worktype", screen.fieldText(ParamWorkflowDefault::kWorktypeTag)},
                      {"secretaire", screen.fieldText(ParamWorkflowDefault::kTypistTag)},
                      {"priorite", screen.fieldText(ParamWorkflowDefault::kPriorityTag)}};
        context.out << jsonText(shown) << std::endl;
        return kSuccess;
    }
    // The rows of the screen, as it shows them.
    context.out << screen.title() << "\n";
    for (int tag : screen.rowTags()) {
        context.out << "  " << ParamWorkflowDefault::fieldLabel(tag) << " : " << screen.fieldText(tag)
                    << "\n";
    }
    context.out << screen.footer() << std::endl;
    return kSuccess;
}

int WorkflowCommand::importFromServer(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseOptions(arguments, {}, {"dir"}, context);
    if (!parsed) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    SiteListViewController sites;
    sites.setPresetDirectory(parsed->option("dir"));
    sites.importSelectedSites();
    using State = SiteListViewController::ImportState;
    RunLoop::main().runUntil([&sites] { return sites.importState() != State::Running; }, kImportTimeLimit);
    switch (sites.importState()) {
    case State::Succeeded:
        context.out << sites.importMessage() << std::endl;
        return kSuccess;
    case State::Cancelled:
        // The choice went unanswered (no terminal): the names, for the next --dir.
        for (const auto& directory : sites.offeredDirectories()) {
            context.out << directory << "\n";
        }
        context.out.flush();
        context.err << "Erreur : importation annulée ; choisissez le dossier de configuration avec --dir NOM "
                       "(--dir \"\" pour le dossier « config » lui-même)"
                    << std::endl;
        return kFailure;
    case State::Failed:
        // The import's banner has usually told it already, on this same stream.
        if (!context.alreadyShown(sites.importMessage())) {
            context.err << "Erreur : " << sites.importMessage() << std::endl;
        }
        return kFailure;
    default:
        context.err << "Erreur : l'importation n'a pas abouti" << std::endl;
        return kFailure;
    }
}

} // namespace orvaneh
