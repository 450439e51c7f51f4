// Passwords in the desktop's keyring as real orvaneh-cli processes keep them: a GNOME keyring on
// a session bus of the test's own, the FTP and case-file simulators, sessions without a keyring.
#ifdef ORVANEH_HAVE_LIBSECRET

#include "Classes/casefile/WSFendraExpert.h"
#include "Classes/core/StoredPasswords.h"
#include "casefile/CaseFileServer.h"
#include "support/PrivateSecretService.h"
#include "support/ProcessRunner.h"
#include "support/SilentSocket.h"
#include "transport/OfficeFixture.h"

#include <chrono>
#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Kind = test::OfficeSimulator::Kind;
using Environment = std::map<std::string, std::string>;

class KeyringProcessTest : public test::SendTest {
protected:
    void SetUp() override {
        SendTest::SetUp();
        keyring_ = std::make_unique<test::PrivateSecretService>(keyringDirectory_.path());
        if (!keyring_->ready()) {
            GTEST_SKIP() << test::PrivateSecretService::kSkipMessage;
        }
        profile.preferences().setDouble("NetworkStallTimeout", 2);
    }

    test::PrivateSecretService& keyring() { return *keyring_; }
    Environment desktop() const { return keyring_->environment(); }

    // orvaneh-cli on the profile with `environment`; killed after a minute, so that a command
    // that never ends fails instead of hanging. Whatever happens, no password is shown or logged.
    test::ProcessResult cli(std::vector<std::string> arguments, const Environment& environment,
                            const std::string& input = {}) const {
        arguments.insert(arguments.begin(), {"/usr/bin/timeout", "-k", "5", "60", ORVANEH_CLI_PATH, "--home",
                                             profile.home().string()});
        auto result = test::ProcessRunner::runWithInput(arguments, input, environment);
        for (const auto& password : {test::kPassword, test::kCasePassword}) {
            EXPECT_THAT(result.out + result.err, Not(HasSubstr(password)));
            EXPECT_THAT(test::readBytes(profile.home() / "config" / "orvaneh.log"), Not(HasSubstr(password)));
        }
        return result;
    }
    test::ProcessResult addSiteWith(const Environment& environment,
                                    const test::OfficeSimulator& server) const {
        return cli({"site", "add", "--name", "Cabinet", "--type", "1", "--address", server.address(),
                    "--login", test::kLogin, "--password-stdin", "--default"},
                   environment, test::kPassword + "\n");
    }

    std::optional<std::string> inKeyring(const std::string& item) const {
        return keyring_->lookup(
            {{"application", "orvaneh"}, {"profile", profile.documents().string()}, {"item", item}});
    }
    static std::string inTable(std::int32_t idSite) {
        const auto found = test::rows("select mdp from site where idSite = " + std::to_string(idSite));
        return found.empty() ? "(pas de site)" : found.front().at(0);
    }
    // The database file as bytes: what a copy of the profile would carry.
    std::string databaseFile() const { return test::readBytes(database); }
    bool profileMarked() const {
        return std::filesystem::exists(profile.documents() / StoredPasswords::kMarkerFile);
    }

private:
    test::TemporaryDirectory keyringDirectory_;
    std::unique_ptr<test::PrivateSecretService> keyring_;
};

TEST_F(KeyringProcessTest, ANewSitesPasswordGoesToTheKeyringAndServesTheSend) {
    test::OfficeSimulator server(Kind::Ftp);
    ASSERT_NE(server.port(), 0);
    auto added = addSiteWith(desktop(), server);
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(inTable(1), "");
    EXPECT_THAT(databaseFile(), Not(HasSubstr(test::kPassword)));
    EXPECT_EQ(inKeyring("site/1"), test::kPassword);

    const auto letter = addDictation("Lettre");
    auto sent = cli({"send"}, desktop());
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(record(letter).envoi, 1);
    EXPECT_EQ(server.storedInOrder().size(), 2u);

    // Gone with its site.
    ASSERT_EQ(cli({"site", "delete", "1", "--yes"}, desktop()).status, 0);
    EXPECT_EQ(inKeyring("site/1"), std::nullopt);
}

TEST_F(KeyringProcessTest, AnExistingProfilesPasswordsMoveToTheKeyringAtStartAndStillSend) {
    test::OfficeSimulator server(Kind::Ftp);
    ASSERT_NE(server.port(), 0);
    const auto ftp = addSite(1, server.address());
    const auto transcription = addSite(6, "127.0.0.1:1", "service-secret", false);
    ASSERT_EQ(inTable(ftp), test::kPassword);
    const auto letter = addDictation("Lettre");

    auto sent = cli({"send"}, desktop());
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(record(letter).envoi, 1);
    EXPECT_EQ(server.storedInOrder().size(), 2u);
    EXPECT_EQ(inTable(ftp), "");
    EXPECT_EQ(inTable(transcription), "");
    EXPECT_EQ(inKeyring("site/" + std::to_string(ftp)), test::kPassword);
    EXPECT_EQ(inKeyring("site/" + std::to_string(transcription)), "service-secret");
    EXPECT_TRUE(profileMarked());

    // Refused by the setting, they come back to the profile at the next start, and stay there.
    ASSERT_EQ(cli({"settings", "set", "UtiliserTrousseau", "non"}, desktop()).status, 0);
    ASSERT_EQ(cli({"site", "list"}, desktop()).status, 0);
    EXPECT_EQ(inTable(ftp), test::kPassword);
    EXPECT_EQ(inTable(transcription), "service-secret");
    EXPECT_EQ(inKeyring("site/" + std::to_string(ftp)), std::nullopt);
    EXPECT_FALSE(profileMarked());
    const auto reminder = addDictation("Relance");
    auto again = cli({"send"}, desktop());
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(record(reminder).envoi, 1);
    EXPECT_EQ(inTable(ftp), test::kPassword);
}

TEST_F(KeyringProcessTest, WithoutAnyKeyringPasswordsStayInTheDatabaseAsBefore) {
    test::OfficeSimulator server(Kind::Ftp);
    ASSERT_NE(server.port(), 0);
    test::TemporaryDirectory elsewhere;
    test::PrivateSecretService busAlone(elsewhere.path(), false);
    ASSERT_TRUE(busAlone.ready());
    // No bus at all (a server over SSH), and a bus on which no keyring runs.
    for (const auto& environment : {test::withoutSessionBus(), busAlone.environment()}) {
        auto added = addSiteWith(environment, server);
        ASSERT_EQ(added.status, 0) << added.err;
    }
    // Told at once, not after the bound.
    const std::string log = test::readBytes(profile.home() / "config" / "orvaneh.log");
    EXPECT_THAT(log, HasSubstr("Trousseau du bureau indisponible (pas de bus de session)"));
    EXPECT_THAT(log, HasSubstr("Trousseau du bureau indisponible (aucun trousseau"));
    EXPECT_THAT(log, Not(HasSubstr("pas de réponse")));
    EXPECT_EQ(inTable(1), test::kPassword);
    EXPECT_EQ(inTable(2), test::kPassword);
    EXPECT_FALSE(profileMarked());
    EXPECT_FALSE(busAlone.keyringOnBus()) << "no keyring is started on demand";

    const auto letter = addDictation("Lettre");
    auto sent = cli({"send"}, test::withoutSessionBus());
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(record(letter).envoi, 1);
}

TEST_F(KeyringProcessTest, AKeyringOutOfReachStopsTheSendAndLosesNothing) {
    test::OfficeSimulator server(Kind::Ftp);
    ASSERT_NE(server.port(), 0);
    ASSERT_EQ(addSiteWith(desktop(), server).status, 0);
    const auto letter = addDictation("Lettre");

    // Over SSH: the password is in a keyring this session cannot reach.
    auto refused = cli({"send"}, test::withoutSessionBus());
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err,
                HasSubstr("Le mot de passe du site « Cabinet » est gardé dans le trousseau du bureau"));
    EXPECT_THAT(refused.err, HasSubstr("orvaneh-cli site edit 1 --password-stdin"));
    EXPECT_TRUE(server.storedInOrder().empty());
    EXPECT_EQ(record(letter).envoi, 0);
    auto import = cli({"workflow", "import", "--dir", "Service Cardiologie"}, test::withoutSessionBus());
    EXPECT_EQ(import.status, 1);
    EXPECT_THAT(import.err, HasSubstr("trousseau du bureau"));

    // Editing something else keeps the password where it is.
    auto renamed = cli({"site", "edit", "1", "--name", "Cabinet Martin"}, test::withoutSessionBus());
    EXPECT_EQ(renamed.status, 0) << renamed.err;
    EXPECT_EQ(inTable(1), "");
    EXPECT_EQ(inKeyring("site/1"), test::kPassword);

    // Given again without a keyring, it is kept in the database and used.
    auto given =
        cli({"site", "edit", "1", "--password-stdin"}, test::withoutSessionBus(), test::kPassword + "\n");
    EXPECT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(inTable(1), test::kPassword);
    // --now: the refused attempt set its retry two minutes later.
    auto sent = cli({"send", "--now"}, test::withoutSessionBus());
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(record(letter).envoi, 1);

    // Back on the desktop, it goes to the keyring again.
    ASSERT_EQ(cli({"site", "list"}, desktop()).status, 0);
    EXPECT_EQ(inTable(1), "");
    EXPECT_EQ(inKeyring("site/1"), test::kPassword);
}

TEST_F(KeyringProcessTest, AHungBusDelaysACommandByTheBoundAtMost) {
    test::OfficeSimulator server(Kind::Ftp);
    ASSERT_NE(server.port(), 0);
    test::TemporaryDirectory elsewhere;
    test::SilentSocket silent(elsewhere.path() / "bus");
    ASSERT_TRUE(silent.ready());
    const Environment hung{{"DBUS_SESSION_BUS_ADDRESS", silent.busAddress()}};

    const auto timed = [&](const Environment& environment) {
        const auto start = std::chrono::steady_clock::now();
        auto added = addSiteWith(environment, server);
        EXPECT_EQ(added.status, 0) << added.err;
        return std::chrono::steady_clock::now() - start;
    };
    const auto withoutBus = timed(test::withoutSessionBus());
    const auto withHungBus = timed(hung);
    // Without the bound it would wait for the minute of `timeout`.
    EXPECT_LT(withHungBus - withoutBus, std::chrono::seconds(4)) << "two seconds of bound, and some slack";
    EXPECT_EQ(inTable(2), test::kPassword);
    EXPECT_EQ(inTable(1), test::kPassword);
    EXPECT_THAT(test::readBytes(profile.home() / "config" / "orvaneh.log"),
                HasSubstr("Trousseau du bureau indisponible (pas de réponse en 2000 ms)"));
}

TEST_F(KeyringProcessTest, TheCaseFilePasswordAndReLoginBodyGoToTheKeyring) {
    test::CaseFileServer server({"--token-requests", "1", "--databases", "1"});
    ASSERT_NE(server.port(), 0);
    const auto body = [&] { return test::readBytes(profile.documents() / WSFendraExpert::kLogInBodyFile); };
    const auto savedPassword = [&] {
        return Json::parse(test::readBytes(profile.home() / "config" / "preferences.json")).value("mdp", "");
    };
    const std::string item = WSFendraExpert::passwordItem(server.host(), test::kCaseLogin);

    // Logged in on a server over SSH: the files hold the password, as before.
    auto loggedIn = cli({"dossier", "login", "--host", server.host(), "--user", test::kCaseLogin,
                         "--password-stdin", "--save-password"},
                        test::withoutSessionBus(), test::kCasePassword + "\n");
    ASSERT_EQ(loggedIn.status, 0) << loggedIn.err;
    EXPECT_EQ(WSFendraExpert::logInBodyMember(body(), "userpwd"), test::kCasePassword);
    EXPECT_EQ(savedPassword(), test::kCasePassword);

    // The next command on the desktop moves it to the keyring.
    auto listed = cli({"dossier", "list"}, desktop());
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(WSFendraExpert::logInBodyMember(body(), "userpwd"), "");
    EXPECT_EQ(WSFendraExpert::logInBodyMember(body(), "userlogin"), test::kCaseLogin);
    EXPECT_EQ(savedPassword(), "");
    EXPECT_EQ(inKeyring(item), test::kCasePassword);

    // The session has expired: over SSH the re-login cannot have its password, and says so.
    auto refused = cli({"dossier", "list"}, test::withoutSessionBus());
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr("Le mot de passe du serveur de dossiers est gardé dans le trousseau"));
    EXPECT_THAT(refused.err, HasSubstr("orvaneh-cli dossier login"));
    // On the desktop the keyring's password opens it again.
    auto again = cli({"dossier", "list"}, desktop());
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_THAT(server.callSummary(),
                testing::ElementsAre("GET Databases result=1", "POST LogMeIn result=0",
                                     "GET Récents result=20", "GET Récents result=invalid-token",
                                     "GET Récents result=invalid-token", "POST LogMeIn result=0",
                                     "GET Récents result=20"));

    // A log-in refused over SSH leaves what was typed in the settings; the keyring keeps the
    // password that works, and the re-login still uses it.
    auto wrong = cli({"dossier", "login", "--host", server.host(), "--user", test::kCaseLogin,
                      "--password-stdin", "--save-password"},
                     test::withoutSessionBus(), "faux\n");
    EXPECT_EQ(wrong.status, 1);
    auto afterWrong = cli({"dossier", "list"}, desktop());
    EXPECT_EQ(afterWrong.status, 0) << afterWrong.err;
    EXPECT_EQ(savedPassword(), "faux");
    EXPECT_EQ(inKeyring(item), test::kCasePassword);

    // A log-in on the desktop keeps nothing in the files.
    auto desktopLogIn = cli({"dossier", "login", "--host", server.host(), "--user", test::kCaseLogin,
                             "--password-stdin", "--save-password"},
                            desktop(), test::kCasePassword + "\n");
    ASSERT_EQ(desktopLogIn.status, 0) << desktopLogIn.err;
    EXPECT_EQ(WSFendraExpert::logInBodyMember(body(), "userpwd"), "");
    EXPECT_EQ(savedPassword(), "");
}

} // namespace
} // namespace orvaneh

#endif
