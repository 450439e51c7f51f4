#pragma once

#include "Classes/screens/Geometry.h"
#include "Platform/runloop/Timer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace orvaneh {

class AudioPlayer;
class AudioRecorder;

// The level meter of the recording screen: 12 lights following the average power of the
// recorder's input during a take or of the player's output during playback. The source is
// not owned: the screen clears it (setPlayer(nullptr)) before destroying it. Main run loop
// only.
class VuMeterGrid {
public:
    static constexpr int kLightCount = 12;
    static constexpr int kBlueLightCount = 8;
    static constexpr int kFirstTag = 1000;
    static constexpr float kFloorDb = -160.0f;
    static constexpr float kMinDb = -60.0f;
    // One refresh per screen frame.
    static constexpr double kRefreshInterval = 1.0 / 60.0;

    struct Light {
        int tag = 0;
        Rect frame;
        Color color;
    };

    VuMeterGrid();
    ~VuMeterGrid();
    VuMeterGrid(const VuMeterGrid&) = delete;
    VuMeterGrid& operator=(const VuMeterGrid&) = delete;

    // Stop the refresh and change the source; a given source replaces the other one and gets
    // metering enabled.
    void setPlayer(AudioPlayer* player);
    void setRecorder(AudioRecorder* recorder);
    AudioPlayer* player() const { return player_; }
    AudioRecorder* recorder() const { return recorder_; }
    std::uint64_t channelNumber() const { return channelNumber_; }

    // (Re)starts the refresh on the main run loop; stop() ends it and turns every light off.
    void start();
    void stop();
    bool isRunning() const;
    // One refresh: the source's largest average power over its channels, limited to
    // -160 … 0 dB, painted.
    void refreshLights();

    // 0 below -60 dB, 1 from 0 dB, else sqrt((10^(0.05 L) − 0.001) × 1.001001) in single
    // precision.
    static double dbToPc(float db);
    // round(dbToPc × 12), halves away from zero.
    static int dbToMaxLightOnNumber(float db);
    void switchLights(float db);

    // Lays the lights out in a view of this size (created at the first call, moved later).
    void layout(double width, double height);
    // The 12 lights, left to right (tags 1000 … 1011).
    const std::array<Light, kLightCount>& lights() const { return lights_; }
    // The number lit by the last painting.
    int litCount() const { return litCount_; }

    // Colours; an unset one takes its default at the first drawing (redOff: blueOff's colour).
    std::optional<Color> blueOff, blueOn, redOff, redOn;
    static constexpr Color kDefaultBlueOff{0.2941, 0.2941, 0.2941, 1};
    static constexpr Color kDefaultBlueOn{0.2965, 0.5765, 0.9004, 1};
    static constexpr Color kDefaultRedOn{0.7906, 0.1380, 0.1882, 1};

private:
    AudioPlayer* player_ = nullptr;
    AudioRecorder* recorder_ = nullptr;
    std::uint64_t channelNumber_ = 0;
    std::shared_ptr<Timer> updateTimer_;
    std::array<Light, kLightCount> lights_{};
    int litCount_ = 0;
    bool drawn_ = false;

    void applyDefaultColors();
};

} // namespace orvaneh
