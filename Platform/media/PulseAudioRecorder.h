#pragma once

#include "Platform/media/AudioRecorder.h"

#include <memory>
#include <string>

struct pa_stream;

namespace orvaneh {

class PulseContext;

// A recorder over PulseAudio's default input: 16-bit little-endian PCM at the settings' rate and
// channel count (the server converts). The samples go to the file as they arrive, from pulse's
// thread, and the WAV sizes are rewritten about once a second (InPlaceWaveWriter): a take of any
// length costs flat memory, and a crash loses at most the last second. The file is written
// under its own name from record() on.
//
// When the input or the server goes away mid-take, the file keeps what was captured, recording
// stops, and MediaBackend::kDeviceLostNotification is posted on the main run loop (and logged);
// a write failure does the same with kRecordingFailedNotification. Metering is the average
// power of the last block heard (about 1/20 s). Destroying the recorder during a take ends the
// take as stop() does. Main run loop only.
class PulseAudioRecorder final : public AudioRecorder {
public:
    PulseAudioRecorder(std::string path, AudioRecorderSettings settings, std::shared_ptr<PulseContext> pulse);
    ~PulseAudioRecorder() override;
    PulseAudioRecorder(const PulseAudioRecorder&) = delete;
    PulseAudioRecorder& operator=(const PulseAudioRecorder&) = delete;

    const std::string& path() const override { return path_; }
    const AudioRecorderSettings& settings() const override { return settings_; }
    bool prepareToRecord() override;
    // False (logged) when no server answers, the input cannot be opened or the file cannot be
    // created; waits a few seconds at most.
    bool record() override;
    void stop() override;
    bool isRecording() const override { return recording_; }
    double currentTime() const override;
    int takeError() const override { return takeError_; }

    void setMeteringEnabled(bool enabled) override;
    void updateMeters() override;
    float averagePowerForChannel(int channel) const override;

    // What pulse's thread shares with the recorder; public for its callbacks only.
    struct Take;

private:
    // With the mainloop's lock held: reads what is left, then closes the stream.
    void closeStream();
    // Ends the take and finishes the file.
    void endTake();
    // On the main run loop, after pulse's thread saw the take fail.
    void takeFailed(unsigned generation, bool deviceLost, const std::string& reason);

    std::string path_;
    AudioRecorderSettings settings_;
    int sampleRate_;
    std::shared_ptr<PulseContext> pulse_;
    std::unique_ptr<Take> take_;
    pa_stream* stream_ = nullptr;
    unsigned generation_ = 0;
    bool recording_ = false;
    double takeLength_ = 0;
    int takeError_ = 0;
    bool metering_ = false;
    float averagePower_;
    // Tasks posted from pulse's thread hold it weakly: expired once the recorder is gone.
    std::shared_ptr<PulseAudioRecorder*> self_;
};

} // namespace orvaneh
