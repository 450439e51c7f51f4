// `dossier login`, `dossier list` and the case-file and code options of `dictation` as real
// processes on a real profile, against the practice-management simulator of tools/.
#include "Platform/json/Json.h"
#include "audio/WaveTestFiles.h"
#include "casefile/CaseFileServer.h"
#include "support/CliProcess.h"
#include "support/CodeImages.h"
#include "support/CommandTest.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <sys/stat.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class DossierCommandTest : public test::AuthorCommandTest {
protected:
    test::ProcessResult cli(std::vector<std::string> arguments, const std::string& input = {}) const {
        auto result = test::runCli(profile.home(), std::move(arguments), input);
        // Whatever happened, the password stays out of what is shown and logged.
        EXPECT_THAT(result.out + result.err, Not(HasSubstr(test::kCasePassword)));
        EXPECT_THAT(read("config/orvaneh.log"), Not(HasSubstr(test::kCasePassword)));
        return result;
    }
    test::ProcessResult logIn(const test::CaseFileServer& server, const std::string& base,
                              const std::string& password = test::kCasePassword) const {
        std::vector<std::string> arguments{"dossier", "login",          "--host",          server.host(),
                                           "--user",  test::kCaseLogin, "--password-stdin"};
        if (!base.empty()) {
            arguments.insert(arguments.end(), {"--database", base});
        }
        return cli(arguments, password + "\n");
    }
    std::string read(const std::string& relative) const {
        std::error_code error;
        return std::filesystem::exists(profile.home() / relative, error)
                   ? test::readBytes(profile.home() / relative)
                   : std::string();
    }
    unsigned mode(const std::string& relative) const {
        struct stat status {};
        return ::stat((profile.home() / relative).c_str(), &status) == 0 ? (status.st_mode & 0777U) : 0U;
    }
    // A draft dictation of two seconds by jdupont; its identifier.
    std::string newDictation() {
        const auto audio = inputs.path() / "dictee.wav";
        test::writeBytes(audio, test::Wave{.samples = test::signal(1, 2.0)}.bytes());
        auto made = cli({"dictation", "new", "--audio", audio.string(), "--author", "jdupont", "--draft"});
        EXPECT_EQ(made.status, 0) << made.err;
        return test::words(made.out).empty() ? "0" : test::words(made.out).front();
    }
    std::string params(const std::string& id) const { return cli({"dictation", "params", id}).out; }
};

TEST_F(DossierCommandTest, LogInThenListAndSearchTheServersCaseFiles) {
    test::CaseFileServer server;
    ASSERT_NE(server.port(), 0) << "le simulateur du serveur de dossiers n'a pas démarré";

    auto before = cli({"dossier", "list"});
    EXPECT_EQ(before.status, 1);
    EXPECT_THAT(before.err, HasSubstr("aucune connexion au serveur de dossiers : connectez-vous d'abord"));

    // Two databases: a script says which one, never gets the first by chance.
    auto which = logIn(server, "");
    EXPECT_EQ(which.status, 1);
    EXPECT_THAT(which.err, HasSubstr("plusieurs bases : choisissez-en une avec --database.\n"
                                     "  CABINET_DUPRE (Cabinet Dupré & Associés)\n"
                                     "  SCP_LEFEVRE_GARNIER (SCP Lefèvre-Garnier (Besançon))"));
    auto unknown = logIn(server, "ARCHIVES");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_THAT(unknown.err, HasSubstr("pas de base « ARCHIVES »"));

    auto refused = logIn(server, "CABINET_DUPRE", "faux");
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr("Identifiant ou mot de passe incorrect."));
    EXPECT_EQ(cli({"dossier", "list"}).status, 1) << "a refused log-in opens no session";

    // By its label, as a person reads it.
    auto good = logIn(server, "scp lefèvre-garnier (besançon)");
    ASSERT_EQ(good.status, 0) << good.err;
    EXPECT_THAT(good.out, HasSubstr("Connecté au serveur de dossiers " + server.host() +
                                    ", base « SCP Lefèvre-Garnier (Besançon) »"));
    // The replayable log-in holds the password: the owner's only; not kept in the settings.
    EXPECT_EQ(mode("Documents/JSON.txt"), 0600U);
    EXPECT_EQ(Json::parse(read("config/preferences.json"))["mdp"], "");

    const Json files = server.caseFiles();
    auto recent = cli({"dossier", "list"});
    ASSERT_EQ(recent.status, 0) << recent.err;
    const Json& newest = files.back();
    EXPECT_THAT(recent.out, testing::StartsWith(newest["code"].get<std::string>() + " - " +
                                                newest["label"].get<std::string>() + "\n"));

    auto search = cli({"dossier", "list", "--search", "érables & FILS", "--json"});
    ASSERT_EQ(search.status, 0) << search.err;
    const Json found = Json::parse(search.out);
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0]["label"], "SCI Les Érables & fils");
    EXPECT_THAT(server.calls().back(), HasSubstr("value=\"érables & FILS\" token=ok result=1"));

    auto nothing = cli({"dossier", "list", "--search", "zzzz"});
    EXPECT_EQ(nothing.status, 0);
    EXPECT_EQ(nothing.out, "Votre recherche n'a produit aucun résultat.\n");
}

TEST_F(DossierCommandTest, ASessionTheServerDroppedIsOpenedAgainOnceAndTheListStillComes) {
    test::CaseFileServer server({"--token-requests", "1", "--databases", "1"});
    ASSERT_NE(server.port(), 0);
    // One database: chosen without being named.
    ASSERT_EQ(logIn(server, "").status, 0);
    for (int round = 0; round < 2; ++round) {
        auto listed = cli({"dossier", "list", "--search", "Lefèvre"});
        ASSERT_EQ(listed.status, 0) << listed.err;
        EXPECT_THAT(listed.out, HasSubstr("Lefèvre"));
    }
    EXPECT_THAT(server.callSummary(),
                testing::ElementsAre("GET Databases result=1", "POST LogMeIn result=0",
                                     "GET Rechercher result=12", "GET Rechercher result=invalid-token",
                                     "POST LogMeIn result=0", "GET Rechercher result=12"));
}

TEST_F(DossierCommandTest, ADictationTakesItsTitleAndIdentifierFromACaseFileOrAPrintedCode) {
    test::CaseFileServer server({"--databases", "1"});
    ASSERT_NE(server.port(), 0);
    const std::string id = newDictation();

    // What the options asked for failed: a failure (1), not wrong usage (2).
    auto early = cli({"dictation", "params", id, "--dossier", "2026-0001"});
    EXPECT_EQ(early.status, 1);
    EXPECT_THAT(early.err, HasSubstr("aucune connexion au serveur de dossiers"));

    ASSERT_EQ(logIn(server, "").status, 0);
    // Quotes and apostrophes in the label, as the server has them.
    Json chosen;
    for (const auto& file : server.caseFiles()) {
        if (file["label"].get<std::string>().find("O'Neil c/ SARL") != std::string::npos) {
            chosen = file;
        }
    }
    ASSERT_FALSE(chosen.is_null());
    const std::string code = chosen["code"].get<std::string>();
    auto filled = cli({"dictation", "params", id, "--dossier", code});
    ASSERT_EQ(filled.status, 0) << filled.err;
    EXPECT_THAT(params(id), HasSubstr("Titre : " + chosen["label"].get<std::string>() +
                                      "\nIdentifiant : " + code + "\n"));

    auto missing = cli({"dictation", "params", id, "--dossier", "1999-0001"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.err, HasSubstr("aucun dossier de numéro « 1999-0001 »"));
    EXPECT_THAT(params(id), HasSubstr("Identifiant : " + code + "\n")) << "nothing changed";

    // Printed codes: a QR code with accents, a Code 128 label.
    test::CodeImages codes(inputs.path());
    const std::string accented = "Réf. Été-2026/ç";
    auto qr = cli({"dictation", "params", id, "--ident-from-image", codes.qrFile(accented).string()});
    ASSERT_EQ(qr.status, 0) << qr.err;
    EXPECT_THAT(params(id), HasSubstr("Identifiant : " + accented + "\n"));
    auto bars = cli(
        {"dictation", "params", id, "--ident-from-image", codes.zintFile("CODE128", "LOT-42-B").string()});
    ASSERT_EQ(bars.status, 0) << bars.err;
    EXPECT_THAT(params(id), HasSubstr("Identifiant : LOT-42-B\n"));

    // A code of two lines is refused as a typed value of two lines would be.
    auto twoLines = cli({"dictation", "params", id, "--ident-from-image", codes.qrFile("A\nB").string()});
    EXPECT_EQ(twoLines.status, 1);
    EXPECT_THAT(twoLines.err, HasSubstr("n'est pas un identifiant d'une ligne"));
    EXPECT_THAT(params(id), HasSubstr("Identifiant : LOT-42-B\n"));

    const auto blank = inputs.path() / "blanc.png";
    std::filesystem::copy_file(codes.qrFile("x"), blank);
    test::writeBytes(blank, test::readBytes(blank).substr(0, 40)); // cut short
    auto broken = cli({"dictation", "params", id, "--ident-from-image", blank.string()});
    EXPECT_EQ(broken.status, 1);
    EXPECT_THAT(broken.err, HasSubstr(blank.string() + " : "));
    EXPECT_THAT(params(id), HasSubstr("Identifiant : LOT-42-B\n"));

    for (const auto& both : std::vector<std::vector<std::string>>{
             {"--dossier", code, "--title", "Autre"},
             {"--ident", "A", "--ident-from-image", blank.string()},
         }) {
        std::vector<std::string> arguments{"dictation", "params", id};
        arguments.insert(arguments.end(), both.begin(), both.end());
        EXPECT_EQ(cli(arguments).status, 2) << both.front();
    }

    // A new dictation can name its case file from the start: the server is asked once.
    const auto searchesBefore = server.calls().size();
    const auto audio = inputs.path() / "autre.wav";
    test::writeBytes(audio, test::Wave{.samples = test::signal(1, 1.0)}.bytes());
    auto made = cli(
        {"dictation", "new", "--audio", audio.string(), "--author", "jdupont", "--dossier", code, "--draft"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(server.calls().size(), searchesBefore + 1);
    EXPECT_THAT(params(test::words(made.out).front()), HasSubstr("Identifiant : " + code + "\n"));
}

} // namespace
} // namespace orvaneh
