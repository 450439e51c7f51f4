#pragma once

#include <functional>

namespace orvaneh {

// A player of one WAV file, opened whole. Times are seconds. A position set outside
// 0 … duration is kept as given (the recorder screen does not limit its seeks); playing from
// there ends at once. Main run loop only.
class AudioPlayer {
public:
    // Called on the main run loop when playback reaches the end of the file, with true.
    using FinishCallback = std::function<void(bool successfully)>;

    virtual ~AudioPlayer() = default;

    virtual double duration() const = 0;
    virtual double currentTime() const = 0;
    virtual void setCurrentTime(double seconds) = 0;
    virtual bool play() = 0;
    // Keeps the position.
    virtual void pause() = 0;
    // Stops playing; the position stays where it was (the caller resets it when it wants).
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
    virtual int numberOfChannels() const = 0;
    virtual void setVolume(float volume) = 0;
    virtual float volume() const = 0;
    // Replaces the end-of-file callback (empty: none). The callback is never called after
    // the player is destroyed.
    virtual void setDelegate(FinishCallback callback) = 0;

    // Metering of the output around the current position, as for the recorder.
    virtual void setMeteringEnabled(bool enabled) = 0;
    virtual void updateMeters() = 0;
    virtual float averagePowerForChannel(int channel) const = 0;
};

} // namespace orvaneh
