#include "Classes/audio/VuMeterGrid.h"

#include "Classes/audio/Slider.h"
#include "Platform/media/AudioPlayer.h"
#include "Platform/media/AudioRecorder.h"
#include "Platform/runloop/RunLoop.h"
#include "support/TestProfile.h"

#include <gtest/gtest.h>
#include <vector>

namespace orvaneh {
namespace {

// Sources that report chosen powers per channel: the meter's arithmetic is what is tested.
template <class Source> class Fake : public Source {
public:
    std::vector<float> powers;
    bool metering = false;
    int updates = 0;

    explicit Fake(std::vector<float> channelPowers) : powers(std::move(channelPowers)) {}
    double currentTime() const override { return 0; }
    void stop() override {}
    void setMeteringEnabled(bool enabled) override { metering = enabled; }
    void updateMeters() override { ++updates; }
    float averagePowerForChannel(int channel) const override {
        return powers.at(static_cast<std::size_t>(channel));
    }
};

class FakePlayer final : public Fake<AudioPlayer> {
public:
    using Fake::Fake;
    double duration() const override { return 10; }
    void setCurrentTime(double) override {}
    bool play() override { return true; }
    void pause() override {}
    bool isPlaying() const override { return true; }
    int numberOfChannels() const override { return static_cast<int>(powers.size()); }
    void setVolume(float) override {}
    float volume() const override { return 1; }
    void setDelegate(FinishCallback) override {}
};

class FakeRecorder final : public Fake<AudioRecorder> {
public:
    using Fake::Fake;
    const std::string& path() const override { return path_; }
    const AudioRecorderSettings& settings() const override { return settings_; }
    bool prepareToRecord() override { return true; }
    bool record() override { return true; }
    bool isRecording() const override { return true; }
    int takeError() const override { return 0; }

private:
    std::string path_;
    AudioRecorderSettings settings_{};
};

// The lights as text: 'b' blue on, 'r' red on, '-' off.
std::string pattern(const VuMeterGrid& meter) {
    std::string text;
    for (const auto& light : meter.lights()) {
        text += light.color == *meter.blueOn ? 'b' : light.color == *meter.redOn ? 'r' : '-';
    }
    return text;
}

class VuMeterGridTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    VuMeterGrid meter;

    void SetUp() override { meter.layout(230, 60); }
};

TEST_F(VuMeterGridTest, LevelToLitLights) {
    const std::pair<float, int> cases[] = {
        {3, 12},  {0, 12},  {-0.73f, 12}, {-0.75f, 11}, {-1, 11},     {-3, 10}, {-6, 8},  {-10, 7}, {-20, 4},
        {-30, 2}, {-40, 1}, {-50, 1},     {-51.25f, 1}, {-51.28f, 0}, {-59, 0}, {-60, 0}, {-61, 0}, {-160, 0},
    };
    for (const auto& [db, lights] : cases) {
        EXPECT_EQ(VuMeterGrid::dbToMaxLightOnNumber(db), lights) << db << " dB";
    }
    EXPECT_EQ(VuMeterGrid::dbToPc(-60.5f), 0.0);
    EXPECT_NEAR(VuMeterGrid::dbToPc(-60), 0.0, 1e-3);
    EXPECT_NEAR(VuMeterGrid::dbToPc(-20), 0.3148, 1e-4);
}

// Lit lights are blue then red; a chosen off colour is also the red lights' one; later layouts
// only move the lights.
TEST_F(VuMeterGridTest, PaintingStopAndLayout) {
    EXPECT_EQ(meter.lights()[3].frame, (Rect{60, 10, 10, 40}));
    meter.switchLights(-6);
    EXPECT_EQ(pattern(meter), "bbbbbbbb----");
    meter.switchLights(-3);
    EXPECT_EQ(pattern(meter), "bbbbbbbbrr--");
    meter.stop();
    EXPECT_EQ(pattern(meter), "------------");
    EXPECT_EQ(meter.lights()[11].color, VuMeterGrid::kDefaultBlueOff);

    VuMeterGrid custom;
    custom.blueOff = Color{0.1, 0.2, 0.3, 1};
    custom.layout(46, 6);
    EXPECT_EQ(custom.redOff, custom.blueOff);
    custom.switchLights(0);
    custom.layout(92, 12);
    EXPECT_EQ(custom.lights()[1].frame, (Rect{8, 2, 4, 8}));
    EXPECT_EQ(custom.lights()[11].color, VuMeterGrid::kDefaultRedOn);
}

TEST_F(VuMeterGridTest, MetersTheLoudestChannelWithinLimits) {
    FakePlayer stereo({-30, -6});
    meter.setPlayer(&stereo);
    EXPECT_TRUE(stereo.metering);
    EXPECT_EQ(meter.channelNumber(), 2u);
    meter.refreshLights();
    EXPECT_EQ(stereo.updates, 1);
    EXPECT_EQ(meter.litCount(), 8);

    stereo.powers = {-200, 4};
    meter.refreshLights();
    EXPECT_EQ(meter.litCount(), 12);

    // A recorder is metered on its first channel only, and replaces the player.
    FakeRecorder recorder({-40, 0});
    meter.setRecorder(&recorder);
    EXPECT_EQ(meter.player(), nullptr);
    EXPECT_TRUE(recorder.metering);
    EXPECT_EQ(meter.channelNumber(), 1u);
    meter.refreshLights();
    EXPECT_EQ(meter.litCount(), 1);
    EXPECT_EQ(stereo.updates, 2);
}

TEST_F(VuMeterGridTest, RefreshRunsOnlyBetweenStartAndAChangeOfSource) {
    FakePlayer player({-10});
    meter.setPlayer(&player);
    RunLoop::main().runFor(Seconds(1));
    EXPECT_EQ(player.updates, 0);

    meter.start();
    meter.start(); // a restart replaces the timer
    RunLoop::main().runFor(Seconds(0.51));
    EXPECT_EQ(player.updates, 30);
    EXPECT_EQ(meter.litCount(), 7);

    meter.setPlayer(&player);
    EXPECT_FALSE(meter.isRunning());
    RunLoop::main().runFor(Seconds(1));
    EXPECT_EQ(player.updates, 30);
    EXPECT_EQ(meter.litCount(), 7); // idle lights keep their colours

    {
        VuMeterGrid transient;
        transient.setPlayer(&player);
        transient.start();
    }
    EXPECT_EQ(RunLoop::main().timerCount(), 0u);
}

TEST(SliderTest, ThumbFollowsTheValueOverTheRange) {
    const Rect bounds{0, 0, 300, 40};
    const Rect track{2, 18, 296, 4};
    EXPECT_EQ(Slider::thumbRectForBounds(bounds, track, 30, 0, 60), (Rect{138, 10, 20, 20}));
    EXPECT_EQ(Slider::thumbRectForBounds(bounds, track, 0, 0, 60), (Rect{-10, 10, 20, 20}));
    // An empty range puts the thumb at the left edge instead of nowhere.
    EXPECT_EQ(Slider::thumbRectForBounds(bounds, track, 0, 0, 0), (Rect{0, 10, 20, 20}));
}

} // namespace
} // namespace orvaneh
