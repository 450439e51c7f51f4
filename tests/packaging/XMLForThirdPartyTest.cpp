#include "Classes/packaging/XMLForThirdParty.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/UserDefaultManager.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/packaging/XMLVelmora.h"
#include "Platform/files/AtomicFile.h"
#include "Platform/runloop/Clock.h"
#include "Platform/time/DateFormatter.h"
#include "support/ProcessRunner.h"
#include "support/TestDatabase.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Optional;

// What xmllint says of the document; with an XPath expression, its value (in `out`).
test::ProcessResult xmllint(const std::string& document, const std::string& xpath = "") {
    test::TemporaryDirectory directory;
    auto file = (directory.path() / "job.XML").string();
    std::ofstream(file, std::ios::binary) << document;
    auto result = test::ProcessRunner::run(
        xpath.empty() ? std::vector<std::string>{"/usr/bin/xmllint", "--noout", file}
                      : std::vector<std::string>{"/usr/bin/xmllint", "--xpath", xpath, file});
    if (!xpath.empty() && !result.out.empty() && result.out.back() == '\n') {
        result.out.pop_back();
    }
    return result;
}

constexpr const char* kJob = "6F1C2B9A-3D4E-4F50-8A1B-2C3D4E5F6A7B";

class XMLForThirdPartyTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);

    static DicteeModel reference() {
        DicteeModel record;
        record.idDictee = 7;
        record.titre = "Café à Noël";
        record.auteur = "Hélène";
        record.secretaire = "marie";
        record.worktype = "Courrier";
        record.priorite = "Haute";
        record.type = "Dictée numérique";
        record.identValue = "Dossier 42";
        record.dureeDictee = 42;
        record.masterJobId = kJob;
        return record;
    }

    static XMLForThirdParty filled(const DicteeModel& record) {
        XMLForThirdParty descriptor;
        descriptor.setDictee(record);
        return descriptor;
    }
};

TEST_F(XMLForThirdPartyTest, ReferenceDictationIsWrittenByteForByte) {
    XMLForThirdParty descriptor = filled(reference());
    EXPECT_EQ(descriptor.fileName(), kJob);
    EXPECT_EQ(
        descriptor.SerializeObject(),
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<Lumetra_5.0_ThirdPartyBatchModeImport xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
                    "<IdentValue>Dossier 42</IdentValue><JobTitle>Cafe a No&#xEB;l</JobTitle>"
                    "<TypistShortName>marie</TypistShortName><DictateFileName>") +
            kJob +
            ".wav</DictateFileName><JobPriority>High</JobPriority>"
            "<AuthorShortName>H&#xE9;l&#xE8;ne</AuthorShortName><Comment/>"
            "<WorkTypeShortName>Courrier</WorkTypeShortName>"
            "<RecognitionType>DigitalDictation</RecognitionType><DictLengthInSec>42</DictLengthInSec>"
            "<ExtIdentifier1/><ExtIdentifier2/><InputChannel>MobileDevice</InputChannel>"
            "</Lumetra_5.0_ThirdPartyBatchModeImport>\n");
}

TEST_F(XMLForThirdPartyTest, HostileValuesStayWellFormedAndReadBackAsTheirText) {
    DicteeModel record = reference();
    record.auteur = "a&b <c> \"d\" 'e' ]]> &amp;";
    record.titre = std::string("bad\xC3(byte\x01\x1F") + '\0' + "tab\tend";
    record.worktype = "\xFF\xC0\xAF\xED\xA0\x80\xEF\xBF\xBF|\xF0\x9F\x8E\x99";
    record.contexte = "x";
    record.identValue = "\xE9t\xE9";
    record.secretaire = "<Site>forged</Site>";
    std::string document = filled(record).SerializeObject();

    auto lint = xmllint(document);
    ASSERT_EQ(lint.status, 0) << lint.err << document;
    EXPECT_TRUE(std::all_of(document.begin(), document.end(), [](char byte) { return byte > 0; }))
        << document;
    // Broken bytes become U+FFFD, which the folding of titles and identifiers turns into "e";
    // control characters are dropped, the tab is kept.
    for (const auto& [xpath, text] : {std::pair<std::string, std::string>{"//AuthorShortName", record.auteur},
                                      {"//TypistShortName", record.secretaire},
                                      {"//JobTitle", "bade(bytetab\tend"},
                                      {"//IdentValue", "ete"},
                                      {"//Site", ""}}) {
        EXPECT_EQ(xmllint(document, "string(" + xpath + ")").out, text) << xpath;
    }
    EXPECT_THAT(document,
                HasSubstr("<WorkTypeShortName>&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;|&#x1F399;"
                          "</WorkTypeShortName>"));
}

TEST_F(XMLForThirdPartyTest, TitleAndIdentifierAreFoldedAndEmptyFieldsLeftOut) {
    DicteeModel record = reference();
    record.titre = "Réunion d'équipe/été";
    record.auteur.clear();
    record.type.clear();
    XMLForThirdParty descriptor = filled(record);
    EXPECT_THAT(descriptor.value("JobTitle"), Optional(std::string("Reunion d'equipe-ete")));
    EXPECT_EQ(descriptor.value("AuthorShortName"), std::nullopt);
    EXPECT_EQ(descriptor.value("RecognitionType"), std::nullopt);
    for (const auto& [ident, sent] : {std::pair<std::string, std::string>{"   ", "Dictee iPhone"},
                                      {" \n\u00A0", "Dictee iPhone"},
                                      {"Hôpital Ê\\é", "Hôpital e-e"}}) {
        descriptor.setIdentValue(ident);
        EXPECT_THAT(descriptor.value("IdentValue"), Optional(sent)) << ident;
    }
}

TEST_F(XMLForThirdPartyTest, InstructionAndExportFormatNameTheJobsAudioFiles) {
    DicteeModel record = reference();
    EXPECT_EQ(filled(record).value("InstructionFileName"), std::nullopt);
    record.dureeInstruction = 1;
    UserDefaultManager::setObject("spx", "ExportFileFormat");
    XMLForThirdParty spoken = filled(record);
    EXPECT_THAT(spoken.value("DictateFileName"), Optional(std::string(kJob) + ".spx"));
    EXPECT_THAT(spoken.value("InstructionFileName"), Optional(std::string(kJob) + "-i.spx"));
    EXPECT_THAT(spoken.value("InstrLengthInSec"), Optional(std::string("1")));
    EXPECT_EQ(spoken.jobFilePath(), profile.documents().string() + "/" + kJob + ".XML");
}

TEST_F(XMLForThirdPartyTest, LongTypistNamesAreSentAsTheUsersIdWhenKnown) {
    // 15 characters, 15 without an id, 14, and 14 characters in 28 bytes.
    for (const auto& [login, id] : {std::pair{"typiste-quinze1", "ID-15"},
                                    {"typiste-quatorz", ""},
                                    {"typiste-quator", "ID-14"},
                                    {"éééééééééééééé", "ID-ACCENTS"}}) {
        userRequest user;
        user.login_name = login;
        user.login_id = id;
        user.role = userRequest::kTypistRole;
        ASSERT_NE(user.insertUser(), 0);
    }
    using Sent = std::pair<std::optional<std::string>, std::optional<std::string>>;
    const std::pair<std::string, Sent> cases[] = {{"typiste-quinze1", {{}, "ID-15"}},
                                                  {"typiste-quatorz", {"typiste-quatorz", {}}},
                                                  {"inconnu-de-la-base", {"inconnu-de-la-base", {}}},
                                                  {"typiste-quator", {"typiste-quator", {}}},
                                                  {"éééééééééééééé", {"éééééééééééééé", {}}},
                                                  {"", {}}};
    for (const auto& [name, sent] : cases) {
        SCOPED_TRACE(name);
        DicteeModel record = reference();
        record.secretaire = name;
        XMLForThirdParty descriptor = filled(record);
        EXPECT_EQ(Sent(descriptor.value("TypistShortName"), descriptor.value("TypistUserId")), sent);
    }
}

TEST_F(XMLForThirdPartyTest, ServicesAreSentOnlyWhenDisplayed) {
    ServiceModel site;
    site.guid = "SITE-1";
    site.isSite = true;
    ServiceModel department;
    department.guid = "DEP-1";
    department.idSite = "SITE-1";
    serviceRequest().insertServiceAndUsersWorktypes(site);
    serviceRequest().insertServiceAndUsersWorktypes(department);

    auto sent = [&](double serviceRowId) {
        DicteeModel record = reference();
        record.serviceID = static_cast<std::int32_t>(serviceRowId);
        XMLForThirdParty descriptor = filled(record);
        return std::pair{descriptor.value("Site"), descriptor.value("Secteur")};
    };
    using Sent = std::pair<std::optional<std::string>, std::optional<std::string>>;
    ConfigurationManager::setShouldDisplayServices(false);
    EXPECT_EQ(sent(department.idService), Sent());
    ConfigurationManager::setShouldDisplayServices(true);
    EXPECT_EQ(sent(site.idService), Sent("SITE-1", std::nullopt));
    EXPECT_EQ(sent(department.idService), Sent("SITE-1", "DEP-1"));
    EXPECT_EQ(sent(999), Sent());
}

TEST_F(XMLForThirdPartyTest, JobFileIsReplacedWholeAndOnlyInsideTheDocuments) {
    XMLForThirdParty descriptor = filled(reference());
    auto path = profile.writeDocument(std::string(kJob) + ".XML", "ancien");
    ASSERT_TRUE(descriptor.writeJobFile());
    EXPECT_EQ(AtomicFile::read(path), descriptor.SerializeObject());
    for (const std::string& name : {std::string(), std::string("../evade"), std::string("a\0b", 3)}) {
        DicteeModel record = reference();
        record.masterJobId = name;
        EXPECT_FALSE(filled(record).writeJobFile()) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(profile.documents().parent_path() / "evade.XML"));
    EXPECT_FALSE(std::filesystem::exists(profile.documents() / ".XML"));
}

TEST_F(XMLForThirdPartyTest, VelmoraFieldsAreTheRecordsAsStoredWithTheChosenDateAndModel) {
    DicteeModel record = reference();
    record.titre = "Réunion/été";
    record.dureeInstruction = 9;
    record.identValue = "   ";
    PossibleDate date{"S", "O", "D", std::nullopt, false};
    ModelDocument model{"M1", "lettre.dotx", "Lettre", "Word"};
    XMLVelmora descriptor;
    descriptor.setDictee(record, &date, &model);
    EXPECT_EQ(descriptor.value("Durationins"), std::nullopt);
    EXPECT_THAT(descriptor.value("ExtIdentifier7"), Optional(std::string("D|O|S")));
    EXPECT_THAT(descriptor.value("ExtIdentifier8"), Optional(std::string("M1|lettre.dotx|Lettre|Word")));
    // No default text and no folding here.
    EXPECT_THAT(descriptor.value("IdentNumber"), Optional(std::string("   ")));
    EXPECT_THAT(descriptor.value("DateCreation"),
                Optional(DateFormatter::format("dd/MM/yyyy HH:mm:ss", Clock::current()->wallNow())));
    std::string document = descriptor.SerializeObject();
    EXPECT_THAT(document, HasSubstr("<Jobtitle>R&#xE9;union/&#xE9;t&#xE9;</Jobtitle>"));
    EXPECT_EQ(xmllint(document).status, 0) << document;

    // Missing choices keep every part, empty.
    descriptor.setDictee(record, nullptr, nullptr);
    EXPECT_THAT(descriptor.value("ExtIdentifier7"), Optional(std::string("||")));
    EXPECT_THAT(descriptor.value("ExtIdentifier8"), Optional(std::string("|||")));
}

} // namespace
} // namespace orvaneh
