#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/ParamRequest.h"
#include "Classes/core/SqlConnection.h"
#include "Classes/core/SqlStatement.h"
#include "Classes/core/contextRequest.h"
#include "Classes/core/dataBaseRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/siteRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "Platform/log/Log.h"
#include "support/TestDatabase.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using Rows = std::vector<std::vector<std::string>>;

class WorkflowDirectoryTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);
    std::vector<std::string> logLines;

    void SetUp() override {
        Log::setObserver([this](const std::string& line) { logLines.push_back(line); });
    }
    void TearDown() override { Log::setObserver({}); }

    void execute(const std::string& sql) {
        auto connection = SqlConnection::open(database);
        ASSERT_TRUE(connection);
        ASSERT_TRUE(Request::executeSqlStatement(*connection, sql)) << sql;
    }

    // Every row of a query, each column as text.
    Rows rows(const std::string& sql) {
        Rows result;
        auto connection = SqlConnection::open(database);
        SqlStatement statement(*connection, sql);
        while (statement.step() == SqlStatement::Step::Row) {
            std::vector<std::string> row;
            for (int column = 0; column < statement.columnCount(); ++column) {
                row.push_back(statement.columnText(column));
            }
            result.push_back(row);
        }
        return result;
    }

    bool logged(const std::string& text) const {
        return std::any_of(logLines.begin(), logLines.end(),
                           [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }

    static std::int64_t idOf(const userRequest& users, const std::string& login) {
        auto found = std::find(users.tabNameUser.begin(), users.tabNameUser.end(), login);
        return found == users.tabNameUser.end() ? -1 : users.tabIdUser[found - users.tabNameUser.begin()];
    }
};

TEST_F(WorkflowDirectoryTest, UserImportTurnsGroupsIntoTypistsAndSkipsBlankContexts) {
    userRequest().saveDictionaryOfUser(Json::parse(R"([
        {"Role": "Dictant", "LoginName": "jdupont", "DisplayName": "Jean Dupont", "Email": "j@x.fr",
         "LoginId": "L-1", "Context": "Cardiologie; ;Urgences"},
        {"Role": "Secretaire", "LoginName": "amartin", "Groupe": "Pool A;Pool B", "LoginId": "L-2"},
        {"Role": "Secretaire", "LoginName": "bleroy", "Groupe": "Pool A; ", "LoginId": 77},
        {"Role": "Dictant", "LoginName": "jdupont", "Context": "Neurologie"}
    ])"));

    userRequest users;
    users.selectAllSecretaire();
    EXPECT_THAT(users.tabNameUser, UnorderedElementsAre("amartin", "Pool A", "Pool B", "bleroy"));
    EXPECT_EQ(rows("select displayName, email, login_id from user where login_name = 'Pool B'"),
              (Rows{{"Pool B", "", ""}}));
    EXPECT_EQ(users.selectLongIdForSecretaireId("bleroy"), "77");
    EXPECT_EQ(users.selectLongIdForSecretaireId("personne"), "");

    users.selectAllAuteur();
    ASSERT_THAT(users.tabNameUser, ElementsAre("jdupont"));
    EXPECT_EQ(users.nbEnreg, 1);
    contextRequest contexts;
    // The blank middle part is skipped; the repeated user's context went to id 0 and is not offered.
    EXPECT_THAT(contexts.selectContextUser(users.tabIdUser[0]), ElementsAre("Cardiologie", "Urgences"));
    EXPECT_EQ(rows("select context from context where id_user = 0"), (Rows{{"Neurologie"}}));
    EXPECT_THAT(contexts.selectContextUser(0), IsEmpty());
}

TEST_F(WorkflowDirectoryTest, QuotesInNamesAreStoredAndFoundLikeAnyOtherText) {
    userRequest().saveDictionaryOfUser(Json::parse(R"([
        {"Role": "Dictant", "LoginName": "o'brien", "Context": "Soins d'urgence"},
        {"Role": "Secretaire", "LoginName": "d'arc", "Groupe": "L'équipe", "LoginId": "x'y"}
    ])"));
    userRequest users;
    EXPECT_TRUE(users.checkIfUserExistWithName("o'brien"));
    EXPECT_FALSE(users.checkIfUserExistWithName("o'brie"));
    EXPECT_EQ(users.selectLongIdForSecretaireId("d'arc"), "x'y");
    users.selectAllAuteur();
    EXPECT_THAT(contextRequest().selectContextUser(idOf(users, "o'brien")), ElementsAre("Soins d'urgence"));

    worktypeRequest().saveDictionaryOfWortypes(
        Json::parse(R"([{"Worktype": "Lettre d'avocat;Courrier;d'arc"}])"));
    serviceRequest services;
    services.saveDictionaryOfServices(Json::parse(R"([{"Guid": "g'1", "Name": "Service d'accueil",
        "ServiceUsers": ["d'arc", "L'équipe", "o'brien"], "ServiceWorktypes": ["Lettre d'avocat"]}])"));

    worktypeRequest worktypes;
    worktypes.selectAllworktype();
    auto entry = worktypes.selectworktypeForName("Lettre d'avocat");
    ASSERT_TRUE(entry);
    EXPECT_EQ((*entry)["Secretaire"], "d'arc");
    auto mine = services.selectServiceForUser("d'arc");
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_EQ(mine[0].name, "Service d'accueil");
    EXPECT_EQ(mine[0].guid, "g'1");
    EXPECT_THAT(mine[0].users, UnorderedElementsAre("d'arc", "L'équipe"));
    EXPECT_THAT(mine[0].worktype, ElementsAre("Lettre d'avocat"));
    EXPECT_FALSE(logged("Problème"));
}

TEST_F(WorkflowDirectoryTest, WorktypeImportReadsPackedAndSeparateForms) {
    worktypeRequest().saveDictionaryOfWortypes(Json::parse(R"([
        {"Worktype": " Courrier ; Lettre "},
        {"Worktype": "Note"},
        {"Worktype": "CR;Compte rendu;amartin;ignoré", "Tracage": "YES", "Duree": "12.7"},
        {"Nom": "Ordonnance", "Type": "Soin", "Secretaire": "bleroy", "Tracage": true, "Duree": 12.7},
        {"Nom": 42, "Tracage": "false"},
        {"Nom": "Note", "Type": "Remplace"}
    ])"));
    EXPECT_EQ(rows("select name, type, secretary, tracage, duree from worktype"),
              (Rows{{"Courrier", "Lettre", "", "0", "0"},
                    {"Note", "", "", "0", "0"},
                    {"CR", "Compte rendu", "amartin", "1", "12"},
                    {"Ordonnance", "Soin", "bleroy", "1", "12"},
                    {"42", "", "", "0", "0"},
                    {"Note", "Remplace", "", "0", "0"}}));

    worktypeRequest worktypes;
    worktypes.selectAllworktype();
    EXPECT_THAT(worktypes.getWorktypeNames(),
                UnorderedElementsAre("Courrier", "Note", "CR", "Ordonnance", "42"));
    EXPECT_EQ(*worktypes.selectworktypeForName("CR"), (Json{{"Nom", "CR"},
                                                            {"Type", "Compte rendu"},
                                                            {"Secretaire", "amartin"},
                                                            {"Tracage", "1"},
                                                            {"Duree", "12"}}));
    EXPECT_EQ((*worktypes.selectworktypeForName("Note"))["Type"], "Remplace");
    EXPECT_FALSE(worktypes.selectworktypeForName("Inconnu"));
}

TEST_F(WorkflowDirectoryTest, ServiceImportLinksMembersAndWorktypesAndSwitchesTheDisplay) {
    userRequest().saveDictionaryOfUser(Json::parse(R"([
        {"Role": "Secretaire", "LoginName": "amartin"}, {"Role": "Dictant", "LoginName": "jdupont"}])"));
    serviceRequest services;
    services.saveDictionaryOfServices(Json::parse(R"([
        {"Guid": "G1", "Name": "Cardiologie", "IsSite": "true", "SiteId": "S1",
         "ServiceUsers": ["amartin", "jdupont"], "ServiceWorktypes": ["12", "Courrier"]},
        {"Guid": "G2", "Name": "Écho", "IsSite": "0", "DepartementParent": "  G1 \n",
         "ServiceUsers": ["jdupont"]}
    ])"));
    EXPECT_TRUE(ConfigurationManager::shouldDisplayServices());

    auto all = services.selectAllServices();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].guid, "G1");
    EXPECT_TRUE(all[0].isSite);
    EXPECT_EQ(all[0].idSite, "S1");
    // Only the typists among the members come back.
    EXPECT_THAT(all[0].users, ElementsAre("amartin"));
    EXPECT_THAT(all[0].worktype, UnorderedElementsAre("12", "Courrier"));
    EXPECT_FALSE(all[1].isSite);
    EXPECT_EQ(all[1].parentService, "G1");
    EXPECT_THAT(all[1].users, IsEmpty());

    auto byId = services.selectServiceWithID(static_cast<std::int64_t>(all[1].idService));
    EXPECT_EQ(byId.name, "Écho");
    EXPECT_EQ(services.selectServiceWithID(99).idService, 0);
    EXPECT_EQ(services.selectServiceForUser("jdupont").size(), 2u);
    EXPECT_THAT(services.selectServiceForUser(""), IsEmpty());
    EXPECT_THAT(services.getSecretaireForService(0), IsEmpty());

    services.saveDictionaryOfServices(Json::array());
    EXPECT_FALSE(ConfigurationManager::shouldDisplayServices());
}

TEST_F(WorkflowDirectoryTest, ParametersStoreTheDictationTypeCodeAndReadBackTheLabel) {
    ParamRequest parameters;
    EXPECT_EQ(parameters.selectParam(), 0);
    EXPECT_EQ(parameters.nbEnreg, 0);
    parameters.wfAuteur = "o'brien";
    parameters.wfContexte = "Cardiologie";
    parameters.wfPriority = "Haute";
    parameters.wfServiceID = 3;
    parameters.setWfTypeDictee("Reconnaissance vocale");
    parameters.insertParam();
    EXPECT_TRUE(logged("Création de l'enregistrement !"));
    EXPECT_TRUE(logged("Lecture BDD, valeur Auteur : o'brien"));
    EXPECT_EQ(rows("select typeDictee, genInitiales, service from parametre"),
              (Rows{{"BatchModeRecognition", "", "3"}}));

    ParamRequest read;
    EXPECT_EQ(read.selectParam(), 1);
    EXPECT_EQ(read.wfTypeDictee, "Reconnaissance vocale");
    EXPECT_EQ(read.wfAuteur, "o'brien");
    EXPECT_EQ(read.wfServiceID, 3);
    read.setWfTypeDictee("Dictée numérique");
    read.wfPriority = "Basse";
    read.updateParam();
    EXPECT_TRUE(logged("Modification de l'enregistrement"));
    EXPECT_EQ(rows("select typeDictee, propriete, auteur from parametre"),
              (Rows{{"DigitalDictation", "Basse", "o'brien"}}));

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
    SiteModel site;
    site.name = "Bureau";
    site.typeSite = 1;
    siteRequest().addSite(site);

    dataBaseRequest().removeWorkflow();

    for (const char* table :
         {"user", "worktype", "context", "parametre", "service", "user_service", "worktype_service"}) {
        EXPECT_EQ(rows(std::string("select count(*) from ") + table), (Rows{{"0"}})) << table;
    }
    EXPECT_EQ(rows("select titre from dictee"), (Rows{{"gardée"}}));
    EXPECT_EQ(siteRequest().selectSites().size(), 1u);
    EXPECT_TRUE(logged("Les enregistrements de la table [user] ont été supprimés !"));
    EXPECT_TRUE(logged("Les enregistrements de la table [worktype] ont été supprimés !"));
    EXPECT_TRUE(logged("Les enregistrements de la table [context] ont été supprimés !"));
    EXPECT_TRUE(logged("Les enregistrements de la table [parametre] ont été supprimés !"));
}

TEST_F(WorkflowDirectoryTest, ReorganisationAfterTheFirstRebuildSplitsPackedWorktypes) {
    database = test::createDatabase(profile, 1);
    execute("INSERT INTO worktype (worktype) values ('Courrier;Lettre;amartin')");
    execute("INSERT INTO worktype (worktype) values (' Note ; CR ')");
    execute("INSERT INTO worktype (worktype) values ('Seul')");
    dataBaseRequest migration;
    for (int step = 1; step <= 7; ++step) {
        migration.runStep(step);
    }
    worktypeRequest().organizeWorktypeInNewDataBase();
    EXPECT_EQ(rows("select name, type, secretary, tracage, duree from worktype"),
              (Rows{{"Courrier", "Lettre", "amartin", "0", "0"},
                    {"Note", "CR", "", "0", "0"},
                    {"Seul", "", "", "0", "0"}}));

    // Without the table nothing is read, logged, and nothing changes.
    execute("DROP TABLE worktype");
    worktypeRequest().organizeWorktypeInNewDataBase();
    EXPECT_TRUE(logged("ERREUR ORGANIZE no such table: worktype !"));
}

} // namespace
} // namespace orvaneh
