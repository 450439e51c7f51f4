#include "Classes/workflow/ParamWorkflow.h"

#include "Classes/core/DicteeRequest.h"
#include "support/LogCapture.h"
#include "support/TestDatabase.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace orvaneh {
namespace {

using test::execute;
using test::Rows;
using test::rows;
using ::testing::ElementsAre;

ParamWorkflow sample() {
    ParamWorkflow set;
    set.auteur = "o'brien";
    set.contexte = "Cardiologie";
    set.typeDictee = "Reconnaissance vocale";
    set.secretaire = "amartin";
    set.worktype = "Courrier";
    set.priority = "Haute";
    set.firstField = "Compte rendu";
    set.secondField = "D-2024-17";
    set.serviceID = 4;
    return set;
}

std::vector<std::string> fields(const ParamWorkflow& p) {
    return {p.auteur,     p.contexte,    p.typeDictee,
            p.secretaire, p.worktype,    p.priority,
            p.firstField, p.secondField, std::to_string(p.serviceID)};
}

class ParamWorkflowTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);
    test::LogCapture log;
};

TEST_F(ParamWorkflowTest, DefaultsRoundTripThroughTheSingleRow) {
    ParamWorkflow untouched = sample();
    EXPECT_EQ(untouched.getParamWorkflow(), 0);
    EXPECT_EQ(fields(untouched), fields(sample()));

    ParamWorkflow saved = sample();
    saved.saveParamWorkflow();
    saved.typeDictee = "Dictée numérique";
    saved.priority = "Basse";
    saved.saveParamWorkflow(); // the second save updates the row
    EXPECT_EQ(
        rows("select auteur, contexte, secretaire, worktype, typeDictee, propriete, service from parametre"),
        (Rows{{"o'brien", "Cardiologie", "amartin", "Courrier", "Dictée numérique", "Basse", "4"}}));
    EXPECT_THAT(profile.ui().messages("banner"),
                ElementsAre("Paramètres enregistrés", "Paramètres enregistrés"));

    // The two free fields are not defaults: they come back empty.
    ParamWorkflow loaded;
    loaded.firstField = "ancien titre";
    loaded.secondField = "ancien code";
    EXPECT_EQ(loaded.getParamWorkflow(), 1);
    saved.firstField = saved.secondField = "";
    EXPECT_EQ(fields(loaded), fields(saved));
}

// Older versions stored the code; it shows as its label and is saved back as the label.
TEST_F(ParamWorkflowTest, StoredTypeCodeShowsAsItsLabel) {
    for (const auto& [code, label] : {std::pair{"DigitalDictation", "Dictée numérique"},
                                      std::pair{"BatchModeRecognition", "Reconnaissance vocale"}}) {
        execute("delete from parametre");
        execute(std::string("INSERT INTO parametre(auteur, typeDictee, service) values ('j', '") + code +
                "', 2)");
        ParamWorkflow set;
        ASSERT_EQ(set.getParamWorkflow(), 1);
        EXPECT_EQ(set.typeDictee, label);
        set.saveParamWorkflow();
        EXPECT_EQ(rows("select typeDictee, service from parametre"), (Rows{{label, "2"}}));
    }
    EXPECT_EQ(ParamWorkflow::labelForTypeCode("Dictée mixte"), "Dictée mixte");
    ParamWorkflow coded;
    coded.typeDictee = "DigitalDictation";
    EXPECT_EQ(coded.getTypeDictee(), "Dictée numérique");
}

TEST_F(ParamWorkflowTest, PriorityLabelsAndNumbers) {
    const std::pair<const char*, int> cases[] = {{"Basse", 0},   {"Moyenne", 1}, {"Haute", 2},
                                                 {"Urgente", 1}, {"", 1},        {"haute", 1}};
    for (const auto& [label, number] : cases) {
        ParamWorkflow set;
        set.priority = label;
        EXPECT_EQ(set.getParamPriorityNum(), number) << label;
    }
    EXPECT_EQ(ParamWorkflow::priorityLabel(0) + ParamWorkflow::priorityLabel(2) +
                  ParamWorkflow::priorityLabel(5),
              "BasseHauteMoyenne");
}

// Every field differs, so a field written to or read from the wrong place shows.
TEST_F(ParamWorkflowTest, DictationRecordRoundTrip) {
    const ParamWorkflow set = sample();
    DicteeModel record;
    set.setToDicteeModel(record);
    EXPECT_EQ((std::vector<std::string>{record.titre, record.identValue, record.auteur, record.contexte,
                                        record.type, record.secretaire, record.worktype, record.priorite}),
              (std::vector<std::string>{"Compte rendu", "D-2024-17", "o'brien", "Cardiologie",
                                        "Reconnaissance vocale", "amartin", "Courrier", "Haute"}));
    EXPECT_EQ(record.serviceID, 4);
    const std::int64_t id = DicteeRequest().insertDictee(record);
    ASSERT_GT(id, 0);

    ParamWorkflow missing;
    missing.auteur = "gardé";
    EXPECT_FALSE(missing.getParamWorkflowDictee(id + 1));
    EXPECT_EQ(missing.auteur, "gardé");
    EXPECT_EQ(missing.serviceID, 0);

    ParamWorkflow read;
    ASSERT_TRUE(read.getParamWorkflowDictee(id));
    EXPECT_EQ(fields(read), fields(set));
}

} // namespace
} // namespace orvaneh
