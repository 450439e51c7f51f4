#include "Classes/screens/SuperController.h"

namespace orvaneh {

bool SuperController::onBackButton() {
    if (!viewShouldBackToParentView()) {
        return false;
    }
    cancel();
    return true;
}

void SuperController::cancel() {
    // The handler may destroy this screen: take it out first.
    if (auto handler = closeHandler_) {
        handler();
    }
}

void SuperController::showWaitMessage() {
    if (!waitMessageShown_) {
        waitMessageShown_ = true;
        changed();
    }
}

void SuperController::hideWaitMessage() {
    if (waitMessageShown_) {
        waitMessageShown_ = false;
        changed();
    }
}

} // namespace orvaneh
