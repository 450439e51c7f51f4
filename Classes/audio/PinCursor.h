#pragma once

#include "Classes/screens/Geometry.h"

#include <string>

namespace orvaneh {

// One of the recorder's two cut markers: where it stands on the track (seconds), whether it is
// placed and whether a touch selected it, and how the view draws it. A plain value owned by
// the recording screen.
class PinCursor {
public:
    static constexpr double kSize = 21;
    static constexpr const char* kImageUnselected = "boutonVert.png";
    static constexpr const char* kImageSelected = "boutonRouge.png";

    // Placed and visible.
    bool controlState() const { return controlState_; }
    bool controlSelected() const { return controlSelected_; }
    float position() const { return position_; }
    float value() const { return value_; }
    const std::string& imageName() const { return imageName_; }
    const Rect& frame() const { return frame_; }
    bool visible() const { return visible_; }

    // Shows or hides the marker and records it as placed or not.
    void setState(bool state);
    // A touch: toggles the selection.
    void select();
    void setControlSelected(bool selected);
    void setValue(float value) { value_ = value; }
    void setPosition(float position) { position_ = position; }
    void setFrame(const Rect& frame) { frame_ = frame; }

private:
    bool controlState_ = false;
    bool controlSelected_ = false;
    float position_ = 0;
    float value_ = 0;
    std::string imageName_ = kImageUnselected;
    Rect frame_{};
    bool visible_ = false;
};

} // namespace orvaneh
