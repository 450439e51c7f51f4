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
//
// A host event loop (a GUI toolkit's) may drive the loop instead of run(): it installs a
// wake-up hook, calls runPending() on the loop's thread whenever the hook asks, and after each
// runPending() arms its own single-shot timer with realWaitUntilNextDeadline().
class RunLoop {
public:
    using Task = std::function<void()>;
    using WakeUpHook = std::function<void()>;

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

    // Runs the tasks posted before the call and the timers due at its start, without waiting.
    // Returns the number of pieces of work done; what that work posts waits for the next call.
    // Re-entrant: a task may call it again (a modal dialog's nested host loop does); the inner
    // call runs everything queued by then, in order, and the outer one goes on with what is
    // left of its own share.
    int runPending();

    // Tells a host event loop that the loop needs a runPending(): called from whichever thread
    // posts a task, or schedules a timer due before every other one. Posts are coalesced: after
    // one call, more posts call it again only once the loop has taken its tasks (runPending, or
    // the queue emptied by another way of running). It is never called with the loop's lock
    // held, so it may post or ask for nextDeadline(); it must not wait for the loop's thread.
    // Invalidating a timer never calls it: a deadline only moves later, and a host woken early
    // finds nothing due.
    // Installing a hook calls it once when work is already waiting. Replacing it (or nullptr)
    // and destroying the loop wait for calls of the previous hook in progress on other threads:
    // once this returns, the previous hook never runs again and may capture the host's objects.
    void setWakeUpHook(WakeUpHook hook);
    // The moment the earliest valid timer is due, on the loop's clock.
    std::optional<MonotonicTime> nextDeadline() const;
    // How long a host should wait in real time before the next runPending() for timers (zero
    // when one is due now), rounded up to the millisecond so that it never wakes early.
    // Virtual time moves only when some thread advances it, unannounced: with a virtual clock
    // a timer not yet due gives a short polling delay instead.
    std::optional<std::chrono::milliseconds> realWaitUntilNextDeadline() const;

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

    struct Queued {
        unsigned long long sequence;
        Task task;
    };
    struct HookCall {
        std::thread::id thread;
        unsigned long long generation;
    };

    std::shared_ptr<Clock> clock_;
    std::thread::id threadId_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Queued> tasks_;
    std::vector<Scheduled> timers_;
    unsigned long long nextSequence_ = 0;
    unsigned long long nextTaskSequence_ = 0;
    bool stopRequested_ = false;
    // The hook was called for the queued tasks and the loop has not taken them yet.
    bool wakeUpPending_ = false;

    // Apart from mutex_, so that the hook is never called with it held.
    std::mutex hookMutex_;
    std::condition_variable hookCallEnded_;
    std::shared_ptr<const WakeUpHook> hook_;
    unsigned long long hookGeneration_ = 0;
    std::vector<HookCall> hookCalls_;

    bool runOneTimer();
    // Runs the first queued task if it was posted before `sequenceLimit`.
    bool runOneTask(unsigned long long sequenceLimit = ~0ULL);
    std::optional<MonotonicTime> earliestValidTimer() const; // with mutex_ held
    void replaceWakeUpHook(std::shared_ptr<const WakeUpHook> hook);
    void callWakeUpHook();
    void waitForWork(MonotonicTime until, std::chrono::steady_clock::time_point realLimit, bool stopEnds);
};

} // namespace orvaneh
