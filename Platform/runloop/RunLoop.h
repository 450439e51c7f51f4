#pragma once

#include "Platform/runloop/Clock.h"
#include "Platform/runloop/Timer.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace orvaneh {

// One event loop per thread: tasks posted from any thread and timers, run in order on the
// loop's own thread. The main loop runs screens, timers and network callbacks; a background
// thread that wants callbacks makes its own loop with RunLoop::current().
//
// Only the owning thread may run the loop (run, runUntil, runFor, runPending); post() and
// Timer::invalidate() are safe from any thread.
class RunLoop {
public:
    using Task = std::function<void()>;

    explicit RunLoop(std::shared_ptr<Clock> clock = Clock::current());
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // The main thread's loop (the thread that started the program, or the last caller of
    // resetMain), whichever thread asks for it first.
    static RunLoop& main();
    // The calling thread's loop: the main loop on the main thread, otherwise a loop created
    // on first use that lives as long as the thread.
    static RunLoop& current();
    // Replaces the main loop by a new one using the given clock and makes the calling thread
    // the main thread (tests call it in their set-up). Earlier references to the main loop
    // dangle.
    static void resetMain(std::shared_ptr<Clock> clock = Clock::current());

    // Queues a task; it runs on this loop's thread, after the tasks posted before it.
    void post(Task task);

    // Schedules a timer that first fires `interval` from now, then every `interval` when
    // it repeats. Must be called on the loop's thread or before the loop runs.
    std::shared_ptr<Timer> scheduleTimer(Seconds interval, bool repeats, Timer::Callback callback);

    // Runs posted tasks and due timers until `condition` holds (checked after each piece of
    // work) or the loop's clock reaches `deadline`. Returns the condition's last value.
    // With a virtual clock this never moves time: it waits for posts from other threads
    // and gives up after `realTimeLimit` of real time.
    bool runUntil(const std::function<bool()>& condition, MonotonicTime deadline,
                  Seconds realTimeLimit = Seconds(30));
    // runUntil with a deadline `interval` from now.
    bool runUntil(const std::function<bool()>& condition, Seconds interval);

    // Runs the loop for `interval` of its clock's time. With a virtual clock, time is moved
    // forward timer by timer, so each timer fires at exactly its own moment.
    void runFor(Seconds interval);

    // Runs the posted tasks and the due timers once, without waiting. Returns the number of
    // pieces of work done.
    int runPending();

    // Runs until stop() is called (from the loop's thread or any other).
    void run();
    void stop();

    Clock& clock() const { return *clock_; }
    std::thread::id threadId() const { return threadId_; }
    bool isCurrentThread() const { return std::this_thread::get_id() == threadId_; }
    // Number of valid scheduled timers (for tests and diagnostics).
    std::size_t timerCount() const;

private:
    struct Scheduled {
        std::shared_ptr<Timer> timer;
        MonotonicTime fireAt;
        unsigned long long sequence;
    };

    std::shared_ptr<Clock> clock_;
    std::thread::id threadId_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    std::vector<Scheduled> timers_;
    unsigned long long nextSequence_ = 0;
    bool stopRequested_ = false;

    bool runOneTimer();
    bool runOneTask();
    std::optional<MonotonicTime> nextFireTime() const;
    void waitForWork(MonotonicTime until, std::chrono::steady_clock::time_point realLimit, bool stopEnds);
};

} // namespace orvaneh
