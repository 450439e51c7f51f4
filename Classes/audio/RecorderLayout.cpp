#include "Classes/audio/RecorderLayout.h"

#include "Classes/audio/Slider.h"

#include <algorithm>
#include <cmath>

namespace orvaneh {

RecorderLayout::RecorderLayout(Rect sliderFrame, double minimum, double maximum)
    : slider_(sliderFrame), minimum_(minimum), maximum_(maximum) {}

double RecorderLayout::pixel(double seconds) const {
    if (maximum_ - minimum_ <= 0) {
        return slider_.x;
    }
    return slider_.x + slider_.width * (seconds - minimum_) / (maximum_ - minimum_);
}

double RecorderLayout::markerInset() const {
    return std::trunc((slider_.height - kMarkerSize) * 0.5);
}

Rect RecorderLayout::markerFrame(double seconds) const {
    return {pixel(seconds) - 10, slider_.y + markerInset() - 1, kMarkerSize, kMarkerSize};
}

Rect RecorderLayout::bandFrame(double first, double second) const {
    const double x1 = std::trunc(pixel(first));
    const double x2 = std::trunc(pixel(second));
    return {std::min(x1, x2), slider_.y + 7 + markerInset() - 1, std::abs(x2 - x1), kBandHeight};
}

Rect RecorderLayout::thumbFrame(double value) const {
    const Rect bounds{0, 0, slider_.width, slider_.height};
    Rect thumb = Slider::thumbRectForBounds(bounds, bounds, value, minimum_, maximum_);
    thumb.x += slider_.x;
    thumb.y += slider_.y;
    return thumb;
}

} // namespace orvaneh
