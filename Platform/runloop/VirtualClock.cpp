#include "Platform/runloop/VirtualClock.h"

namespace orvaneh {

namespace {

// Far from the epoch, so that a default-constructed time point still reads as "long ago".
constexpr MonotonicTime virtualMonotonicStart{std::chrono::hours(24 * 365)};

} // namespace

VirtualClock::VirtualClock(WallTime start)
    : now_(virtualMonotonicStart), wallStart_(start), monotonicStart_(virtualMonotonicStart) {}

MonotonicTime VirtualClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

std::shared_ptr<VirtualClock> VirtualClock::withSystemWallTime() {
    auto clock = std::make_shared<VirtualClock>(std::chrono::system_clock::now());
    clock->systemWallTime_ = true;
    return clock;
}

WallTime VirtualClock::wallNow() const {
    if (systemWallTime_) {
        return std::chrono::system_clock::now();
    }
    std::lock_guard lock(mutex_);
    return wallStart_ + std::chrono::duration_cast<WallTime::duration>(now_ - monotonicStart_);
}

void VirtualClock::advance(Seconds interval) {
    // Rounded, not truncated: 0.1 s must be exactly 100 ms, or repeated steps would drift.
    auto step = std::chrono::round<MonotonicTime::duration>(interval);
    if (step <= MonotonicTime::duration::zero()) {
        return;
    }
    std::lock_guard lock(mutex_);
    now_ += step;
}

void VirtualClock::advanceTo(MonotonicTime moment) {
    std::lock_guard lock(mutex_);
    if (moment > now_) {
        now_ = moment;
    }
}

WallTime VirtualClock::defaultStart() {
    using namespace std::chrono;
    return sys_days{year{2026} / January / 15} + hours(9);
}

} // namespace orvaneh
