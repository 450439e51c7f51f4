#pragma once

#include "Platform/media/AudioPlayer.h"
#include "Platform/media/PcmWaveReader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct pa_stream;

namespace orvaneh {

class PulseContext;

// A player of a WAV file to PulseAudio's default output, in the file's own format. The file is
// read block by block from pulse's thread as the server asks (never held whole). Each play()
// opens a stream at the position; pause, stop and seeks close it, so the position is the
// stream's own clock (what has been heard) added to where it started. The end of the file is
// posted to the main run loop once the server has played everything out; the callback never
// comes after the player is destroyed or after a pause. Losing the output stops playback, calls
// the delegate with false and posts MediaBackend::kDeviceLostNotification. The volume scales the
// samples sent. Metering reads the file around the current position, as the simulated player
// does. Main run loop only.
class PulseAudioPlayer final : public AudioPlayer {
public:
    PulseAudioPlayer(PcmWaveReader wave, std::string path, std::shared_ptr<PulseContext> pulse);
    ~PulseAudioPlayer() override;
    PulseAudioPlayer(const PulseAudioPlayer&) = delete;
    PulseAudioPlayer& operator=(const PulseAudioPlayer&) = delete;

    double duration() const override { return wave_.duration(); }
    double currentTime() const override;
    void setCurrentTime(double seconds) override;
    // False (logged) when no server answers or the output cannot be opened.
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

    // What pulse's thread shares with the player; public for its callbacks only.
    struct Feed;

private:
    bool openStream();
    void closeStream();
    // Stops at the current position.
    void halt();
    // On the main run loop: the end of the file was heard, or the output was lost.
    void ended(unsigned generation, bool successfully, const std::string& reason);

    PcmWaveReader wave_;
    std::string path_;
    std::shared_ptr<PulseContext> pulse_;
    std::unique_ptr<Feed> feed_;
    pa_stream* stream_ = nullptr;
    unsigned generation_ = 0;
    // While playing, where the stream started; otherwise the position.
    double position_ = 0;
    mutable double lastTime_ = 0; // the latest position read, for when the stream is gone
    bool playing_ = false;
    float volume_ = 1;
    FinishCallback delegate_;

    bool metering_ = false;
    std::vector<float> averagePowers_;
    std::vector<std::int16_t> window_;
    std::shared_ptr<PulseAudioPlayer*> self_;
};

} // namespace orvaneh
