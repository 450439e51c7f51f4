#include "Platform/time/DateFormatter.h"

#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using namespace std::chrono;

// Tuesday 3 February 2026, 14:05:09.123 UTC (15:05 in Paris).
const WallTime winter = sys_days{2026y / 2 / 3} + 14h + 5min + 9s + 123ms;
// Saturday 15 August 2026, 07:30 UTC (09:30 in Paris, summer time).
const WallTime summer = sys_days{2026y / 8 / 15} + 7h + 30min;

class DateFormatterTest : public ::testing::Test {
protected:
    test::ScopedTimeZone zone{"Europe/Paris"};
};

TEST_F(DateFormatterTest, PatternsUsedBySystem) {
    EXPECT_EQ(DateFormatter::format("dd-MM_HH-mm", winter), "03-02_15-05");
    EXPECT_EQ(DateFormatter::format("dd/MM/yy HH:mm", winter), "03/02/26 15:05");
    EXPECT_EQ(DateFormatter::format("yyyyMMdd-HHmmss", winter), "20260203-150509");
    EXPECT_EQ(DateFormatter::format("dd/MM/yyyy HH:mm:ss", summer), "15/08/2026 09:30:00");
    EXPECT_EQ(DateFormatter::format("yyyy-MM-dd'T'HH:mm:ss", winter, DateFormatter::Zone::Utc),
              "2026-02-03T14:05:09");
}

TEST_F(DateFormatterTest, NamesClockFractionsOffsetsAndQuotes) {
    EXPECT_EQ(DateFormatter::format("EEEE d MMMM yyyy", winter), "mardi 3 février 2026");
    EXPECT_EQ(DateFormatter::format("EEE d MMM", summer), "sam. 15 août");
    EXPECT_EQ(
        DateFormatter::format("hh:mm a s.SSS S", sys_days{2026y / 2 / 3} + 9123ms, DateFormatter::Zone::Utc),
        "12:00 AM 9.123 1");
    EXPECT_EQ(DateFormatter::format("Z", winter) + DateFormatter::format("Z", summer), "+0100+0200");
    EXPECT_EQ(DateFormatter::format("'le' d 'à' H'h' 'o''clock' '' yyyyTdd x", winter),
              "le 3 à 15h o'clock ' 2026T03 x");
    test::ScopedTimeZone newYork("America/New_York");
    EXPECT_EQ(DateFormatter::format("h:mm a Z", winter), "9:05 AM -0500");
}

TEST_F(DateFormatterTest, ParsesIso8601) {
    EXPECT_EQ(DateFormatter::parseIso8601("2026-02-03T09:05:09-05:00"), floor<seconds>(winter));
    EXPECT_EQ(DateFormatter::parseIso8601("2026-02-03T14:05:09.123Z"), winter);
    for (const char* text : {"2026-02-30T00:00:00", "2026-02-03 14:05:09", "2026-02-03T14:05:09+0100",
                             "2026-02-03T14:05:09Zjunk", "2026-02-03"}) {
        EXPECT_FALSE(DateFormatter::parseIso8601(text).has_value()) << text;
    }
}

} // namespace
} // namespace orvaneh
