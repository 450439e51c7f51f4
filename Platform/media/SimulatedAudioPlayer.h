#pragma once

#include "Platform/media/AudioPlayer.h"
#include "Platform/media/PcmWaveReader.h"
#include "Platform/runloop/Clock.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace orvaneh {

class Timer;

// A player of a WAV file opened at creation (only the metering window is ever read), keeping time by the main
// run loop's clock; see SimulatedMediaBackend. The end of the file is a one-shot timer on the main run loop
// set for the exact moment; the callback never comes after the player is destroyed.
class SimulatedAudioPlayer final : public AudioPlayer {
public:
    explicit SimulatedAudioPlayer(PcmWaveReader wave);
    ~SimulatedAudioPlayer() override;
    SimulatedAudioPlayer(const SimulatedAudioPlayer&) = delete;
    SimulatedAudioPlayer& operator=(const SimulatedAudioPlayer&) = delete;

    double duration() const override { return wave_.duration(); }
    double currentTime() const override;
    void setCurrentTime(double seconds) override;
    bool play() override;
    void pause() override;
    void stop() override;
    bool isPlaying() const override { return playing_; }
    int numberOfChannels() const override { return wave_.channels(); }
    void setVolume(float volume) override;
    float volume() const override { return volume_; }
    void setDelegate(FinishCallback callback) override { delegate_ = std::move(callback); }

    void setMeteringEnabled(bool enabled) override;
    void updateMeters() override;
    float averagePowerForChannel(int channel) const override;

private:
    // Stops at the current position and cancels the end-of-file timer.
    void halt();
    void scheduleEnd();
    void finish();

    PcmWaveReader wave_;
    // While playing, the position at `since`; otherwise the position.
    double position_ = 0;
    MonotonicTime since_{};
    bool playing_ = false;
    float volume_ = 1;
    FinishCallback delegate_;
    std::shared_ptr<Timer> endTimer_;
    // The end-of-file timer holds it weakly: expired once the player is gone.
    std::shared_ptr<SimulatedAudioPlayer*> self_;

    bool metering_ = false;
    std::vector<float> averagePowers_;
    std::vector<std::int16_t> window_; // the metering window, reused
};

} // namespace orvaneh
