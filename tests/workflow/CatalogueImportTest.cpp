#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/contextRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "Classes/packaging/Entity.h"
#include "support/LogCapture.h"
#include "support/TestDatabase.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// What the office server writes, with both worktype and field forms mixed in as older
// servers still send them.
constexpr const char* kCatalogue = R"(<?xml version="1.0" encoding="utf-8"?>
<Catalogue xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:xsd="http://www.w3.org/2001/XMLSchema">
  <LoginUserInfos>
    <LoginUserInfo>
      <Role>Dictant</Role>
      <LoginName>jdupont</LoginName>
      <DisplayName>Jean Dupont</DisplayName>
      <Email>jean.dupont@etude.fr</Email>
      <Groupe />
      <LoginId>101</LoginId>
      <Context>Cardiologie;Soins d'urgence</Context>
    </LoginUserInfo>
    <LoginUserInfo>
      <Role>Secretaire</Role>
      <LoginName>amartin</LoginName>
      <DisplayName>Anne Martin</DisplayName>
      <Email></Email>
      <Groupe>Pool A</Groupe>
      <LoginId>202</LoginId>
      <Context />
    </LoginUserInfo>
  </LoginUserInfos>
  <Worktypes>
    <Worktype>
      <Nom>Courrier</Nom>
      <Secretaire>amartin</Secretaire>
      <Type>Lettre</Type>
      <Tracage>true</Tracage>
      <Duree>48</Duree>
    </Worktype>
    <Worktype>Compte rendu;CR;Pool A</Worktype>
  </Worktypes>
  <Services>
    <Service>
      <Guid>g-1</Guid>
      <Name>Cardiologie &amp; vasculaire</Name>
      <IsSite>true</IsSite>
      <DepartementParent />
      <SiteId>S1</SiteId>
      <ServiceUsers><UserId>amartin</UserId><UserId>jdupont</UserId></ServiceUsers>
      <ServiceWorktypes><WorktypeId>Courrier</WorktypeId></ServiceWorktypes>
    </Service>
    <Service>
      <Guid>g-2</Guid>
      <Name>Urgences</Name>
      <IsSite>false</IsSite>
      <DepartementParent> g-1 </DepartementParent>
      <SiteId>S1</SiteId>
    </Service>
  </Services>
  <Fields>
    <Field><Key>JobTitle</Key><Value>Dossier</Value></Field>
    <Field>Patient</Field>
    <Field>identvalue</Field>
  </Fields>
  <ValidateBeforeSend>true</ValidateBeforeSend>
  <BlockRecipient>true</BlockRecipient>
  <ShowSettingsForRecord>false</ShowSettingsForRecord>
  <TypeOfDelivery>WEBSERVICES</TypeOfDelivery>
</Catalogue>
)";

class CatalogueImportTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);
    test::LogCapture log;

    std::size_t directoryRows() {
        std::size_t count = 0;
        for (const char* table :
             {"user", "worktype", "context", "service", "user_service", "worktype_service"}) {
            count += test::rows(std::string("select * from ") + table).size();
        }
        return count;
    }
};

TEST_F(CatalogueImportTest, ACatalogueFillsEveryStoreAndReadsBack) {
    ASSERT_TRUE(Entity::DeserializeObjectWithString(kCatalogue));

    userRequest users;
    users.selectAllAuteur();
    ASSERT_THAT(users.tabNameUser, ElementsAre("jdupont"));
    EXPECT_THAT(contextRequest().selectContextUser(users.tabIdUser[0]),
                ElementsAre("Cardiologie", "Soins d'urgence"));
    users.selectAllSecretaire();
    EXPECT_THAT(users.tabNameUser, ElementsAre("amartin", "Pool A"));
    EXPECT_EQ(users.selectLongIdForSecretaireId("amartin"), "202");

    worktypeRequest worktypes;
    worktypes.selectAllworktype();
    ASSERT_EQ(worktypes.tabWorktype.size(), 2u);
    EXPECT_EQ(worktypes.tabWorktype["Courrier"]["Type"], "Lettre");
    EXPECT_EQ(worktypes.tabWorktype["Courrier"]["Secretaire"], "amartin");
    EXPECT_EQ(worktypes.tabWorktype["Courrier"]["Duree"], "48");
    EXPECT_EQ(worktypes.tabWorktype["Compte rendu"]["Type"], "CR");
    EXPECT_EQ(worktypes.tabWorktype["Compte rendu"]["Secretaire"], "Pool A");

    auto services = serviceRequest().selectAllServices();
    ASSERT_EQ(services.size(), 2u);
    EXPECT_EQ(services[0].guid, "g-1");
    EXPECT_EQ(services[0].name, "Cardiologie & vasculaire");
    EXPECT_TRUE(services[0].isSite);
    EXPECT_THAT(services[0].users, ElementsAre("amartin"));
    EXPECT_THAT(services[0].worktype, ElementsAre("Courrier"));
    EXPECT_EQ(services[1].parentService, "g-1");
    EXPECT_TRUE(services[1].users.empty());

    EXPECT_EQ(ConfigurationManager::getJobTitle(), "Dossier");
    EXPECT_EQ(ConfigurationManager::getIdentValue(), "Patient");
    EXPECT_TRUE(ConfigurationManager::shouldDisplayParameterResumeBeforeSend());
    EXPECT_FALSE(ConfigurationManager::shouldDisplayParameterResumeBeforeRecord());
    EXPECT_TRUE(ConfigurationManager::shouldBlockRecipient());
    EXPECT_EQ(ConfigurationManager::getSendType(), 2);
    EXPECT_TRUE(ConfigurationManager::shouldDisplayServices());
}

TEST_F(CatalogueImportTest, AMalformedCatalogueStoresNothingAndIsLogged) {
    std::string truncated(kCatalogue);
    truncated.resize(truncated.find("<Services>"));
    EXPECT_FALSE(Entity::DeserializeObjectWithString(truncated));
    EXPECT_FALSE(Entity::DeserializeObjectWithString(""));
    EXPECT_FALSE(Entity::DeserializeObjectWithString("<Catalogue><Version>3</version></Catalogue>"));
    EXPECT_EQ(directoryRows(), 0u);
    EXPECT_TRUE(log.contains("Erreur lors de la lecture du catalogue"));
}

// Each of these must be refused quickly, without reading local files or growing memory.
TEST_F(CatalogueImportTest, HostileDocumentsAreRefusedWithoutExpansion) {
    const std::filesystem::path secret = profile.documents() / "secret.txt";
    std::ofstream(secret) << "motdepasse-local";

    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE Catalogue [<!ENTITY l0 \"ha\">";
    for (int level = 1; level <= 12; ++level) {
        laughs += "<!ENTITY l" + std::to_string(level) + " \"";
        for (int copy = 0; copy < 10; ++copy) {
            laughs += "&l" + std::to_string(level - 1) + ";";
        }
        laughs += "\">";
    }
    laughs += "]><Catalogue><LoginUserInfo><LoginName>&l12;</LoginName></LoginUserInfo></Catalogue>";

    const std::string external = "<?xml version=\"1.0\"?><!DOCTYPE Catalogue [<!ENTITY s SYSTEM \"file://" +
                                 secret.string() +
                                 "\">]><Catalogue><LoginUserInfo><LoginName>&s;</LoginName></LoginUserInfo>"
                                 "</Catalogue>";
    const std::string externalSubset = "<!DOCTYPE Catalogue SYSTEM \"file://" + secret.string() +
                                       "\"><Catalogue><LoginUserInfo><LoginName>a&s;</LoginName>"
                                       "</LoginUserInfo></Catalogue>";
    // Well-formed, but far deeper than any catalogue.
    std::string nested;
    for (int level = 0; level < 300; ++level) {
        nested = "<LoginUserInfo>" + nested + "</LoginUserInfo>";
    }

    const auto start = std::chrono::steady_clock::now();
    for (const std::string& hostile : {laughs, external, externalSubset, nested}) {
        EXPECT_FALSE(Entity::DeserializeObjectWithString(hostile));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(directoryRows(), 0u);
    for (const auto& line : log.lines()) {
        EXPECT_THAT(line, ::testing::Not(HasSubstr("motdepasse-local")));
    }
    EXPECT_TRUE(log.contains("déclaration d'entité refusée"));
    EXPECT_TRUE(log.contains("profondeur excessive"));
}

} // namespace
} // namespace orvaneh
