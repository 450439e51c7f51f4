#pragma once

#include "Classes/screens/Geometry.h"

namespace orvaneh {

// Where the recording screen's slider pieces go for a slider laid out at a given frame: the
// thumb, the two markers and the band between them. The controller speaks in seconds; a view
// builds one of these from its own slider frame and the range the controller exposes, so the
// same screen draws at a phone's width or a desktop window's. All frames are in the coordinates
// the slider frame is given in.
class RecorderLayout {
public:
    // The slider of the phone layout the images were drawn for.
    static constexpr Rect kPhoneSliderFrame = {20, 150, 280, 31};
    static constexpr double kMarkerSize = 21;
    static constexpr double kBandHeight = 9;
    static constexpr double kBandAlpha = 0.7;

    // `maximum` is the end of the scale: the larger of the slider's maximum and the current
    // track's duration (a take in progress stretches the slider, not the markers' scale).
    RecorderLayout(Rect sliderFrame, double minimum, double maximum);

    // The x of a time on the slider; the slider's left edge when the range is empty.
    double pixel(double seconds) const;
    // A marker centred on its time and on the slider.
    Rect markerFrame(double seconds) const;
    // The band between two times, in either order, on whole points.
    Rect bandFrame(double first, double second) const;
    // The slider's thumb at `value`, as the slider draws it.
    Rect thumbFrame(double value) const;

private:
    Rect slider_;
    double minimum_;
    double maximum_;

    // Vertical offset centring a marker on the slider.
    double markerInset() const;
};

} // namespace orvaneh
