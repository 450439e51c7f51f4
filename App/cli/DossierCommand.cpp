#include "App/cli/DossierCommand.h"

#include "Classes/casefile/DossierListeViewController.h"
#include "Classes/casefile/LoginViewController.h"
#include "Classes/casefile/WSFendraExpert.h"
#include "Classes/core/StringExtension.h"
#include "Classes/core/UserDefaultManager.h"
#include "Platform/json/Json.h"
#include "Platform/log/Log.h"
#include "Platform/runloop/RunLoop.h"

#include <cstdlib>
#include <ostream>

namespace orvaneh {

namespace {

constexpr const char* kPasswordVariable = "ORVANEH_PASSWORD";
// Longer than a log-in, a lost session's re-login and the replay together.
constexpr Seconds kServerWait{330};

// Runs the main loop until `done`; false when the server's answers never ended.
bool waitFor(const std::function<bool()>& done) {
    return RunLoop::current().runUntil(done, kServerWait);
}

// Says `reason` unless the screen's alert already did, and fails.
int fail(CliContext& context, const std::string& reason) {
    Log::write("Serveur de dossiers : " + reason);
    if (!context.alreadyShown(reason)) {
        context.err << "Erreur : " << reason << std::endl;
    }
    // The way out of the most common refusal of an office's own server.
    if (reason.find("certificat du serveur n'est pas reconnu") != std::string::npos) {
        context.err
            << "Si le serveur de dossiers a sa propre autorité de certification, indiquez son fichier "
               "PEM avec « orvaneh-cli settings set TrustedCertificatesFile FICHIER.pem »."
            << std::endl;
    }
    return CliCommand::kFailure;
}

// The server's databases, one a line; a few only when it offers many.
std::string databaseList(const std::vector<LoginViewController::Database>& databases) {
    constexpr std::size_t kShown = 20;
    std::string text;
    for (std::size_t index = 0; index < databases.size() && index < kShown; ++index) {
        text += "\n  " + databases[index].nom + " (" + databases[index].libelle + ")";
    }
    if (databases.size() > kShown) {
        text += "\n  … et " + std::to_string(databases.size() - kShown) + " autres";
    }
    return text;
}

} // namespace

std::vector<std::string> DossierCommand::helpLines() const {
    return {
        "dossier login --host HÔTE --user UTILISATEUR [--database BASE] [--password-stdin]",
        "              [--save-password]",
        "                              se connecte au serveur de dossiers du cabinet (HTTPS) ; BASE : nom",
        "                              ou libellé d'une des bases du serveur (obligatoire s'il en propose",
        "                              plusieurs) ; le mot de passe est lu sur l'entrée standard",
        "                              (--password-stdin), dans ORVANEH_PASSWORD ou demandé au terminal ;",
        "                              --save-password le garde pour le prochain écran de connexion",
        "dossier list [--search TEXTE] [--json]",
        "                              les dossiers récents, ou ceux dont le numéro ou la désignation",
        "                              contient TEXTE ; une dictée les reprend avec",
        "                              « dictation params ID --dossier NUMÉRO »",
    };
}

std::string DossierCommand::notLoggedInText() {
    return "aucune connexion au serveur de dossiers : connectez-vous d'abord avec « orvaneh-cli dossier "
           "login --host HÔTE --user UTILISATEUR --database BASE --password-stdin ».";
}

int DossierCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    return dispatch(*this, arguments, context,
                    {{"login", &DossierCommand::login}, {"list", &DossierCommand::list}});
}

int DossierCommand::login(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed =
        parseOptions(arguments, {"password-stdin", "save-password"}, {"host", "user", "database"}, context);
    if (!parsed) {
        return kUsageError;
    }
    const std::string host = parsed->option("host").value_or("");
    const std::string user = parsed->option("user").value_or("");
    if (StringExtension::stringWithoutSpace(host).empty()) {
        return usageError(context, "--host HÔTE est obligatoire (le serveur de dossiers, sans https://)");
    }
    if (StringExtension::stringWithoutSpace(user).empty()) {
        return usageError(context, "--user UTILISATEUR est obligatoire");
    }
    if (const auto checked = WSFendraExpert::normalizeHost(host); checked.host.empty()) {
        return usageError(context, checked.error.empty() ? "hôte invalide : " + host : checked.error);
    }
    std::optional<std::string> password;
    if (parsed->flag("password-stdin")) {
        password = readPasswordLine(context);
        if (!password || password->empty()) {
            return usageError(context, "--password-stdin n'a lu aucun mot de passe sur l'entrée standard");
        }
    } else if (const char* variable = std::getenv(kPasswordVariable);
               variable != nullptr && *variable != '\0') {
        context.err << "Mot de passe pris dans " << kPasswordVariable << "." << std::endl;
        password = std::string(variable);
    } else if (context.interactive) {
        password = readPasswordLine(context);
    }
    if (!password || password->empty()) {
        return usageError(context, "il manque le mot de passe : --password-stdin, ou la variable " +
                                       std::string(kPasswordVariable));
    }
    if (!context.start()) {
        return kFailure;
    }
    Log::registerSecret(*password);

    // The log-in screen as a person fills it: host (its database list), user, password.
    LoginViewController screen;
    // The command only logs in; `dossier list` shows the cases.
    screen.setOpensCaseList(false);
    screen.setHost(host);
    screen.setLogin(user);
    screen.setPassword(*password);
    screen.setSavePassword(parsed->flag("save-password"));

    bool listed = false;
    std::string listError;
    screen.setDatabasesCallback([&](bool ok, const std::string& error) {
        listed = true;
        listError = ok ? "" : error;
    });
    screen.hostFieldDidEndEditing();
    if (!waitFor([&] { return listed; })) {
        return fail(context, "le serveur de dossiers n'a pas donné ses bases de données à temps.");
    }
    if (!listError.empty()) {
        return fail(context, listError);
    }
    const auto& databases = screen.databases();
    if (const auto wanted = parsed->option("database")) {
        const std::string name = StringExtension::lowercased(StringExtension::stringWithoutSpace(*wanted));
        std::optional<std::size_t> found;
        for (std::size_t index = 0; index < databases.size() && !found; ++index) {
            if (StringExtension::lowercased(databases[index].nom) == name ||
                StringExtension::lowercased(databases[index].libelle) == name) {
                found = index;
            }
        }
        if (!found) {
            return fail(context, "le serveur de dossiers n'a pas de base « " + *wanted +
                                     " ». Bases proposées :" + databaseList(databases));
        }
        screen.chooseDatabase(*found);
    } else if (databases.size() > 1) {
        // The screen would take the first; a script must not land in the wrong office's cases.
        return fail(context, "le serveur de dossiers propose plusieurs bases : choisissez-en une avec "
                             "--database." +
                                 databaseList(databases));
    }

    bool ended = false;
    screen.setOutcomeCallback([&](LoginViewController::Outcome, const std::string&) { ended = true; });
    screen.validLogin();
    if (!waitFor([&] { return ended || !screen.loggingIn(); })) {
        return fail(context, "le serveur de dossiers n'a pas répondu à la connexion à temps.");
    }
    switch (screen.outcome()) {
    case LoginViewController::Outcome::LoggedIn:
        // The server let the user in with a remark (its code below 100): said as such.
        if (!screen.outcomeText().empty()) {
            context.err << "Remarque du serveur de dossiers à la connexion : " << screen.outcomeText()
                        << std::endl;
        }
        context.out << "Connecté au serveur de dossiers " << WSFendraExpert::normalizeHost(host).host
                    << ", base « "
                    << (screen.databaseLabel().empty() ? screen.databaseName() : screen.databaseLabel())
                    << " », utilisateur « " << screen.login() << " »." << std::endl;
        return kSuccess;
    case LoginViewController::Outcome::Refused:
    case LoginViewController::Outcome::Failed:
        return fail(context, screen.outcomeText().empty() ? "la connexion au serveur de dossiers a échoué."
                                                          : screen.outcomeText());
    case LoginViewController::Outcome::Pending:
        break;
    }
    // No request left the screen: it said why (no database chosen).
    return fail(context, LoginViewController::selectDatabaseMessage());
}

int DossierCommand::list(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseOptions(arguments, {"json"}, {"search"}, context);
    if (!parsed) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    if (UserDefaultManager::getIntForKey("state") != 1) {
        return fail(context, notLoggedInText());
    }
    // A search of blanks only is no search: the recent case files.
    DossierListeViewController screen(
        StringExtension::stringWithoutSpace(parsed->option("search").value_or("")));
    bool loaded = false;
    std::string error;
    screen.setLoadCallback([&](bool ok, const std::string& reason) {
        loaded = true;
        error = ok ? "" : reason;
    });
    screen.viewDidLoad();
    if (!waitFor([&] { return loaded; })) {
        return fail(context, "le serveur de dossiers n'a pas répondu à temps.");
    }
    if (!error.empty()) {
        return fail(context, error);
    }
    if (parsed->flag("json")) {
        Json cases = Json::array();
        for (const auto& dossier : screen.dossiers()) {
            cases.push_back(Json{{"id", dossier.s_Id},
                                 {"code", dossier.s_Code},
                                 {"label", dossier.s_Label},
                                 {"nature", dossier.s_Nature},
                                 {"responsable", dossier.s_Resp},
                                 {"dateCreation", dossier.s_DateCreation},
                                 {"etat", dossier.s_Etat},
                                 {"type", dossier.s_Type},
                                 {"matiere", dossier.s_Matiere}});
        }
        context.out << jsonText(cases) << std::endl;
        return kSuccess;
    }
    for (const auto& row : screen.rows()) {
        context.out << row.title << "\n";
        // The values the server left empty are left out.
        std::string details;
        for (const auto& [label, value] :
             {std::pair{&row.responsableLabel, &row.responsable}, std::pair{&row.dateLabel, &row.date},
              std::pair{&row.natureLabel, &row.nature}}) {
            if (!row.notice && !value->empty()) {
                details += (details.empty() ? "    " : " · ") + *label + " : " + *value;
            }
        }
        if (!details.empty()) {
            context.out << details << "\n";
        }
    }
    context.out.flush();
    return kSuccess;
}

} // namespace orvaneh
