#include "Platform/media/SimulatedAudioRecorder.h"

#include "Platform/log/Log.h"
#include "Platform/media/PcmMetering.h"
#include "Platform/media/PcmWaveWriter.h"
#include "Platform/media/SimulatedMediaState.h"
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
    takeError_ = 0;
    if (!prepareToRecord()) {
        return false;
    }
    input_ = state_->input;
    inputFile_.reset();
    inputFrames_.clear();
    inputStart_ = 0;
    if (input_.kind == SimulatedAudioInput::Kind::File) {
        // Opened, not read: the samples are read as they are heard.
        inputFile_ = PcmWaveReader::open(input_.path);
        if (!inputFile_) {
            Log::write("Le micro simulé ne peut pas lire « " + input_.path +
                       " » (fichier WAV PCM 16 bits attendu) : la prise entend le silence");
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
    averagePower_ = PcmMetering::silence;

    // Written block by block: a take of an hour costs the memory of one block.
    constexpr std::size_t framesPerBlock = 16 * 1024;
    const auto frames = framesAt(takeLength_);
    const auto channels = static_cast<std::size_t>(settings_.numberOfChannels);
    PcmWaveWriter writer;
    std::string error;
    bool ok = writer.create(path_, settings_.numberOfChannels, sampleRate_, fillerBytes, &error);
    std::vector<std::int16_t> samples;
    for (std::size_t first = 0; ok && first < frames; first += framesPerBlock) {
        hear(first, std::min(framesPerBlock, frames - first), heard_);
        samples.resize(heard_.size() * channels);
        for (std::size_t frame = 0; frame < heard_.size(); ++frame) {
            std::fill_n(samples.begin() + static_cast<std::ptrdiff_t>(frame * channels), channels,
                        heard_[frame]);
        }
        ok = writer.append(samples.data(), samples.size());
    }
    inputFile_.reset();
    if (ok && writer.finish(&error)) {
        state_->writtenFiles.push_back(path_);
    } else {
        takeError_ = writer.error();
        Log::write("Enregistrement perdu : " + error);
    }
}

double SimulatedAudioRecorder::currentTime() const {
    return recording_ ? secondsSince(start_) : takeLength_;
}

void SimulatedAudioRecorder::setMeteringEnabled(bool enabled) {
    metering_ = enabled;
    if (!enabled) {
        averagePower_ = PcmMetering::silence;
    }
}

void SimulatedAudioRecorder::updateMeters() {
    if (!metering_ || !recording_) {
        averagePower_ = PcmMetering::silence;
        return;
    }
    auto end = framesAt(secondsSince(start_));
    auto window = static_cast<std::size_t>(std::lround(sampleRate_ * PcmMetering::window));
    auto begin = end - std::min(end, window);
    hear(begin, end - begin, heard_);
    // In integers: exact, and cheap enough for every tick of an hour-long take.
    std::int64_t sumOfSquares = 0;
    for (const std::int32_t value : heard_) {
        sumOfSquares += value * value;
    }
    averagePower_ = PcmMetering::averagePower(static_cast<double>(sumOfSquares), end - begin);
}

float SimulatedAudioRecorder::averagePowerForChannel(int channel) const {
    return channel >= 0 && channel < settings_.numberOfChannels ? averagePower_ : PcmMetering::silence;
}

std::size_t SimulatedAudioRecorder::framesAt(double seconds) const {
    return static_cast<std::size_t>(std::llround(std::max(seconds, 0.0) * sampleRate_));
}

void SimulatedAudioRecorder::hear(std::size_t first, std::size_t count, std::vector<std::int16_t>& heard) {
    heard.assign(count, 0);
    switch (input_.kind) {
    case SimulatedAudioInput::Kind::Silence:
        return;
    case SimulatedAudioInput::Kind::Tone: {
        auto amplitude = std::clamp(input_.amplitude, 0.0, 1.0) * 32767;
        for (std::size_t i = 0; i < count; ++i) {
            auto phase =
                2 * std::numbers::pi * input_.frequency * static_cast<double>(first + i) / sampleRate_;
            heard[i] = static_cast<std::int16_t>(std::lround(amplitude * std::sin(phase)));
        }
        return;
    }
    case SimulatedAudioInput::Kind::File:
        if (inputFile_) {
            // The file's first channel; silence once it runs out. The meters ask for a short
            // window every tick, moving forward a little each time: one read serves many ticks.
            constexpr std::size_t framesPerRead = 16 * 1024;
            const auto channels = static_cast<std::size_t>(inputFile_->channels());
            if (first < inputStart_ || first + count > inputStart_ + inputFrames_.size() / channels) {
                inputStart_ = first;
                inputFile_->readFrames(first, std::max(count, framesPerRead), inputFrames_);
            }
            const std::size_t offset = first - inputStart_;
            const std::size_t present = std::min(count, inputFrames_.size() / channels - offset);
            for (std::size_t i = 0; i < present; ++i) {
                heard[i] = inputFrames_[(offset + i) * channels];
            }
        }
        return;
    }
}

} // namespace orvaneh
