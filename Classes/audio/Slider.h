#pragma once

#include "Classes/screens/Geometry.h"

namespace orvaneh {

// The position slider of the recording screen. Its thumb has a fixed size and may stick out
// of the bounds, so the slider does not clip.
class Slider {
public:
    static constexpr double kThumbSize = 20.0;

    double value = 0.0;
    double minimum = 0.0;
    double maximum = 1.0;
    bool clipsToBounds = false;

    // The thumb centred on value / (maximum − minimum) of the track's width (the minimum is not
    // subtracted: the recording screen's is 0) and vertically in the bounds; x is 0 when the
    // range is empty.
    static Rect thumbRectForBounds(Rect bounds, Rect track, double value, double minimum, double maximum);
    Rect thumbRect(Rect bounds, Rect track) const {
        return thumbRectForBounds(bounds, track, value, minimum, maximum);
    }
};

} // namespace orvaneh
