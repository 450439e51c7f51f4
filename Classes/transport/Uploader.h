#pragma once

#include <atomic>
#include <cstdint>

namespace orvaneh {

// The single background sender. One run takes pending dictations one at a time and hands
// each to its transport. The application object starts runs from its timers; a run starts
// only while none is in progress, which claimRun() decides atomically on the main thread
// before the background thread exists.
class Uploader {
public:
    // True while a run is in progress.
    bool running() const { return running_.load(); }
    void setRunning(bool running) { running_.store(running); }
    // Marks a run as started; false when one already is.
    bool claimRun();

    // One run of the queue, on a background thread. Clears `running` when nothing is left.
    void run();

    // Row id of the dictation being sent, 0 when none.
    static std::int64_t uploadedDicteeId() { return uploadedDicteeId_.load(); }

    // Number of runs performed (diagnostics and tests).
    int runCount() const { return runCount_.load(); }

private:
    std::atomic<bool> running_{false};
    std::atomic<int> runCount_{0};
    static std::atomic<std::int64_t> uploadedDicteeId_;
};

} // namespace orvaneh
