#pragma once

#include "Platform/runloop/Clock.h"

namespace orvaneh {

// The real clocks of the machine.
class SystemClock final : public Clock {
public:
    MonotonicTime now() const override { return std::chrono::steady_clock::now(); }
    WallTime wallNow() const override { return std::chrono::system_clock::now(); }
    bool isVirtual() const override { return false; }
};

} // namespace orvaneh
