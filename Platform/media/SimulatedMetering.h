#pragma once

#include <cstddef>

namespace orvaneh::SimulatedMetering {

// The simulated meters average the last 1/20 s of audio.
inline constexpr double window = 0.05;
// The level of silence, and of a meter that is off.
inline constexpr float silence = -160;

// RMS power in dB full scale of `count` 16-bit samples whose squares add up to `sumOfSquares`;
// `silence` for nothing or zeros.
float averagePower(double sumOfSquares, std::size_t count);

} // namespace orvaneh::SimulatedMetering
