#include "Classes/audio/VuMeterGrid.h"

#include "Platform/media/AudioPlayer.h"
#include "Platform/media/AudioRecorder.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <cmath>

namespace orvaneh {

namespace {

template <typename Source> float loudestChannel(Source& source, std::uint64_t channels) {
    source.updateMeters();
    float level = VuMeterGrid::kFloorDb;
    for (std::uint64_t channel = 0; channel < channels; ++channel) {
        level = std::max(level, source.averagePowerForChannel(static_cast<int>(channel)));
    }
    return std::clamp(level, VuMeterGrid::kFloorDb, 0.0f);
}

} // namespace

VuMeterGrid::VuMeterGrid() {
    for (int i = 0; i < kLightCount; ++i) {
        lights_[static_cast<std::size_t>(i)].tag = kFirstTag + i;
    }
}

VuMeterGrid::~VuMeterGrid() {
    if (updateTimer_) {
        updateTimer_->invalidate();
    }
}

void VuMeterGrid::setPlayer(AudioPlayer* player) {
    if (updateTimer_) {
        updateTimer_->invalidate();
        updateTimer_.reset();
    }
    player_ = player;
    if (player) {
        recorder_ = nullptr;
        player->setMeteringEnabled(true);
        channelNumber_ = static_cast<std::uint64_t>(std::max(player->numberOfChannels(), 0));
    }
}

void VuMeterGrid::setRecorder(AudioRecorder* recorder) {
    if (updateTimer_) {
        updateTimer_->invalidate();
        updateTimer_.reset();
    }
    recorder_ = recorder;
    if (recorder) {
        player_ = nullptr;
        recorder->setMeteringEnabled(true);
        channelNumber_ = 1;
    }
}

void VuMeterGrid::start() {
    if (updateTimer_) {
        updateTimer_->invalidate();
    }
    updateTimer_ =
        RunLoop::main().scheduleTimer(Seconds(kRefreshInterval), true, [this](Timer&) { refreshLights(); });
}

void VuMeterGrid::stop() {
    if (updateTimer_) {
        updateTimer_->invalidate();
        updateTimer_.reset();
    }
    switchLights(kFloorDb);
}

bool VuMeterGrid::isRunning() const {
    return updateTimer_ && updateTimer_->isValid();
}

void VuMeterGrid::refreshLights() {
    if (player_) {
        switchLights(loudestChannel(*player_, channelNumber_));
    } else if (recorder_) {
        switchLights(loudestChannel(*recorder_, channelNumber_));
    }
}

double VuMeterGrid::dbToPc(float db) {
    if (db < kMinDb) {
        return 0.0;
    }
    if (db >= 0.0f) {
        return 1.0;
    }
    // Amplitude 0.001 at -60 dB maps to 0 and 1 at 0 dB; the square root spreads the low end.
    const float minAmplitude = 0.001f;
    const float inverseRange = 1.001001f;
    const float amplitude = std::pow(10.0f, 0.05f * db);
    // Single-precision pow at -60 dB can fall just below minAmplitude.
    return static_cast<double>(std::sqrt(std::max(0.0f, (amplitude - minAmplitude) * inverseRange)));
}

int VuMeterGrid::dbToMaxLightOnNumber(float db) {
    return static_cast<int>(std::lround(dbToPc(db) * static_cast<double>(kLightCount)));
}

void VuMeterGrid::switchLights(float db) {
    litCount_ = dbToMaxLightOnNumber(db);
    const Color offBlue = blueOff.value_or(kDefaultBlueOff);
    const Color onBlue = blueOn.value_or(kDefaultBlueOn);
    const Color offRed = redOff.value_or(offBlue);
    const Color onRed = redOn.value_or(kDefaultRedOn);
    for (int i = 0; i < kLightCount; ++i) {
        const bool lit = i < litCount_;
        Color& color = lights_[static_cast<std::size_t>(i)].color;
        if (i < kBlueLightCount) {
            color = lit ? onBlue : offBlue;
        } else {
            color = lit ? onRed : offRed;
        }
    }
}

void VuMeterGrid::layout(double width, double height) {
    if (!drawn_) {
        applyDefaultColors();
    }
    const double lightWidth = width / (2.0 * kLightCount - 1.0);
    for (int i = 0; i < kLightCount; ++i) {
        Light& light = lights_[static_cast<std::size_t>(i)];
        light.frame = Rect{2.0 * i * lightWidth, height / 6.0, lightWidth, 4.0 * height / 6.0};
        if (!drawn_) {
            light.color = i < kBlueLightCount ? *blueOff : *redOff;
        }
    }
    if (!drawn_) {
        litCount_ = 0;
        drawn_ = true;
    }
}

void VuMeterGrid::applyDefaultColors() {
    if (!blueOff) {
        blueOff = kDefaultBlueOff;
    }
    if (!blueOn) {
        blueOn = kDefaultBlueOn;
    }
    if (!redOff) {
        redOff = *blueOff;
    }
    if (!redOn) {
        redOn = kDefaultRedOn;
    }
}

} // namespace orvaneh
