#pragma once

#include "Platform/media/AudioRecorder.h"
#include "Platform/media/PcmMetering.h"
#include "Platform/media/PcmWaveReader.h"
#include "Platform/media/SimulatedMediaBackend.h"
#include "Platform/runloop/Clock.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

struct SimulatedMediaState;

// A recorder that hears the back-end's simulated input and keeps time by the main run loop's
// clock; see SimulatedMediaBackend. Destroying it during a take ends the take as stop() does.
class SimulatedAudioRecorder final : public AudioRecorder {
public:
    // Size of the "FLLR" chunk's contents: it puts the samples 4096 bytes into the file.
    static constexpr std::size_t fillerBytes = 4044;

    // `settings` must name linear PCM with a positive rate and channel count (the back-end
    // checks).
    SimulatedAudioRecorder(std::string path, AudioRecorderSettings settings,
                           std::shared_ptr<SimulatedMediaState> state);
    ~SimulatedAudioRecorder() override;

    const std::string& path() const override { return path_; }
    const AudioRecorderSettings& settings() const override { return settings_; }
    bool prepareToRecord() override;
    bool record() override;
    void stop() override;
    bool isRecording() const override { return recording_; }
    double currentTime() const override;
    int takeError() const override { return takeError_; }

    void setMeteringEnabled(bool enabled) override;
    void updateMeters() override;
    float averagePowerForChannel(int channel) const override;

private:
    std::size_t framesAt(double seconds) const;
    // The input's samples over `count` frames of the take from `first`.
    void hear(std::size_t first, std::size_t count, std::vector<std::int16_t>& heard);

    std::string path_;
    AudioRecorderSettings settings_;
    int sampleRate_;
    std::shared_ptr<SimulatedMediaState> state_;

    SimulatedAudioInput input_;
    std::optional<PcmWaveReader> inputFile_; // a file input, open during the take
    std::vector<std::int16_t> inputFrames_;  // frames of the file from inputStart_
    std::size_t inputStart_ = 0;
    std::vector<std::int16_t> heard_; // reused from one block to the next
    bool recording_ = false;
    MonotonicTime start_{};
    double takeLength_ = 0;
    int takeError_ = 0;

    bool metering_ = false;
    float averagePower_ = PcmMetering::silence;
};

} // namespace orvaneh
