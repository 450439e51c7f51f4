#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/runloop/SystemClock.h"
#include "Platform/runloop/VirtualClock.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace orvaneh {
namespace {

// The test's thread is the main thread, with a main loop of its own that only the test runs.
class MainLoopObserverTest : public ::testing::Test {
protected:
    MainLoopObserverTest() { RunLoop::resetMain(std::make_shared<VirtualClock>()); }
    ~MainLoopObserverTest() override { RunLoop::resetMain(std::make_shared<SystemClock>()); }

    NotificationCenter center;
    const std::thread::id mainThread = std::this_thread::get_id();
};

TEST_F(MainLoopObserverTest, PostsFromAnyThreadArriveOnTheMainLoopInTheirOrder) {
    constexpr int threads = 3;
    constexpr int postsPerThread = 300;
    std::vector<std::vector<int>> received(threads + 1);
    int elsewhere = 0;
    auto observation = center.addMainLoopObserver("tick", [&](const PostedNotification& posted) {
        if (std::this_thread::get_id() != mainThread) {
            ++elsewhere;
        }
        received.at(posted.userInfo["from"].get<std::size_t>()).push_back(posted.userInfo["i"].get<int>());
    });
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < postsPerThread; ++i) {
                center.post("tick", Json{{"from", t}, {"i", i}});
            }
        });
    }
    for (auto& poster : posters) {
        poster.join();
    }
    // Posted on the main thread itself: queued too, behind what is already there.
    center.post("tick", Json{{"from", threads}, {"i", 0}});
    EXPECT_EQ(received, std::vector<std::vector<int>>(threads + 1)) << "delivered before the loop ran";

    EXPECT_EQ(RunLoop::main().runPending(), threads * postsPerThread + 1);
    EXPECT_EQ(elsewhere, 0);
    std::vector<int> inOrder(postsPerThread);
    std::iota(inOrder.begin(), inOrder.end(), 0);
    for (int t = 0; t < threads; ++t) {
        EXPECT_EQ(received[t], inOrder) << "thread " << t;
    }
    EXPECT_EQ(received[threads], std::vector<int>{0});
}

TEST_F(MainLoopObserverTest, AGivenLoopGetsItsDeliveriesOnItsOwnThread) {
    std::promise<RunLoop*> made;
    std::thread worker([&] {
        RunLoop& loop = RunLoop::current();
        made.set_value(&loop);
        loop.run();
    });
    RunLoop& workerLoop = *made.get_future().get();
    // A synchronous observer of the same name has done its work before the delivery runs,
    // however slow it is.
    std::atomic<bool> synchronousDone{false};
    auto synchronous = center.addObserver("saved", [&](const PostedNotification&) {
        for (int i = 0; i < 1000; ++i) {
            std::this_thread::yield();
        }
        synchronousDone = true;
    });
    std::promise<std::thread::id> deliveredOn;
    std::promise<Json> info;
    bool sawSynchronousDone = false;
    auto observation = center.addObserver("saved", workerLoop, [&](const PostedNotification& posted) {
        sawSynchronousDone = synchronousDone.load();
        deliveredOn.set_value(std::this_thread::get_id());
        info.set_value(posted.userInfo);
    });
    center.post("saved", Json{{"file", "dictée.wav"}});
    EXPECT_EQ(deliveredOn.get_future().get(), worker.get_id());
    EXPECT_EQ(info.get_future().get(), (Json{{"file", "dictée.wav"}}));
    EXPECT_TRUE(sawSynchronousDone);
    observation.reset();
    workerLoop.stop();
    worker.join();
    EXPECT_EQ(RunLoop::main().runPending(), 0) << "nothing went to the main loop";
}

// Ending an observation while its deliveries wait in the queue: it returns at once (here on the
// loop's own thread, where waiting would never end), lets go of what the callback held, and
// the queued deliveries find nobody.
TEST_F(MainLoopObserverTest, AnObservationEndedBeforeTheLoopRunsIsNeverCalled) {
    int calls = 0;
    auto held = std::make_shared<int>(0);
    std::weak_ptr<int> heldByCallback = held;
    auto observation =
        center.addMainLoopObserver("EnvoiProgress", [&calls, held](const PostedNotification&) { ++calls; });
    held.reset();
    std::thread([&] {
        for (int i = 0; i < 3; ++i) {
            center.post("EnvoiProgress");
        }
    }).join();
    observation.reset();
    EXPECT_TRUE(heldByCallback.expired());
    EXPECT_EQ(RunLoop::main().runPending(), 3);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(center.observerCount("EnvoiProgress"), 0u);
}

// A screen as the application writes one: its observation is a member, declared last.
class Screen {
public:
    Screen(NotificationCenter& center, std::atomic<int>& faults, std::function<void()> onClose = {})
        : onClose_(std::move(onClose)),
          observation_(center.addMainLoopObserver("EnvoiClose", [this, &faults](const PostedNotification&) {
              if (canary_.state.load() != Canary::alive) {
                  ++faults;
              }
              ++received_;
              if (onClose_) {
                  onClose_();
              }
          })) {}

    int received() const { return received_.load(); }

private:
    struct Canary {
        static constexpr int alive = 0x5a5a;
        std::atomic<int> state{alive};
        ~Canary() { state = 0; }
    };
    Canary canary_;
    std::atomic<int> received_{0};
    std::function<void()> onClose_;
    Observation observation_;
};

TEST_F(MainLoopObserverTest, AScreenClosedWhileDeliveriesAreQueuedIsNeverCalledDead) {
    std::atomic<int> faults{0};
    // One screen closes another from its own delivery: the other's delivery, queued behind,
    // does not run.
    std::unique_ptr<Screen> list;
    Screen recorder(center, faults, [&] { list.reset(); });
    list = std::make_unique<Screen>(center, faults);
    center.post("EnvoiClose");
    RunLoop::main().runPending();
    EXPECT_EQ(recorder.received(), 1);
    EXPECT_EQ(list, nullptr);

    // Screens opened and closed on the main thread while the sender's thread keeps posting.
    std::atomic<bool> stopPosting{false};
    std::thread sender([&] {
        while (!stopPosting.load()) {
            center.post("EnvoiClose");
            std::this_thread::yield();
        }
    });
    int delivered = 0;
    for (int i = 0; i < 150; ++i) {
        auto screen = std::make_unique<Screen>(center, faults);
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (screen->received() == 0 && std::chrono::steady_clock::now() < limit) {
            RunLoop::main().runPending();
        }
        delivered += screen->received() > 0 ? 1 : 0;
        // Closed with more deliveries queued for it.
        center.post("EnvoiClose");
        screen.reset();
        RunLoop::main().runPending();
    }
    stopPosting = true;
    sender.join();
    RunLoop::main().runPending();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(delivered, 150);
    EXPECT_EQ(center.observerCount("EnvoiClose"), 1u) << "the recorder only";
}

} // namespace
} // namespace orvaneh
