#include "Classes/screens/Notification.h"

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
    while (accented.size() < 200) {
        accented += "é";
    }
    EXPECT_DOUBLE_EQ(Notification::displayDuration(accented).count(), 11.5);
}

} // namespace
} // namespace orvaneh
