#include "Platform/media/PcmMetering.h"

#include "Platform/media/PcmWaveReader.h"

#include <algorithm>
#include <cmath>

namespace orvaneh::PcmMetering {

float averagePower(double sumOfSquares, std::size_t count) {
    if (count == 0 || sumOfSquares <= 0) {
        return silence;
    }
    auto rms = std::sqrt(sumOfSquares / static_cast<double>(count));
    return std::max(silence, static_cast<float>(20 * std::log10(rms / 32768)));
}

void powersBefore(const PcmWaveReader& wave, double position, float gain, std::vector<std::int16_t>& buffer,
                  std::vector<float>& powers) {
    const auto channels = static_cast<std::size_t>(wave.channels());
    powers.assign(channels, silence);
    if (position <= 0 || channels == 0) {
        return;
    }
    const auto end =
        std::min(static_cast<std::size_t>(std::llround(position * wave.sampleRate())), wave.frameCount());
    const auto span = static_cast<std::size_t>(std::lround(wave.sampleRate() * window));
    const auto begin = end - std::min(end, span);
    wave.readFrames(begin, end - begin, buffer);
    const std::size_t read = buffer.size() / channels;
    for (std::size_t channel = 0; channel < channels; ++channel) {
        double sumOfSquares = 0;
        for (std::size_t frame = 0; frame < read; ++frame) {
            const double value = buffer[frame * channels + channel] * static_cast<double>(gain);
            sumOfSquares += value * value;
        }
        powers[channel] = averagePower(sumOfSquares, end - begin);
    }
}

} // namespace orvaneh::PcmMetering
