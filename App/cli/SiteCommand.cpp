#include "App/cli/SiteCommand.h"

#include "App/cli/CliArguments.h"
#include "App/cli/DictationFormat.h"
#include "Classes/core/SiteType.h"
#include "Classes/core/siteRequest.h"
#include "Gestion Site/SiteViewController.h"
#include "Platform/json/Json.h"

#include <cstdlib>
#include <iostream>
#include <limits>
#include <optional>
#include <ostream>
#include <termios.h>
#include <unistd.h>

namespace orvaneh {

namespace {

constexpr const char* kMaskedPassword = "****";

const std::set<std::string> kAddFlags{"email", "default", "password-stdin"};
const std::set<std::string> kEditFlags{"email", "no-email", "default", "password-stdin", "password-env"};
constexpr const char* kPasswordVariable = "ORVANEH_PASSWORD";
const std::set<std::string> kEditOptions{"name", "type", "address", "login", "password"};

// A site's identifier or type: digits only, within what the table stores.
std::optional<std::int32_t> parseInteger(const std::string& text) {
    const auto value = DictationFormat::parseIdentifier(text);
    if (!value || *value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

Json siteAsJson(const SiteModel& site) {
    return Json{{"idSite", site.idSite},
                {"name", site.name},
                {"address", site.addressForDisplay()},
                {"login", site.login},
                {"mdp", kMaskedPassword},
                {"typeSite", site.typeSite},
                {"selected", site.selected},
                {"emailPropose", site.emailPropose}};
}

void printSite(std::ostream& out, const SiteModel& site) {
    out << (site.selected ? "* " : "  ") << site.idSite << "  « " << site.name << " »  type " << site.typeSite
        << " (" << SiteType::label(site.typeSite) << ")  adresse : " << site.addressForDisplay()
        << "  login : " << site.login << "  mot de passe : " << kMaskedPassword
        << "  e-mail : " << (site.emailPropose ? "oui" : "non") << "\n";
}

// One line of standard input, without its end; nothing at the end of input. On a terminal the
// line is asked for and not echoed.
std::optional<std::string> readPasswordLine(CliContext& context) {
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) != 0 && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        context.err << "Mot de passe : " << std::flush;
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::string line;
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        context.err << std::endl;
    }
    if (!read) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// The password asked for: --password, --password-stdin or the environment, in that order; only
// one of the options. Nothing when none is given. Usage error text in `problem`. A new site takes
// the environment's password by itself; an edit only when --password-env asks, or an exported
// variable would change the password of any site renamed in that shell.
std::optional<std::string> passwordGiven(const CliArguments& parsed, CliContext& context,
                                         bool environmentByDefault, std::string& problem) {
    const auto option = parsed.option("password");
    if (option && parsed.flag("password-stdin")) {
        problem = "--password et --password-stdin s'excluent";
        return std::nullopt;
    }
    if (option) {
        return option;
    }
    if (parsed.flag("password-stdin")) {
        auto line = readPasswordLine(context);
        if (!line || line->empty()) {
            problem = "--password-stdin n'a lu aucun mot de passe sur l'entrée standard";
            return std::nullopt;
        }
        return line;
    }
    if (!environmentByDefault && !parsed.flag("password-env")) {
        return std::nullopt;
    }
    if (const char* variable = std::getenv(kPasswordVariable); variable != nullptr && *variable != '\0') {
        context.err << "Mot de passe pris dans " << kPasswordVariable << "." << std::endl;
        return std::string(variable);
    }
    if (parsed.flag("password-env")) {
        problem = std::string("--password-env : la variable ") + kPasswordVariable + " est absente ou vide";
    }
    return std::nullopt;
}

// Applies the options given; the fields not named keep their value. Usage error text, or "".
std::string applyOptions(const CliArguments& parsed, SiteModel& site, bool adding, CliContext& context) {
    if (auto type = parsed.option("type")) {
        auto number = parseInteger(*type);
        if (!number) {
            return "le type doit être un nombre de 1 à 8 : " + *type;
        }
        site.typeSite = *number;
    }
    if (auto value = parsed.option("name")) {
        site.name = *value;
    }
    if (auto value = parsed.option("address")) {
        site.address = *value;
    }
    if (auto value = parsed.option("login")) {
        site.login = *value;
    }
    std::string problem;
    if (auto password = passwordGiven(parsed, context, adding, problem)) {
        site.mdp = *password;
    } else if (!problem.empty()) {
        return problem;
    }
    if (parsed.flag("email") && parsed.flag("no-email")) {
        return "--email et --no-email s'excluent";
    }
    if (parsed.flag("email")) {
        site.emailPropose = true;
    }
    if (parsed.flag("no-email")) {
        site.emailPropose = false;
    }
    return {};
}

// Clears the mark on every site before marking this one, so there is one default.
void storeAsDefault(SiteModel site) {
    siteRequest sites;
    sites.unselectSite();
    site.selected = true;
    sites.updateSite(site);
}

int refuseSite(CliContext& context, const std::string& problem) {
    context.err << "Erreur : " << problem << "\n"
                << "Rien n'a été enregistré ; « orvaneh-cli site --help » donne les options." << std::endl;
    return CliCommand::kUsageError;
}

// Saves through the site editor, which refuses a site its transport could not use.
int save(SiteViewController& editor, CliContext& context) {
    if (editor.addOrModifySite()) {
        return CliCommand::kSuccess;
    }
    if (!SiteViewController::problemWith(editor.siteM()).empty()) {
        return refuseSite(context, editor.message());
    }
    context.err << "Erreur : " << editor.message() << std::endl;
    return CliCommand::kFailure;
}

int unknownSite(CliContext& context, std::int32_t id) {
    context.err << "Erreur : aucun site avec l'identifiant " << id << std::endl;
    return CliCommand::kFailure;
}

} // namespace

std::optional<std::int32_t> SiteCommand::siteIdArgument(const CliArguments& parsed, CliContext& context) {
    if (parsed.positional().empty()) {
        usageError(context, "il manque l'identifiant du site");
        return std::nullopt;
    }
    if (parsed.positional().size() > 1) {
        usageError(context, "argument inattendu : " + parsed.positional()[1]);
        return std::nullopt;
    }
    auto id = parseInteger(parsed.positional().front());
    if (!id || *id < 1) {
        usageError(context, "identifiant de site invalide : " + parsed.positional().front());
        return std::nullopt;
    }
    return id;
}

std::optional<std::int32_t> SiteCommand::siteIdArgument(const std::vector<std::string>& arguments,
                                                        CliContext& context) {
    auto parsed = parseArguments(arguments, {}, {}, context);
    return parsed ? siteIdArgument(*parsed, context) : std::nullopt;
}

std::vector<std::string> SiteCommand::helpLines() const {
    return {
        "site list [--json]            les sites (le site par défaut marqué *), mots de passe masqués",
        "site add --name N --type T [--address A] [--login L] [--password-stdin] [--email] [--default]",
        "                              ajoute un site (type 1 à 8 : 1 FTP, 2 et 7 service web, 3 et 4 sans",
        "                              envoi, 6 service de transcription) ; les types 1, 2, 6 et 7 exigent",
        "                              --address",
        "site edit ID [--name N] [--type T] [--address A] [--login L] [--password-stdin|--password-env]",
        "             [--email|--no-email] [--default]",
        "                              modifie les champs donnés d'un site, garde les autres",
        "                              mot de passe : --password-stdin (une ligne lue sur l'entrée",
        "                              standard, sans écho sur un terminal) ou la variable ORVANEH_PASSWORD",
        "                              (lue par add ; par edit seulement avec --password-env) ;",
        "                              --password P marche aussi, mais P est visible des autres",
        "                              utilisateurs de la machine (ps, historique du shell)",
        "site default ID               fait de ce site le site par défaut",
        "site delete ID                supprime un site (les dictées qui y sont liées restent)",
    };
}

int SiteCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    return dispatch(*this, arguments, context,
                    {{"list", &SiteCommand::list},
                     {"add", &SiteCommand::add},
                     {"edit", &SiteCommand::edit},
                     {"default", &SiteCommand::makeDefault},
                     {"delete", &SiteCommand::remove}});
}

int SiteCommand::list(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseOptions(arguments, {"json"}, {}, context);
    if (!parsed) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    auto sites = siteRequest().selectSites();
    if (parsed->flag("json")) {
        Json all = Json::array();
        for (const auto& site : sites) {
            all.push_back(siteAsJson(site));
        }
        context.out << all.dump(2) << std::endl;
        return kSuccess;
    }
    if (sites.empty()) {
        context.out << "Aucun site." << std::endl;
        return kSuccess;
    }
    for (const auto& site : sites) {
        printSite(context.out, site);
    }
    context.out.flush();
    return kSuccess;
}

int SiteCommand::add(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseOptions(arguments, kAddFlags, kEditOptions, context);
    if (!parsed) {
        return kUsageError;
    }
    if (!parsed->option("name") || !parsed->option("type")) {
        return usageError(context, "site add demande au moins --name et --type");
    }
    SiteViewController editor;
    if (auto problem = applyOptions(*parsed, editor.siteM(), true, context); !problem.empty()) {
        return usageError(context, problem);
    }
    if (auto problem = SiteViewController::problemWith(editor.siteM()); !problem.empty()) {
        return refuseSite(context, problem);
    }
    if (!context.start()) {
        return kFailure;
    }
    if (int status = save(editor, context); status != kSuccess) {
        return status;
    }
    const SiteModel& site = editor.siteM();
    context.out << "Site ajouté : « " << site.name << " » (identifiant " << site.idSite << ")\n";
    if (parsed->flag("default")) {
        storeAsDefault(site);
        context.out << "C'est désormais le site par défaut.\n";
    }
    context.out.flush();
    return kSuccess;
}

int SiteCommand::edit(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseArguments(arguments, kEditFlags, kEditOptions, context);
    auto id = parsed ? siteIdArgument(*parsed, context) : std::nullopt;
    if (!id) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    SiteModel site = siteRequest().selectSiteWithId(*id);
    if (site.idSite == 0) {
        return unknownSite(context, *id);
    }
    SiteViewController editor(site);
    if (auto problem = applyOptions(*parsed, editor.siteM(), false, context); !problem.empty()) {
        return usageError(context, problem);
    }
    if (int status = save(editor, context); status != kSuccess) {
        return status;
    }
    site = editor.siteM();
    if (parsed->flag("default")) {
        storeAsDefault(site);
    }
    context.out << "Site modifié : « " << site.name << " » (identifiant " << site.idSite << ")" << std::endl;
    return kSuccess;
}

int SiteCommand::makeDefault(const std::vector<std::string>& arguments, CliContext& context) {
    auto id = siteIdArgument(arguments, context);
    if (!id) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    SiteModel site = siteRequest().selectSiteWithId(*id);
    if (site.idSite == 0) {
        return unknownSite(context, *id);
    }
    storeAsDefault(site);
    context.out << "Site par défaut : « " << site.name << " » (identifiant " << site.idSite << ")"
                << std::endl;
    return kSuccess;
}

int SiteCommand::remove(const std::vector<std::string>& arguments, CliContext& context) {
    auto id = siteIdArgument(arguments, context);
    if (!id) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    if (!siteRequest().deleteSiteWithId(*id)) {
        return unknownSite(context, *id);
    }
    context.out << "Site supprimé (identifiant " << *id << ")" << std::endl;
    return kSuccess;
}

} // namespace orvaneh
