#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/ParamRequest.h"
#include "Classes/core/contextRequest.h"
#include "Classes/core/dataBaseRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/siteRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "support/LogCapture.h"
#include "support/TestDatabase.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using test::execute;
using test::Rows;
using test::rows;

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

class WorkflowDirectoryTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);
    test::LogCapture log;
};

// Names with quotes are stored and found like any other text throughout.
TEST_F(WorkflowDirectoryTest, UserImportTurnsGroupsIntoTypistsAndSkipsBlankContexts) {
    userRequest().saveDictionaryOfUser(Json::parse(R"([
        {"Role": "Dictant", "LoginName": "o'brien", "DisplayName": "Jean Dupont", "Email": "j@x.fr",
         "LoginId": "L-1", "Context": "Cardiologie; ;Soins d'urgence"},
        {"Role": "Secretaire", "LoginName": "amartin", "Groupe": "Pool A;L'équipe", "LoginId": 77},
        {"Role": "Secretaire", "LoginName": "d'arc", "Groupe": "Pool A; ", "LoginId": "x'y"},
        {"Role": "Dictant", "LoginName": "o'brien", "Context": "Neurologie"}
    ])"));

    userRequest users;
    users.selectAllSecretaire();
    EXPECT_THAT(users.tabNameUser, UnorderedElementsAre("amartin", "Pool A", "L'équipe", "d'arc"));
    EXPECT_EQ(users.selectLongIdForSecretaireId("amartin"), "77");
    EXPECT_EQ(users.selectLongIdForSecretaireId("d'arc"), "x'y");

    users.selectAllAuteur();
    ASSERT_THAT(users.tabNameUser, ElementsAre("o'brien"));
    contextRequest contexts;
    // The blank middle entry is skipped; the repeated user's context went to id 0 and is not offered.
    EXPECT_THAT(contexts.selectContextUser(users.tabIdUser[0]),
                ElementsAre("Cardiologie", "Soins d'urgence"));
    EXPECT_EQ(rows("select context from context where id_user = 0"), (Rows{{"Neurologie"}}));
    EXPECT_THAT(contexts.selectContextUser(0), IsEmpty());
}

TEST_F(WorkflowDirectoryTest, WorktypeImportReadsPackedAndSeparateForms) {
    worktypeRequest().saveDictionaryOfWortypes(Json::parse(R"([
        {"Worktype": " Courrier ; Lettre "},
        {"Worktype": "Note"},
        {"Worktype": "CR d'O;Compte rendu;d'arc;ignoré", "Tracage": "YES", "Duree": "12.7"},
        {"Nom": "Ordonnance", "Type": "Soin", "Secretaire": "bleroy", "Tracage": true, "Duree": 12.7},
        {"Nom": 42, "Tracage": "false"},
        {"Nom": "Note", "Type": "Remplace"}
    ])"));
    EXPECT_EQ(rows("select name, type, secretary, tracage, duree from worktype"),
              (Rows{{"Courrier", "Lettre", "", "0", "0"},
                    {"Note", "", "", "0", "0"},
                    {"CR d'O", "Compte rendu", "d'arc", "1", "12"},
                    {"Ordonnance", "Soin", "bleroy", "1", "12"},
                    {"42", "", "", "0", "0"},
                    {"Note", "Remplace", "", "0", "0"}}));

    worktypeRequest worktypes;
    worktypes.selectAllworktype();
    EXPECT_EQ(*worktypes.selectworktypeForName("CR d'O"), (Json{{"Nom", "CR d'O"},
                                                                {"Type", "Compte rendu"},
                                                                {"Secretaire", "d'arc"},
                                                                {"Tracage", "1"},
                                                                {"Duree", "12"}}));
    EXPECT_EQ((*worktypes.selectworktypeForName("Note"))["Type"], "Remplace");
    EXPECT_FALSE(worktypes.selectworktypeForName("Inconnu"));
}

TEST_F(WorkflowDirectoryTest, ServiceImportLinksMembersAndWorktypesAndSwitchesTheDisplay) {
    userRequest().saveDictionaryOfUser(Json::parse(R"([
        {"Role": "Secretaire", "LoginName": "d'arc"}, {"Role": "Dictant", "LoginName": "o'brien"}])"));
    worktypeRequest().saveDictionaryOfWortypes(Json::parse(R"([{"Worktype": "Lettre d'avocat"}])"));
    serviceRequest services;
    services.saveDictionaryOfServices(Json::parse(R"([
        {"Guid": "G1", "Name": "Cardiologie", "IsSite": "true", "SiteId": "S1",
         "ServiceUsers": ["d'arc", "o'brien"], "ServiceWorktypes": ["12", "Lettre d'avocat"]},
        {"Guid": "G2", "Name": "Écho d'été", "IsSite": "0", "DepartementParent": "  G1 \n",
         "ServiceUsers": ["o'brien"]}
    ])"));
    EXPECT_TRUE(ConfigurationManager::shouldDisplayServices());

    auto all = services.selectAllServices();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_TRUE(all[0].isSite);
    EXPECT_EQ(all[0].idSite, "S1");
    // Only the typists among the members come back.
    EXPECT_THAT(all[0].users, ElementsAre("d'arc"));
    EXPECT_THAT(all[0].worktype, UnorderedElementsAre("12", "Lettre d'avocat"));
    EXPECT_FALSE(all[1].isSite);
    EXPECT_EQ(all[1].parentService, "G1");
    EXPECT_THAT(all[1].users, IsEmpty());

    EXPECT_EQ(services.selectServiceWithID(static_cast<std::int64_t>(all[1].idService)).name, "Écho d'été");
    EXPECT_FALSE(log.contains("Problème"));
    services.saveDictionaryOfServices(Json::array());
    EXPECT_FALSE(ConfigurationManager::shouldDisplayServices());
}

TEST_F(WorkflowDirectoryTest, ParametersStoreTheDictationTypeLabelAndReadAnOldCodeAsItsLabel) {
    ParamRequest parameters;
    EXPECT_EQ(parameters.selectParam(), 0);
    parameters.wfAuteur = "o'brien";
    parameters.wfServiceID = 3;
    parameters.setWfTypeDictee("Reconnaissance vocale");
    parameters.insertParam();
    EXPECT_EQ(rows("select typeDictee, service from parametre"), (Rows{{"Reconnaissance vocale", "3"}}));

    ParamRequest read;
    EXPECT_EQ(read.selectParam(), 1);
    EXPECT_EQ(read.wfTypeDictee + "|" + read.wfAuteur, "Reconnaissance vocale|o'brien");
    read.setWfTypeDictee("DigitalDictation");
    read.wfPriority = "Basse";
    read.updateParam();
    EXPECT_EQ(rows("select typeDictee, propriete, auteur from parametre"),
              (Rows{{"Dictée numérique", "Basse", "o'brien"}}));
    execute("update parametre set typeDictee = 'BatchModeRecognition'");
    EXPECT_EQ(read.selectParam(), 1);
    EXPECT_EQ(read.wfTypeDictee, "Reconnaissance vocale");

    read.setWfTypeDictee("Autre chose");
    EXPECT_EQ(read.wfTypeDictee, "");
}

TEST_F(WorkflowDirectoryTest, RemoveWorkflowEmptiesTheDirectoryAndLeavesDictationsAndSites) {
    userRequest().saveDictionaryOfUser(
        Json::parse(R"([{"Role": "Dictant", "LoginName": "j", "Context": "C"}])"));
    worktypeRequest().saveDictionaryOfWortypes(Json::parse(R"([{"Worktype": "W"}])"));
    serviceRequest().saveDictionaryOfServices(Json::parse(R"([{"Guid": "G", "ServiceUsers": ["j"],
                                                              "ServiceWorktypes": ["W"]}])"));
    ParamRequest().insertParam();
    execute("INSERT INTO dictee (titre) values ('gardée')");
    siteRequest().addSite(SiteModel{});

    dataBaseRequest().removeWorkflow();

    for (const char* table :
         {"user", "worktype", "context", "parametre", "service", "user_service", "worktype_service"}) {
        EXPECT_EQ(rows(std::string("select count(*) from ") + table), (Rows{{"0"}})) << table;
    }
    EXPECT_EQ(rows("select titre from dictee"), (Rows{{"gardée"}}));
    EXPECT_EQ(siteRequest().selectSites().size(), 1u);
}

} // namespace
} // namespace orvaneh
