#include "Classes/core/ConfigurationManager.h"

#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/core/PropertyList.h"
#include "Classes/core/UserDefaultManager.h"
#include "Platform/log/Log.h"
#include "support/CliProcess.h"
#include "support/Files.h"
#include "support/LogCapture.h"
#include "support/TestProfile.h"

#include <cstdlib>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <plist/plist.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// A binary property list holding one dictionary entry, written by hand so that its strings can
// hold what no writer puts there. Each string is its object kind (0x5 ASCII, 0x6 UTF-16) and
// bytes, shorter than 15 characters.
std::string oneEntryBinaryList(const std::pair<int, std::string>& key,
                               const std::pair<int, std::string>& value) {
    std::string list = "bplist00";
    std::vector<std::size_t> offsets{list.size()};
    list += "\xD1\x01\x02"; // a dictionary of one entry: key object 1, value object 2
    for (const auto& [kind, bytes] : {key, value}) {
        offsets.push_back(list.size());
        list +=
            static_cast<char>((kind << 4) | static_cast<int>(kind == 6 ? bytes.size() / 2 : bytes.size()));
        list += bytes;
    }
    const std::size_t table = list.size();
    for (std::size_t offset : offsets) {
        list += static_cast<char>(offset);
    }
    list += std::string(6, '\0') + "\x01\x01"; // one-byte offsets and references
    for (std::uint64_t field : {std::uint64_t{3}, std::uint64_t{0}, std::uint64_t{table}}) {
        for (int shift = 56; shift >= 0; shift -= 8) {
            list += static_cast<char>((field >> shift) & 0xFF);
        }
    }
    return list;
}

const std::string kUtf16WithNul("\x00\xE9\x00\x00", 4); // "é" then U+0000

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

// Lists whose strings hold a NUL made libplist abort the process at every start; strings that
// are not UTF-8 are damage of the same kind.
TEST_F(ConfigurationManagerTest, DamagedLegacyFilesAreSetAsideUnreadAndDefaultsApply) {
    ASSERT_EQ(PropertyList::parse(oneEntryBinaryList({5, "Fields"}, {6, std::string("\x00\xE9", 2)})),
              Json({{"Fields", "é"}}));
    const std::string clean = oneEntryBinaryList({5, "Fields"}, {5, "texte"});
    const struct {
        std::string what, bytes;
    } damaged[] = {
        {"UTF-16 value with NUL", oneEntryBinaryList({5, "Fields"}, {6, kUtf16WithNul})},
        {"UTF-16 key with NUL", oneEntryBinaryList({6, kUtf16WithNul}, {5, "x"})},
        {"ASCII value with NUL", oneEntryBinaryList({5, "Fields"}, {5, std::string("a\0b", 3)})},
        {"XML with NUL", std::string("<plist version=\"1.0\"><dict><key>Fields</key><string>a") + '\0' +
                             "b</string></dict></plist>"},
        {"cut short", clean.substr(0, clean.size() - 10)},
        {"offset table out of the file", clean.substr(0, clean.size() - 1) + "\x7F"},
        // Read as they were, these went into the preferences as text no screen can show.
        {"ASCII value not UTF-8", oneEntryBinaryList({5, "Fields"}, {5, "Num\xE9ro"})},
        {"ASCII key not UTF-8", oneEntryBinaryList({5, "T\xBC\x9Fta"}, {5, "x"})},
        {"XML not UTF-8",
         "<plist version=\"1.0\"><dict><key>Fields</key><string>Num\xE9ro</string></dict></plist>"},
    };
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(PropertyList::parse(bytes).has_value());
        profile.writeDocument("Configurations.plist", bytes);
        const auto notice = ConfigurationManager::checkAndCreateDefaultXmlFields();
        ASSERT_TRUE(notice.has_value());
        EXPECT_THAT(*notice, HasSubstr("illisibles"));
        const auto names = test::entryNames(profile.documents());
        ASSERT_EQ(names.size(), 1u);
        EXPECT_THAT(names[0], ::testing::StartsWith("Configurations.plist.illisible-"));
        EXPECT_THAT(*notice, HasSubstr(names[0]));
        EXPECT_EQ(ConfigurationManager::getJobTitle(), "Titre");
        EXPECT_FALSE(ConfigurationManager::checkAndCreateDefaultXmlFields().has_value()) << "read once only";
        std::filesystem::remove(profile.documents() / names[0]);
    }
}

// The file is renamed before it is read: a process that dies while reading it starts the next
// time. Here the whole start-up, twice, as a user runs it.
TEST(LegacySettingsProcessTest, ACraftedListNeverStopsTheApplication) {
    test::TemporaryDirectory home;
    std::filesystem::create_directories(home.path() / "Documents");
    std::ofstream(home.path() / "Documents" / "Configurations.plist", std::ios::binary)
        << oneEntryBinaryList({5, "Fields"}, {6, kUtf16WithNul});
    const auto first = test::runCli(home.path(), {"start"});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_THAT(first.err, HasSubstr("réglages par défaut s'appliquent"));
    const auto second = test::runCli(home.path(), {"start"});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_THAT(second.err, Not(HasSubstr("Configurations.plist")));
    const auto title = test::runCli(home.path(), {"settings", "get", "JobTitlPref"});
    EXPECT_EQ(title.out, "Titre\n");
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
