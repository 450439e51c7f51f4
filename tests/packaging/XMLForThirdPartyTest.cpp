#include "Classes/packaging/XMLForThirdParty.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/UserDefaultManager.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/userRequest.h"
#include "Platform/files/AtomicFile.h"
#include "packaging/DescriptorTestSupport.h"
#include "support/LogCapture.h"
#include "support/TestDatabase.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Optional;

constexpr const char* kJob = "6F1C2B9A-3D4E-4F50-8A1B-2C3D4E5F6A7B";

class XMLForThirdPartyTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);
    test::LogCapture log;

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

    static void addTypist(const std::string& login, const std::string& id) {
        userRequest user;
        user.login_name = login;
        user.login_id = id;
        user.role = userRequest::kTypistRole;
        ASSERT_NE(user.insertUser(), 0);
    }
};

TEST_F(XMLForThirdPartyTest, ReferenceDictationIsWrittenByteForByte) {
    XMLForThirdParty descriptor = filled(reference());
    EXPECT_EQ(descriptor.fileName(), kJob);
    EXPECT_EQ(descriptor.idDict(), 7);
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

    auto lint = test::xmllint(document);
    ASSERT_EQ(lint.status, 0) << lint.err << document;
    for (char byte : document) {
        EXPECT_LT(static_cast<unsigned char>(byte), 0x80) << document;
    }
    EXPECT_EQ(test::xmllint(document, "string(//AuthorShortName)").out, record.auteur);
    EXPECT_EQ(test::xmllint(document, "string(//TypistShortName)").out, record.secretaire);
    EXPECT_EQ(test::xmllint(document, "count(//Site)").out, "0");
    // Broken bytes become U+FFFD, which the folding of titles and identifiers turns into "e";
    // control characters are dropped, the tab is kept.
    EXPECT_EQ(test::xmllint(document, "string(//JobTitle)").out, "bade(bytetab\tend");
    EXPECT_EQ(test::xmllint(document, "string(//IdentValue)").out, "ete");
    EXPECT_THAT(document,
                HasSubstr("<WorkTypeShortName>&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;|&#x1F399;"
                          "</WorkTypeShortName>"));
}

TEST_F(XMLForThirdPartyTest, TitleAndIdentifierAreFoldedWithTheirDefault) {
    DicteeModel record = reference();
    record.titre = "Réunion d'équipe/été";
    record.identValue = "   ";
    XMLForThirdParty descriptor = filled(record);
    EXPECT_THAT(descriptor.value("JobTitle"), Optional(std::string("Reunion d'equipe-ete")));
    EXPECT_THAT(descriptor.value("IdentValue"), Optional(std::string("Dictee iPhone")));

    descriptor.setIdentValue(" \n\u00A0");
    EXPECT_THAT(descriptor.value("IdentValue"), Optional(std::string("Dictee iPhone")));
    descriptor.setIdentValue("Hôpital Ê\\é");
    EXPECT_THAT(descriptor.value("IdentValue"), Optional(std::string("Hôpital e-e")));

    // Fields the record leaves empty are not written at all.
    record.titre.clear();
    record.auteur.clear();
    record.type.clear();
    descriptor = filled(record);
    EXPECT_EQ(descriptor.value("JobTitle"), std::nullopt);
    EXPECT_EQ(descriptor.value("AuthorShortName"), std::nullopt);
    EXPECT_EQ(descriptor.value("RecognitionType"), std::nullopt);
}

TEST_F(XMLForThirdPartyTest, InstructionAndExportFormatNameTheJobsAudioFiles) {
    DicteeModel record = reference();
    XMLForThirdParty silent = filled(record);
    EXPECT_EQ(silent.value("InstructionFileName"), std::nullopt);
    EXPECT_EQ(silent.value("InstrLengthInSec"), std::nullopt);

    record.dureeInstruction = 1;
    UserDefaultManager::setObject("spx", "ExportFileFormat");
    XMLForThirdParty spoken = filled(record);
    EXPECT_THAT(spoken.value("DictateFileName"), Optional(std::string(kJob) + ".spx"));
    EXPECT_THAT(spoken.value("InstructionFileName"), Optional(std::string(kJob) + "-i.spx"));
    EXPECT_THAT(spoken.value("InstrLengthInSec"), Optional(std::string("1")));
    EXPECT_EQ(spoken.jobFilePath(), profile.documents().string() + "/" + kJob + ".XML");
}

TEST_F(XMLForThirdPartyTest, LongTypistNamesAreSentAsTheUsersIdWhenKnown) {
    addTypist("typiste-quinze1", "ID-15");     // 15 characters
    addTypist("typiste-quatorz", "");          // 15 characters, no id
    addTypist("typiste-quator", "ID-14");      // 14 characters
    addTypist("éééééééééééééé", "ID-ACCENTS"); // 14 characters, 28 bytes

    auto typist = [&](const std::string& name) {
        DicteeModel record = reference();
        record.secretaire = name;
        XMLForThirdParty descriptor = filled(record);
        return std::pair{descriptor.value("TypistShortName"), descriptor.value("TypistUserId")};
    };
    EXPECT_EQ(typist("marie"), std::pair(std::optional<std::string>("marie"), std::optional<std::string>()));
    EXPECT_EQ(typist("typiste-quinze1"),
              std::pair(std::optional<std::string>(), std::optional<std::string>("ID-15")));
    EXPECT_EQ(typist("typiste-quatorz").first, "typiste-quatorz");
    EXPECT_EQ(typist("inconnu-de-la-base").first, "inconnu-de-la-base");
    EXPECT_EQ(typist("typiste-quator").first, "typiste-quator");
    EXPECT_EQ(typist("éééééééééééééé").first, "éééééééééééééé");
    EXPECT_EQ(typist(""), std::pair(std::optional<std::string>(), std::optional<std::string>()));
}

TEST_F(XMLForThirdPartyTest, ServicesAreSentOnlyWhenDisplayed) {
    ServiceModel site;
    site.guid = "SITE-1";
    site.name = "Siège";
    site.isSite = true;
    ServiceModel department;
    department.guid = "DEP-1";
    department.name = "Cardiologie";
    department.idSite = "SITE-1";
    serviceRequest services;
    services.insertServiceAndUsersWorktypes(site);
    services.insertServiceAndUsersWorktypes(department);
    ASSERT_NE(department.idService, 0);

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
    for (const auto& entry : std::filesystem::directory_iterator(profile.documents())) {
        EXPECT_TRUE(entry.path() == path || entry.path().filename().string().find(kJob) == std::string::npos)
            << "left behind: " << entry.path();
    }

    for (const std::string& name : {std::string(), std::string("../evade"), std::string("a\0b", 3)}) {
        DicteeModel record = reference();
        record.masterJobId = name;
        EXPECT_FALSE(filled(record).writeJobFile()) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(profile.documents().parent_path() / "evade.XML"));
    EXPECT_FALSE(std::filesystem::exists(profile.documents() / ".XML"));
}

} // namespace
} // namespace orvaneh
