#include "Classes/audio/Slider.h"

#include <cmath>

namespace orvaneh {

Rect Slider::thumbRectForBounds(Rect bounds, Rect track, double value, double minimum, double maximum) {
    double x = track.width * value / (maximum - minimum) - kThumbSize / 2.0;
    if (std::isnan(x)) {
        x = 0.0;
    }
    return Rect{x, (bounds.height - kThumbSize) * 0.5, kThumbSize, kThumbSize};
}

} // namespace orvaneh
