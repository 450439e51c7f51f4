#pragma once

#include "Classes/screens/Geometry.h"

namespace orvaneh {

// The shared colour table of the screens.
struct Colors {
    static constexpr Color NavigationBarDefaultBackground = Color::fromRgb255(33, 86, 145);
    static constexpr Color RecorderProgressBarThumbColor = Color::fromRgb255(255, 255, 255);
    static constexpr Color RecorderProgressBarTrackColor = Color::fromRgb255(120, 170, 225);
    static constexpr Color RecorderProgressBarBackgroundColor = Color::fromRgb255(33, 86, 145);
    static constexpr Color Red = Color::fromRgb255(255, 0, 0);
    static constexpr Color Clear = {0, 0, 0, 0};
};

} // namespace orvaneh
