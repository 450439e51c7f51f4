#include "App/cli/WorkflowCommand.h"

#include "App/cli/CliArguments.h"
#include "Classes/core/ParamRequest.h"
#include "Classes/core/contextRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "Classes/packaging/Entity.h"
#include "Gestion Site/SiteListViewController.h"
#include "Platform/json/Json.h"
#include "Platform/runloop/RunLoop.h"

#include <fstream>
#include <iterator>
#include <ostream>

namespace orvaneh {

namespace {

constexpr const char* kMaskedPassword = "****";
// Every fetch ends on its own (stall, size and total limits); this only bounds a choice
// nobody answers.
constexpr Seconds kImportTimeLimit = Seconds(24 * 3600);

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
    };
}

int WorkflowCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    return dispatch(*this, arguments, context,
                    {{"show", &WorkflowCommand::show},
                     {"import-file", &WorkflowCommand::importFile},
                     {"import", &WorkflowCommand::importFromServer}});
}

int WorkflowCommand::show(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseOptions(arguments, {"json"}, {}, context);
    if (!parsed) {
        return kUsageError;
    }
    Json directory = readDirectory();
    if (parsed->flag("json")) {
        context.out << directory.dump(2) << std::endl;
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
    const std::string& path = parsed->positional().front();
    std::ifstream file(path, std::ios::binary);
    std::string bytes;
    if (file.is_open()) {
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    if (!file.is_open() || file.bad()) {
        context.err << "Erreur : impossible de lire le fichier « " << path << " »" << std::endl;
        return kFailure;
    }
    std::string error;
    if (!Entity::importCatalogue(bytes, &error)) {
        context.err << "Erreur : " << error << std::endl;
        return kFailure;
    }
    context.out << "Fin de l'importation" << std::endl;
    return kSuccess;
}

int WorkflowCommand::importFromServer(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseOptions(arguments, {}, {"dir"}, context);
    if (!parsed) {
        return kUsageError;
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
        context.err << "Erreur : " << sites.importMessage() << std::endl;
        return kFailure;
    default:
        context.err << "Erreur : l'importation n'a pas abouti" << std::endl;
        return kFailure;
    }
}

} // namespace orvaneh
