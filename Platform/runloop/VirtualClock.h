#pragma once

#include "Platform/runloop/Clock.h"

#include <memory>
#include <mutex>

namespace orvaneh {

// A clock for tests: it stands still until advance() moves it. Wall time starts at the
// given date and moves with the monotonic time. Run loops that use it fire their timers
// only when the test advances it (RunLoop::runFor does so timer by timer).
class VirtualClock final : public Clock {
public:
    // Starts at 2026-01-15 09:00:00 UTC unless told otherwise.
    explicit VirtualClock(WallTime start = defaultStart());
    // Virtual for timers only: the wall time is the system's, whatever advance() does. For a
    // program that plays hours of audio in no time yet dates what it makes at the real moment.
    static std::shared_ptr<VirtualClock> withSystemWallTime();

    MonotonicTime now() const override;
    WallTime wallNow() const override;
    bool isVirtual() const override { return true; }

    // Moves time forward; a negative interval is ignored (time never goes back).
    void advance(Seconds interval);
    // Moves time forward to the given moment if it lies ahead.
    void advanceTo(MonotonicTime moment);

    static WallTime defaultStart();

private:
    mutable std::mutex mutex_;
    MonotonicTime now_;
    WallTime wallStart_;
    MonotonicTime monotonicStart_;
    bool systemWallTime_ = false;
};

} // namespace orvaneh
