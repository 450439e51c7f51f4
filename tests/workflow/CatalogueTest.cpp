#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/contextRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "Classes/packaging/Entity.h"
#include "Classes/workflow/ParserXML.h"
#include "Classes/workflow/XMLCatalogueParser.h"
#include "support/LogCapture.h"
#include "support/TestDatabase.h"
#include "workflow/LargeCatalogue.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;

// What the office server writes, with both worktype and field forms mixed in as older
// servers still send them.
constexpr const char* kCatalogue = R"(<?xml version="1.0" encoding="utf-8"?>
<Catalogue xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:xsd="http://www.w3.org/2001/XMLSchema">
  <LoginUserInfos>
    <LoginUserInfo><Role>Dictant</Role><LoginName>jdupont</LoginName><DisplayName>Jean Dupont</DisplayName>
      <Email>jean.dupont@etude.fr</Email><Groupe /><LoginId>101</LoginId>
      <Context>Cardiologie;Soins d'urgence</Context></LoginUserInfo>
    <LoginUserInfo><Role>Secretaire</Role><LoginName>amartin</LoginName><DisplayName>Anne Martin</DisplayName>
      <Email></Email><Groupe>Pool A</Groupe><LoginId>202</LoginId><Context /></LoginUserInfo>
  </LoginUserInfos>
  <Worktypes>
    <Worktype><Nom>Courrier</Nom><Secretaire>amartin</Secretaire><Type>Lettre</Type>
      <Tracage>true</Tracage><Duree>48</Duree></Worktype>
    <Worktype>Compte rendu;CR;Pool A</Worktype>
  </Worktypes>
  <Services>
    <Service><Guid>g-1</Guid><Name>Cardiologie &amp; vasculaire</Name><IsSite>true</IsSite>
      <DepartementParent /><SiteId>S1</SiteId>
      <ServiceUsers><UserId>amartin</UserId><UserId>jdupont</UserId></ServiceUsers>
      <ServiceWorktypes><WorktypeId>Courrier</WorktypeId></ServiceWorktypes></Service>
    <Service><Guid>g-2</Guid><Name>Urgences</Name><IsSite>false</IsSite>
      <DepartementParent> g-1 </DepartementParent><SiteId>S1</SiteId></Service>
  </Services>
  <Fields><Field><Key>JobTitle</Key><Value>Dossier</Value></Field><Field>Patient</Field><Field>identvalue</Field></Fields>
  <ValidateBeforeSend>true</ValidateBeforeSend><BlockRecipient>true</BlockRecipient>
  <ShowSettingsForRecord>false</ShowSettingsForRecord><TypeOfDelivery>WEBSERVICES</TypeOfDelivery>
</Catalogue>
)";

class CatalogueImportTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);
    test::LogCapture log;

    static std::size_t directoryRows() {
        return test::rows(
                   "select 1 from user union all select 1 from worktype union all select 1 from context "
                   "union all select 1 from service union all select 1 from user_service "
                   "union all select 1 from worktype_service")
            .size();
    }
};

// The stores themselves are tested on their own: here, that each section reaches its store.
TEST_F(CatalogueImportTest, ACatalogueFillsEveryStore) {
    ASSERT_TRUE(Entity::DeserializeObjectWithString(kCatalogue));
    userRequest users;
    users.selectAllAuteur();
    ASSERT_THAT(users.tabNameUser, ElementsAre("jdupont"));
    EXPECT_THAT(contextRequest().selectContextUser(users.tabIdUser[0]),
                ElementsAre("Cardiologie", "Soins d'urgence"));
    users.selectAllSecretaire();
    EXPECT_THAT(users.tabNameUser, ElementsAre("amartin", "Pool A"));

    worktypeRequest worktypes;
    worktypes.selectAllworktype();
    ASSERT_EQ(worktypes.tabWorktype.size(), 2u);
    EXPECT_EQ(worktypes.tabWorktype["Courrier"]["Duree"], "48");
    EXPECT_EQ(worktypes.tabWorktype["Compte rendu"]["Secretaire"], "Pool A");

    auto services = serviceRequest().selectAllServices();
    ASSERT_EQ(services.size(), 2u);
    EXPECT_EQ(services[0].name, "Cardiologie & vasculaire");
    EXPECT_THAT(services[0].users, ElementsAre("amartin"));
    EXPECT_THAT(services[0].worktype, ElementsAre("Courrier"));
    EXPECT_EQ(services[1].parentService, "g-1");

    EXPECT_EQ(ConfigurationManager::getJobTitle() + "|" + ConfigurationManager::getIdentValue(),
              "Dossier|Patient");
    // Validate before send, before record, block recipient, display services; web services delivery.
    EXPECT_EQ(std::vector<bool>({ConfigurationManager::shouldDisplayParameterResumeBeforeSend(),
                                 ConfigurationManager::shouldDisplayParameterResumeBeforeRecord(),
                                 ConfigurationManager::shouldBlockRecipient(),
                                 ConfigurationManager::shouldDisplayServices()}),
              std::vector<bool>({true, false, true, true}));
    EXPECT_EQ(ConfigurationManager::getSendType(), 2);
}

// Hostile documents must be refused quickly, without reading local files or growing memory.
TEST_F(CatalogueImportTest, MalformedOrHostileDocumentsStoreNothing) {
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

    const std::string use =
        "<Catalogue><LoginUserInfo><LoginName>a&s;</LoginName></LoginUserInfo></Catalogue>";
    const std::string external =
        "<!DOCTYPE Catalogue [<!ENTITY s SYSTEM \"file://" + secret.string() + "\">]>" + use;
    const std::string externalSubset = "<!DOCTYPE Catalogue SYSTEM \"file://" + secret.string() + "\">" + use;
    // Well-formed, but far deeper than any catalogue.
    std::string nested;
    for (int level = 0; level < 300; ++level) {
        nested = "<LoginUserInfo>" + nested + "</LoginUserInfo>";
    }
    nested = "<Catalogue>" + nested + "</Catalogue>";

    std::string truncated(kCatalogue);
    truncated.resize(truncated.find("<Services>"));

    ASSERT_TRUE(Entity::DeserializeObjectWithString(kCatalogue));
    const auto before = directoryRows();
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& hostile : {laughs, external, externalSubset, nested, truncated, std::string(),
                                       std::string("<Catalogue><Version>3</version></Catalogue>")}) {
        EXPECT_FALSE(Entity::DeserializeObjectWithString(hostile)) << hostile.substr(0, 80);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(directoryRows(), before); // the directory in place is kept whole
    EXPECT_TRUE(log.contains("Erreur lors de la lecture du catalogue"));
    EXPECT_FALSE(log.contains("motdepasse-local"));
    EXPECT_TRUE(log.contains("déclaration d'entité refusée"));
    EXPECT_TRUE(log.contains("profondeur excessive"));

    // Well-formed but not a catalogue: an error page must not empty the directory either.
    for (const char* page : {"<html><body>404</body></html>", "<foo/>", "<catalogue/>"}) {
        std::string error;
        EXPECT_FALSE(Entity::importCatalogue(page, &error)) << page;
        EXPECT_THAT(error, ::testing::StartsWith("Ce document n'est pas un catalogue de workflow"));
    }
    EXPECT_EQ(directoryRows(), before);
}

// A catalogue of thousands of entries is stored in one go, and writes a summary per table,
// not a line per entry.
TEST_F(CatalogueImportTest, ALargeCatalogueIsStoredWholeAndLogsOneLinePerTable) {
    std::string fields = "<Fields>";
    for (int index = 0; index < 2000; ++index) {
        fields +=
            "<Field><Key>k" + std::to_string(index) + "</Key><Value>v</Value></Field><Field>texte</Field>";
    }
    ASSERT_TRUE(Entity::importCatalogue(test::largeCatalogue("Dossier", fields + "</Fields>")));
    EXPECT_EQ(
        test::rows("select (select count(*) from user), (select count(*) from worktype), (select count(*) "
                   "from context), (select count(*) from user_service), (select count(*) from "
                   "worktype_service)"),
        (test::Rows{{"2000", "2000", "2000", "2000", "2000"}}));
    EXPECT_LT(log.lines().size(), 40u);
    EXPECT_TRUE(log.contains("Catalogue importé : 2000 utilisateur(s)"));
    EXPECT_TRUE(log.contains("Catalogue importé : 2000 type(s) de travail"));
    EXPECT_TRUE(log.contains("Catalogue importé : 3001 option(s)"));
}

// A save that fails part way, after the old directory was emptied, keeps the old directory
// whole and its preferences untouched; a row the schema refuses is only skipped, as before.
TEST_F(CatalogueImportTest, ASaveFailingPartWayKeepsThePreviousWorkflow) {
    ASSERT_TRUE(Entity::importCatalogue(kCatalogue));
    auto directory = [] {
        std::vector<test::Rows> tables;
        for (const char* table :
             {"user", "context", "worktype", "service", "user_service", "worktype_service"}) {
            tables.push_back(test::rows(std::string("select * from ") + table));
        }
        return tables;
    };
    const auto before = directory();

    // The database undoes the whole transaction in the middle of the worktypes, as it may on
    // a full disk or an I/O error.
    test::execute("CREATE TRIGGER panne BEFORE INSERT ON worktype WHEN NEW.name = 'W1500' "
                  "BEGIN SELECT RAISE(ROLLBACK, 'panne simulée'); END");
    std::string error;
    EXPECT_FALSE(Entity::importCatalogue(test::largeCatalogue("Autre titre"), &error));
    EXPECT_THAT(error, ::testing::EndsWith("Le workflow actuel est conservé."));
    EXPECT_EQ(directory(), before);
    EXPECT_EQ(ConfigurationManager::getJobTitle(), "Dossier");
    EXPECT_TRUE(log.contains("Le catalogue n'a pas été enregistré"));

    // A member listed twice breaks the link table's key: that link only is left out.
    test::execute("DROP TRIGGER panne");
    ASSERT_TRUE(Entity::importCatalogue(
        "<Catalogue><LoginUserInfos><LoginUserInfo><Role>Secretaire</Role><LoginName>a</LoginName>"
        "</LoginUserInfo></LoginUserInfos><Services><Service><Guid>g</Guid><ServiceUsers><UserId>a</UserId>"
        "<UserId>a</UserId></ServiceUsers></Service></Services>"
        "<Fields><Field><Key>JobTitle</Key><Value>Nouveau</Value></Field></Fields></Catalogue>",
        &error));
    EXPECT_EQ(test::rows("select login_name from user"), (test::Rows{{"a"}}));
    ASSERT_EQ(serviceRequest().selectAllServices().size(), 1u);
    EXPECT_THAT(serviceRequest().selectAllServices()[0].users, ElementsAre("a"));
    EXPECT_EQ(ConfigurationManager::getJobTitle(), "Nouveau");
}

Json parsed(const std::string& xml) {
    XMLCatalogueParser parser;
    EXPECT_TRUE(parser.parse(xml)) << parser.errorDescription();
    return parser.getDataFromDictionary();
}

TEST(XMLCatalogueParserTest, SectionsKeepOnlyTheirOwnEntriesInOrder) {
    const struct {
        std::string xml, section, expected;
    } cases[] = {
        {"<Worktypes><Worktype> Compte rendu;CR\n</Worktype></Worktypes>", "Worktypes",
         R"([{"Worktype": "Compte rendu;CR"}])"},
        {"<Services><Service><Guid>g1</Guid><ServiceUsers><UserId> b "
         "</UserId><UserId>a</UserId></ServiceUsers>"
         "<ServiceWorktypes><WorktypeId>W1</WorktypeId></ServiceWorktypes></Service>"
         "<Service><Guid>g2</Guid></Service></Services>",
         "Services",
         R"([{"Guid": "g1", "ServiceUsers": ["b", "a"], "ServiceWorktypes": ["W1"]}, {"Guid": "g2"}])"},
        // Delivery is trimmed; an empty one adds no option.
        {"<TypeOfDelivery> FTP </TypeOfDelivery>", "Configuration", R"([{"TypeOfDelivery": "FTP"}])"},
        {"<TypeOfDelivery>  </TypeOfDelivery><TypeOfDelivery/>", "Configuration", "[]"},
    };
    for (const auto& [xml, section, expected] : cases) {
        SCOPED_TRACE(xml);
        EXPECT_EQ(parsed("<Catalogue>" + xml + "</Catalogue>")[section], Json::parse(expected));
    }
}

TEST(XMLCatalogueParserTest, OlderFieldTextsPairAsValueThenKeyAndAnOddCountIsIgnored) {
    Json four = parsed("<Catalogue><Fields><Field>Titre</Field><Field>jobtitle</Field>"
                       "<Field><Key>x</Key><Value>y</Value></Field>"
                       "<Field>Dossier</Field><Field>identvalue</Field></Fields>"
                       "<Version>3</Version></Catalogue>");
    EXPECT_EQ(four["Configuration"], Json::parse(R"([{"Key": "x", "Value": "y"}, {"Version": "3"},
        {"Value": "Titre", "Key": "jobtitle"}, {"Value": "Dossier", "Key": "identvalue"}])"));

    Json three = parsed("<Catalogue><Fields><Field>Titre</Field><Field>jobtitle</Field>"
                        "<Field>Dossier</Field></Fields></Catalogue>");
    EXPECT_EQ(three["Configuration"], Json::array());
}

// The gathered text runs from the previous end tag, white space between tags included.
TEST(XMLCatalogueParserTest, AnElementWithoutTextIsAbsentButWhiteSpaceMakesItEmpty) {
    Json users = parsed("<Catalogue><LoginUserInfos>"
                        "<LoginUserInfo><LoginName>a</LoginName><Email></Email></LoginUserInfo>"
                        "<LoginUserInfo><LoginName>b</LoginName> <Email/></LoginUserInfo>"
                        "<LoginUserInfo><LoginName>c</LoginName><Email>\n\t </Email></LoginUserInfo>"
                        "</LoginUserInfos></Catalogue>")["Users"];
    EXPECT_EQ(users, Json::parse(R"([{"LoginName": "a"}, {"LoginName": "b", "Email": ""},
                                     {"LoginName": "c", "Email": ""}])"));
}

TEST(XMLCatalogueParserTest, CharactersArrivingInSeveralPiecesAreJoined) {
    // Entities, character references and CDATA are all text, even across the parser's chunks.
    const std::string name(70000, 'n');
    Json users = parsed("<Catalogue><LoginUserInfo><DisplayName>" + name +
                        "&amp;&#233;<![CDATA[<b>]]></DisplayName></LoginUserInfo></Catalogue>")["Users"];
    EXPECT_EQ(users[0]["DisplayName"], name + "&\xC3\xA9<b>");
}

struct ModelRecord {
    static constexpr const char* kXmlElementName = "ModelDocument";
    static const std::vector<XmlField<ModelRecord>>& xmlFields() {
        static const std::vector<XmlField<ModelRecord>> fields{{"IdModel", &ModelRecord::IdModel},
                                                               {"ModelName", &ModelRecord::ModelName},
                                                               {"isHeader", &ModelRecord::isHeader}};
        return fields;
    }
    std::string IdModel;
    std::string ModelName;
    bool isHeader = false;
};

TEST(ParserXMLTest, RecordsAreReadFromTheRootsChildrenOfTheirNameOnly) {
    auto records = ParserXML::parseFromXML(R"(<Models>
        <ModelDocument IdModel="7" ModelName="Lettre &amp; suite" Unknown="z"/>
        <Other IdModel="8"/><Group><ModelDocument IdModel="9"/></Group>
        <ModelDocument IdModel="10" isHeader="YES"/></Models>)",
                                           ModelRecord{});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].IdModel + "|" + records[0].ModelName, "7|Lettre & suite");
    EXPECT_FALSE(records[0].isHeader);
    EXPECT_EQ(records[1].IdModel, "10");
    EXPECT_TRUE(records[1].isHeader);
    for (const char* bad : {"<Models><ModelDocument IdModel='1'></Models>", "",
                            "<!DOCTYPE M [<!ENTITY e 'x'>]><M><ModelDocument IdModel='&e;'/></M>"}) {
        EXPECT_TRUE(ParserXML::parseFromXML(bad, ModelRecord{}).empty()) << bad;
    }
}

} // namespace
} // namespace orvaneh
