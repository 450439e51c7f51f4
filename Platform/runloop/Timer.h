#pragma once

#include "Platform/runloop/Clock.h"

#include <atomic>
#include <functional>
#include <memory>

namespace orvaneh {

class RunLoop;

// A timer scheduled on a run loop. The loop holds it until it fires for the last time or is
// invalidated; the holder of the handle may invalidate it from any thread. The callback runs
// on the loop's thread.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Callback = std::function<void(Timer&)>;

    Timer(Seconds interval, bool repeats, Callback callback);

    // Stops the timer for good; safe from any thread and from inside its own callback.
    void invalidate();
    bool isValid() const { return valid_.load(); }
    bool repeats() const { return repeats_; }
    Seconds interval() const { return interval_; }

private:
    friend class RunLoop;

    Seconds interval_;
    bool repeats_;
    Callback callback_;
    std::atomic<bool> valid_{true};
};

} // namespace orvaneh
