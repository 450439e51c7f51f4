#include "Platform/media/SimulatedAudioSession.h"

#include "Platform/media/SimulatedMediaState.h"

namespace orvaneh {

SimulatedAudioSession::SimulatedAudioSession(std::shared_ptr<SimulatedMediaState> state)
    : state_(std::move(state)) {}

SimulatedAudioSession::~SimulatedAudioSession() {
    std::lock_guard lock(requestsMutex_);
    for (auto& request : requests_) {
        request.join();
    }
}

AudioSession::RecordPermission SimulatedAudioSession::recordPermission() const {
    std::lock_guard lock(state_->mutex);
    return state_->permission;
}

void SimulatedAudioSession::requestRecordPermission(std::function<void(bool granted)> response) {
    std::lock_guard lock(requestsMutex_);
    requests_.emplace_back([state = state_, response = std::move(response)] {
        bool granted = false;
        {
            std::lock_guard stateLock(state->mutex);
            granted = state->permissionAnswer;
            state->permission = granted ? RecordPermission::Granted : RecordPermission::Denied;
        }
        if (response) {
            response(granted);
        }
    });
}

bool SimulatedAudioSession::setCategory(Category category) {
    category_ = category;
    return true;
}

bool SimulatedAudioSession::setActive(bool active) {
    active_ = active;
    return true;
}

bool SimulatedAudioSession::overrideOutputAudioPortToSpeaker(std::string& error) {
    std::lock_guard lock(state_->mutex);
    if (!state_->speakerOverrideError.empty()) {
        error = state_->speakerOverrideError;
        return false;
    }
    return true;
}

} // namespace orvaneh
