#include "App/cli/DictationCommand.h"

#include "Classes/core/DicteeRequest.h"
#include "Classes/core/OrvanehAppDelegate.h"
#include "Platform/json/Json.h"
#include "support/CommandTest.h"
#include "support/ProcessRunner.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

class DictationCommandTest : public test::CommandTest {
protected:
    int run(const std::vector<std::string>& arguments) {
        DictationCommand command;
        return CommandTest::run(command, arguments);
    }

    static std::int64_t store(const std::string& titre, bool brouillon, std::int64_t duree = 75) {
        DicteeModel record;
        record.titre = titre;
        record.auteur = "jdupont";
        record.brouillon = brouillon;
        record.dureeDictee = duree;
        record.dureeInstruction = 5;
        return DicteeRequest().insertDictee(record);
    }
};

TEST_F(DictationCommandTest, ListChoosesTheFilterAndPrintsStateAndDurations) {
    store("Note du lundi", true);
    store("Courrier d'Anne", false, 3725);
    DicteeRequest().updateDicteeTsTransfert(store("Lettre échouée", false));
    std::int64_t sent = store("Envoyée hier", false);
    DicteeRequest().updateDicteeEnvoi(sent);

    ASSERT_EQ(run({"list"}), 0) << err.str();
    EXPECT_THAT(out.str(), ContainsRegex("Brouillon[^\n]*Note du lundi"));
    EXPECT_THAT(out.str(), ContainsRegex("En attente[^\n]*62:05 \\+ 0:05[^\n]*Courrier d'Anne"));
    EXPECT_THAT(out.str(), ContainsRegex("Tentative échouée[^\n]*Lettre échouée"));
    EXPECT_THAT(out.str(), Not(HasSubstr("Envoyée hier")));

    for (const auto& [flag, count] : {std::pair{"--sent", 1u}, {"--all", 4u}, {"--outbox", 3u}}) {
        ASSERT_EQ(run({"list", flag, "--json"}), 0) << flag;
        EXPECT_EQ(Json::parse(out.str()).size(), count) << flag;
    }
    ASSERT_EQ(run({"list", "--sent", "--json"}), 0);
    EXPECT_EQ(Json::parse(out.str())[0]["idDictee"], sent);
}

TEST_F(DictationCommandTest, ShowPrintsOneDictationOrFails) {
    std::int64_t id = store("Compte rendu", false);
    ASSERT_EQ(run({"show", std::to_string(id), "--json"}), 0) << err.str();
    EXPECT_EQ(Json::parse(out.str())["titre"], "Compte rendu");
    ASSERT_EQ(run({"show", std::to_string(id)}), 0);
    EXPECT_THAT(out.str(), HasSubstr("Titre : Compte rendu\n"));
    EXPECT_THAT(out.str(), HasSubstr("État : En attente\n"));

    EXPECT_EQ(run({"show", "99"}), 1);
    EXPECT_THAT(err.str(), HasSubstr("aucune dictée"));
    EXPECT_EQ(out.str(), "");
}

TEST_F(DictationCommandTest, DeleteRemovesTheRowAndItsFilesOnly) {
    std::int64_t id = store("À supprimer", false);
    std::int64_t kept = store("À garder", false);
    std::string name = std::to_string(id);
    auto recording = profile.writeDocument(name + ".wav");
    auto other = profile.writeDocument(std::to_string(kept) + ".wav");

    ASSERT_EQ(run({"delete", name}), 0) << err.str();
    EXPECT_THAT(out.str(), HasSubstr("supprimée"));
    EXPECT_EQ(DicteeRequest().selectDictee(id).idDictee, 0);
    EXPECT_EQ(DicteeRequest().selectDictee(kept).idDictee, kept);
    EXPECT_FALSE(std::filesystem::exists(recording));
    EXPECT_TRUE(std::filesystem::exists(other));

    // Unknown now: nothing else is touched.
    profile.writeDocument(name + ".wav");
    EXPECT_EQ(run({"delete", name}), 1);
    EXPECT_TRUE(std::filesystem::exists(recording));
}

TEST_F(DictationCommandTest, XmlPrintsTheDescriptorThatWouldBeSent) {
    std::int64_t id = store("Lettre à <Noël> & co", false);
    ASSERT_EQ(run({"xml", std::to_string(id)}), 0) << err.str();
    std::string document = out.str();
    EXPECT_THAT(document, ::testing::StartsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                "<Lumetra_5.0_ThirdPartyBatchModeImport "));
    EXPECT_THAT(document, HasSubstr("<JobTitle>Lettre a &lt;No&#xEB;l&gt; &amp; co</JobTitle>"));
    EXPECT_THAT(document, HasSubstr("<InstrLengthInSec>5</InstrLengthInSec>"));

    test::TemporaryDirectory directory;
    auto file = directory.path() / "job.XML";
    std::ofstream(file, std::ios::binary) << document;
    auto lint = test::ProcessRunner::run({"/usr/bin/xmllint", "--noout", file.string()});
    EXPECT_EQ(lint.status, 0) << lint.err;

    EXPECT_EQ(run({"xml", "99"}), 1);
    EXPECT_THAT(err.str(), HasSubstr("aucune dictée"));
    EXPECT_EQ(out.str(), "");
}

TEST_F(DictationCommandTest, BadUsageIsStatusTwo) {
    // Unknown actions and options are refused by the code shared with the other commands.
    const std::vector<std::vector<std::string>> wrong{
        {"show"},
        {"show", "douze"},
        {"show", "-3"},
        {"show", "12abc"},
        {"show", "99999999999999999999999"},
        {"delete", "1", "2"},
        {"delete", "1", "--json"},
        {"list", "--sent", "--all"},
        {"list", "en-trop"},
        {"xml"},
        {"xml", "1", "2"},
    };
    for (const auto& arguments : wrong) {
        auto shown = ::testing::PrintToString(arguments);
        EXPECT_EQ(run(arguments), 2) << shown;
        EXPECT_THAT(err.str(), HasSubstr("Erreur")) << shown;
        EXPECT_EQ(out.str(), "") << shown;
    }
}

} // namespace
} // namespace orvaneh
