// "workflow defaults" and "dictation params" as real processes: the values are chosen through
// the parameter screens, so what they refuse and what one choice brings are the screens'.
#include "Platform/json/Json.h"
#include "audio/WaveTestFiles.h"
#include "support/CliProcess.h"
#include "support/CommandTest.h"
#include "support/TestProfile.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;

constexpr const char* kCatalogue =
    "<Catalogue><LoginUserInfos>"
    "<LoginUserInfo><Role>Dictant</Role><LoginName>plefebvre</LoginName><Context>Consultation;Échographie</"
    "Context>"
    "</LoginUserInfo>"
    "<LoginUserInfo><Role>Dictant</Role><LoginName>cmoreau</LoginName><Context /></LoginUserInfo>"
    "<LoginUserInfo><Role>Secretaire</Role><LoginName>sbernard</LoginName></LoginUserInfo>"
    "<LoginUserInfo><Role>Secretaire</Role><LoginName>lpetit</LoginName></LoginUserInfo>"
    "</LoginUserInfos><Worktypes>"
    "<Worktype><Nom>Compte rendu</Nom><Secretaire>sbernard</Secretaire><Type>WORD</Type></Worktype>"
    "<Worktype><Nom>Courrier</Nom><Type>Lettre</Type></Worktype></Worktypes>"
    "<Services><Service><Guid>g-cardio</Guid><Name>Cardiologie</Name><IsSite>false</IsSite><SiteId>S1</"
    "SiteId>"
    "<ServiceUsers><UserId>sbernard</UserId><UserId>plefebvre</UserId><UserId>cmoreau</UserId></ServiceUsers>"
    "<ServiceWorktypes><WorktypeId>Compte rendu</WorktypeId></ServiceWorktypes></Service>"
    "<Service><Guid>g-urg</Guid><Name>Urgences</Name><IsSite>false</IsSite><SiteId>S1</SiteId>"
    "<ServiceUsers><UserId>lpetit</UserId></ServiceUsers></Service></Services>"
    "</Catalogue>";

class WorkflowParametersCommandTest : public ::testing::Test {
protected:
    test::TemporaryDirectory home;

    void SetUp() override {
        test::writeBytes(home.path() / "Catalogue.xml", kCatalogue);
        const auto imported = cli({"workflow", "import-file", (home.path() / "Catalogue.xml").string()});
        ASSERT_EQ(imported.status, 0) << imported.err;
    }
    test::ProcessResult cli(std::vector<std::string> arguments) const {
        return test::runCli(home.path(), std::move(arguments));
    }
    Json defaults() const {
        const auto shown = cli({"workflow", "defaults", "--json"});
        EXPECT_EQ(shown.status, 0) << shown.err;
        return Json::parse(shown.out);
    }
};

TEST_F(WorkflowParametersCommandTest, DefaultsAreChosenAsOnTheScreenAndStored) {
    EXPECT_EQ(defaults()["auteur"], "");
    EXPECT_EQ(defaults()["service"], 0);

    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"--author", "zz"}, "auteur inconnu : « zz » (valeurs possibles : plefebvre, cmoreau)"},
        {{"--context", "Consultation"}, "Veuillez sélectionner un utilisateur"},
        {{"--author", "cmoreau", "--type", "BatchModeRecognition"},
         "l'auteur « cmoreau » n'a pas de contexte"},
        {{"--author", "plefebvre", "--service", "1", "--worktype", "Courrier"},
         "worktype du service « Cardiologie » inconnu : « Courrier » (valeurs possibles : Compte rendu)"},
        {{"--priority", "basse"}, "priorité inconnue : « basse » (valeurs possibles : Moyenne, Haute)"},
        // Only the author's services, whether asked by row id or guid.
        {{"--author", "plefebvre", "--service", "2"},
         "service inconnu pour l'auteur « plefebvre » : « 2 » (valeurs possibles : 1 (Cardiologie))"},
        {{"--author", "plefebvre", "--service", "g-urg"},
         "service inconnu pour l'auteur « plefebvre » : « g-urg » (valeurs possibles : 1 (Cardiologie))"},
        {{"--author", "plefebvre", "--service", "x"}, "service inconnu pour l'auteur « plefebvre » : « x »"},
    };
    for (const auto& [options, message] : refused) {
        auto arguments = options;
        arguments.insert(arguments.begin(), {"workflow", "defaults"});
        const auto result = cli(arguments);
        SCOPED_TRACE(message);
        EXPECT_EQ(result.status, 2);
        EXPECT_THAT(result.err, HasSubstr(message));
    }
    EXPECT_EQ(defaults()["auteur"], "") << "a refusal stores nothing";

    const auto chosen =
        cli({"workflow", "defaults", "--author", "plefebvre", "--service", "g-cardio", "--context",
             "Échographie", "--worktype", "Compte rendu", "--typist", "sbernard", "--priority", "haute"});
    ASSERT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_THAT(chosen.out, HasSubstr("  Contexte : Échographie\n"));
    EXPECT_THAT(chosen.err, HasSubstr("Paramètres enregistrés"));
    EXPECT_EQ(defaults(), Json::parse(R"({"auteur": "plefebvre", "service": 1, "serviceNom": "Cardiologie",
        "typeDictee": "Reconnaissance vocale", "contexte": "Échographie", "worktype": "Compte rendu",
        "secretaire": "sbernard", "priorite": "Haute"})"));
    // The directory's view of the same row: the type is stored as its label.
    EXPECT_EQ(Json::parse(cli({"workflow", "show", "--json"}).out)["parametres"]["typeDictee"],
              "Reconnaissance vocale");

    // An author without contexts: plain dictation, no context; clearing the service stores 0.
    ASSERT_EQ(cli({"workflow", "defaults", "--author", "cmoreau", "--service", "0"}).status, 0);
    const Json after = defaults();
    EXPECT_EQ(after["typeDictee"], "Dictée numérique");
    EXPECT_EQ(after["contexte"], "");
    EXPECT_EQ(after["service"], 0);
    EXPECT_EQ(after["worktype"], "");
}

TEST_F(WorkflowParametersCommandTest, ADictationsParametersGoThroughItsScreen) {
    const auto take = (home.path() / "take.wav").string();
    test::writeBytes(take, test::Wave{.samples = test::signal(1, 1)}.bytes());
    const auto made = cli({"dictation", "new", "--audio", take, "--author", "plefebvre", "--title", "Bilan"});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string id = std::to_string(std::stoll(made.out));

    const auto shown = cli({"dictation", "params", id});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_THAT(shown.out, HasSubstr("Auteur : plefebvre\n"));
    EXPECT_THAT(shown.out, HasSubstr("Contexte : Consultation\n")) << "the author's first context";

    const auto refused = cli({"dictation", "params", id, "--priority", "haute"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err, HasSubstr("le champ « Priorité » n'est pas sur cet écran"));
    EXPECT_EQ(cli({"dictation", "params", "999", "--title", "x"}).status, 1);
    // Refusals store nothing: a title or value that is not one line, another author's service.
    const std::vector<std::pair<std::vector<std::string>, std::string>> refusedParams{
        {{"--title", "ligne1\nligne2"}, "ne peut contenir ni saut de ligne"},
        {{"--ident", "D-17\xff"}, "ni octets qui ne sont pas du texte UTF-8"},
        {{"--title", "Autre", "--service", "g-urg"},
         "service inconnu pour l'auteur « plefebvre » : « g-urg »"},
    };
    for (const auto& [options, message] : refusedParams) {
        auto arguments = options;
        arguments.insert(arguments.begin(), {"dictation", "params", id});
        const auto result = cli(arguments);
        SCOPED_TRACE(message);
        EXPECT_EQ(result.status, 2);
        EXPECT_THAT(result.err, HasSubstr(message));
        const Json stored = Json::parse(cli({"dictation", "params", id, "--json"}).out);
        EXPECT_EQ(stored["titre"], "Bilan");
        EXPECT_EQ(stored["identValue"], "");
        EXPECT_EQ(stored["serviceID"], 0);
    }

    const auto changed =
        cli({"dictation", "params", id, "--author", "cmoreau", "--service", "1", "--worktype", "Compte rendu",
             "--title", "Bilan cardiaque", "--ident", "D-17", "--json"});
    ASSERT_EQ(changed.status, 0) << changed.err;
    const Json record = Json::parse(changed.out);
    EXPECT_EQ(record["auteur"], "cmoreau");
    EXPECT_EQ(record["type"], "Dictée numérique");
    EXPECT_EQ(record["contexte"], "");
    EXPECT_EQ(record["serviceID"], 1);
    EXPECT_EQ(record["worktype"], "Compte rendu");
    EXPECT_EQ(record["titre"], "Bilan cardiaque");
    EXPECT_EQ(record["identValue"], "D-17");
    // The list stores a dictation's new parameters as the defaults too.
    EXPECT_EQ(defaults()["auteur"], "cmoreau");
}

} // namespace
} // namespace orvaneh
