#pragma once

#include "Platform/runloop/Clock.h"

#include <string>

namespace orvaneh {

// The transient banner shown over every screen.
class Notification {
public:
    // Shows the banner with `text` for displayDuration(text). Safe from any thread.
    static void pushNotification(const std::string& text);
    // min(20, 3 + 17 × length / 200) seconds, the length counted in characters.
    static Seconds displayDuration(const std::string& text);
};

} // namespace orvaneh
