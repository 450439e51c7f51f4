#include "App/cli/SiteCommand.h"

#include "App/cli/CliArguments.h"
#include "App/cli/DictationFormat.h"
#include "Classes/core/FtpsMode.h"
#include "Classes/core/SiteType.h"
#include "Classes/core/siteRequest.h"
#include "Gestion Site/SiteListViewController.h"
#include "Gestion Site/SiteViewController.h"
#include "Platform/json/Json.h"
#include "Platform/ui/UserInterface.h"

#include <cstdlib>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>

namespace orvaneh {

namespace {

constexpr const char* kMaskedPassword = "****";

const std::set<std::string> kAddFlags{"email", "default", "password-stdin"};
const std::set<std::string> kEditFlags{"email", "no-email", "default", "password-stdin", "password-env"};
constexpr const char* kPasswordVariable = "ORVANEH_PASSWORD";
const std::set<std::string> kEditOptions{"name", "type", "address", "login", "password", "ftps"};

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
                {"emailPropose", site.emailPropose},
                {"ftps", FtpsMode::name(site.ftps)}};
}

void printSite(std::ostream& out, const SiteModel& site) {
    out << (site.selected ? "* " : "  ") << site.idSite << "  « " << DictationFormat::oneLine(site.name)
        << " »  type " << site.typeSite << " (" << SiteType::label(site.typeSite)
        << ")  adresse : " << site.addressForDisplay() << "  login : " << site.login
        << "  mot de passe : " << kMaskedPassword << "  e-mail : " << (site.emailPropose ? "oui" : "non");
    if (SiteType::isFtpSite(site.typeSite)) {
        out << "  FTPS : " << FtpsMode::label(site.ftps);
    }
    out << "\n";
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
        auto line = CliCommand::readPasswordLine(context);
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

// The type a --type option asks for, checked before anything else reads it.
std::optional<std::int32_t> requestedType(const CliArguments& parsed, std::string& problem) {
    auto type = parsed.option("type");
    if (!type) {
        return std::nullopt;
    }
    auto number = parseInteger(*type);
    if (!number) {
        problem = "le type doit être un nombre de 1 à 8 : " + *type;
    }
    return number;
}

// The types the editor's selector makes (1, 2, 7, 6, and 4 with the e-mail switch): the segment
// showing each, or -1 for the others, which the editor keeps as they are.
int selectorSegment(std::int32_t type) {
    const int segment = SiteType::segmentForType(type);
    const bool switchOn = type == SiteType::MailProposed;
    return segment >= 0 && SiteType::typeForSegment(segment, switchOn) == std::optional<std::int32_t>(type)
               ? segment
               : -1;
}

// The editor on `stored` (an empty record for a new site), driven as a person would: the type
// on the selector and the switch, then the fields, those not named keeping their value. Nothing
// and a usage error text in `problem` when the options cannot be applied.
std::unique_ptr<SiteViewController> editorFor(const SiteModel& stored, const CliArguments& parsed,
                                              bool adding, CliContext& context, std::string& problem) {
    const auto type = requestedType(parsed, problem);
    if (!problem.empty()) {
        return nullptr;
    }
    if (parsed.flag("email") && parsed.flag("no-email")) {
        problem = "--email et --no-email s'excluent";
        return nullptr;
    }
    std::optional<bool> email;
    if (parsed.flag("email") || parsed.flag("no-email")) {
        email = parsed.flag("email");
    }
    if (type == SiteType::MailProposed && email == false) {
        problem = "--type 4 (envoi par e-mail) et --no-email s'excluent";
        return nullptr;
    }
    std::optional<FtpSecurity> ftps;
    if (auto word = parsed.option("ftps")) {
        ftps = FtpsMode::fromName(*word);
        if (!ftps) {
            problem = "--ftps vaut off, offered ou required, pas « " + *word + " »";
            return nullptr;
        }
    }
    SiteModel site = stored;
    std::string password = site.mdp;
    if (auto given = passwordGiven(parsed, context, adding, problem)) {
        password = *given;
    } else if (!problem.empty()) {
        return nullptr;
    }

    std::unique_ptr<SiteViewController> editor;
    const int segment = selectorSegment(type.value_or(site.typeSite));
    if (segment < 0) {
        // A type the selector does not make: the editor keeps it, switch included.
        site.typeSite = type.value_or(site.typeSite);
        if (email) {
            site.emailPropose = *email;
        }
        editor = std::make_unique<SiteViewController>(site);
    } else {
        editor = adding ? std::make_unique<SiteViewController>() : std::make_unique<SiteViewController>(site);
        if (type) {
            editor->changeSgmValue(segment);
            editor->setEmailSwitchOn(*type == SiteType::MailProposed);
        }
        if (email) {
            if (editor->emailSwitchEnabled()) {
                editor->setEmailSwitchOn(*email);
            } else if (*email != editor->emailSwitchOn()) {
                problem = "l'envoi par e-mail ne se propose qu'aux sites de service web (types 2, 4 et 7)";
                return nullptr;
            }
        }
    }
    if (ftps) {
        if (!editor->ftpsOffered()) {
            problem = "--ftps ne concerne que les sites FTP (types 1 et 3)";
            return nullptr;
        }
        editor->setFtps(*ftps);
    }
    editor->setName(parsed.option("name").value_or(site.name));
    editor->setAddress(parsed.option("address").value_or(site.address));
    editor->setLogin(parsed.option("login").value_or(site.login));
    editor->setPassword(password);
    return editor;
}

int refuseSite(CliContext& context, const std::string& problem) {
    context.err << "Erreur : " << problem << "\n"
                << "Rien n'a été enregistré ; « orvaneh-cli site --help » donne les options." << std::endl;
    return CliCommand::kUsageError;
}

// Saves through the site editor, which refuses a site its transport could not use. A site
// left on plain FTP is saved with the editor's warning.
int save(SiteViewController& editor, CliContext& context) {
    if (auto problem = editor.pendingProblem(); !problem.empty()) {
        return refuseSite(context, problem);
    }
    if (editor.addOrModifySite()) {
        if (auto warning = editor.ftpsWarning(); !warning.empty()) {
            context.err << "Attention : " << warning << " (--ftps offered ou required pour chiffrer)"
                        << std::endl;
        }
        return CliCommand::kSuccess;
    }
    if (!context.alreadyShown(editor.message())) {
        context.err << "Erreur : " << editor.message() << std::endl;
    }
    return CliCommand::kFailure;
}

int unknownSite(CliContext& context, std::int32_t id) {
    context.err << "Erreur : aucun site avec l'identifiant " << id << std::endl;
    return CliCommand::kFailure;
}

// The row of the site `id` in the list, -1 when it is not there.
int rowOf(const SiteListViewController& list, std::int32_t id) {
    const auto& sites = list.listOfSite();
    for (std::size_t row = 0; row < sites.size(); ++row) {
        if (sites[row].idSite == id) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

// The site becomes the default one as if its row were touched on the list. Touching the
// default row would only clear its mark in memory: it already is the default, nothing to do.
void makeDefaultOnList(std::int32_t id) {
    SiteListViewController list;
    const int row = rowOf(list, id);
    if (row >= 0 && list.selectedSite() != row) {
        list.selectDefaultSite(row);
    }
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
        "site add --name N --type T [--address A] [--login L] [--password-stdin] [--email]",
        "         [--ftps off|offered|required] [--default]",
        "                              ajoute un site (type 1 à 8 : 1 FTP, 2 et 7 service web, 3 et 4 sans",
        "                              envoi, 6 service de transcription) ; les types 1, 2, 4, 6 et 7",
        "                              exigent --address, --login et un mot de passe ;",
        "                              --email sur un service web (2 ou 7) en fait un site de type 4 ;",
        "                              le premier site devient le site par défaut ;",
        "                              --ftps (sites FTP) : off, FTP en clair (par défaut, le mot de passe",
        "                              et les dictées circulent en clair) ; offered, chiffré (TLS) si le",
        "                              serveur le propose ; required, chiffré ou rien n'est envoyé",
        "site edit ID [--name N] [--type T] [--address A] [--login L] [--password-stdin|--password-env]",
        "             [--email|--no-email] [--ftps off|offered|required] [--default]",
        "                              modifie les champs donnés d'un site, garde les autres",
        "                              mot de passe : --password-stdin (une ligne lue sur l'entrée",
        "                              standard, sans écho sur un terminal) ou la variable ORVANEH_PASSWORD",
        "                              (lue par add ; par edit seulement avec --password-env) ;",
        "                              --password P marche aussi, mais P est visible des autres",
        "                              utilisateurs de la machine (ps, historique du shell)",
        "site default ID               fait de ce site le site par défaut",
        "site delete ID [--yes]        supprime un site après confirmation (--yes, ou la question posée",
        "                              sur le terminal) ; les dictées qui y sont liées restent",
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
        context.out << jsonText(all) << std::endl;
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
    std::string problem;
    auto editor = editorFor(SiteModel{}, *parsed, true, context, problem);
    if (!editor) {
        return usageError(context, problem);
    }
    // Refused before the profile is made: a wrong site leaves nothing behind.
    if (auto refused = editor->pendingProblem(); !refused.empty()) {
        return refuseSite(context, refused);
    }
    if (!context.start()) {
        return kFailure;
    }
    if (int status = save(*editor, context); status != kSuccess) {
        return status;
    }
    const SiteModel& site = editor->siteM();
    context.out << "Site ajouté : « " << site.name << " » (identifiant " << site.idSite << ")\n";
    if (parsed->flag("default")) {
        makeDefaultOnList(site.idSite);
    }
    if (site.selected || parsed->flag("default")) {
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
    const SiteModel stored = siteRequest().selectSiteWithId(*id);
    if (stored.idSite == 0) {
        return unknownSite(context, *id);
    }
    std::string problem;
    auto editor = editorFor(stored, *parsed, false, context, problem);
    if (!editor) {
        return usageError(context, problem);
    }
    if (int status = save(*editor, context); status != kSuccess) {
        return status;
    }
    const SiteModel& site = editor->siteM();
    if (parsed->flag("default")) {
        makeDefaultOnList(site.idSite);
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
    const SiteModel site = siteRequest().selectSiteWithId(*id);
    if (site.idSite == 0) {
        return unknownSite(context, *id);
    }
    makeDefaultOnList(site.idSite);
    context.out << "Site par défaut : « " << site.name << " » (identifiant " << site.idSite << ")"
                << std::endl;
    return kSuccess;
}

int SiteCommand::remove(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseArguments(arguments, {"yes"}, {}, context);
    auto id = parsed ? siteIdArgument(*parsed, context) : std::nullopt;
    if (!id) {
        return kUsageError;
    }
    // The list asks before deleting: a script answers with --yes, a person on the terminal.
    if (!parsed->flag("yes") && !context.interactive) {
        return usageError(context, "la suppression demande une confirmation et il n'y a pas de terminal pour "
                                   "la poser : ajoutez --yes pour confirmer");
    }
    if (!context.start()) {
        return kFailure;
    }
    SiteListViewController list;
    const int row = rowOf(list, *id);
    if (row < 0) {
        return unknownSite(context, *id);
    }
    const bool wasDefault = list.selectedSite() == row;
    if (parsed->flag("yes")) {
        UserInterface::shared().queueAnswer(0);
    }
    std::optional<bool> deleted;
    list.deleteSite(row, [&deleted](bool result) { deleted = result; });
    // The console answers at once; a question left unanswered deletes nothing.
    if (deleted != true) {
        context.err << "Le site n'a pas été supprimé." << std::endl;
        return kFailure;
    }
    context.out << "Site supprimé (identifiant " << *id << ")" << std::endl;
    if (wasDefault && !list.listOfSite().empty()) {
        context.err << "Attention : il ne reste aucun site par défaut ; choisissez-en un avec « orvaneh-cli "
                       "site default ID » (« orvaneh-cli site list » donne les identifiants)."
                    << std::endl;
    }
    return kSuccess;
}

} // namespace orvaneh
