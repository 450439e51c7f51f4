#pragma once

#include <QObject>
#include <QTimer>

namespace orvaneh {

class RunLoop;

// Drives a RunLoop from Qt's event loop, so that one thread serves both the window and the
// core's tasks and timers: the loop's wake-up hook queues a call to pump() on this object's
// thread, and a single-shot timer is armed for the loop's next deadline after every pump.
// Lives on the loop's thread; the loop must outlive it. Nothing ever waits: the window stays
// responsive whatever the core schedules.
class RunLoopPump : public QObject {
    Q_OBJECT
public:
    explicit RunLoopPump(RunLoop& loop, QObject* parent = nullptr);
    // Removes the hook first: once it returns no other thread can reach this object.
    ~RunLoopPump() override;
    RunLoopPump(const RunLoopPump&) = delete;
    RunLoopPump& operator=(const RunLoopPump&) = delete;

    // Runs what the loop has pending, then re-arms the deadline timer.
    void pump();
    // How many pumps ran (diagnostics and tests).
    int pumpCount() const { return pumps_; }

private:
    RunLoop& loop_;
    QTimer deadline_;
    int pumps_ = 0;
    void armDeadline();
};

} // namespace orvaneh
