#include "Classes/screens/Notification.h"

#include "support/TestProfile.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

TEST(NotificationTest, DurationGrowsWithCharactersUpToTwentySeconds) {
    EXPECT_DOUBLE_EQ(Notification::displayDuration("").count(), 3);
    EXPECT_DOUBLE_EQ(Notification::displayDuration(std::string(100, 'a')).count(), 11.5);
    EXPECT_DOUBLE_EQ(Notification::displayDuration(std::string(200, 'a')).count(), 20);
    EXPECT_DOUBLE_EQ(Notification::displayDuration(std::string(1000, 'a')).count(), 20);
    // Characters, not bytes: 100 "é" take 200 bytes.
    std::string accented;
    for (int i = 0; i < 100; ++i) {
        accented += "é";
    }
    EXPECT_DOUBLE_EQ(Notification::displayDuration(accented).count(), 11.5);
}

TEST(NotificationTest, PushShowsBannerForItsDuration) {
    test::TestProfile profile;
    Notification::pushNotification(std::string(100, 'a'));
    Notification::pushNotification("");
    auto calls = profile.ui().calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, "banner");
    EXPECT_EQ(calls[0].message, std::string(100, 'a'));
    EXPECT_DOUBLE_EQ(calls[0].value, 11.5);
    EXPECT_DOUBLE_EQ(calls[1].value, 3);
}

} // namespace
} // namespace orvaneh
