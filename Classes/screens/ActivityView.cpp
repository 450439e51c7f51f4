#include "Classes/screens/ActivityView.h"

#include "Platform/localisation/Localization.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <cmath>

namespace orvaneh {

Rect ActivityView::frameIn(double windowWidth, double windowHeight) {
    return {(windowWidth - kWidth) / 2, (windowHeight - kHeight) / 2, kWidth, kHeight};
}

std::string ActivityView::label() {
    return localized("ACTIVITY_VIEW_WAIT", "Veuillez patienter...");
}

void ActivityView::showWithModeIsProgressBar(bool progressBar) {
    shown_ = true;
    progressMode_ = progressBar;
    progress_ = 0;
    UserInterface::shared().showWait(progressBar);
    changed();
}

void ActivityView::progressBarPrct(double progress) {
    progress_ = std::isnan(progress) ? 0 : std::clamp(progress, 0.0, 1.0);
    if (shown_ && progressMode_) {
        UserInterface::shared().setWaitProgress(progress_);
    }
    changed();
}

void ActivityView::close() {
    if (!shown_) {
        return;
    }
    shown_ = false;
    UserInterface::shared().closeWait();
    changed();
}

void ActivityView::changed() const {
    if (changeCallback_) {
        changeCallback_();
    }
}

} // namespace orvaneh
