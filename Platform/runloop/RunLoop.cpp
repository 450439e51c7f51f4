#include "Platform/runloop/RunLoop.h"

#include "Platform/runloop/VirtualClock.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace orvaneh {

namespace {

using Ticks = MonotonicTime::duration;
using RealTime = std::chrono::steady_clock::time_point;

// Longer intervals are taken as "practically never"; the cap keeps time-point arithmetic
// clear of overflow.
constexpr Seconds longestInterval{1e9};

// Rounded, not truncated, like VirtualClock::advance, so that timer moments and clock steps
// computed from the same interval agree to the nanosecond.
Ticks toTicks(Seconds interval) {
    return std::chrono::round<Ticks>(std::clamp(interval, Seconds::zero(), longestInterval));
}

// A virtual clock moves only when some thread advances it, and nothing tells the loop when
// that happens: a waiting loop looks again this often.
constexpr std::chrono::milliseconds virtualClockPoll{2};

// Tasks that keep re-posting themselves must not hold virtual time still forever.
constexpr int maxTasksPerMoment = 100000;

struct MainLoopSlot {
    std::mutex mutex;
    std::unique_ptr<RunLoop> loop;
    // Whose loop the main loop is: the thread that made this slot (the program's own, see
    // below), or the last caller of resetMain.
    std::thread::id mainThread = std::this_thread::get_id();
};

// Never destroyed: the main loop's tasks may refer to other statics whose destruction
// order at exit is unknown.
MainLoopSlot& mainSlot() {
    static auto* slot = new MainLoopSlot;
    return *slot;
}

// Made during static initialisation, on the program's main thread: whichever of main() and
// current() that thread asks for first, and from whichever thread main() is first asked, the
// main thread has the one main loop.
[[maybe_unused]] const bool mainThreadRecorded = (mainSlot(), true);

bool firesBefore(const MonotonicTime& aTime, unsigned long long aSequence, const MonotonicTime& bTime,
                 unsigned long long bSequence) {
    return aTime < bTime || (aTime == bTime && aSequence < bSequence);
}

} // namespace

RunLoop::RunLoop(std::shared_ptr<Clock> clock)
    : clock_(clock ? std::move(clock) : Clock::current()), threadId_(std::this_thread::get_id()) {}

RunLoop::~RunLoop() {
    // The host's hook may capture objects that die right after the loop: no call of it may
    // still be running on another thread.
    replaceWakeUpHook(nullptr);
    std::deque<Queued> tasks;
    std::vector<Scheduled> timers;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
        timers.swap(timers_);
    }
    // Holders of the handles must see that these timers will never fire; dropping the
    // callbacks breaks cycles between a timer and the object its callback captured.
    for (auto& scheduled : timers) {
        scheduled.timer->invalidate();
        scheduled.timer->callback_ = nullptr;
    }
}

RunLoop& RunLoop::main() {
    auto& slot = mainSlot();
    std::lock_guard lock(slot.mutex);
    if (!slot.loop) {
        slot.loop = std::make_unique<RunLoop>(Clock::current());
        slot.loop->threadId_ = slot.mainThread;
    }
    return *slot.loop;
}

RunLoop& RunLoop::current() {
    bool onMainThread = false;
    {
        auto& slot = mainSlot();
        std::lock_guard lock(slot.mutex);
        onMainThread = std::this_thread::get_id() == slot.mainThread;
    }
    if (onMainThread) {
        return main();
    }
    thread_local std::unique_ptr<RunLoop> threadLoop;
    if (!threadLoop) {
        threadLoop = std::make_unique<RunLoop>(Clock::current());
    }
    return *threadLoop;
}

void RunLoop::resetMain(std::shared_ptr<Clock> clock) {
    auto replacement = std::make_unique<RunLoop>(std::move(clock));
    auto& slot = mainSlot();
    {
        std::lock_guard lock(slot.mutex);
        slot.loop.swap(replacement);
        slot.mainThread = std::this_thread::get_id();
    }
    // The old loop dies outside the lock: its tasks' destructors may well ask for main().
}

void RunLoop::post(Task task) {
    if (!task) {
        return;
    }
    bool wakeHost = false;
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back({nextTaskSequence_++, std::move(task)});
        wakeHost = !std::exchange(wakeUpPending_, true);
        wake_.notify_all();
    }
    if (wakeHost) {
        callWakeUpHook();
    }
}

void RunLoop::setWakeUpHook(WakeUpHook hook) {
    auto installed = hook ? std::make_shared<const WakeUpHook>(std::move(hook)) : nullptr;
    replaceWakeUpHook(installed);
    if (!installed) {
        return;
    }
    // Work that came before the hook would otherwise wait for the next post.
    bool workWaiting = false;
    {
        std::lock_guard lock(mutex_);
        if (!tasks_.empty()) {
            wakeUpPending_ = true;
        }
        workWaiting = !tasks_.empty() || earliestValidTimer().has_value();
    }
    if (workWaiting) {
        callWakeUpHook();
    }
}

void RunLoop::replaceWakeUpHook(std::shared_ptr<const WakeUpHook> hook) {
    std::shared_ptr<const WakeUpHook> previous;
    {
        std::unique_lock lock(hookMutex_);
        previous = std::exchange(hook_, std::move(hook));
        const auto generation = ++hookGeneration_;
        const auto self = std::this_thread::get_id();
        // Calls of the new hook do not hold this up, nor does a call of the old one on this
        // thread (a hook that replaces itself).
        hookCallEnded_.wait(lock, [&] {
            return std::none_of(hookCalls_.begin(), hookCalls_.end(), [&](const HookCall& call) {
                return call.generation != generation && call.thread != self;
            });
        });
    }
    // Dies here, outside the lock, unless a call on this very thread still holds it.
}

void RunLoop::callWakeUpHook() {
    std::shared_ptr<const WakeUpHook> hook;
    const auto self = std::this_thread::get_id();
    {
        std::lock_guard lock(hookMutex_);
        if (!hook_) {
            return;
        }
        hook = hook_;
        hookCalls_.push_back({self, hookGeneration_});
    }
    struct CallEnd {
        RunLoop& loop;
        std::shared_ptr<const WakeUpHook>& hook;
        std::thread::id self;
        CallEnd(RunLoop& l, std::shared_ptr<const WakeUpHook>& h, std::thread::id s)
            : loop(l), hook(h), self(s) {}
        CallEnd(const CallEnd&) = delete;
        CallEnd& operator=(const CallEnd&) = delete;
        ~CallEnd() {
            // Released before the call counts as ended: a replacement that waited for it then
            // holds the last reference, and the hook's captures die on the replacing thread.
            hook.reset();
            std::lock_guard lock(loop.hookMutex_);
            // Calls on one thread nest: the innermost one, the last recorded, ends first.
            auto it = std::find_if(loop.hookCalls_.rbegin(), loop.hookCalls_.rend(),
                                   [&](const HookCall& call) { return call.thread == self; });
            if (it != loop.hookCalls_.rend()) {
                loop.hookCalls_.erase(std::next(it).base());
            }
            // Under the lock: the waiting thread may destroy the loop as soon as it sees the end.
            loop.hookCallEnded_.notify_all();
        }
    } callEnd(*this, hook, self);
    (*hook)();
}

std::optional<MonotonicTime> RunLoop::earliestValidTimer() const {
    std::optional<MonotonicTime> next;
    for (const auto& scheduled : timers_) {
        if (scheduled.timer->isValid() && (!next || scheduled.fireAt < *next)) {
            next = scheduled.fireAt;
        }
    }
    return next;
}

std::shared_ptr<Timer> RunLoop::scheduleTimer(Seconds interval, bool repeats, Timer::Callback callback) {
    auto timer = std::make_shared<Timer>(interval, repeats, std::move(callback));
    bool wakeHost = false;
    {
        std::lock_guard lock(mutex_);
        const auto fireAt = clock_->now() + toTicks(timer->interval());
        const auto previous = earliestValidTimer();
        // A host timer armed for a later deadline would fire this one late.
        wakeHost = !previous || fireAt < *previous;
        timers_.push_back({timer, fireAt, nextSequence_++});
    }
    wake_.notify_all();
    if (wakeHost) {
        callWakeUpHook();
    }
    return timer;
}

bool RunLoop::runOneTask(unsigned long long sequenceLimit) {
    Task task;
    {
        std::lock_guard lock(mutex_);
        if (tasks_.empty() || tasks_.front().sequence >= sequenceLimit) {
            return false;
        }
        task = std::move(tasks_.front().task);
        tasks_.pop_front();
        if (tasks_.empty()) {
            wakeUpPending_ = false;
        }
    }
    task();
    return true;
}

bool RunLoop::runOneTimer() {
    std::shared_ptr<Timer> timer;
    std::vector<std::shared_ptr<Timer>> dropped;
    {
        std::lock_guard lock(mutex_);
        for (auto it = timers_.begin(); it != timers_.end();) {
            if (it->timer->isValid()) {
                ++it;
            } else {
                dropped.push_back(std::move(it->timer));
                it = timers_.erase(it);
            }
        }
        auto now = clock_->now();
        auto due = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (it->fireAt <= now &&
                (due == timers_.end() || firesBefore(it->fireAt, it->sequence, due->fireAt, due->sequence))) {
                due = it;
            }
        }
        if (due != timers_.end()) {
            timer = due->timer;
            if (timer->repeats()) {
                // From the moment it was due, not from now, so that lateness does not
                // accumulate; a loop late by several intervals fires once, not in a burst.
                auto step = toTicks(timer->interval());
                auto next = due->fireAt + step;
                if (next <= now) {
                    next += step * ((now - next) / step + 1);
                }
                due->fireAt = next;
            } else {
                timers_.erase(due);
            }
        }
    }
    for (auto& gone : dropped) {
        gone->callback_ = nullptr;
    }
    if (!timer) {
        return false;
    }
    if (timer->isValid()) {
        // A copy: the callback may invalidate its timer and run the loop again, which
        // would release the timer's own copy while this one is still running.
        auto callback = timer->callback_;
        if (callback) {
            callback(*timer);
        }
    }
    if (!timer->repeats()) {
        timer->invalidate();
        timer->callback_ = nullptr;
    }
    return true;
}

std::optional<MonotonicTime> RunLoop::nextDeadline() const {
    std::lock_guard lock(mutex_);
    return earliestValidTimer();
}

std::optional<std::chrono::milliseconds> RunLoop::realWaitUntilNextDeadline() const {
    const auto next = nextDeadline();
    if (!next) {
        return std::nullopt;
    }
    const auto now = clock_->now();
    if (*next <= now) {
        return std::chrono::milliseconds::zero();
    }
    if (clock_->isVirtual()) {
        return std::chrono::ceil<std::chrono::milliseconds>(virtualClockPoll);
    }
    return std::chrono::ceil<std::chrono::milliseconds>(*next - now);
}

void RunLoop::waitForWork(MonotonicTime until, RealTime realLimit, bool stopEnds) {
    // Only the loop's own thread schedules timers, so the answer cannot change before the
    // lock below is taken.
    auto nextTimer = nextDeadline();
    std::unique_lock lock(mutex_);
    auto ready = [&] { return !tasks_.empty() || (stopEnds && stopRequested_); };
    if (ready()) {
        return;
    }
    auto realNow = std::chrono::steady_clock::now();
    if (realNow >= realLimit) {
        return;
    }
    std::optional<RealTime::duration> timeout;
    if (clock_->isVirtual()) {
        timeout = virtualClockPoll;
    } else {
        auto target = nextTimer ? std::min(until, *nextTimer) : until;
        if (target != MonotonicTime::max()) {
            auto now = clock_->now();
            if (target <= now) {
                return;
            }
            timeout = target - now;
        }
    }
    if (realLimit != RealTime::max()) {
        timeout = std::min(timeout.value_or(RealTime::duration::max()), realLimit - realNow);
    }
    if (timeout) {
        wake_.wait_for(lock, *timeout, ready);
    } else {
        wake_.wait(lock, ready);
    }
}

bool RunLoop::runUntil(const std::function<bool()>& condition, MonotonicTime deadline,
                       Seconds realTimeLimit) {
    auto realLimit =
        clock_->isVirtual() ? std::chrono::steady_clock::now() + toTicks(realTimeLimit) : RealTime::max();
    for (;;) {
        if (condition()) {
            return true;
        }
        bool worked = runOneTask();
        if (worked && condition()) {
            return true;
        }
        if (runOneTimer()) {
            worked = true;
            if (condition()) {
                return true;
            }
        }
        if (clock_->now() >= deadline || std::chrono::steady_clock::now() >= realLimit) {
            return false;
        }
        if (!worked) {
            waitForWork(deadline, realLimit, false);
        }
    }
}

bool RunLoop::runUntil(const std::function<bool()>& condition, Seconds interval) {
    return runUntil(condition, clock_->now() + toTicks(interval));
}

void RunLoop::runFor(Seconds interval) {
    auto end = clock_->now() + toTicks(interval);
    auto* virtualClock = dynamic_cast<VirtualClock*>(clock_.get());
    if (!virtualClock) {
        runUntil([] { return false; }, end);
        return;
    }
    // Everything posted for a moment runs at that moment, before time moves on.
    auto runTasks = [this] {
        for (int count = 0; count < maxTasksPerMoment && runOneTask(); ++count) {
        }
    };
    for (;;) {
        runTasks();
        auto next = nextDeadline();
        if (!next || *next > end) {
            break;
        }
        virtualClock->advanceTo(*next);
        runOneTimer();
    }
    virtualClock->advanceTo(end);
    runTasks();
}

int RunLoop::runPending() {
    // Only the work present now: what it posts or schedules for now waits for the next pass.
    // Tasks are told apart by their number rather than counted, so that a nested call that
    // ran some of them does not let this one run later posts.
    unsigned long long taskLimit = 0;
    std::size_t dueTimerCount = 0;
    {
        std::lock_guard lock(mutex_);
        taskLimit = nextTaskSequence_;
        // Whatever is posted from now on is not part of this pass: the host must hear of it.
        wakeUpPending_ = false;
        auto now = clock_->now();
        dueTimerCount = static_cast<std::size_t>(std::count_if(
            timers_.begin(), timers_.end(), [&](const Scheduled& s) { return s.fireAt <= now; }));
    }
    int done = 0;
    while (runOneTask(taskLimit)) {
        ++done;
    }
    for (std::size_t i = 0; i < dueTimerCount && runOneTimer(); ++i) {
        ++done;
    }
    return done;
}

void RunLoop::run() {
    auto stopped = [this] {
        std::lock_guard lock(mutex_);
        // A stop() that came before run() still counts: a thread that stops the loop just
        // before it starts must not leave it running forever.
        return std::exchange(stopRequested_, false);
    };
    for (;;) {
        if (stopped()) {
            return;
        }
        bool worked = runOneTask();
        if (stopped()) {
            return;
        }
        worked = runOneTimer() || worked;
        if (!worked) {
            waitForWork(MonotonicTime::max(), RealTime::max(), true);
        }
    }
}

void RunLoop::stop() {
    // Notified under the lock: the loop's thread may destroy the loop as soon as it sees the
    // request, and the condition variable must not be touched after that.
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
    wake_.notify_all();
}

std::size_t RunLoop::timerCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(timers_.begin(), timers_.end(), [](const Scheduled& s) { return s.timer->isValid(); }));
}

} // namespace orvaneh
