#include "Classes/packaging/XMLVelmora.h"

#include "Platform/runloop/Clock.h"
#include "Platform/time/DateFormatter.h"
#include "packaging/DescriptorTestSupport.h"
#include "support/TestProfile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Optional;
using ::testing::StartsWith;

class XMLVelmoraTest : public ::testing::Test {
protected:
    test::TestProfile profile;

    static DicteeModel record() {
        DicteeModel dictation;
        dictation.idDictee = 3;
        dictation.titre = "Réunion/été";
        dictation.auteur = "jdupont";
        dictation.contexte = "Cardiologie";
        dictation.secretaire = "marie";
        dictation.worktype = "Courrier";
        dictation.priorite = "Haute";
        dictation.identValue = "   ";
        dictation.dureeDictee = 42;
        dictation.dureeInstruction = 9;
        dictation.masterJobId = "0A1B2C3D-0000-4000-8000-000000000001";
        return dictation;
    }
};

TEST_F(XMLVelmoraTest, FieldsAreTheRecordsAsStoredWithTheChosenDateAndModel) {
    PossibleDate date{"S", "O", "D", std::nullopt, false};
    ModelDocument model{"M1", "lettre.dotx", "Lettre", "Word"};
    XMLVelmora descriptor;
    descriptor.setDictee(record(), &date, &model);

    EXPECT_EQ(descriptor.fileName(), record().masterJobId);
    EXPECT_THAT(descriptor.value("Durationdic"), Optional(std::string("42")));
    EXPECT_EQ(descriptor.value("Durationins"), std::nullopt);
    EXPECT_THAT(descriptor.value("Jobpriority"), Optional(std::string("High")));
    EXPECT_THAT(descriptor.value("ExtIdentifier7"), Optional(std::string("D|O|S")));
    EXPECT_THAT(descriptor.value("ExtIdentifier8"), Optional(std::string("M1|lettre.dotx|Lettre|Word")));
    EXPECT_THAT(descriptor.value("MasterJobId"), Optional(record().masterJobId));
    // No default text and no folding here.
    EXPECT_THAT(descriptor.value("IdentNumber"), Optional(std::string("   ")));
    EXPECT_THAT(descriptor.value("DateCreation"),
                Optional(DateFormatter::format("dd/MM/yyyy HH:mm:ss", Clock::current()->wallNow())));

    std::string document = descriptor.SerializeObject();
    EXPECT_THAT(document, StartsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ExportJobType "
                                     "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                                     "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n<"));
    EXPECT_THAT(document, HasSubstr("<Jobtitle>R&#xE9;union/&#xE9;t&#xE9;</Jobtitle>"));
    EXPECT_THAT(document, HasSubstr("<ExtIdentifier1/><ExtIdentifier2/>"));
    EXPECT_EQ(test::xmllint(document).status, 0) << document;
}

TEST_F(XMLVelmoraTest, MissingChoicesKeepEveryPartEmpty) {
    XMLVelmora descriptor;
    descriptor.setDictee(record(), nullptr, nullptr);
    EXPECT_THAT(descriptor.value("ExtIdentifier7"), Optional(std::string("||")));
    EXPECT_THAT(descriptor.value("ExtIdentifier8"), Optional(std::string("|||")));
}

} // namespace
} // namespace orvaneh
