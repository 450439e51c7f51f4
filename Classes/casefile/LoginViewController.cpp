#include "Classes/casefile/LoginViewController.h"

#include "Classes/casefile/CaseFileAnswers.h"
#include "Classes/casefile/WSFendraExpert.h"
#include "Classes/core/StoredPasswords.h"
#include "Classes/core/Tools.h"
#include "Classes/core/UserDefaultManager.h"
#include "Platform/crypto/Digest.h"
#include "Platform/files/AtomicFile.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/ui/UserInterface.h"

#include <sys/utsname.h>

namespace orvaneh {

namespace {

std::string stringPreference(const char* key) {
    return UserDefaultManager::getStringForKey(key).value_or("");
}

std::filesystem::path logInBodyFile() {
    return std::filesystem::path(Tools::documentsDirectory()) / WSFendraExpert::kLogInBodyFile;
}

constexpr auto kOwnerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;

std::string passwordLabel(const std::string& host, const std::string& login) {
    return "Orvaneh : mot de passe de « " + login + " » sur le serveur de dossiers " + host;
}

} // namespace

LoginViewController::LoginViewController(std::string searchText,
                                         DossierListeViewController::Delegate delegate)
    : searchText_(std::move(searchText)) {
    login_ = stringPreference("login");
    password_ = stringPreference("mdp");
    host_ = stringPreference("host");
    databaseName_ = stringPreference("BddSqlName");
    databaseLabel_ = databaseName_;
    savePassword_ = UserDefaultManager::getIntForKey("configSaved") == 1;
    if (!savePassword_) {
        password_.clear();
    } else if (password_.empty() && StoredPasswords::profileUsesKeyring()) {
        // Out of reach, it is typed again.
        const auto found = StoredPasswords::read(WSFendraExpert::passwordItem(host_, login_));
        if (found.status == SecretStore::Status::Found) {
            password_ = found.secret;
        }
    }
    caseList_ = std::make_shared<DossierListeViewController>(searchText_);
    caseList_->setDelegateLD(std::move(delegate));
}

LoginViewController::~LoginViewController() {
    if (waiting_) {
        UserInterface::shared().closeWait();
    }
}

std::string LoginViewController::title() const {
    return localized("LOGIN_VIEW_TITLE", "Connexion");
}
std::string LoginViewController::cancelButtonTitle() {
    return localized("LOGIN_VIEW_CANCEL", "Annuler");
}
std::string LoginViewController::submitButtonTitle() {
    return localized("LOGIN_VIEW_SUBMIT", "Valider");
}
std::string LoginViewController::selectDatabaseMessage() {
    return localized("kMssSelectBDD", "Veuillez sélectionner une base de données !");
}

void LoginViewController::setLogin(std::string text) {
    login_ = std::move(text);
    changed();
}

void LoginViewController::setPassword(std::string text) {
    password_ = std::move(text);
    changed();
}

void LoginViewController::setHost(std::string text) {
    const auto check = WSFendraExpert::normalizeHost(text);
    host_ = check.error.empty() ? check.host : std::move(text);
    changed();
}

void LoginViewController::setSavePassword(bool on) {
    savePassword_ = on;
    changed();
}

bool LoginViewController::databasesPending() const {
    return pending_ == Pending::Databases;
}
bool LoginViewController::loggingIn() const {
    return pending_ == Pending::LogIn;
}

void LoginViewController::databaseFieldTapped() {
    if (databases_.empty()) {
        listeDb(true);
    }
}

void LoginViewController::listeDb(bool withPicker) {
    if (host_.empty() || pending_ != Pending::None) {
        return;
    }
    databaseLabel_.clear();
    databaseName_.clear();
    databases_.clear();
    const auto host = WSFendraExpert::normalizeHost(host_);
    if (host.host.empty()) {
        UserInterface::shared().showAlert("", host.error);
        endDatabases(false, host.error);
        return;
    }
    pickerWanted_ = withPicker;
    pending_ = Pending::Databases;
    client_ = std::make_unique<WSFendraExpert>(static_cast<WSFendraExpertDelegate*>(this));
    waiting_ = true;
    UserInterface::shared().showWait(false);
    changed();
    client_->httpRequestAsync(WSFendraExpert::databasesUrl(host.host));
}

void LoginViewController::takeDatabases(const std::string& bytes) {
    auto databases = CaseFileAnswers::databases(bytes);
    if (!databases || databases->empty()) {
        const std::string reason =
            databases ? "Le serveur de dossiers ne propose aucune base de données."
                      : "La liste des bases de données du serveur de dossiers est illisible.";
        UserInterface::shared().showAlert("", reason);
        endDatabases(false, reason);
        return;
    }
    databases_ = std::move(*databases);
    if (pickerWanted_) {
        presentPicker();
    } else {
        chooseDatabase(0);
    }
    endDatabases(true, {});
}

void LoginViewController::presentPicker() {
    std::vector<UserInterface::Choice> choices;
    for (const auto& database : databases_) {
        choices.push_back({database.libelle.empty() ? database.nom : database.libelle});
    }
    choices.push_back({cancelButtonTitle(), UserInterface::Choice::Style::Cancel});
    std::weak_ptr<char> alive = alive_;
    UserInterface::shared().presentChoices(localized("LOGIN_VIEW_DATABASE", "Base de données"), "", choices,
                                           0, [this, alive](int index) {
                                               // "Valider" on a row takes it; "Annuler" leaves the field
                                               // empty.
                                               if (alive.lock() && index >= 0) {
                                                   chooseDatabase(static_cast<std::size_t>(index));
                                               }
                                           });
}

bool LoginViewController::chooseDatabase(std::size_t index) {
    if (index >= databases_.size()) {
        return false;
    }
    databaseName_ = databases_[index].nom;
    databaseLabel_ = databases_[index].libelle.empty() ? databases_[index].nom : databases_[index].libelle;
    changed();
    return true;
}

void LoginViewController::setDatabaseName(std::string name) {
    databaseName_ = std::move(name);
    databaseLabel_ = databaseName_;
    for (const auto& database : databases_) {
        if (database.nom == databaseName_ && !database.libelle.empty()) {
            databaseLabel_ = database.libelle;
        }
    }
    changed();
}

void LoginViewController::endDatabases(bool ok, const std::string& error) {
    pending_ = Pending::None;
    if (waiting_) {
        waiting_ = false;
        UserInterface::shared().closeWait();
    }
    changed();
    if (databasesCallback_) {
        databasesCallback_(ok, error);
    }
}

std::string LoginViewController::clientId() {
    std::string identifier = stringPreference(kInstallationIdKey);
    if (identifier.empty()) {
        identifier = Tools::generateUUID();
        UserDefaultManager::setObject(identifier, kInstallationIdKey);
    }
    return Digest::toHex(Digest::md5(identifier));
}

std::string LoginViewController::versionOS() {
    utsname names{};
    return uname(&names) == 0 ? std::string(names.release) : std::string();
}

std::string LoginViewController::logInBody() const {
    Json body = {{"userlogin", login_},
                 {"userpwd", password_},
                 {"database", databaseName_},
                 {"clientId", clientId()},
                 {"clientVersion", kClientVersion},
                 {"type", kClientType},
                 {"versionOS", versionOS()}};
    return body.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void LoginViewController::validLogin() {
    if (pending_ == Pending::LogIn) {
        return;
    }
    bool posted = false;
    std::string problem;
    if (databaseName_.empty()) {
        problem = selectDatabaseMessage();
        UserInterface::shared().showAlert("", problem);
    } else if (!host_.empty()) {
        const auto host = WSFendraExpert::normalizeHost(host_);
        if (host.host.empty()) {
            problem = host.error;
            UserInterface::shared().showAlert("", problem);
        } else {
            if (client_) {
                client_->cancel();
                pending_ = Pending::None;
            }
            postedBody_ = logInBody();
            pending_ = Pending::LogIn;
            outcome_ = Outcome::Pending;
            outcomeText_.clear();
            client_ = std::make_unique<WSFendraExpert>(static_cast<WSFendraExpertDelegate*>(this));
            waiting_ = true;
            UserInterface::shared().showWait(false);
            posted = true;
        }
    } else {
        problem = "Saisissez le nom du serveur de dossiers.";
        UserInterface::shared().showAlert("", problem);
    }
    savePreferences();
    changed();
    if (posted) {
        client_->postRequestAsync(WSFendraExpert::logInUrl(WSFendraExpert::normalizeHost(host_).host),
                                  postedBody_);
    } else {
        endLogIn(Outcome::Failed, problem);
    }
}

void LoginViewController::savePreferences() const {
    if (savePassword_) {
        UserDefaultManager::setObject(login_, "login");
        // With a keyring, the password goes there once the server has accepted it.
        UserDefaultManager::setObject(StoredPasswords::keyringWanted() ? std::string() : password_, "mdp");
        UserDefaultManager::setObject(host_, "host");
        UserDefaultManager::setObject(databaseName_, "BddSqlName");
        UserDefaultManager::setInt(1, "configSaved");
    } else {
        UserDefaultManager::setObject("", "mdp");
        UserDefaultManager::setObject("", "BddSqlName");
        UserDefaultManager::setInt(0, "configSaved");
    }
}

bool LoginViewController::placePassword() {
    const std::string host = stringPreference("host");
    const std::string login = stringPreference("login");
    const std::string item = WSFendraExpert::passwordItem(host, login);
    const auto file = logInBodyFile();
    const std::string body = AtomicFile::read(file).value_or("");
    const std::string inFile = WSFendraExpert::logInBodyMember(body, "userpwd").value_or("");
    const std::string inPreferences = stringPreference("mdp");
    if ((!inFile.empty() || !inPreferences.empty()) && StoredPasswords::keyringWanted()) {
        // The last good log-in's password is the one to keep. A saved one that differs from it
        // (typed for a log-in that failed) stays in the preferences, as it was.
        std::string password = inFile;
        if (password.empty()) {
            const auto kept = StoredPasswords::read(item);
            if (kept.status != SecretStore::Status::Absent && kept.secret != inPreferences) {
                return true;
            }
            password = inPreferences;
        }
        if (StoredPasswords::keep(item, passwordLabel(host, login), password)) {
            std::string error;
            if (inFile == password &&
                !AtomicFile::write(file, WSFendraExpert::logInBodyWithPassword(body, ""), kOwnerOnly,
                                   &error)) {
                Log::write("Dossiers : " + error);
            }
            if (inPreferences == password) {
                UserDefaultManager::setObject("", "mdp");
            }
            Log::write("Trousseau du bureau : le mot de passe du serveur de dossiers y est passé.");
        }
        return true;
    }
    if (!StoredPasswords::profileUsesKeyring()) {
        return false;
    }
    if (!StoredPasswords::keyringRefused()) {
        return true;
    }
    const auto found = StoredPasswords::read(item);
    if (found.status != SecretStore::Status::Found) {
        return found.status == SecretStore::Status::Unavailable;
    }
    // Back where it was kept before the keyring, then out of it.
    bool back = true;
    if (!body.empty() && WSFendraExpert::logInBodyMember(body, "userpwd") == std::optional<std::string>("")) {
        std::string error;
        back = AtomicFile::write(file, WSFendraExpert::logInBodyWithPassword(body, found.secret), kOwnerOnly,
                                 &error);
    }
    if (back && UserDefaultManager::getIntForKey("configSaved") == 1 && inPreferences.empty()) {
        back = UserDefaultManager::setObject(found.secret, "mdp");
    }
    return !back || !StoredPasswords::forget(item);
}

void LoginViewController::takeLogInAnswer(const std::string& bytes) {
    const auto answer = CaseFileAnswers::logIn(bytes);
    if (!answer) {
        const std::string reason = "La réponse de connexion du serveur de dossiers est illisible.";
        UserInterface::shared().showAlert("", reason);
        endLogIn(Outcome::Failed, reason);
        return;
    }
    const double code = answer->code;
    const std::string& description = answer->description;
    if (code >= 100) {
        const std::string text =
            description.empty() ? "Connexion refusée par le serveur de dossiers." : description;
        UserInterface::shared().showAlert("", text);
        endLogIn(Outcome::Refused, text);
        return;
    }
    if (code != 0 && !description.empty()) {
        UserInterface::shared().showAlert("", description);
    }
    const std::string& version = answer->versionWS;
    UserDefaultManager::setObject(version.empty() ? "-1" : version, "version");
    // The password of the previous log-in, kept in the keyring for its re-login, is no one's now.
    const std::string item = WSFendraExpert::passwordItem(host_, login_);
    const std::string previous =
        WSFendraExpert::passwordItem(stringPreference("host"), stringPreference("login"));
    const bool inKeyring = StoredPasswords::keyringWanted() &&
                           StoredPasswords::keep(item, passwordLabel(host_, login_), password_);
    UserDefaultManager::setObject(login_, "login");
    // Unless the user asked to keep it, the password is not stored (the re-login has its own file).
    UserDefaultManager::setObject(savePassword_ && !inKeyring ? password_ : std::string(), "mdp");
    UserDefaultManager::setObject(host_, "host");
    UserDefaultManager::setObject(answer->intervenantId, "idUser");
    UserDefaultManager::setInt(1, "state");
    // Kept for the silent re-login when the server drops the session; it holds the password,
    // unless the keyring does.
    std::string error;
    if (!AtomicFile::write(logInBodyFile(),
                           inKeyring ? WSFendraExpert::logInBodyWithPassword(postedBody_, "") : postedBody_,
                           kOwnerOnly, &error)) {
        Log::write("Dossiers : la connexion n'a pas pu être gardée pour plus tard : " + error);
    }
    if (StoredPasswords::profileUsesKeyring()) {
        if (previous != item) {
            StoredPasswords::forget(previous);
        }
        if (!inKeyring) {
            StoredPasswords::forget(item); // the file's copy is the one now
        }
    }
    postedBody_.clear();
    std::weak_ptr<char> alive = alive_;
    endLogIn(Outcome::LoggedIn, code != 0 ? description : std::string());
    if (alive.lock() && opensCaseList_) {
        showCaseList();
    }
}

void LoginViewController::showCaseList() {
    std::weak_ptr<char> alive = alive_;
    caseList_->setSearchText(searchText_);
    caseList_->setLoginParent([this, alive] {
        if (alive.lock()) {
            cancel();
        }
    });
    caseListShown_ = true;
    changed();
    caseList_->viewDidLoad();
}

void LoginViewController::endLogIn(Outcome outcome, const std::string& text) {
    pending_ = Pending::None;
    postedBody_.clear();
    if (waiting_) {
        waiting_ = false;
        UserInterface::shared().closeWait();
    }
    outcome_ = outcome;
    outcomeText_ = text;
    changed();
    if (outcomeCallback_) {
        outcomeCallback_(outcome, text);
    }
}

void LoginViewController::getDataRequest(const std::string& bytes) {
    if (pending_ == Pending::Databases) {
        takeDatabases(bytes);
    } else if (pending_ == Pending::LogIn) {
        takeLogInAnswer(bytes);
    }
}

void LoginViewController::erreurRequest(const std::string& text) {
    if (pending_ == Pending::Databases) {
        endDatabases(false, text);
    } else if (pending_ == Pending::LogIn) {
        endLogIn(Outcome::Failed, text);
    }
}

void LoginViewController::progressBar(double fraction) {
    progress_ = fraction;
    changed();
}

} // namespace orvaneh
