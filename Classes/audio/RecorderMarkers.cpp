#include "Classes/audio/RecorderMarkers.h"

#include <algorithm>

namespace orvaneh {

void RecorderMarkers::place(PinCursor& marker, float cursor) {
    marker.setValue(cursor);
    marker.setState(true);
    marker.setControlSelected(false);
}

void RecorderMarkers::placeOrRemove(float cursor) {
    if (!first_.controlState() && !second_.controlSelected()) {
        place(first_, cursor);
    } else if (!second_.controlState() && !first_.controlSelected()) {
        place(second_, cursor);
    } else if (first_.controlSelected()) {
        // Its selection stays: the next touch on it toggles from there.
        first_.setState(false);
    } else if (second_.controlSelected()) {
        second_.setState(false);
    } else {
        removeAll();
    }
    const bool onePinFree = !first_.controlState() || !second_.controlState();
    buttonImage_ = onePinFree ? kAddImage : kDeleteImage;
}

void RecorderMarkers::touch(int which) {
    PinCursor& touched = which == 2 ? second_ : first_;
    PinCursor& other = which == 2 ? first_ : second_;
    touched.select();
    if (touched.controlSelected() && other.controlSelected()) {
        other.setControlSelected(false);
    }
    buttonImage_ = touched.controlSelected() ? kDeleteImage : kAddImage;
}

void RecorderMarkers::removeAll() {
    first_.setState(false);
    second_.setState(false);
    buttonImage_ = kAddImage;
}

std::optional<RecorderMarkers::Range> RecorderMarkers::band(double end) const {
    if (!anyPlaced()) {
        return std::nullopt;
    }
    const double a = first_.controlState() ? static_cast<double>(first_.value()) : end;
    const double b = second_.controlState() ? static_cast<double>(second_.value()) : end;
    return Range{std::min(a, b), std::max(a, b)};
}

} // namespace orvaneh
