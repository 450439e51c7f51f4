#include "Classes/core/ConfigurationManager.h"

#include "Classes/core/OrvanehAppDelegate.h"
#include "Classes/core/UserDefaultManager.h"
#include "Platform/log/Log.h"
#include "support/LogCapture.h"
#include "support/TestProfile.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <plist/plist.h>

namespace orvaneh {
namespace {

class ConfigurationManagerTest : public ::testing::Test {
protected:
    test::TestProfile profile;

    // Writes a legacy settings file, as XML or binary property list. Only the first field for
    // each label counts, whatever the case of its name.
    void writeLegacyFile(bool binary) {
        const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>Fields</key><array>
<dict><key>Export</key><string>IdentValue</string><key>Title</key><string>Numéro</string></dict>
<dict><key>Export</key><string>JOBTITLE</string><key>Title</key><string>Intitulé</string></dict>
<dict><key>Export</key><string>identvalue</string><key>Title</key><string>ignoré</string></dict>
</array><key>ValidateBeforeSend</key><true/><key>ShowSettingsForRecord</key><false/></dict></plist>)";
        plist_t root = nullptr;
        char* data = nullptr;
        uint32_t length = 0;
        plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &root);
        plist_to_bin(root, &data, &length);
        profile.writeDocument("Configurations.plist", binary ? std::string(data, length) : xml);
        std::free(data);
        plist_free(root);
    }

    bool legacyFileExists() const {
        return std::filesystem::exists(profile.documents() / "Configurations.plist");
    }
};

TEST_F(ConfigurationManagerTest, StoredEmptyOrZeroFallsBackWhereTheDefaultSaysSo) {
    UserDefaultManager::setObject("", "ExportFileFormat");
    UserDefaultManager::setFloat(0.0f, "AudioSampleRate");
    EXPECT_EQ(ConfigurationManager::getExportFileFormat(), "wav");
    EXPECT_FLOAT_EQ(ConfigurationManager::getAudioSampleRate(), 16000.0f);

    // Unlike those, a stored 0 days means "never clean up" and a stored false hides the scanner.
    UserDefaultManager::setInt(0, "OptionMaxDate");
    UserDefaultManager::setBool(false, "OptionUseBarCodeReader");
    EXPECT_EQ(ConfigurationManager::getCleansingMaxDate(), 0);
    EXPECT_FALSE(ConfigurationManager::shouldDisplayScanner());
}

TEST_F(ConfigurationManagerTest, ServerEntriesReadAsTheirNaturalValue) {
    // Field labels come from entries with an even number of members.
    ConfigurationManager::addObjectsFromArray(
        Json::parse(R"([{"OptionMaxDate": "30"}, {"AudioSampleRate": "8000"},
        {"LinkDictationToSite": "1"}, {"CompresseFile": "true"}, {"OptionUseBarCodeReader": "false"},
        {"ExportFileFormat": "spx"}, {"Key": "JobTitle", "Value": "Objet du courrier"},
        {"Key": "IDENTVALUE", "Value": "N° de dossier"}, {"Key": "Autre", "Value": "ignoré"}, {},
        "pas un dictionnaire"])"));
    EXPECT_EQ(ConfigurationManager::getCleansingMaxDate(), 30);
    EXPECT_FLOAT_EQ(ConfigurationManager::getAudioSampleRate(), 8000.0f);
    EXPECT_TRUE(ConfigurationManager::shouldLinkDictationToSite());
    EXPECT_TRUE(ConfigurationManager::shouldCompresseFilesToSend());
    EXPECT_FALSE(ConfigurationManager::shouldDisplayScanner());
    EXPECT_EQ(ConfigurationManager::getExportFileFormat(), "spx");
    // "true" and "false" become booleans; any other value stays text.
    EXPECT_EQ(*UserDefaultManager::getObjectForKey("CompresseFile"), Json(true));
    EXPECT_EQ(*UserDefaultManager::getObjectForKey("LinkDictationToSite"), Json("1"));
    EXPECT_EQ(ConfigurationManager::getJobTitle(), "Objet du courrier");
    EXPECT_EQ(ConfigurationManager::getIdentValue(), "N° de dossier");
    EXPECT_FALSE(UserDefaultManager::getObjectForKey("Autre").has_value());

    // The delivery type is stored as its number.
    const std::vector<std::pair<std::string, int>> deliveries{{"FTP", 1}, {"EMAIL", 5},    {"WEBSERVICES", 2},
                                                              {"ftp", 4}, {"COURRIER", 4}, {"", 4}};
    for (const auto& [name, expected] : deliveries) {
        ConfigurationManager::addObjectsFromArray(Json::array({{{"TypeOfDelivery", name}}}));
        EXPECT_EQ(ConfigurationManager::getSendType(), expected) << name;
        EXPECT_TRUE(UserDefaultManager::getObjectForKey("TypeOfDelivery")->is_number_integer());
    }
}

TEST_F(ConfigurationManagerTest, StartUpWritesOnlyMissingLabels) {
    OrvanehAppDelegate application;
    UserDefaultManager::setObject("Référence", "JobTitlPref");
    UserDefaultManager::setObject("", "IdentPref");
    application.startCore(false);
    EXPECT_EQ(ConfigurationManager::getJobTitle(), "Référence");
    EXPECT_EQ(ConfigurationManager::getIdentValue(), "Identifiant");
}

TEST_F(ConfigurationManagerTest, LegacyFileIsMigratedOnceInBothFormats) {
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binaire" : "XML");
        writeLegacyFile(binary);
        ConfigurationManager::checkAndCreateDefaultXmlFields();
        EXPECT_EQ(ConfigurationManager::getIdentValue(), "Numéro");
        EXPECT_EQ(ConfigurationManager::getJobTitle(), "Intitulé");
        EXPECT_TRUE(ConfigurationManager::shouldDisplayParameterResumeBeforeSend());
        EXPECT_FALSE(ConfigurationManager::shouldDisplayParameterResumeBeforeRecord());
        EXPECT_FALSE(legacyFileExists());

        // A second start finds nothing to migrate and keeps the migrated labels.
        UserDefaultManager::setBool(false, "ValidateBeforeSend");
        ConfigurationManager::checkAndCreateDefaultXmlFields();
        EXPECT_FALSE(ConfigurationManager::shouldDisplayParameterResumeBeforeSend());
        EXPECT_EQ(ConfigurationManager::getIdentValue(), "Numéro");
        UserDefaultManager::setObject(nullptr, "IdentPref");
        UserDefaultManager::setObject(nullptr, "JobTitlPref");
    }
}

TEST_F(ConfigurationManagerTest, OddOrUnreadableLegacySettingsAreToleratedAndDefaultsApply) {
    ConfigurationManager::changeFieldsVersion2to3(Json{{"Fields", Json::array({{{"Export", "JobTitle"}}})}});
    EXPECT_FALSE(UserDefaultManager::getObjectForKey("JobTitlPref").has_value());
    EXPECT_FALSE(ConfigurationManager::shouldDisplayParameterResumeBeforeSend());
    ConfigurationManager::changeFieldsVersion2to3(
        Json{{"Fields", "texte"}, {"ValidateBeforeSend", "YES"}, {"ShowSettingsForRecord", 1}});
    EXPECT_TRUE(ConfigurationManager::shouldDisplayParameterResumeBeforeSend());
    EXPECT_TRUE(ConfigurationManager::shouldDisplayParameterResumeBeforeRecord());

    profile.writeDocument("Configurations.plist", "<plist><dict><key>Fields</key>");
    ConfigurationManager::checkAndCreateDefaultXmlFields();
    EXPECT_FALSE(legacyFileExists());
    EXPECT_EQ(ConfigurationManager::getJobTitle(), "Titre");
    EXPECT_EQ(ConfigurationManager::getIdentValue(), "Identifiant");
}

TEST_F(ConfigurationManagerTest, SecretValuesNeverReachTheLog) {
    test::LogCapture log;
    UserDefaultManager::setObject("s3cr3t-Mot", "mdp");
    UserDefaultManager::setObject("ordinaire", "login");
    Log::write("réponse du serveur : s3cr3t-Mot");
    ASSERT_FALSE(log.lines().empty());
    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.find("s3cr3t-Mot"), std::string::npos) << line;
    }
    EXPECT_EQ(*UserDefaultManager::getStringForKey("mdp"), "s3cr3t-Mot");
}

} // namespace
} // namespace orvaneh
