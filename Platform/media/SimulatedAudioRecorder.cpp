#include "Platform/media/SimulatedAudioRecorder.h"

#include "Platform/log/Log.h"
#include "Platform/media/PcmWaveFile.h"
#include "Platform/media/SimulatedMediaState.h"
#include "Platform/media/SimulatedMetering.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <unistd.h>

namespace orvaneh {

namespace {

double secondsSince(MonotonicTime start) {
    return Seconds(RunLoop::main().clock().now() - start).count();
}

} // namespace

SimulatedAudioRecorder::SimulatedAudioRecorder(std::string path, AudioRecorderSettings settings,
                                               std::shared_ptr<SimulatedMediaState> state)
    : path_(std::move(path)), settings_(std::move(settings)),
      sampleRate_(static_cast<int>(std::lround(settings_.sampleRate))), state_(std::move(state)) {}

SimulatedAudioRecorder::~SimulatedAudioRecorder() {
    stop();
}

bool SimulatedAudioRecorder::prepareToRecord() {
    auto directory = std::filesystem::path(path_).parent_path();
    if (directory.empty()) {
        directory = ".";
    }
    std::error_code error;
    return std::filesystem::is_directory(directory, error) && ::access(directory.c_str(), W_OK) == 0;
}

bool SimulatedAudioRecorder::record() {
    if (recording_) {
        return true;
    }
    if (!prepareToRecord()) {
        return false;
    }
    input_ = state_->input;
    inputSamples_.clear();
    if (input_.kind == SimulatedAudioInput::Kind::File) {
        if (auto file = PcmWaveFile::read(input_.path)) {
            inputSamples_.reserve(file->frameCount());
            for (std::size_t frame = 0; frame < file->frameCount(); ++frame) {
                inputSamples_.push_back(file->sample(frame, 0));
            }
        }
    }
    start_ = RunLoop::main().clock().now();
    takeLength_ = 0;
    recording_ = true;
    return true;
}

void SimulatedAudioRecorder::stop() {
    if (!recording_) {
        return;
    }
    takeLength_ = secondsSince(start_);
    recording_ = false;
    averagePower_ = SimulatedMetering::silence;

    auto frames = framesAt(takeLength_);
    auto channels = static_cast<std::size_t>(settings_.numberOfChannels);
    std::vector<std::int16_t> samples(frames * channels);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        std::fill_n(samples.begin() + static_cast<std::ptrdiff_t>(frame * channels), channels, heard(frame));
    }
    PcmWaveFile wave(settings_.numberOfChannels, sampleRate_, std::move(samples));
    std::string error;
    if (wave.write(path_, fillerBytes, &error)) {
        state_->writtenFiles.push_back(path_);
    } else {
        Log::write("Enregistrement perdu : " + error);
    }
}

double SimulatedAudioRecorder::currentTime() const {
    return recording_ ? secondsSince(start_) : takeLength_;
}

void SimulatedAudioRecorder::setMeteringEnabled(bool enabled) {
    metering_ = enabled;
    if (!enabled) {
        averagePower_ = SimulatedMetering::silence;
    }
}

void SimulatedAudioRecorder::updateMeters() {
    if (!metering_ || !recording_) {
        averagePower_ = SimulatedMetering::silence;
        return;
    }
    auto end = framesAt(secondsSince(start_));
    auto window = static_cast<std::size_t>(std::lround(sampleRate_ * SimulatedMetering::window));
    auto begin = end - std::min(end, window);
    double sumOfSquares = 0;
    for (auto frame = begin; frame < end; ++frame) {
        double value = heard(frame);
        sumOfSquares += value * value;
    }
    averagePower_ = SimulatedMetering::averagePower(sumOfSquares, end - begin);
}

float SimulatedAudioRecorder::averagePowerForChannel(int channel) const {
    return channel >= 0 && channel < settings_.numberOfChannels ? averagePower_ : SimulatedMetering::silence;
}

std::size_t SimulatedAudioRecorder::framesAt(double seconds) const {
    return static_cast<std::size_t>(std::llround(std::max(seconds, 0.0) * sampleRate_));
}

std::int16_t SimulatedAudioRecorder::heard(std::size_t frame) const {
    switch (input_.kind) {
    case SimulatedAudioInput::Kind::Silence:
        return 0;
    case SimulatedAudioInput::Kind::Tone: {
        auto phase = 2 * std::numbers::pi * input_.frequency * static_cast<double>(frame) / sampleRate_;
        auto amplitude = std::clamp(input_.amplitude, 0.0, 1.0) * 32767;
        return static_cast<std::int16_t>(std::lround(amplitude * std::sin(phase)));
    }
    case SimulatedAudioInput::Kind::File:
        return frame < inputSamples_.size() ? inputSamples_[frame] : std::int16_t{0};
    }
    return 0;
}

} // namespace orvaneh
