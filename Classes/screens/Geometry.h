#pragma once

namespace orvaneh {

// Points on screen, origin at the top left, as the views lay them out.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool operator==(const Rect&) const = default;
};

// Red, green, blue and alpha from 0 to 1.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    static constexpr Color fromRgb255(double r, double g, double b) {
        return {r / 255.0, g / 255.0, b / 255.0, 1};
    }
    bool operator==(const Color&) const = default;
};

} // namespace orvaneh
