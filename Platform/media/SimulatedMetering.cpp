#include "Platform/media/SimulatedMetering.h"

#include <algorithm>
#include <cmath>

namespace orvaneh::SimulatedMetering {

float averagePower(double sumOfSquares, std::size_t count) {
    if (count == 0 || sumOfSquares <= 0) {
        return silence;
    }
    auto rms = std::sqrt(sumOfSquares / static_cast<double>(count));
    return std::max(silence, static_cast<float>(20 * std::log10(rms / 32768)));
}

} // namespace orvaneh::SimulatedMetering
