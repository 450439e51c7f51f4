#include "Classes/core/SettingDescription.h"

#include "Classes/core/ConfigurationManager.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

TEST(SettingDescriptionTest, EveryOptionOfTheTableIsDescribedInTheSameOrder) {
    const auto& settings = ConfigurationManager::settings();
    const auto& descriptions = SettingDescription::all();
    ASSERT_EQ(descriptions.size(), settings.size());
    for (std::size_t i = 0; i < settings.size(); ++i) {
        EXPECT_EQ(descriptions[i].key, settings[i].key);
        EXPECT_NE(SettingDescription::find(settings[i].key), nullptr);
    }
    EXPECT_EQ(SettingDescription::find("PasUneCle"), nullptr);
}

} // namespace
} // namespace orvaneh
