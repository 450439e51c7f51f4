#pragma once

#include "Platform/media/AudioPlayer.h"
#include "Platform/media/AudioRecorder.h"
#include "Platform/media/AudioSession.h"

#include <memory>
#include <string>

namespace orvaneh {

// Makes the recorders and players and holds the audio session. The desktop application
// installs one over its audio devices; the tests and the command line install the simulated
// one.
class MediaBackend {
public:
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
