#include "Classes/audio/RecordingIndicator.h"

#include "Platform/runloop/RunLoop.h"

namespace orvaneh {

RecordingIndicator::~RecordingIndicator() {
    if (timer_) {
        timer_->invalidate();
    }
}

void RecordingIndicator::start() {
    if (!hooks_.recording() && !blinkOn_) {
        return;
    }
    hooks_.blink(blinkOn_ ? 1.0 : 0.0);
    if (timer_) {
        timer_->invalidate();
    }
    timer_ = RunLoop::main().scheduleTimer(Seconds(kBlinkDuration), false, [this](Timer&) { completed(); });
}

void RecordingIndicator::completed() {
    timer_.reset();
    if (!hooks_.recording() && blinkOn_) {
        hooks_.finished();
        return;
    }
    blinkOn_ = !blinkOn_;
    start();
}

} // namespace orvaneh
