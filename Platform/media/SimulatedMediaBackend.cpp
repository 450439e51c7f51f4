#include "Platform/media/SimulatedMediaBackend.h"

#include "Platform/media/PcmWaveReader.h"
#include "Platform/media/SimulatedAudioPlayer.h"
#include "Platform/media/SimulatedAudioRecorder.h"
#include "Platform/media/SimulatedAudioSession.h"
#include "Platform/media/SimulatedMediaState.h"

#include <cmath>
#include <limits>

namespace orvaneh {

SimulatedAudioInput SimulatedAudioInput::silence() {
    return {};
}

SimulatedAudioInput SimulatedAudioInput::tone(double frequency, double amplitude) {
    SimulatedAudioInput input;
    input.kind = Kind::Tone;
    input.frequency = frequency;
    input.amplitude = amplitude;
    return input;
}

SimulatedAudioInput SimulatedAudioInput::file(const std::string& path) {
    SimulatedAudioInput input;
    input.kind = Kind::File;
    input.path = path;
    return input;
}

SimulatedMediaBackend::SimulatedMediaBackend()
    : state_(std::make_shared<SimulatedMediaState>()),
      session_(std::make_unique<SimulatedAudioSession>(state_)) {}

SimulatedMediaBackend::~SimulatedMediaBackend() = default;

AudioSession& SimulatedMediaBackend::audioSession() {
    return *session_;
}

std::unique_ptr<AudioRecorder> SimulatedMediaBackend::makeRecorder(const std::string& path,
                                                                   const AudioRecorderSettings& settings) {
    bool usable = settings.formatId == "lpcm" && std::isfinite(settings.sampleRate) &&
                  settings.sampleRate >= 1 && settings.sampleRate <= std::numeric_limits<int>::max() &&
                  settings.numberOfChannels >= 1 && settings.numberOfChannels <= 8;
    if (!usable) {
        return nullptr;
    }
    ++state_->recordersMade;
    return std::make_unique<SimulatedAudioRecorder>(path, settings, state_);
}

std::unique_ptr<AudioPlayer> SimulatedMediaBackend::makePlayer(const std::string& path) {
    auto wave = PcmWaveReader::open(path);
    if (!wave) {
        return nullptr;
    }
    ++state_->playersMade;
    return std::make_unique<SimulatedAudioPlayer>(std::move(*wave));
}

void SimulatedMediaBackend::setInput(SimulatedAudioInput input) {
    state_->input = std::move(input);
}

const SimulatedAudioInput& SimulatedMediaBackend::input() const {
    return state_->input;
}

void SimulatedMediaBackend::setRecordPermission(AudioSession::RecordPermission permission) {
    std::lock_guard lock(state_->mutex);
    state_->permission = permission;
}

void SimulatedMediaBackend::setPermissionAnswer(bool granted) {
    std::lock_guard lock(state_->mutex);
    state_->permissionAnswer = granted;
}

void SimulatedMediaBackend::setSpeakerOverrideError(const std::string& error) {
    std::lock_guard lock(state_->mutex);
    state_->speakerOverrideError = error;
}

int SimulatedMediaBackend::recordersMade() const {
    return state_->recordersMade;
}

int SimulatedMediaBackend::playersMade() const {
    return state_->playersMade;
}

std::vector<std::string> SimulatedMediaBackend::writtenFiles() const {
    return state_->writtenFiles;
}

} // namespace orvaneh
