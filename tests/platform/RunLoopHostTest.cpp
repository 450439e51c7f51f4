#include "Platform/runloop/RunLoop.h"
#include "Platform/runloop/SystemClock.h"
#include "Platform/runloop/VirtualClock.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace orvaneh {
namespace {

using std::chrono::milliseconds;
using SteadyTime = std::chrono::steady_clock::time_point;

// Spins until the predicate holds or a generous limit passes; tests never wait unbounded.
template <typename Predicate> bool waitFor(Predicate predicate) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!predicate() && std::chrono::steady_clock::now() < limit) {
        std::this_thread::yield();
    }
    return predicate();
}

// Stands in for a GUI toolkit: a thread with its own event queue and one single-shot timer,
// which owns the main run loop and pumps it the way the desktop application will: the wake-up
// hook queues a pump, and each pump re-arms the timer for the next deadline.
class ToolkitThread {
public:
    explicit ToolkitThread(std::shared_ptr<Clock> clock) {
        std::promise<void> ready;
        auto made = ready.get_future();
        thread_ = std::thread([this, clock, ready = std::move(ready)]() mutable {
            RunLoop::resetMain(clock);
            loop_ = &RunLoop::main();
            loop_->setWakeUpHook([this] { postEvent([this] { pump(); }); });
            ready.set_value();
            exec();
            loop_->setWakeUpHook(nullptr);
        });
        made.wait();
    }
    ~ToolkitThread() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        thread_.join();
        RunLoop::resetMain(std::make_shared<SystemClock>());
    }
    ToolkitThread(const ToolkitThread&) = delete;
    ToolkitThread& operator=(const ToolkitThread&) = delete;

    RunLoop& loop() { return *loop_; }
    std::thread::id id() const { return thread_.get_id(); }
    int pumps() const { return pumps_.load(); }
    bool timerArmed() const {
        std::lock_guard lock(mutex_);
        return timer_.has_value();
    }

    // Runs `event` on the toolkit's thread, as a toolkit's queued call does.
    void postEvent(std::function<void()> event) {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(std::move(event));
        }
        changed_.notify_all();
    }

private:
    std::thread thread_;
    RunLoop* loop_ = nullptr;
    std::atomic<int> pumps_{0};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> events_;
    std::optional<SteadyTime> timer_;
    bool quit_ = false;

    void pump() {
        loop_->runPending();
        ++pumps_;
        auto wait = loop_->realWaitUntilNextDeadline();
        std::lock_guard lock(mutex_);
        timer_.reset();
        if (wait) {
            timer_ = std::chrono::steady_clock::now() + *wait;
        }
    }

    void exec() {
        std::unique_lock lock(mutex_);
        for (;;) {
            auto timerDue = [&] { return timer_ && std::chrono::steady_clock::now() >= *timer_; };
            auto ready = [&] { return quit_ || !events_.empty() || timerDue(); };
            if (timer_) {
                changed_.wait_until(lock, *timer_, ready);
            } else {
                changed_.wait(lock, ready);
            }
            if (quit_) {
                return;
            }
            std::function<void()> event;
            if (!events_.empty()) {
                event = std::move(events_.front());
                events_.pop_front();
            } else if (timerDue()) {
                timer_.reset();
                event = [this] { pump(); };
            } else {
                continue;
            }
            lock.unlock();
            event();
            lock.lock();
        }
    }
};

TEST(RunLoopHostTest, PostsFromOtherThreadsRunOnTheToolkitsThreadInOrder) {
    ToolkitThread toolkit(std::make_shared<SystemClock>());
    constexpr int threads = 4;
    constexpr int postsPerThread = 1000;
    std::vector<std::vector<int>> received(threads);
    std::atomic<int> total{0};
    std::atomic<int> wrongThread{0};
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < postsPerThread; ++i) {
                toolkit.loop().post([&, t, i] {
                    if (std::this_thread::get_id() != toolkit.id()) {
                        ++wrongThread;
                    }
                    received[t].push_back(i);
                    ++total;
                });
            }
        });
    }
    for (auto& poster : posters) {
        poster.join();
    }
    ASSERT_TRUE(waitFor([&] { return total.load() == threads * postsPerThread; }));
    EXPECT_EQ(wrongThread.load(), 0);
    std::vector<int> inOrder(postsPerThread);
    std::iota(inOrder.begin(), inOrder.end(), 0);
    for (const auto& fromOneThread : received) {
        EXPECT_EQ(fromOneThread, inOrder);
    }
}

// Real time here, with wide bounds: what is checked is which host timer fired the loop's
// timers, not the toolkit's precision.
TEST(RunLoopHostTest, TimersFireOnTimeAndAnEarlierOneReArmsTheToolkitsTimer) {
    ToolkitThread toolkit(std::make_shared<SystemClock>());
    const auto start = std::chrono::steady_clock::now();
    std::atomic<long long> lateFiredMs{-1};
    std::atomic<long long> earlyFiredMs{-1};
    std::atomic<int> wrongThread{0};
    auto recordInto = [&](std::atomic<long long>& firedMs) {
        return [&, start](Timer&) {
            if (std::this_thread::get_id() != toolkit.id()) {
                ++wrongThread;
            }
            firedMs =
                std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start).count();
        };
    };
    // Scheduled by the toolkit's own events (as a button's handler would), not through a post,
    // which would wake the host by itself.
    toolkit.postEvent([&] { toolkit.loop().scheduleTimer(Seconds(0.6), false, recordInto(lateFiredMs)); });
    ASSERT_TRUE(waitFor([&] { return toolkit.pumps() >= 1 && toolkit.timerArmed(); }));
    toolkit.postEvent([&] { toolkit.loop().scheduleTimer(Seconds(0.05), false, recordInto(earlyFiredMs)); });

    ASSERT_TRUE(waitFor([&] { return lateFiredMs.load() >= 0; }));
    EXPECT_GE(earlyFiredMs.load(), 50);
    EXPECT_LT(earlyFiredMs.load(), 450) << "the toolkit slept until the later deadline";
    EXPECT_GE(lateFiredMs.load(), 600);
    EXPECT_LT(lateFiredMs.load(), 5000);
    EXPECT_EQ(wrongThread.load(), 0);
}

// The hook's calls, step by step, on a loop driven by hand. The hook reads the loop: it is
// never called with the loop's lock held, or this would hang.
TEST(RunLoopHostTest, TheHookIsCalledForNewWorkAndEarlierDeadlinesOnly) {
    auto clock = std::make_shared<VirtualClock>();
    RunLoop loop(clock);
    const auto start = clock->now();
    auto noop = [] {};
    loop.post(noop);
    int calls = 0;
    std::optional<MonotonicTime> deadlineSeen;
    loop.setWakeUpHook([&] {
        ++calls;
        deadlineSeen = loop.nextDeadline();
    });
    EXPECT_EQ(calls, 1) << "work waiting when the hook is installed";

    std::shared_ptr<Timer> later;
    struct Step {
        std::string what;
        std::function<void()> action;
        int calls;
    };
    const std::vector<Step> steps{
        {"posts before the host runs: no new call",
         [&] {
             loop.post(noop);
             loop.post(noop);
         },
         0},
        {"a post after the host ran",
         [&] {
             loop.runPending();
             loop.post(noop);
         },
         1},
        {"a first timer",
         [&] {
             loop.runPending();
             loop.scheduleTimer(Seconds(10), false, [](Timer&) {});
         },
         1},
        {"a later timer", [&] { later = loop.scheduleTimer(Seconds(20), false, [](Timer&) {}); }, 0},
        {"an earlier timer", [&] { loop.scheduleTimer(Seconds(5), false, [](Timer&) {}); }, 1},
        {"an invalidated timer", [&] { later->invalidate(); }, 0},
        {"a task that posts", [&] { loop.post([&] { loop.post(noop); }); }, 1},
        // What a task posts during a pass belongs to the next one: the host must hear of it.
        {"its post, from inside the pass", [&] { loop.runPending(); }, 1},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        calls = 0;
        step.action();
        EXPECT_EQ(calls, step.calls);
    }
    EXPECT_EQ(deadlineSeen, start + std::chrono::seconds(5));
    EXPECT_EQ(loop.runPending(), 1);

    // The real-time wait for a host timer: none without a timer, nothing when one is due, and
    // only a short poll while a virtual timer is ahead (another thread may move the clock).
    EXPECT_GT(loop.realWaitUntilNextDeadline(), milliseconds(0));
    EXPECT_LT(loop.realWaitUntilNextDeadline(), milliseconds(100));
    clock->advance(Seconds(5));
    EXPECT_EQ(loop.realWaitUntilNextDeadline(), milliseconds(0));
    loop.runFor(Seconds(30));
    EXPECT_EQ(loop.nextDeadline(), std::nullopt);
    EXPECT_EQ(loop.realWaitUntilNextDeadline(), std::nullopt);

    RunLoop realLoop(std::make_shared<SystemClock>());
    realLoop.scheduleTimer(Seconds(10), false, [](Timer&) {});
    const auto wait = realLoop.realWaitUntilNextDeadline();
    ASSERT_TRUE(wait.has_value());
    EXPECT_GT(*wait, milliseconds(9000));
    EXPECT_LE(*wait, milliseconds(10000));

    // A hook that removes itself from inside its own call.
    calls = 0;
    loop.setWakeUpHook([&] {
        ++calls;
        loop.setWakeUpHook(nullptr);
    });
    loop.post(noop);
    loop.runPending();
    loop.post(noop);
    EXPECT_EQ(calls, 1);
}

struct Canary {
    static constexpr int alive = 0x5a5a;
    std::atomic<int> state{alive};
    ~Canary() { state = 0; }
};

// Replacing the hook waits for its calls in progress on other threads: a hook may capture
// what the host destroys right after replacing it.
TEST(RunLoopHostTest, AReplacedHookNeverRunsIntoWhatItsOwnerDestroyed) {
    auto clock = std::make_shared<VirtualClock>();
    RunLoop loop(clock);
    std::atomic<int> faults{0};
    std::atomic<int> calls{0};
    std::atomic<bool> stopPosting{false};
    std::thread poster([&] {
        while (!stopPosting.load()) {
            loop.post([] {});
            std::this_thread::yield();
        }
    });
    const auto testThread = std::this_thread::get_id();
    std::atomic<int> enteredElsewhere{0};
    for (int i = 0; i < 300; ++i) {
        auto canary = std::make_unique<Canary>();
        const int before = enteredElsewhere.load();
        loop.setWakeUpHook([&, state = canary.get()] {
            if (std::this_thread::get_id() != testThread) {
                ++enteredElsewhere;
            }
            for (int spin = 0; spin < 100; ++spin) {
                if (state->state.load() != Canary::alive) {
                    ++faults;
                    break;
                }
                std::this_thread::yield(); // keeps the call open while the owner replaces it
            }
            ++calls;
        });
        // The poster's next post calls the hook once the loop has taken its tasks.
        ASSERT_TRUE(waitFor([&] {
            loop.runPending();
            return enteredElsewhere.load() > before;
        }));
        loop.setWakeUpHook(nullptr);
        canary.reset();
    }
    stopPosting = true;
    poster.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_GE(calls.load(), 300);
}

// A task may pump the loop again, as a modal dialog's nested toolkit loop does: the inner pass
// runs what was queued, in order, and neither pass runs what was posted during it.
TEST(RunLoopHostTest, ANestedPassRunsTheQueueInOrderAndLeavesLaterPostsForTheNext) {
    RunLoop loop(std::make_shared<VirtualClock>());
    std::vector<std::string> ran;
    int innerDone = -1;
    loop.post([&] {
        ran.push_back("dialog opens");
        innerDone = loop.runPending();
        ran.push_back("dialog closes");
    });
    loop.post([&] {
        ran.push_back("second");
        loop.post([&] { ran.push_back("posted during the pass"); });
    });
    loop.post([&] { ran.push_back("third"); });
    EXPECT_EQ(loop.runPending(), 1);
    EXPECT_EQ(innerDone, 2);
    EXPECT_EQ(ran, (std::vector<std::string>{"dialog opens", "second", "third", "dialog closes"}));
    EXPECT_EQ(loop.runPending(), 1);
    EXPECT_EQ(ran.back(), "posted during the pass");
}

} // namespace
} // namespace orvaneh
