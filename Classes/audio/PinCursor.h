#pragma once

#include <string>

namespace orvaneh {

// One of the recorder's two cut markers: where it stands on the track (seconds), whether it is
// placed and whether a touch selected it, and the image it shows. A plain value owned by
// RecorderMarkers; where it is drawn is RecorderLayout's.
class PinCursor {
public:
    static constexpr const char* kImageUnselected = "boutonVert.png";
    static constexpr const char* kImageSelected = "boutonRouge.png";

    // Placed and visible.
    bool controlState() const { return controlState_; }
    bool controlSelected() const { return controlSelected_; }
    float position() const { return position_; }
    float value() const { return value_; }
    const std::string& imageName() const { return imageName_; }
    bool visible() const { return visible_; }

    // Shows or hides the marker and records it as placed or not.
    void setState(bool state);
    // A touch: toggles the selection.
    void select();
    void setControlSelected(bool selected);
    void setValue(float value) { value_ = value; }
    void setPosition(float position) { position_ = position; }

private:
    bool controlState_ = false;
    bool controlSelected_ = false;
    float position_ = 0;
    float value_ = 0;
    std::string imageName_ = kImageUnselected;
    bool visible_ = false;
};

} // namespace orvaneh
