#pragma once

#include "Platform/media/AudioSession.h"

#include <memory>

namespace orvaneh {

class PulseContext;

// The session over a PulseAudio server. The desktop has no microphone permission of its own:
// the permission is Granted when the server answers and offers at least one input source that
// is not the monitor of an output, Denied otherwise (never Undetermined). It is asked of the
// server each time (a few seconds at most when the server does not answer); a request answers
// at once, on the calling thread, with the same. Category and activation are kept for the
// screens; the output is the server's default, so the loudspeaker override always succeeds.
class PulseAudioSession final : public AudioSession {
public:
    explicit PulseAudioSession(std::shared_ptr<PulseContext> pulse);

    RecordPermission recordPermission() const override;
    void requestRecordPermission(std::function<void(bool granted)> response) override;
    bool setCategory(Category category) override;
    Category category() const override { return category_; }
    bool setActive(bool active) override;
    bool isActive() const override { return active_; }
    bool overrideOutputAudioPortToSpeaker(std::string& error) override;

private:
    std::shared_ptr<PulseContext> pulse_;
    Category category_ = Category::Playback;
    bool active_ = false;
};

} // namespace orvaneh
