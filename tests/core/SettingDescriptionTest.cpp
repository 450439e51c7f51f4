#include "Classes/core/SettingDescription.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/UserDefaultManager.h"
#include "support/TestProfile.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

class SettingDescriptionTest : public ::testing::Test {
protected:
    test::TestProfile profile;
};

TEST_F(SettingDescriptionTest, EveryOptionOfTheTableIsDescribedInTheSameOrder) {
    const auto& settings = ConfigurationManager::settings();
    const auto& descriptions = SettingDescription::all();
    ASSERT_EQ(descriptions.size(), settings.size());
    for (std::size_t i = 0; i < settings.size(); ++i) {
        EXPECT_EQ(descriptions[i].key, settings[i].key);
        EXPECT_NE(SettingDescription::find(settings[i].key), nullptr);
    }
    EXPECT_EQ(SettingDescription::find("PasUneCle"), nullptr);
}

// What is stored for an allowed text reads back through the option's own accessor as meant:
// numbers as numbers, not as texts read as 0.
TEST_F(SettingDescriptionTest, StoredValuesReadBackThroughTheAccessors) {
    const std::vector<std::pair<std::string, std::string>> values{
        {"OptionMaxDate", "45"},  {"versionWS", "1,5"},        {"AudioSampleRate", "32000"},
        {"CompresseFile", "oui"}, {"ExportFileFormat", "spx"}, {"NetworkStallTimeout", "0.5"},
    };
    for (const auto& [key, text] : values) {
        auto checked = SettingDescription::find(key)->check(text);
        ASSERT_TRUE(checked.value) << key << ": " << checked.problem;
        ASSERT_TRUE(UserDefaultManager::setObject(*checked.value, key));
    }
    EXPECT_EQ(ConfigurationManager::getCleansingMaxDate(), 45);
    EXPECT_FLOAT_EQ(ConfigurationManager::getNumVersionWS(), 1.5f);
    EXPECT_FLOAT_EQ(ConfigurationManager::getAudioSampleRate(), 32000.0f);
    EXPECT_TRUE(ConfigurationManager::shouldCompresseFilesToSend());
    EXPECT_EQ(ConfigurationManager::getExportFileFormat(), "spx");
    EXPECT_DOUBLE_EQ(ConfigurationManager::getNetworkStallTimeout(), 0.5);
    EXPECT_TRUE(SettingDescription::remarksOnCurrentValues().empty());
}

} // namespace
} // namespace orvaneh
