#pragma once

#include "Platform/media/MediaBackend.h"

#include <memory>
#include <string>

namespace orvaneh {

class PulseAudioSession;
class PulseContext;

// The back-end over a PulseAudio server (or PipeWire's PulseAudio service): recorders on the
// default input, players on the default output, through libpulse's asynchronous API on a
// thread of its own (PulseContext). Whatever the interfaces promise on the main run loop (the
// end of a playback, a lost device) is posted there. The server is reached on first use and
// again after it was lost; a missing server is an error result after a few seconds at most,
// never a hang. Built only when libpulse is present (ORVANEH_PULSE, ORVANEH_HAVE_PULSE).
class PulseMediaBackend final : public MediaBackend {
public:
    // `server`: a server string ("unix:/run/…/native"), or empty for libpulse's default
    // (PULSE_SERVER, then the user's own server).
    explicit PulseMediaBackend(std::string server = {});
    ~PulseMediaBackend() override;

    AudioSession& audioSession() override;
    // Null unless linear PCM at a rate and channel count the server accepts (up to 8 channels).
    std::unique_ptr<AudioRecorder> makeRecorder(const std::string& path,
                                                const AudioRecorderSettings& settings) override;
    // Null when the file is missing, is not 16-bit PCM WAV, or has a format the server refuses.
    std::unique_ptr<AudioPlayer> makePlayer(const std::string& path) override;

private:
    std::shared_ptr<PulseContext> pulse_;
    std::unique_ptr<PulseAudioSession> session_;
};

} // namespace orvaneh
