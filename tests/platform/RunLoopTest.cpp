#include "Platform/runloop/RunLoop.h"

#include "Platform/runloop/SystemClock.h"
#include "Platform/runloop/VirtualClock.h"

#include <atomic>
#include <gtest/gtest.h>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace orvaneh {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Times = std::vector<MonotonicTime::duration>;

// Every loop here has its own virtual clock: time moves only through runFor or advance().
class RunLoopTest : public ::testing::Test {
protected:
    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    RunLoop loop{clock};
    MonotonicTime start = clock->now();

    MonotonicTime::duration elapsed() const { return clock->now() - start; }
};

TEST_F(RunLoopTest, TimersFireOnTheirExactGridOnceEachWhenLate) {
    Times once, every;
    auto timer = loop.scheduleTimer(Seconds(10), false, [&](Timer&) { once.push_back(elapsed()); });
    loop.scheduleTimer(Seconds(60), true, [&](Timer&) { every.push_back(elapsed()); });
    loop.runFor(Seconds(9.999));
    EXPECT_TRUE(once.empty());
    loop.runFor(Seconds(120.001));
    EXPECT_EQ(once, Times{seconds(10)});
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(every, (Times{seconds(60), seconds(120)}));

    // As if the loop had been busy for almost six intervals: one firing, and the grid stays.
    clock->advance(Seconds(345));
    EXPECT_EQ(loop.runPending(), 1);
    EXPECT_EQ(loop.runPending(), 0);
    loop.runFor(Seconds(100));
    EXPECT_EQ(every, (Times{seconds(60), seconds(120), seconds(475), seconds(480), seconds(540)}));

    // Ten thousand short intervals later, still on the exact grid.
    Times fast;
    auto fastStart = clock->now();
    loop.scheduleTimer(Seconds(0.1), true, [&](Timer&) { fast.push_back(clock->now() - fastStart); });
    loop.runFor(Seconds(1000));
    ASSERT_EQ(fast.size(), 10000u);
    EXPECT_EQ(fast.back(), seconds(1000));
}

TEST_F(RunLoopTest, TimersDueTogetherFireInSchedulingOrder) {
    std::vector<std::string> order;
    auto record = [&](std::string name) { return [&order, name](Timer&) { order.push_back(name); }; };
    loop.scheduleTimer(Seconds(1), true, record("every second"));
    loop.scheduleTimer(Seconds(3), false, record("once"));
    loop.scheduleTimer(Seconds(3), true, record("every three"));
    loop.scheduleTimer(Seconds(2), false, record("two"));
    loop.runFor(Seconds(3));
    EXPECT_EQ(order, (std::vector<std::string>{"every second", "every second", "two", "every second", "once",
                                               "every three"}));
}

TEST_F(RunLoopTest, CallbacksMayInvalidateAndScheduleTimers) {
    int selfFires = 0;
    loop.scheduleTimer(Seconds(1), true, [&](Timer& self) {
        if (++selfFires == 3) {
            self.invalidate();
        }
    });
    // Due at the same moment, after the timer that cancels it.
    bool victimFired = false;
    std::shared_ptr<Timer> victim;
    loop.scheduleTimer(Seconds(5), false, [&](Timer&) { victim->invalidate(); });
    victim = loop.scheduleTimer(Seconds(5), false, [&](Timer&) { victimFired = true; });

    Times chained;
    loop.scheduleTimer(Seconds(10), false, [&](Timer&) {
        chained.push_back(elapsed());
        loop.scheduleTimer(Seconds(5), false, [&](Timer&) { chained.push_back(elapsed()); });
        loop.scheduleTimer(Seconds(0), false, [&](Timer&) { chained.push_back(elapsed()); });
        loop.post([&] { chained.push_back(elapsed()); });
    });
    loop.runFor(Seconds(20));
    EXPECT_EQ(selfFires, 3);
    EXPECT_FALSE(victimFired);
    EXPECT_EQ(chained, (Times{seconds(10), seconds(10), seconds(10), seconds(15)}));
    EXPECT_EQ(loop.timerCount(), 0u);
}

TEST_F(RunLoopTest, InvalidateFromAnotherThreadStopsTheTimer) {
    std::atomic<int> fires{0};
    auto timer = loop.scheduleTimer(Seconds(1), true, [&](Timer&) { ++fires; });
    // The other thread cancels while the loop is busy firing.
    std::thread canceller([&] {
        while (fires.load() < 100) {
            std::this_thread::yield();
        }
        timer->invalidate();
    });
    loop.runFor(Seconds(1'000'000));
    canceller.join();
    EXPECT_LT(fires.load(), 1'000'000);
    EXPECT_EQ(loop.timerCount(), 0u);
    int firesAfterCancel = fires.load();
    loop.runFor(Seconds(100));
    EXPECT_EQ(fires.load(), firesAfterCancel);
}

TEST_F(RunLoopTest, TasksRunInOrderAndConditionIsCheckedAfterEach) {
    std::vector<int> ran;
    for (int i = 0; i < 3; ++i) {
        loop.post([&ran, i] { ran.push_back(i); });
    }
    // The first task posts another: it goes behind the ones already queued.
    loop.post([&] { loop.post([&] { ran.push_back(9); }); });
    EXPECT_TRUE(loop.runUntil([&] { return ran.size() == 2; }, Seconds(1)));
    EXPECT_EQ(ran, (std::vector<int>{0, 1}));
    EXPECT_EQ(loop.runPending(), 2);
    EXPECT_EQ(loop.runPending(), 1);
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 9}));
}

TEST_F(RunLoopTest, PostsFromManyThreadsAreNeitherLostNorReordered) {
    constexpr int threads = 8;
    constexpr int postsPerThread = 2000;
    std::vector<std::vector<int>> received(threads);
    int total = 0;
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < postsPerThread; ++i) {
                loop.post([&, t, i] {
                    received[t].push_back(i);
                    ++total;
                });
            }
        });
    }
    bool done = loop.runUntil([&] { return total == threads * postsPerThread; }, clock->now() + seconds(1),
                              Seconds(30));
    for (auto& poster : posters) {
        poster.join();
    }
    ASSERT_TRUE(done);
    EXPECT_EQ(elapsed(), seconds(0));
    std::vector<int> inOrder(postsPerThread);
    std::iota(inOrder.begin(), inOrder.end(), 0);
    for (const auto& fromOneThread : received) {
        EXPECT_EQ(fromOneThread, inOrder);
    }
}

TEST_F(RunLoopTest, RunUntilFiresTimersMadeDueByAnotherThreadAndGivesUpInRealTime) {
    std::optional<MonotonicTime::duration> firedAt;
    loop.scheduleTimer(Seconds(10), false, [&](Timer&) { firedAt = elapsed(); });
    std::thread mover([&] { clock->advance(Seconds(10)); });
    EXPECT_TRUE(loop.runUntil([&] { return firedAt.has_value(); }, clock->now() + seconds(60), Seconds(30)));
    mover.join();
    EXPECT_EQ(firedAt, seconds(10));

    // Giving up does not move virtual time.
    auto realStart = std::chrono::steady_clock::now();
    EXPECT_FALSE(loop.runUntil([] { return false; }, clock->now() + seconds(3600), Seconds(0.05)));
    EXPECT_GE(std::chrono::steady_clock::now() - realStart, milliseconds(50));
    EXPECT_EQ(elapsed(), seconds(10));

    // A deadline already reached: one pass of work, then the answer.
    int ran = 0;
    loop.post([&] { ++ran; });
    EXPECT_FALSE(loop.runUntil([] { return false; }, Seconds(0)));
    EXPECT_EQ(ran, 1);
}

TEST(RunLoopRealClockTest, RunUntilWakesForWorkAndStopEndsRunFromATaskOrAnotherThread) {
    RunLoop loop(std::make_shared<SystemClock>());
    bool fired = false;
    loop.scheduleTimer(Seconds(0), false, [&](Timer&) { fired = true; });
    EXPECT_TRUE(loop.runUntil([&] { return fired; }, Seconds(10)));
    auto before = std::chrono::steady_clock::now();
    bool posted = false;
    std::thread poster([&] { loop.post([&] { posted = true; }); });
    EXPECT_TRUE(loop.runUntil([&] { return posted; }, Seconds(10)));
    poster.join();
    EXPECT_FALSE(loop.runUntil([] { return false; }, Seconds(0.02)));
    auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_GE(waited, milliseconds(20));
    EXPECT_LT(waited, seconds(5));

    std::vector<int> ran;
    loop.post([&] {
        ran.push_back(1);
        loop.stop();
    });
    loop.post([&] { ran.push_back(2); });
    loop.run();
    EXPECT_EQ(ran, (std::vector<int>{1}));
    EXPECT_EQ(loop.runPending(), 1);
    // With no timer, run() waits without a timeout: only stop() can end it.
    std::atomic<bool> running{false};
    loop.post([&] { running = true; });
    std::thread stopper([&] {
        while (!running.load()) {
            std::this_thread::yield();
        }
        loop.stop();
    });
    loop.run();
    stopper.join();
    // A stop that arrives before run() is not lost.
    std::thread([&] { loop.stop(); }).join();
    loop.run();
}

TEST(RunLoopThreadsTest, MainIsBoundToItsThreadAndOtherThreadsGetTheirOwn) {
    RunLoop::resetMain(std::make_shared<VirtualClock>());
    RunLoop& mainLoop = RunLoop::main();
    EXPECT_EQ(&RunLoop::current(), &mainLoop);
    // Only compared: the worker's loop dies with its thread.
    RunLoop* first = nullptr;
    bool sameAndOwn = false;
    std::thread worker([&] {
        first = &RunLoop::current();
        sameAndOwn = first == &RunLoop::current() && first->isCurrentThread();
        RunLoop::main().post([] {});
    });
    worker.join();
    EXPECT_NE(first, &mainLoop);
    EXPECT_TRUE(sameAndOwn);
    EXPECT_EQ(mainLoop.runPending(), 1);
    RunLoop::resetMain(std::make_shared<SystemClock>());
}

} // namespace
} // namespace orvaneh
