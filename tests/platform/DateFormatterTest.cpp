#include "Platform/time/DateFormatter.h"

#include "platform/ScopedEnvironment.h"

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
    EXPECT_EQ(DateFormatter::format("dd/MM/yyyy HH:mm:ss", winter), "03/02/2026 15:05:09");
    EXPECT_EQ(DateFormatter::format("yyyy-MM-dd'T'HH:mm:ss", winter, DateFormatter::Zone::Utc),
              "2026-02-03T14:05:09");
    EXPECT_EQ(DateFormatter::format("dd/MM/yyyy HH:mm:ss", summer), "15/08/2026 09:30:00");
}

TEST_F(DateFormatterTest, FrenchNamesIndependentOfProcessLocale) {
    EXPECT_EQ(DateFormatter::format("EEEE d MMMM yyyy", winter), "mardi 3 février 2026");
    EXPECT_EQ(DateFormatter::format("EEE d MMM", winter), "mar. 3 févr.");
    EXPECT_EQ(DateFormatter::format("EEEE d MMMM", summer), "samedi 15 août");

    const char* abbreviations[] = {"janv.", "févr.", "mars",  "avr.", "mai",  "juin",
                                   "juil.", "août",  "sept.", "oct.", "nov.", "déc."};
    for (unsigned month = 1; month <= 12; ++month) {
        WallTime time = sys_days{2026y / std::chrono::month{month} / 15} + 12h;
        EXPECT_EQ(DateFormatter::format("MMM", time, DateFormatter::Zone::Utc), abbreviations[month - 1]);
    }
    // Monday 2 February to Sunday 8 February.
    const char* days[] = {"lun.", "mar.", "mer.", "jeu.", "ven.", "sam.", "dim."};
    for (unsigned day = 0; day < 7; ++day) {
        WallTime time = sys_days{2026y / 2 / std::chrono::day{2 + day}} + 12h;
        EXPECT_EQ(DateFormatter::format("EEE", time, DateFormatter::Zone::Utc), days[day]);
    }
    EXPECT_EQ(DateFormatter::format("EEEE MMMM", sys_days{2026y / 1 / 4}, DateFormatter::Zone::Utc),
              "dimanche janvier");
}

TEST_F(DateFormatterTest, TwelveHourClockFractionsAndOffsets) {
    EXPECT_EQ(DateFormatter::format("h:mm a", winter), "3:05 PM");
    EXPECT_EQ(DateFormatter::format("hh:mm a", sys_days{2026y / 2 / 3}, DateFormatter::Zone::Utc),
              "12:00 AM");
    EXPECT_EQ(DateFormatter::format("s.SSS S", winter), "9.123 1");
    EXPECT_EQ(DateFormatter::format("Z", winter), "+0100");
    EXPECT_EQ(DateFormatter::format("Z", summer), "+0200");
    EXPECT_EQ(DateFormatter::format("Z", winter, DateFormatter::Zone::Utc), "+0000");
    test::ScopedTimeZone newYork("America/New_York");
    EXPECT_EQ(DateFormatter::format("HH:mm Z", winter), "09:05 -0500");
}

TEST_F(DateFormatterTest, QuotedTextAndOtherCharacters) {
    EXPECT_EQ(DateFormatter::format("'le' d 'à' H'h'", winter), "le 3 à 15h");
    EXPECT_EQ(DateFormatter::format("'o''clock' ''", winter), "o'clock '");
    EXPECT_EQ(DateFormatter::format("yyyyTdd x", winter), "2026T03 x");
}

TEST_F(DateFormatterTest, ParsesIso8601) {
    const WallTime whole = floor<seconds>(winter);
    EXPECT_EQ(DateFormatter::parseIso8601("2026-02-03T14:05:09Z"), whole);
    EXPECT_EQ(DateFormatter::parseIso8601("2026-02-03T14:05:09"), whole);
    EXPECT_EQ(DateFormatter::parseIso8601("2026-02-03T15:05:09+01:00"), whole);
    EXPECT_EQ(DateFormatter::parseIso8601("2026-02-03T09:05:09-05:00"), whole);
    EXPECT_EQ(DateFormatter::parseIso8601("2026-02-03T14:05:09.123Z"), winter);
    EXPECT_EQ(DateFormatter::parseIso8601("2024-02-29T00:00:00"), WallTime{sys_days{2024y / 2 / 29}});
    for (const char* text :
         {"", "2026-02-30T00:00:00", "2026-2-03T14:05:09", "2026-02-03 14:05:09", "2026-02-03T24:00:00",
          "2026-02-03T14:05:09.Z", "2026-02-03T14:05:09+0100", "2026-02-03T14:05:09Zjunk", "2026-02-03"}) {
        EXPECT_FALSE(DateFormatter::parseIso8601(text).has_value()) << text;
    }
}

} // namespace
} // namespace orvaneh
