// The log-in screen and the case list against the simulator: the database list with and
// without the picker, good and refused log-ins and what they store, the lists and searches,
// and the chosen case reaching the dictation's fields.
#include "Classes/audio/OptionBarreDictationViewController.h"
#include "Classes/casefile/DossierListeViewController.h"
#include "Classes/casefile/LoginViewController.h"
#include "Classes/workflow/ParamWorkflowDictee.h"
#include "Platform/files/AtomicFile.h"
#include "Platform/profile/Profile.h"
#include "casefile/CaseFileSession.h"
#include "support/TestDatabase.h"

#include <filesystem>
#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using Outcome = LoginViewController::Outcome;

class CaseFileScreensTest : public ::testing::Test {
protected:
    test::TestProfile profile;

    void TearDown() override { RunLoop::main().runPending(); }
    std::string preference(const char* key) {
        return profile.preferences().stringForKey(key).value_or("<absent>");
    }
    static std::filesystem::perms mode(const std::filesystem::path& file) {
        return std::filesystem::status(file).permissions() & std::filesystem::perms::all;
    }
    static constexpr auto kOwnerOnly =
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
};

// Leaving the host field chooses the first database; Return in it offers them all.
TEST_F(CaseFileScreensTest, DatabaseListChosenAutomaticallyOrPicked) {
    {
        test::CaseFileServer server({"--databases", "1"});
        LoginViewController screen;
        screen.setHost("https://" + server.host() + "/");
        EXPECT_EQ(screen.host(), server.host());
        screen.hostFieldDidEndEditing();
        ASSERT_TRUE(test::runUntil([&] { return !screen.databasesPending(); }));
        EXPECT_EQ(screen.databaseName(), "CABINET_DUPRE");
        EXPECT_EQ(screen.databaseLabel(), "Cabinet Dupré & Associés");
        EXPECT_THAT(profile.ui().messages("choices"), IsEmpty());
    }
    test::CaseFileServer server({"--databases", "3"});
    LoginViewController screen;
    screen.setHost(server.host());
    for (const int answer : {3, 2}) { // "Annuler", then the third row
        profile.ui().queueAnswer(answer);
        screen.hostFieldReturn();
        ASSERT_TRUE(test::runUntil([&] { return !screen.databasesPending(); }));
        RunLoop::main().runPending();
    }
    const auto calls = profile.ui().calls();
    const auto menu =
        std::find_if(calls.begin(), calls.end(), [](const auto& call) { return call.kind == "choices"; });
    ASSERT_NE(menu, calls.end());
    std::vector<std::string> titles;
    for (const auto& choice : menu->choices) {
        titles.push_back(choice.title);
    }
    EXPECT_THAT(titles, ElementsAre("Cabinet Dupré & Associés", "SCP Lefèvre-Garnier (Besançon)",
                                    "Archives d'Étude 2019", "Annuler"));
    EXPECT_EQ(screen.databaseName(), "ARCHIVES_2019");
    EXPECT_EQ(screen.databaseLabel(), "Archives d'Étude 2019");
    // A loaded list: touching the field asks the server nothing more.
    screen.databaseFieldTapped();
    EXPECT_FALSE(screen.databasesPending());
    EXPECT_EQ(server.calls().size(), 2u);
}

// A good log-in stores the session's details, keeps its body owner-only for the recovery and
// opens the case list on the search text; the password reaches neither the log nor the server's
// journal.
TEST_F(CaseFileScreensTest, GoodLogInStoresTheSessionAndShowsTheSearch) {
    test::CaseFileServer server;
    auto screen = test::logIn(profile, server, {}, "érables & fils");
    EXPECT_EQ(preference("state"), "1");
    EXPECT_EQ(preference("version"), "3.2");
    EXPECT_EQ(preference("idUser"), "42");
    EXPECT_EQ(preference("configSaved"), "1");
    const auto saved = std::filesystem::path(profile.documents()) / WSFendraExpert::kLogInBodyFile;
    EXPECT_EQ(mode(saved), kOwnerOnly);
    const Json body = Json::parse(AtomicFile::read(saved).value_or("{}"));
    EXPECT_EQ(body["userpwd"], test::kCasePassword);
    EXPECT_EQ(body["database"], "CABINET_DUPRE");
    EXPECT_EQ(body["clientVersion"], "2");
    EXPECT_EQ(body["type"], "Vextil-Fendra");
    EXPECT_EQ(body["clientId"], LoginViewController::clientId()); // stable for the installation
    EXPECT_THAT(body["clientId"].get<std::string>(), ::testing::MatchesRegex("[0-9a-f]{32}"));

    ASSERT_TRUE(screen->caseListShown());
    EXPECT_TRUE(screen->caseList()->loginViewIsTheParent());
    ASSERT_EQ(screen->caseList()->rows().size(), 1u);
    EXPECT_THAT(screen->caseList()->rows()[0].title, HasSubstr(" - SCI Les Érables & fils"));
    EXPECT_THAT(server.calls().back(), HasSubstr("value=\"érables & fils\""));
    EXPECT_THAT(AtomicFile::read(Profile::current().logFile()).value_or(""),
                Not(HasSubstr(test::kCasePassword)));
}

// A code of 100 or more is a refusal (its description shown, "state" untouched); a smaller code
// logs in and shows its description too.
TEST_F(CaseFileScreensTest, LogInAnswerCodes) {
    for (const int code : {101, 5}) {
        SCOPED_TRACE(code);
        profile.preferences().setInteger("state", 0);
        profile.ui().clear();
        test::CaseFileServer server({"--wrong-password-code", std::to_string(code)});
        test::saveCaseFileAccount(profile, server, "faux");
        LoginViewController screen;
        screen.setOpensCaseList(false);
        std::vector<Outcome> outcomes;
        screen.setOutcomeCallback([&](Outcome outcome, const std::string&) { outcomes.push_back(outcome); });
        screen.validLogin();
        ASSERT_TRUE(test::runUntil([&] { return !outcomes.empty(); }));
        EXPECT_THAT(profile.ui().messages("alert"), ElementsAre("Identifiant ou mot de passe incorrect."));
        EXPECT_EQ(screen.outcomeText(), "Identifiant ou mot de passe incorrect.");
        EXPECT_EQ(outcomes, std::vector<Outcome>{code >= 100 ? Outcome::Refused : Outcome::LoggedIn});
        EXPECT_EQ(preference("state"), code >= 100 ? "0" : "1");
        EXPECT_FALSE(screen.caseListShown());
        EXPECT_EQ(server.calls().size(), 1u); // the log-in alone
    }
}

// Without a database nothing is sent, the user is told, and the preferences are saved all the
// same; with the save-password option off the password and the database are not kept.
TEST_F(CaseFileScreensTest, NoDatabaseAndUnsavedPassword) {
    test::CaseFileServer server;
    LoginViewController screen;
    screen.setHost(server.host());
    screen.setLogin("m.dupre");
    screen.setPassword("secret");
    screen.setSavePassword(true);
    screen.validLogin();
    EXPECT_THAT(profile.ui().messages("alert"), ElementsAre("Veuillez sélectionner une base de données !"));
    EXPECT_EQ(screen.outcome(), Outcome::Failed);
    EXPECT_EQ(preference("configSaved"), "1");
    EXPECT_EQ(preference("mdp"), "secret");
    EXPECT_EQ(preference("host"), server.host());
    EXPECT_THAT(server.calls(), IsEmpty());

    screen.setDatabaseName("CABINET_DUPRE");
    screen.setSavePassword(false);
    screen.validLogin();
    EXPECT_EQ(preference("configSaved"), "0");
    EXPECT_EQ(preference("mdp"), "");
    EXPECT_EQ(preference("BddSqlName"), "");
    ASSERT_TRUE(test::runUntil([&] { return screen.outcome() != Outcome::Pending; }));
    test::runUntil([&] { return !screen.caseList()->waiting(); });
    LoginViewController reopened;
    EXPECT_EQ(reopened.password(), "");
    EXPECT_EQ(reopened.login(), "m.dupre");
    EXPECT_FALSE(reopened.savePassword());
}

// The recent list is the server's 20 latest files, most recent first, drawn as "code - label"
// with the three labelled values; an empty search says so and chooses nothing.
TEST_F(CaseFileScreensTest, RecentListAndEmptySearch) {
    test::CaseFileServer server;
    auto login = test::logIn(profile, server);
    const Json all = server.caseFiles();
    DossierListeViewController list;
    std::vector<std::string> loads;
    list.setLoadCallback([&](bool ok, const std::string& error) { loads.push_back(ok ? "ok" : error); });
    list.viewDidLoad();
    ASSERT_TRUE(test::runUntil([&] { return !loads.empty(); }));
    EXPECT_EQ(list.searchPlaceholder(), "Numéro ou désignation");
    ASSERT_EQ(list.dossiers().size(), 20u);
    const auto rows = list.rows();
    for (std::size_t i = 0; i < 20; ++i) {
        const Json& expected = all[all.size() - 1 - i];
        const Dossier& dossier = list.dossiers()[i];
        EXPECT_EQ(rows[i].title,
                  expected["code"].get<std::string>() + " - " + expected["label"].get<std::string>());
        EXPECT_EQ(dossier.s_Memo, expected["mémo"]);
        EXPECT_EQ(rows[i].responsable, expected["responsable"].is_null() ? "" : expected["responsable"]);
        EXPECT_EQ(rows[i].nature, expected["nature"].is_null() ? "" : expected["nature"]);
        const Json& date = expected["datedecréation"];
        EXPECT_EQ(rows[i].date, date.is_null() ? "" : WSFendraExpert::formatDate(date.get<std::string>()));
        EXPECT_THAT(rows[i].date, ::testing::MatchesRegex("|[0-9]{2}/[0-9]{2}/[0-9]{4}"));
        EXPECT_EQ(rows[i].dateLabel, "Date de création");
    }

    bool chosen = false;
    list.setDelegateLD([&](const std::string&, const std::string&) { chosen = true; });
    list.search("aucun dossier ne porte ce nom");
    ASSERT_TRUE(test::runUntil([&] { return loads.size() == 2; }));
    ASSERT_EQ(list.rows().size(), 1u);
    EXPECT_TRUE(list.rows()[0].notice);
    EXPECT_EQ(list.rows()[0].title, "Votre recherche n'a produit aucun résultat.");
    list.selectRow(0);
    EXPECT_FALSE(chosen);
}

// The case chosen fills the title and identification value, through the log-in screen (which
// closes with its list) for the parameter screen, through the case list for the option bar.
TEST_F(CaseFileScreensTest, ChosenCaseFillsTheDictationsFields) {
    test::createDatabase(profile);
    profile.preferences().setString("JobTitlPref", "Nom du dossier");
    profile.preferences().setString("IdentPref", "Code");
    test::CaseFileServer server;
    NavigationController navigation;

    ParamWorkflow set;
    set.firstField = "Succession Lefèvre";
    ParamWorkflowDictee parameters(set);
    test::saveCaseFileAccount(profile, server);
    std::shared_ptr<LoginViewController> login;
    parameters.setLoginOpener(
        [&](const std::string& text,
            ParamWorkflowDictee::CaseFileAnswer answer) -> std::shared_ptr<SuperController> {
            login = std::make_shared<LoginViewController>(text, std::move(answer));
            navigation.present(login);
            return login;
        });
    parameters.displayFileSearch();
    ASSERT_TRUE(login);
    login->validLogin();
    ASSERT_TRUE(test::runUntil([&] { return login->caseListShown() && !login->caseList()->waiting(); }));
    ASSERT_EQ(login->caseList()->dossiers().size(), 1u);
    const Dossier found = login->caseList()->dossiers()[0];
    EXPECT_EQ(found.s_Label, "Succession Lefèvre c/ Société Générale");
    login->caseList()->selectRow(0);
    EXPECT_EQ(parameters.fieldText(ParamWorkflowDictee::kFirstFieldTag), found.s_Label);
    EXPECT_EQ(parameters.fieldText(ParamWorkflowDictee::kSecondFieldTag), found.s_Code);
    EXPECT_EQ(navigation.presented(), nullptr);

    ParamWorkflow dictation;
    dictation.secondField = found.s_Code;
    OptionBarreDictationViewController bar(dictation, navigation, [] {});
    std::shared_ptr<DossierListeViewController> opened;
    bar.setCaseListOpener(
        [&](const std::string& text, OptionBarreDictationViewController::CaseFileAnswer answer) {
            opened = DossierListeViewController::opened(text, std::move(answer));
            return opened;
        });
    bar.displayFileSearch();
    ASSERT_TRUE(opened);
    ASSERT_TRUE(test::runUntil([&] { return !opened->waiting(); }));
    ASSERT_EQ(opened->dossiers().size(), 1u);
    opened->selectRow(0);
    EXPECT_EQ(dictation.firstField, found.s_Label);
    EXPECT_EQ(dictation.secondField, found.s_Code);
    EXPECT_EQ(navigation.presented(), nullptr);

    // Cancelling the search closes the list without a choice.
    dictation.firstField = "autre";
    bar.displayFileSearch();
    ASSERT_TRUE(test::runUntil([&] { return !opened->waiting(); }));
    opened->searchBarCancelButtonClicked();
    EXPECT_EQ(dictation.firstField, "autre");
    EXPECT_EQ(navigation.presented(), nullptr);
}

} // namespace
} // namespace orvaneh
