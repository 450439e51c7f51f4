// Where the recording screen's slider pieces are drawn for a slider frame: at the phone's frame
// the images were made for, and at a desktop window's width.
#include "Classes/audio/RecorderLayout.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

struct Case {
    const char* what;
    Rect slider;
    double end; // seconds
    double first;
    double second;
    Rect firstMarker;
    Rect endMarker;
    Rect band; // between first and second
    Rect thumbAtFirst;
};

TEST(RecorderLayoutTest, MarkersBandAndThumbFollowTheSliderFrame) {
    const Case cases[] = {
        {"phone",
         RecorderLayout::kPhoneSliderFrame,
         10,
         2,
         6,
         {66, 154, 21, 21},
         {290, 154, 21, 21},
         {76, 161, 112, 9},
         {66, 155.5, 20, 20}},
        {"1280-point window",
         {40, 600, 1200, 44},
         60,
         15,
         45,
         {330, 610, 21, 21},
         {1230, 610, 21, 21},
         {340, 617, 600, 9},
         {330, 612, 20, 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RecorderLayout layout(c.slider, 0, c.end);
        EXPECT_EQ(layout.pixel(0), c.slider.x);
        EXPECT_EQ(layout.pixel(c.end), c.slider.x + c.slider.width);
        EXPECT_EQ(layout.markerFrame(0).x, c.slider.x - 10) << "centred on the start";
        EXPECT_EQ(layout.markerFrame(c.first), c.firstMarker);
        EXPECT_EQ(layout.markerFrame(c.end), c.endMarker);
        EXPECT_EQ(layout.bandFrame(c.first, c.second), c.band);
        EXPECT_EQ(layout.bandFrame(c.second, c.first), c.band) << "either order";
        EXPECT_EQ(layout.thumbFrame(c.first), c.thumbAtFirst);
    }
}

TEST(RecorderLayoutTest, BandLiesOnWholePoints) {
    // 1/3 of 280 points is 93.33: both ends are cut to whole points before the width is taken.
    const RecorderLayout layout(RecorderLayout::kPhoneSliderFrame, 0, 3);
    EXPECT_EQ(layout.bandFrame(1, 2), (Rect{113, 161, 93, 9}));
}

TEST(RecorderLayoutTest, EmptyRangePutsEverythingAtTheLeftEdge) {
    // An empty track: maximum equal to minimum.
    const RecorderLayout layout({40, 600, 1200, 44}, 0, 0);
    EXPECT_EQ(layout.pixel(0), 40);
    EXPECT_EQ(layout.markerFrame(0), (Rect{30, 610, 21, 21}));
    EXPECT_EQ(layout.bandFrame(0, 0), (Rect{40, 617, 0, 9}));
    EXPECT_EQ(layout.thumbFrame(0), (Rect{40, 612, 20, 20}));
}

} // namespace
} // namespace orvaneh
