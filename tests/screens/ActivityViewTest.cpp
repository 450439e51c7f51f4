#include "Classes/screens/ActivityView.h"

#include "support/TestProfile.h"

#include <cmath>
#include <gmock/gmock.h>
#include <limits>
#include <vector>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;

class ActivityViewTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    ActivityView box;

    std::vector<std::string> uiKinds() {
        std::vector<std::string> kinds;
        for (const auto& call : profile.ui().calls()) {
            kinds.push_back(call.kind);
        }
        return kinds;
    }
    std::vector<double> uiValues(const std::string& kind) {
        std::vector<double> values;
        for (const auto& call : profile.ui().calls()) {
            if (call.kind == kind) {
                values.push_back(call.value);
            }
        }
        return values;
    }
};

TEST_F(ActivityViewTest, ProgressIsClampedAndPassedOnToTheInterface) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double infinity = std::numeric_limits<double>::infinity();
    box.showWithModeIsProgressBar(true);
    ASSERT_TRUE(box.isShown());
    EXPECT_TRUE(box.progressMode());
    EXPECT_EQ(box.progress(), 0);
    const std::vector<std::pair<double, double>> cases{
        {0.25, 0.25}, {1.0, 1.0}, {1.7, 1.0}, {-0.5, 0.0}, {nan, 0.0}, {infinity, 1.0}, {-infinity, 0.0},
    };
    std::vector<double> expected;
    for (const auto& [given, shown] : cases) {
        SCOPED_TRACE(given);
        box.progressBarPrct(given);
        EXPECT_EQ(box.progress(), shown);
        expected.push_back(shown);
    }
    EXPECT_EQ(uiValues("progress"), expected);
    EXPECT_THAT(uiValues("wait"), ElementsAre(1.0));
}

TEST_F(ActivityViewTest, EachShowStartsAfreshAndCloseEndsTheWaitOnce) {
    box.showWithModeIsProgressBar(true);
    box.progressBarPrct(0.8);
    // The same box reused for a wait without progress: no bar, nothing left of the last one.
    box.showWithModeIsProgressBar(false);
    EXPECT_FALSE(box.progressMode());
    EXPECT_EQ(box.progress(), 0);
    box.progressBarPrct(0.5);
    box.close();
    box.close();
    EXPECT_FALSE(box.isShown());
    EXPECT_THAT(uiKinds(), ElementsAre("wait", "progress", "wait", "closeWait"));
    EXPECT_THAT(uiValues("wait"), ElementsAre(1.0, 0.0));
}

TEST_F(ActivityViewTest, TheBoxIsCentredAndSaysToWait) {
    const Rect frame = ActivityView::frameIn(320, 480);
    EXPECT_EQ(frame.x + frame.width / 2, 160);
    EXPECT_EQ(frame.y + frame.height / 2, 240);
    EXPECT_LT(ActivityView::kProgressBarWidth, frame.width);
    EXPECT_EQ(ActivityView::label(), "Veuillez patienter...");
}

} // namespace
} // namespace orvaneh
