// The real program refuses workflow values the directory does not hold, as the parameter
// screen's pickers would never offer them, and says which ones it holds.
#include "Platform/json/Json.h"
#include "audio/WaveTestFiles.h"
#include "support/CliProcess.h"
#include "support/CommandTest.h"
#include "support/TestProfile.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;

std::string catalogue(const std::string& worktypes) {
    return "<Catalogue><LoginUserInfos>"
           "<LoginUserInfo><Role>Dictant</Role><LoginName>plefebvre</LoginName>"
           "<Context>Consultation;Échographie</Context></LoginUserInfo>"
           "<LoginUserInfo><Role>Dictant</Role><LoginName>cmoreau</LoginName><Context>Consultation</Context>"
           "</LoginUserInfo>"
           "<LoginUserInfo><Role>Secretaire</Role><LoginName>sbernard</LoginName></LoginUserInfo>"
           "<LoginUserInfo><Role>Secretaire</Role><LoginName>lpetit</LoginName></LoginUserInfo>"
           "</LoginUserInfos><Worktypes>" +
           worktypes +
           "</Worktypes><Services><Service><Guid>svc-cardio</Guid><Name>Cardiologie</Name><IsSite>true</"
           "IsSite>"
           "<SiteId>S1</SiteId><ServiceUsers><UserId>sbernard</UserId><UserId>plefebvre</UserId>"
           "<UserId>cmoreau</UserId></ServiceUsers>"
           "<ServiceWorktypes><WorktypeId>Compte rendu</WorktypeId></ServiceWorktypes></Service></Services>"
           "</Catalogue>";
}

const std::string kBothWorktypes =
    "<Worktype><Nom>Compte rendu</Nom><Secretaire>sbernard</Secretaire><Type>CR</Type>"
    "</Worktype><Worktype><Nom>Courrier</Nom><Type>Lettre</Type></Worktype>";

class DictationFieldsTest : public ::testing::Test {
protected:
    test::TemporaryDirectory home;
    std::string take = (home.path() / "take.wav").string();

    void SetUp() override {
        test::writeBytes(take, test::Wave{.samples = test::signal(1, 1)}.bytes());
        importCatalogue(kBothWorktypes);
    }
    void importCatalogue(const std::string& worktypes) const {
        test::writeBytes(home.path() / "Catalogue.xml", catalogue(worktypes));
        const auto imported = cli({"workflow", "import-file", (home.path() / "Catalogue.xml").string()});
        ASSERT_EQ(imported.status, 0) << imported.err;
    }
    test::ProcessResult cli(std::vector<std::string> arguments) const {
        return test::runCli(home.path(), std::move(arguments));
    }
    test::ProcessResult create(const std::string& fields) const {
        auto arguments = test::words(fields);
        arguments.insert(arguments.begin(), {"dictation", "new", "--audio", take});
        return cli(arguments);
    }
    std::size_t dictations() const {
        return Json::parse(cli({"dictation", "list", "--all", "--json"}).out).size();
    }
};

TEST_F(DictationFieldsTest, NewRefusesWhatTheDirectoryDoesNotOfferAndListsWhatItDoes) {
    const std::vector<std::pair<std::string, std::string>> refused{
        {"", "il manque l'auteur (--author) : plefebvre, cmoreau"},
        {"--author zz", "auteur inconnu : « zz » (valeurs possibles : plefebvre, cmoreau)"},
        {"--author cmoreau --context Échographie",
         "contexte inconnu pour l'auteur « cmoreau » : « Échographie » (valeurs possibles : Consultation)"},
        {"--author cmoreau --worktype Lettre",
         "worktype inconnu : « Lettre » (valeurs possibles : Compte rendu, Courrier)"},
        {"--author cmoreau --service 1 --worktype Courrier",
         "worktype du service « Cardiologie » inconnu : « Courrier » (valeurs possibles : Compte rendu)"},
        {"--author cmoreau --typist nobody",
         "secrétaire inconnu : « nobody » (valeurs possibles : sbernard, lpetit)"},
        {"--author cmoreau --service 1 --typist lpetit", "(valeurs possibles : sbernard)"},
        {"--author cmoreau --service 7",
         "service inconnu pour l'auteur « cmoreau » : « 7 » (valeurs possibles : 1 (Cardiologie))"},
        {"--author cmoreau --type Dictaphone", "type de dictée inconnu : « Dictaphone »"},
    };
    for (const auto& [fields, message] : refused) {
        SCOPED_TRACE(fields);
        const auto result = create(fields);
        EXPECT_EQ(result.status, 2);
        EXPECT_THAT(result.err, HasSubstr(message));
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(dictations(), 0u);

    const auto made = create("--author plefebvre --context Échographie --service 1 --worktype Compte --json");
    EXPECT_EQ(made.status, 2) << "a worktype name is taken whole, not by its first word";
    const auto accepted = cli({"dictation", "new", "--audio", take, "--author", "plefebvre", "--context",
                               "Échographie", "--service", "1", "--worktype", "Compte rendu", "--typist",
                               "sbernard", "--type", "BatchModeRecognition", "--json"});
    ASSERT_EQ(accepted.status, 0) << accepted.err;
    const Json record = Json::parse(accepted.out);
    EXPECT_EQ(record["contexte"], "Échographie");
    EXPECT_EQ(record["serviceID"], 1);
    EXPECT_EQ(record["etat"], "Brouillon");
}

// An edit checks what it changes: values stored before a new import do not block other edits.
TEST_F(DictationFieldsTest, EditChecksOnlyWhatItChanges) {
    const auto made = create("--author cmoreau --worktype Courrier --title Lettre");
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string id = std::to_string(std::stoll(made.out));
    importCatalogue("<Worktype><Nom>Compte rendu</Nom><Type>CR</Type></Worktype>");

    const auto retitled = cli({"dictation", "edit", id, "--title", "Lettre au Dr Martin"});
    EXPECT_EQ(retitled.status, 0) << retitled.err;
    const auto stale = cli({"dictation", "edit", id, "--worktype", "Courrier"});
    EXPECT_EQ(stale.status, 2);
    EXPECT_THAT(stale.err, HasSubstr("(valeurs possibles : Compte rendu)"));
    // Another author has other contexts: as on the parameter screen, changing the author takes
    // his first context, and a context of his is checked against his own.
    ASSERT_EQ(cli({"dictation", "edit", id, "--author", "plefebvre", "--context", "Échographie"}).status, 0);
    const auto refused = cli({"dictation", "edit", id, "--author", "cmoreau", "--context", "Échographie"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err, HasSubstr("contexte inconnu pour l'auteur « cmoreau »"));
    EXPECT_EQ(Json::parse(cli({"dictation", "show", id, "--json"}).out)["auteur"], "plefebvre");
    ASSERT_EQ(cli({"dictation", "edit", id, "--author", "cmoreau"}).status, 0);
    EXPECT_EQ(Json::parse(cli({"dictation", "show", id, "--json"}).out)["contexte"], "Consultation");
}

} // namespace
} // namespace orvaneh
