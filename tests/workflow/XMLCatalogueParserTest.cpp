#include "Classes/workflow/XMLCatalogueParser.h"

#include "Classes/workflow/ParserXML.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

Json parsed(const std::string& xml) {
    XMLCatalogueParser parser;
    EXPECT_TRUE(parser.parse(xml)) << parser.errorDescription();
    return parser.getDataFromDictionary();
}

TEST(XMLCatalogueParserTest, WorktypesInBothFormsKeepOnlyTheirOwnEntries) {
    Json data = parsed("<Catalogue><Worktypes>"
                       "<Worktype> Compte rendu;CR;Pool A\n</Worktype>"
                       "<Worktype><Nom>Courrier</Nom><Type>Lettre</Type></Worktype>"
                       "</Worktypes></Catalogue>");
    EXPECT_EQ(data["Worktypes"], Json::parse(R"([{"Worktype": "Compte rendu;CR;Pool A"},
                                                  {"Nom": "Courrier", "Type": "Lettre"}])"));
}

TEST(XMLCatalogueParserTest, ServiceMembersAreGatheredInOrderAndBelongToTheirServiceOnly) {
    Json data =
        parsed("<Catalogue><Services>"
               "<Service><Guid>g1</Guid><ServiceUsers><UserId> b </UserId><UserId>a</UserId>"
               "</ServiceUsers><ServiceWorktypes><WorktypeId>W1</WorktypeId></ServiceWorktypes></Service>"
               "<Service><Guid>g2</Guid></Service>"
               "</Services></Catalogue>");
    EXPECT_EQ(data["Services"], Json::parse(R"([
        {"Guid": "g1", "ServiceUsers": ["b", "a"], "ServiceWorktypes": ["W1"]},
        {"Guid": "g2"}])"));
}

TEST(XMLCatalogueParserTest, TypeOfDeliveryIsTrimmedAndAnEmptyOneAddsNoOption) {
    EXPECT_EQ(parsed("<Catalogue><TypeOfDelivery> FTP </TypeOfDelivery></Catalogue>")["Configuration"],
              Json::parse(R"([{"TypeOfDelivery": "FTP"}])"));
    EXPECT_EQ(
        parsed(
            "<Catalogue><TypeOfDelivery>  </TypeOfDelivery><TypeOfDelivery/></Catalogue>")["Configuration"],
        Json::array());
}

TEST(XMLCatalogueParserTest, OlderFieldTextsPairAsValueThenKeyAndAnOddCountIsIgnored) {
    test::LogCapture log;
    Json four = parsed("<Catalogue><Fields><Field>Titre</Field><Field>jobtitle</Field>"
                       "<Field><Key>x</Key><Value>y</Value></Field>"
                       "<Field>Dossier</Field><Field>identvalue</Field></Fields>"
                       "<Version>3</Version></Catalogue>");
    EXPECT_EQ(four["Configuration"], Json::parse(R"([{"Key": "x", "Value": "y"}, {"Version": "3"},
        {"Value": "Titre", "Key": "jobtitle"}, {"Value": "Dossier", "Key": "identvalue"}])"));
    EXPECT_TRUE(log.contains("CurrentElementValue  Dossier"));

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
    XMLCatalogueParser parser;
    parser.didStartElement("LoginName");
    parser.foundCharacters(" Jean-");
    parser.foundCharacters("Pierre\n");
    parser.didEndElement("LoginName");
    parser.didEndElement("LoginUserInfo");
    EXPECT_EQ(parser.getDataFromDictionary()["Users"], Json::parse(R"([{"LoginName": "Jean-Pierre"}])"));

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
        <Other IdModel="8"/>
        <Group><ModelDocument IdModel="9"/></Group>
        <ModelDocument IdModel="10" isHeader="YES"/>
    </Models>)",
                                           ModelRecord{});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].IdModel + "|" + records[0].ModelName, "7|Lettre & suite");
    EXPECT_FALSE(records[0].isHeader);
    EXPECT_EQ(records[1].IdModel, "10");
    EXPECT_TRUE(records[1].isHeader);
}

TEST(ParserXMLTest, BadOrEntityDeclaringTextGivesNoRecord) {
    EXPECT_TRUE(
        ParserXML::parseFromXML("<Models><ModelDocument IdModel='1'></Models>", ModelRecord{}).empty());
    EXPECT_TRUE(ParserXML::parseFromXML("", ModelRecord{}).empty());
    EXPECT_TRUE(ParserXML::parseFromXML("<!DOCTYPE M [<!ENTITY e 'x'>]><M><ModelDocument IdModel='&e;'/></M>",
                                        ModelRecord{})
                    .empty());
}

TEST(ParserXMLTest, TheDocumentAnswersXPathAndTextQueries) {
    auto document = XmlDocument::parse("<r><a k='1'>x<b>y</b></a><a k='2'/></r>");
    ASSERT_TRUE(document);
    auto found = document->nodesForXPath("//a[@k='2']");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].attributeForName("k"), "2");
    EXPECT_EQ(document->rootElement().elementsForName("a").at(0).stringValue(), "xy");
    EXPECT_TRUE(document->nodesForXPath("//[").empty());
}

} // namespace
} // namespace orvaneh
