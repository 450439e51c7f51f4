#include "Classes/audio/PinCursor.h"

namespace orvaneh {

void PinCursor::setState(bool state) {
    controlState_ = state;
    visible_ = state;
}

void PinCursor::select() {
    setControlSelected(!controlSelected_);
}

void PinCursor::setControlSelected(bool selected) {
    controlSelected_ = selected;
    imageName_ = selected ? kImageSelected : kImageUnselected;
}

} // namespace orvaneh
