#pragma once

#include "Platform/media/AudioSession.h"
#include "Platform/media/SimulatedMediaBackend.h"

#include <mutex>
#include <string>
#include <vector>

namespace orvaneh {

// What a simulated back-end shares with the session, recorders and players it made; they keep
// it alive after the back-end is replaced. Main run loop only, except the fields under `mutex`.
struct SimulatedMediaState {
    SimulatedAudioInput input;
    int recordersMade = 0;
    int playersMade = 0;
    std::vector<std::string> writtenFiles;

    // The permission request's thread writes the state.
    std::mutex mutex;
    AudioSession::RecordPermission permission = AudioSession::RecordPermission::Granted;
    bool permissionAnswer = true;
    std::string speakerOverrideError;
};

} // namespace orvaneh
