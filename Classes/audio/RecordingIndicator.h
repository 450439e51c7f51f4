#pragma once

#include "Platform/runloop/Timer.h"

#include <functional>
#include <memory>

namespace orvaneh {

// The recording screen's indicator: while a take runs, the title fades out and in once a
// second over a red tab strip; once the take has ended the cycle stops with the title visible
// and hands the strip back. Each fade lasts kBlinkDuration and is told through `blink` (the
// title's alpha to reach); a fade interrupted by a new start does not complete. Timers run on
// RunLoop::main(). Main run loop only.
class RecordingIndicator {
public:
    static constexpr double kBlinkDuration = 1.0;

    struct Hooks {
        std::function<bool()> recording;
        // The strip turns red and the title fades to `alpha`.
        std::function<void(double alpha)> blink;
        // The cycle ended: the strip goes back to its colour.
        std::function<void()> finished;
    };

    explicit RecordingIndicator(Hooks hooks) : hooks_(std::move(hooks)) {}
    ~RecordingIndicator();
    RecordingIndicator(const RecordingIndicator&) = delete;
    RecordingIndicator& operator=(const RecordingIndicator&) = delete;

    // Runs a fade while recording, or while the title is to come back (after a take, or when
    // the application becomes active again); otherwise nothing.
    void start();
    // The phase: the next fade brings the title back.
    bool blinkOn() const { return blinkOn_; }

private:
    Hooks hooks_;
    bool blinkOn_ = false;
    std::shared_ptr<Timer> timer_;

    void completed();
};

} // namespace orvaneh
