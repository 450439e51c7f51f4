#pragma once

#include "Classes/casefile/CaseFileAnswers.h"
#include "Classes/casefile/DossierListeViewController.h"
#include "Classes/casefile/WSFendraExpertDelegate.h"
#include "Classes/screens/SuperController.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

class WSFendraExpert;

// The log-in screen of the practice-management server: host, database, user and password, the
// save-password option. A good log-in stores the session's details and shows the case list
// inside this screen; the case chosen there goes to the delegate given at opening.
// Main run loop only.
class LoginViewController : public SuperController, private WSFendraExpertDelegate {
public:
    using Database = CaseFileAnswers::Database;
    enum class Outcome { Pending, LoggedIn, Refused, Failed };
    // Told once per log-in attempt: the outcome and its French text (the server's description
    // when refused, the reason when failed, the server's remark when logged in with one).
    using OutcomeCallback = std::function<void(Outcome outcome, const std::string& text)>;
    // Told once per database-list request: no error text on success.
    using DatabasesCallback = std::function<void(bool ok, const std::string& error)>;

    static constexpr const char* kClientVersion = "2";
    static constexpr const char* kClientType = "Vextil-Fendra";
    // The installation's identifier, made once, from which "clientId" is derived.
    static constexpr const char* kInstallationIdKey = "InstallationIdentifier";

    // Loads the saved values and makes the case list shown after a log-in.
    explicit LoginViewController(std::string searchText = {},
                                 DossierListeViewController::Delegate delegate = {});
    ~LoginViewController() override;

    std::string screenName() const override { return "LoginViewController"; }
    std::string title() const override;
    static std::string cancelButtonTitle();
    static std::string submitButtonTitle();
    static std::string selectDatabaseMessage();

    void setOutcomeCallback(OutcomeCallback callback) { outcomeCallback_ = std::move(callback); }
    void setDatabasesCallback(DatabasesCallback callback) { databasesCallback_ = std::move(callback); }
    // Whether a good log-in goes on to the case list (on by default; a log-in alone, as the
    // command line makes it, asks the server for nothing more).
    void setOpensCaseList(bool opens) { opensCaseList_ = opens; }

    const std::string& login() const { return login_; }
    const std::string& password() const { return password_; }
    const std::string& host() const { return host_; }
    const std::string& databaseLabel() const { return databaseLabel_; }
    const std::string& databaseName() const { return databaseName_; }
    bool savePassword() const { return savePassword_; }
    void setLogin(std::string text);
    void setPassword(std::string text);
    // The host as typed; "https://host/" is taken as "host".
    void setHost(std::string text);
    void setSavePassword(bool on);

    // Leaving the host field: the list, first database chosen. Return in it: the picker.
    void hostFieldDidEndEditing() { listeDb(false); }
    void hostFieldReturn() { listeDb(true); }
    // The database field: the picker when no list is loaded yet, nothing otherwise.
    void databaseFieldTapped();
    // Asks the server for its databases (unless no host or a request is pending); the first is
    // chosen, or the user picks one ("Annuler" / "Valider").
    void listeDb(bool withPicker);
    const std::vector<Database>& databases() const { return databases_; }
    bool databasesPending() const;
    // Chooses a database of the loaded list.
    bool chooseDatabase(std::size_t index);
    // Chooses by SQL name, label unknown (a name typed by the user of the command line).
    void setDatabaseName(std::string name);

    // The validate button: posts the log-in and saves the preferences.
    void validLogin();
    bool loggingIn() const;
    Outcome outcome() const { return outcome_; }
    const std::string& outcomeText() const { return outcomeText_; }

    // The case list made at opening; shown inside this screen once logged in.
    const std::shared_ptr<DossierListeViewController>& caseList() const { return caseList_; }
    bool caseListShown() const { return caseListShown_; }

    // At start-up: the saved password and the re-login's (the preference "mdp", the file
    // "JSON.txt") go to the keyring when one is wanted; when the preference refuses it, the
    // keyring's comes back to them. True while the keyring keeps the case-file password.
    static bool placePassword();

    // The log-in body (the JSON object of the seven keys).
    std::string logInBody() const;
    // Lower-case hexadecimal MD5 of this installation's identifier (made once and kept).
    static std::string clientId();
    static std::string versionOS();

    bool waiting() const { return waiting_; }
    double progress() const { return progress_; }

private:
    enum class Pending { None, Databases, LogIn };
    std::string searchText_;
    std::string login_;
    std::string password_;
    std::string host_;
    std::string databaseLabel_;
    std::string databaseName_;
    bool savePassword_ = false;
    std::vector<Database> databases_;
    bool pickerWanted_ = false;
    Pending pending_ = Pending::None;
    std::unique_ptr<WSFendraExpert> client_;
    std::shared_ptr<DossierListeViewController> caseList_;
    bool caseListShown_ = false;
    bool opensCaseList_ = true;
    Outcome outcome_ = Outcome::Pending;
    std::string outcomeText_;
    OutcomeCallback outcomeCallback_;
    DatabasesCallback databasesCallback_;
    // The body of the log-in in flight, kept for the session's recovery once it succeeds.
    std::string postedBody_;
    bool waiting_ = false;
    double progress_ = 0;
    std::shared_ptr<char> alive_ = std::make_shared<char>();

    void savePreferences() const;
    void presentPicker();
    void endDatabases(bool ok, const std::string& error);
    void takeDatabases(const std::string& bytes);
    void takeLogInAnswer(const std::string& bytes);
    void endLogIn(Outcome outcome, const std::string& text);
    void showCaseList();
    void getDataRequest(const std::string& bytes) override;
    void erreurRequest(const std::string& text) override;
    void progressBar(double fraction) override;
};

} // namespace orvaneh
