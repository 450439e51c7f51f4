#include "App/cli/DictationCommand.h"

#include "Classes/core/DicteeRequest.h"
#include "Classes/core/OrvanehAppDelegate.h"
#include "Platform/json/Json.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <sstream>

namespace orvaneh {
namespace {

class DictationCommandTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);
    OrvanehAppDelegate application;
    std::ostringstream out;
    std::ostringstream err;

    int run(std::vector<std::string> arguments) {
        out.str("");
        err.str("");
        CliContext context{out, err, application};
        return DictationCommand().run(arguments, context);
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
    std::int64_t draft = store("Note du lundi", true);
    std::int64_t waiting = store("Courrier d'Anne", false, 3725);
    std::int64_t failed = store("Lettre échouée", false);
    DicteeRequest().updateDicteeTsTransfert(failed);
    std::int64_t sent = store("Envoyée hier", false);
    DicteeRequest().updateDicteeEnvoi(sent);

    ASSERT_EQ(run({"list"}), 0) << err.str();
    auto lineOf = [text = out.str()](const std::string& title) {
        auto at = text.find(title);
        if (at == std::string::npos) {
            return std::string();
        }
        auto start = text.rfind('\n', at);
        return text.substr(start == std::string::npos ? 0 : start + 1, text.find('\n', at) - start);
    };
    EXPECT_NE(lineOf("Note du lundi").find("Brouillon"), std::string::npos);
    EXPECT_NE(lineOf("Courrier d'Anne").find("En attente"), std::string::npos);
    EXPECT_NE(lineOf("Courrier d'Anne").find("62:05 + 0:05"), std::string::npos);
    EXPECT_NE(lineOf("Lettre échouée").find("Tentative échouée"), std::string::npos);
    EXPECT_EQ(lineOf("Envoyée hier"), "");

    ASSERT_EQ(run({"list", "--sent", "--json"}), 0);
    Json sentList = Json::parse(out.str());
    ASSERT_EQ(sentList.size(), 1u);
    EXPECT_EQ(sentList[0]["idDictee"], sent);
    EXPECT_EQ(sentList[0]["envoi"], 1);
    EXPECT_EQ(sentList[0]["titreAuto"], "jdupont--jdupont-");

    ASSERT_EQ(run({"list", "--all", "--json"}), 0);
    Json all = Json::parse(out.str());
    std::vector<std::int64_t> ids;
    for (const auto& entry : all) {
        ids.push_back(entry["idDictee"].get<std::int64_t>());
    }
    EXPECT_EQ(ids, (std::vector<std::int64_t>{sent, failed, waiting, draft}));

    ASSERT_EQ(run({"list", "--outbox", "--json"}), 0);
    EXPECT_EQ(Json::parse(out.str()).size(), 3u);
}

TEST_F(DictationCommandTest, ShowPrintsOneDictationOrFails) {
    std::int64_t id = store("Compte rendu", false);
    ASSERT_EQ(run({"show", std::to_string(id), "--json"}), 0) << err.str();
    Json record = Json::parse(out.str());
    EXPECT_EQ(record["idDictee"], id);
    EXPECT_EQ(record["titre"], "Compte rendu");
    EXPECT_EQ(record["secretaire"], "jdupont"); // typist defaults to the author
    EXPECT_EQ(record["brouillon"], false);
    EXPECT_EQ(record["dureeDictee"], 75);

    ASSERT_EQ(run({"show", std::to_string(id)}), 0);
    EXPECT_NE(out.str().find("Titre : Compte rendu"), std::string::npos);
    EXPECT_NE(out.str().find("État : En attente"), std::string::npos);

    EXPECT_EQ(run({"show", "99"}), 1);
    EXPECT_NE(err.str().find("aucune dictée"), std::string::npos);
    EXPECT_EQ(out.str(), "");
}

TEST_F(DictationCommandTest, DeleteRemovesTheRowAndItsFilesOnly) {
    std::int64_t id = store("À supprimer", false);
    std::int64_t kept = store("À garder", false);
    std::string name = std::to_string(id);
    profile.writeDocument(name + ".wav");
    profile.writeDocument("I" + name + ".wav");
    profile.writeDocument(name + "-1.jpg");
    profile.writeDocument(std::to_string(kept) + ".wav");

    ASSERT_EQ(run({"delete", name}), 0) << err.str();
    EXPECT_NE(out.str().find("supprimée"), std::string::npos);
    EXPECT_EQ(DicteeRequest().selectDictee(id).idDictee, 0);
    EXPECT_EQ(DicteeRequest().selectDictee(kept).idDictee, kept);
    EXPECT_FALSE(std::filesystem::exists(profile.documents() / (name + ".wav")));
    EXPECT_FALSE(std::filesystem::exists(profile.documents() / ("I" + name + ".wav")));
    EXPECT_FALSE(std::filesystem::exists(profile.documents() / (name + "-1.jpg")));
    EXPECT_TRUE(std::filesystem::exists(profile.documents() / (std::to_string(kept) + ".wav")));

    // Unknown now: nothing else is touched.
    profile.writeDocument(name + ".wav");
    EXPECT_EQ(run({"delete", name}), 1);
    EXPECT_TRUE(std::filesystem::exists(profile.documents() / (name + ".wav")));
}

TEST_F(DictationCommandTest, BadUsageIsStatusTwo) {
    const std::vector<std::vector<std::string>> wrong{
        {},
        {"frobnicate"},
        {"show"},
        {"show", "douze"},
        {"show", "-3"},
        {"show", "12abc"},
        {"show", "99999999999999999999999"},
        {"delete", "1", "2"},
        {"delete", "1", "--json"},
        {"list", "--sent", "--all"},
        {"list", "--xml"},
        {"list", "en-trop"},
    };
    for (const auto& arguments : wrong) {
        std::string shown;
        for (const auto& argument : arguments) {
            shown += argument + " ";
        }
        EXPECT_EQ(run(arguments), 2) << shown;
        EXPECT_NE(err.str().find("Erreur"), std::string::npos) << shown;
        EXPECT_EQ(out.str(), "") << shown;
    }
}

} // namespace
} // namespace orvaneh
