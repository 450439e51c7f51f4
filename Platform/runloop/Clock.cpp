#include "Platform/runloop/Clock.h"

#include "Platform/runloop/SystemClock.h"

#include <mutex>
#include <utility>

namespace orvaneh {

namespace {

// Function-local statics: other statics may ask for the clock while the program starts.
std::mutex& clockMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<Clock>& installedClock() {
    static std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
    return clock;
}

} // namespace

std::shared_ptr<Clock> Clock::current() {
    std::lock_guard lock(clockMutex());
    return installedClock();
}

void Clock::install(std::shared_ptr<Clock> clock) {
    if (!clock) {
        clock = std::make_shared<SystemClock>();
    }
    std::shared_ptr<Clock> previous;
    {
        std::lock_guard lock(clockMutex());
        previous = std::exchange(installedClock(), std::move(clock));
    }
    // `previous` may be the last reference: let it go outside the lock.
}

} // namespace orvaneh
