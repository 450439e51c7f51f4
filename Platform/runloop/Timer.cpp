#include "Platform/runloop/Timer.h"

#include <algorithm>

namespace orvaneh {

namespace {

// A repeating timer with no interval would fire forever at the same moment and never let
// the loop (or virtual time) move on.
constexpr Seconds shortestRepeat{0.001};

Seconds usableInterval(Seconds interval, bool repeats) {
    interval = std::max(interval, Seconds::zero());
    return repeats ? std::max(interval, shortestRepeat) : interval;
}

} // namespace

Timer::Timer(Seconds interval, bool repeats, Callback callback)
    : interval_(usableInterval(interval, repeats)), repeats_(repeats), callback_(std::move(callback)) {}

void Timer::invalidate() {
    valid_.store(false);
}

} // namespace orvaneh
