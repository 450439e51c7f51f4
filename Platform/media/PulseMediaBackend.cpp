#include "Platform/media/PulseMediaBackend.h"

#include "Platform/media/PcmWaveReader.h"
#include "Platform/media/PulseAudioPlayer.h"
#include "Platform/media/PulseAudioRecorder.h"
#include "Platform/media/PulseAudioSession.h"
#include "Platform/media/PulseContext.h"

#include <cmath>
#include <pulse/sample.h>

namespace orvaneh {

namespace {

constexpr int kMostChannels = 8;

bool playable(double rate, int channels) {
    if (!std::isfinite(rate) || rate < 1 || rate > PA_RATE_MAX || channels < 1 || channels > kMostChannels) {
        return false;
    }
    const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(std::lround(rate)),
                              static_cast<std::uint8_t>(channels)};
    return pa_sample_spec_valid(&spec) != 0;
}

} // namespace

PulseMediaBackend::PulseMediaBackend(std::string server)
    : pulse_(std::make_shared<PulseContext>(std::move(server))),
      session_(std::make_unique<PulseAudioSession>(pulse_)) {}

PulseMediaBackend::~PulseMediaBackend() = default;

AudioSession& PulseMediaBackend::audioSession() {
    return *session_;
}

std::unique_ptr<AudioRecorder> PulseMediaBackend::makeRecorder(const std::string& path,
                                                               const AudioRecorderSettings& settings) {
    if (settings.formatId != "lpcm" || !playable(settings.sampleRate, settings.numberOfChannels)) {
        return nullptr;
    }
    return std::make_unique<PulseAudioRecorder>(path, settings, pulse_);
}

std::unique_ptr<AudioPlayer> PulseMediaBackend::makePlayer(const std::string& path) {
    auto wave = PcmWaveReader::open(path);
    if (!wave || !playable(wave->sampleRate(), wave->channels())) {
        return nullptr;
    }
    return std::make_unique<PulseAudioPlayer>(std::move(*wave), path, pulse_);
}

} // namespace orvaneh
