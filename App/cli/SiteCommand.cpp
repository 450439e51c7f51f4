#include "App/cli/SiteCommand.h"

#include "App/cli/CliArguments.h"
#include "Classes/core/siteRequest.h"
#include "Platform/json/Json.h"

#include <charconv>
#include <optional>
#include <ostream>

namespace orvaneh {

namespace {

constexpr const char* kMaskedPassword = "****";

const std::set<std::string> kEditFlags{"email", "no-email", "default"};
const std::set<std::string> kEditOptions{"name", "type", "address", "login", "password"};

std::optional<std::int32_t> parseInteger(const std::string& text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    auto [last, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || last != end) {
        return std::nullopt;
    }
    return value;
}

std::string typeLabel(std::int32_t type) {
    switch (type) {
    case 1:
        return "FTP";
    case 2:
    case 7:
        return "service web";
    case 3:
    case 4:
        return "sans envoi";
    case 6:
        return "service de transcription";
    default:
        return "autre";
    }
}

Json siteAsJson(const SiteModel& site) {
    return Json{{"idSite", site.idSite},     {"name", site.name},
                {"address", site.address},   {"login", site.login},
                {"mdp", kMaskedPassword},    {"typeSite", site.typeSite},
                {"selected", site.selected}, {"emailPropose", site.emailPropose}};
}

void printSite(std::ostream& out, const SiteModel& site) {
    out << (site.selected ? "* " : "  ") << site.idSite << "  « " << site.name << " »  type " << site.typeSite
        << " (" << typeLabel(site.typeSite) << ")  adresse : " << site.address << "  login : " << site.login
        << "  mot de passe : " << kMaskedPassword << "  e-mail : " << (site.emailPropose ? "oui" : "non")
        << "\n";
}

// Applies the options given; the fields not named keep their value. Usage error text, or "".
std::string applyOptions(const CliArguments& parsed, SiteModel& site) {
    if (auto type = parsed.option("type")) {
        auto number = parseInteger(*type);
        if (!number || *number < 1 || *number > 8) {
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
    if (auto value = parsed.option("password")) {
        site.mdp = *value;
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
        "site add --name N --type T [--address A] [--login L] [--password P] [--email] [--default]",
        "                              ajoute un site (type 1 à 8 : 1 FTP, 2 et 7 service web, ...)",
        "site edit ID [--name N] [--type T] [--address A] [--login L] [--password P]",
        "             [--email|--no-email] [--default]",
        "                              modifie les champs donnés d'un site, garde les autres",
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
    auto parsed = parseOptions(arguments, {"email", "default"}, kEditOptions, context);
    if (!parsed) {
        return kUsageError;
    }
    if (!parsed->option("name") || !parsed->option("type")) {
        return usageError(context, "site add demande au moins --name et --type");
    }
    SiteModel site;
    if (auto problem = applyOptions(*parsed, site); !problem.empty()) {
        return usageError(context, problem);
    }
    site.idSite = siteRequest().addSite(site);
    if (site.idSite == 0) {
        context.err << "Erreur : le site n'a pas pu être enregistré" << std::endl;
        return kFailure;
    }
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
    SiteModel site = siteRequest().selectSiteWithId(*id);
    if (site.idSite == 0) {
        return unknownSite(context, *id);
    }
    if (auto problem = applyOptions(*parsed, site); !problem.empty()) {
        return usageError(context, problem);
    }
    if (parsed->flag("default")) {
        storeAsDefault(site);
    } else {
        siteRequest().updateSite(site);
    }
    context.out << "Site modifié : « " << site.name << " » (identifiant " << site.idSite << ")" << std::endl;
    return kSuccess;
}

int SiteCommand::makeDefault(const std::vector<std::string>& arguments, CliContext& context) {
    auto id = siteIdArgument(arguments, context);
    if (!id) {
        return kUsageError;
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
    if (!siteRequest().deleteSiteWithId(*id)) {
        return unknownSite(context, *id);
    }
    context.out << "Site supprimé (identifiant " << *id << ")" << std::endl;
    return kSuccess;
}

} // namespace orvaneh
