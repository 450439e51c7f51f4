#pragma once

#include <chrono>
#include <memory>

namespace orvaneh {

// Seconds with a fraction: the unit of every interval in the system.
using Seconds = std::chrono::duration<double>;
using MonotonicTime = std::chrono::steady_clock::time_point;
using WallTime = std::chrono::system_clock::time_point;

// Source of time for run loops, timers and date stamps. Tests install a VirtualClock
// so that time moves only when they say so; the application uses the SystemClock.
// Implementations are thread-safe.
class Clock {
public:
    virtual ~Clock() = default;

    // Monotonic time, for timers and intervals.
    virtual MonotonicTime now() const = 0;
    // Calendar time, for date stamps (moves together with now()).
    virtual WallTime wallNow() const = 0;
    // True for a clock whose time moves only when a test advances it.
    virtual bool isVirtual() const = 0;

    // The process-wide clock (a SystemClock until another is installed).
    static std::shared_ptr<Clock> current();
    // Replaces the process-wide clock; run loops created afterwards use it.
    static void install(std::shared_ptr<Clock> clock);
};

} // namespace orvaneh
