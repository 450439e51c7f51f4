#pragma once

#include "Platform/media/AudioPlayer.h"
#include "Platform/media/AudioRecorder.h"
#include "Platform/media/AudioSession.h"

#include <memory>
#include <string>

namespace orvaneh {

// Makes the recorders and players and holds the audio session. The desktop application
// installs one over its audio devices (PulseMediaBackend, built when libpulse is present); the
// tests install the simulated one.
class MediaBackend {
public:
    // Posted on the main run loop by a back-end over real devices when the input or output goes
    // away during a take or a playback: the take so far is kept as a complete WAV file and
    // recording has stopped. User info: "message" (French, for the user) and "path".
    static constexpr const char* kDeviceLostNotification = "AudioDeviceLost";
    // The same when a take stops because its file can no longer be written (disk full).
    static constexpr const char* kRecordingFailedNotification = "AudioRecordingFailed";

    virtual ~MediaBackend() = default;

    virtual AudioSession& audioSession() = 0;
    // Null when the recorder cannot be set up with these settings.
    virtual std::unique_ptr<AudioRecorder> makeRecorder(const std::string& path,
                                                        const AudioRecorderSettings& settings) = 0;
    // Null when the file is missing or is not a readable 16-bit PCM WAV file.
    virtual std::unique_ptr<AudioPlayer> makePlayer(const std::string& path) = 0;

    // The process-wide back-end: a simulated one until another is installed.
    static MediaBackend& shared();
    static void install(std::shared_ptr<MediaBackend> backend);
};

} // namespace orvaneh
