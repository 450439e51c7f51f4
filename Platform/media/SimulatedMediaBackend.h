#pragma once

#include "Platform/media/MediaBackend.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

class SimulatedAudioSession;
struct SimulatedMediaState;

// What the simulated microphone hears: silence, a sine tone, or the samples of a WAV file
// (16-bit PCM; its first channel), followed by silence once the file runs out. Each take
// starts hearing the input from its beginning.
struct SimulatedAudioInput {
    enum class Kind { Silence, Tone, File };
    Kind kind = Kind::Silence;
    double frequency = 440; // Tone
    double amplitude = 0.5; // Tone, 0 … 1 of full scale
    std::string path;       // File

    static SimulatedAudioInput silence();
    static SimulatedAudioInput tone(double frequency, double amplitude);
    static SimulatedAudioInput file(const std::string& path);
};

// A media back-end without devices, driven by the main run loop's clock, so that a take of
// ten minutes costs nothing under a virtual clock.
// - A recorder's take lasts from record() to stop() by that clock; the number of frames is
//   round(elapsed × sample rate). stop() writes a 16-bit PCM WAV file: RIFF header, "fmt ",
//   an extra "FLLR" chunk before "data" (as the phone's recorder does), then the samples.
// - A player reads the file's "fmt " and "data" chunks wherever they are, advances with the
//   clock while playing, and calls its delegate through a timer on the main run loop when it
//   reaches the end.
// - Metering is the average power (RMS, dB full scale) over the last 1/20 s of audio heard or
//   played, per channel; -160 for silence.
// Main run loop only; the session's permission answer comes from another thread, as on the
// phone.
class SimulatedMediaBackend final : public MediaBackend {
public:
    SimulatedMediaBackend();
    ~SimulatedMediaBackend() override;

    AudioSession& audioSession() override;
    std::unique_ptr<AudioRecorder> makeRecorder(const std::string& path,
                                                const AudioRecorderSettings& settings) override;
    std::unique_ptr<AudioPlayer> makePlayer(const std::string& path) override;

    // The input of the takes started from now on.
    void setInput(SimulatedAudioInput input);
    const SimulatedAudioInput& input() const;

    // Permission state, and the answer a request gets (it also becomes the state).
    void setRecordPermission(AudioSession::RecordPermission permission);
    void setPermissionAnswer(bool granted);
    // Makes the loudspeaker override fail with this error text (empty: succeed).
    void setSpeakerOverrideError(const std::string& error);

    // For tests: number of recorders and players made so far, and the paths of the WAV files
    // the recorders have written, in order.
    int recordersMade() const;
    int playersMade() const;
    std::vector<std::string> writtenFiles() const;

private:
    std::shared_ptr<SimulatedMediaState> state_;
    std::unique_ptr<SimulatedAudioSession> session_;
};

} // namespace orvaneh
