#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvaneh {
class PcmWaveReader;
}

namespace orvaneh::PcmMetering {

// The meters average the last 1/20 s of audio.
inline constexpr double window = 0.05;
// The level of silence, and of a meter that is off.
inline constexpr float silence = -160;

// RMS power in dB full scale of `count` 16-bit samples whose squares add up to `sumOfSquares`;
// `silence` for nothing or zeros.
float averagePower(double sumOfSquares, std::size_t count);

// A player's meters: the power of each channel over the window of `wave` just heard before
// `position` (seconds), its samples scaled by `gain`. Only the window is read, into `buffer`
// (reused between calls); `powers` gets one value per channel.
void powersBefore(const PcmWaveReader& wave, double position, float gain, std::vector<std::int16_t>& buffer,
                  std::vector<float>& powers);

} // namespace orvaneh::PcmMetering
