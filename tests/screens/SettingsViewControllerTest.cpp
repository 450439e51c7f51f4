#include "Classes/screens/SettingsViewController.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/SettingDescription.h"
#include "Platform/preferences/PreferenceStore.h"
#include "support/TestProfile.h"

#include <fstream>
#include <gmock/gmock.h>
#include <map>
#include <set>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Optional;

class SettingsViewControllerTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    SettingsViewController screen;

    std::map<std::string, std::string> groupOfKey() const {
        std::map<std::string, std::string> groups;
        for (const auto& group : screen.groups()) {
            for (const auto& item : group.items) {
                EXPECT_TRUE(groups.emplace(item.key, group.title).second) << item.key << " twice";
            }
        }
        return groups;
    }
};

TEST_F(SettingsViewControllerTest, EveryOptionHasItsGroupAndAnOwnLabel) {
    const auto groups = groupOfKey();
    for (const auto& description : SettingDescription::all()) {
        ASSERT_TRUE(groups.contains(description.key)) << description.key;
        // Only an option nobody placed would fall in the last group.
        EXPECT_NE(groups.at(description.key), SettingsViewController::groupTitles().back())
            << description.key;
    }
    EXPECT_EQ(groups.size(), SettingDescription::all().size());

    std::set<std::string> labels;
    std::vector<std::string> titles;
    for (const auto& group : screen.groups()) {
        titles.push_back(group.title);
        for (const auto& item : group.items) {
            SCOPED_TRACE(item.key);
            EXPECT_FALSE(item.label.empty());
            EXPECT_TRUE(labels.insert(item.label).second) << "label shared: " << item.label;
            EXPECT_THAT(item.help, HasSubstr(item.meaning));
            EXPECT_THAT(item.help, HasSubstr(item.allowedValues));
        }
    }
    EXPECT_THAT(titles, ElementsAre("Enregistrement", "Envoi", "Affichage du workflow", "Sécurité"));
    EXPECT_EQ(groups.at("AudioSampleRate"), "Enregistrement");
    EXPECT_EQ(groups.at("ExportFileFormat"), "Envoi");
    EXPECT_EQ(groups.at("IdentPref"), "Affichage du workflow");
    EXPECT_EQ(groups.at("TrustedCertificatesFile"), "Sécurité");
}

TEST_F(SettingsViewControllerTest, ItemsShowTheValuesTheSystemReads) {
    const auto maxDate = screen.item("OptionMaxDate");
    ASSERT_TRUE(maxDate);
    EXPECT_EQ(maxDate->valueText, std::to_string(ConfigurationManager::getCleansingMaxDate()));
    EXPECT_EQ(maxDate->kind, SettingDescription::Kind::Integer);
    EXPECT_LT(maxDate->minimum, maxDate->maximum);
    const auto format = screen.item("ExportFileFormat");
    ASSERT_TRUE(format);
    EXPECT_EQ(format->valueText, ConfigurationManager::getExportFileFormat());
    EXPECT_THAT(format->choices, ElementsAre("wav", "spx"));
    EXPECT_EQ(screen.item("PasUnReglage"), std::nullopt);
}

TEST_F(SettingsViewControllerTest, ARefusedValueIsExplainedInFrenchAndNotStored) {
    const std::vector<std::pair<std::string, std::string>> refused{
        {"OptionMaxDate", "trente"},
        {"OptionMaxDate", "-1"},
        {"CompresseFile", "peut-être"},
        {"AudioSampleRate", "12345"},
        {"ExportFileFormat", "mp3"},
        {"JobTitlPref", "  "},
        {"TrustedCertificatesFile", (profile.home() / "absent.pem").string()},
    };
    int changes = 0;
    screen.setChangeCallback([&] { ++changes; });
    for (const auto& [key, text] : refused) {
        SCOPED_TRACE(key + " " + text);
        const auto problem = screen.setValue(key, text);
        ASSERT_TRUE(problem);
        EXPECT_THAT(*problem, HasSubstr("valeur refusée pour " + key));
        EXPECT_EQ(SettingsViewController::checkValue(key, text), problem);
        EXPECT_FALSE(profile.preferences().hasStoredValue(key));
    }
    EXPECT_EQ(changes, 0);
    EXPECT_THAT(screen.setValue("PasUnReglage", "1"), Optional(HasSubstr("réglage inconnu")));
}

TEST_F(SettingsViewControllerTest, AnAllowedValueIsStoredTypedAndSurvivesARestart) {
    int changes = 0;
    screen.setChangeCallback([&] { ++changes; });
    EXPECT_EQ(screen.setValue("OptionMaxDate", "30"), std::nullopt);
    EXPECT_EQ(screen.setValue("CompresseFile", "oui"), std::nullopt);
    EXPECT_EQ(screen.setValue("ExportFileFormat", "spx"), std::nullopt);
    EXPECT_EQ(changes, 3);
    profile.reopenPreferences();
    EXPECT_EQ(ConfigurationManager::getCleansingMaxDate(), 30);
    EXPECT_TRUE(ConfigurationManager::shouldCompresseFilesToSend());
    EXPECT_EQ(screen.item("ExportFileFormat")->valueText, "spx");
    EXPECT_EQ(profile.preferences().objectForKey("OptionMaxDate"), Json(30));
}

TEST_F(SettingsViewControllerTest, AValueThatCannotBeWrittenIsReported) {
    // The configuration directory turned into a plain file: no preference file can be written.
    test::TemporaryDirectory directory;
    const auto blocked = directory.path() / "config";
    std::ofstream(blocked) << "x";
    PreferenceStore::install(std::make_shared<PreferenceStore>(blocked / "preferences.json"));
    const auto problem = screen.setValue("OptionMaxDate", "45");
    ASSERT_TRUE(problem);
    EXPECT_THAT(*problem, HasSubstr("OptionMaxDate n'a pas été enregistré"));
    EXPECT_THAT(*problem, HasSubstr(blocked.string()));
    // It holds for this process all the same, and the screen shows it.
    EXPECT_EQ(screen.item("OptionMaxDate")->valueText, "45");
}

TEST_F(SettingsViewControllerTest, RemarksFollowTheOptionsTheyConcern) {
    ASSERT_EQ(screen.setValue("versionWS", "1"), std::nullopt);
    ASSERT_EQ(screen.setValue("CompresseFile", "true"), std::nullopt);
    EXPECT_THAT(screen.remarks(), ElementsAre(HasSubstr("CompresseFile est activé mais reste sans effet")));
    EXPECT_EQ(screen.remarksAfterSetting("CompresseFile"), screen.remarks());
    EXPECT_EQ(screen.remarksAfterSetting("versionWS"), screen.remarks());
    EXPECT_THAT(screen.remarksAfterSetting("AudioSampleRate"), IsEmpty());
    ASSERT_EQ(screen.setValue("versionWS", "1.1"), std::nullopt);
    EXPECT_THAT(screen.remarks(), IsEmpty());
}

} // namespace
} // namespace orvaneh
