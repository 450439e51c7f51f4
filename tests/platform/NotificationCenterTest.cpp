#include "Platform/notifications/NotificationCenter.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace orvaneh {
namespace {

// Spins until the predicate holds or a generous limit passes; tests never wait unbounded.
template <typename Predicate> bool waitFor(Predicate predicate) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

TEST(NotificationCenterTest, DeliversInOrderAddedWithUserInfo) {
    NotificationCenter center;
    std::vector<std::pair<int, Json>> received;
    std::vector<Observation> observations;
    for (int i = 1; i <= 3; ++i) {
        observations.push_back(center.addObserver(
            "saved", [&, i](const PostedNotification& n) { received.emplace_back(i, n.userInfo); }));
    }
    bool otherCalled = false;
    auto other = center.addObserver("deleted", [&](const PostedNotification&) { otherCalled = true; });

    center.post("saved", Json{{"file", "dictée.m4a"}});
    ASSERT_EQ(received.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(received[i].first, i + 1);
        EXPECT_EQ(received[i].second["file"], "dictée.m4a");
    }
    EXPECT_FALSE(otherCalled);

    received.clear();
    center.post("saved");
    ASSERT_EQ(received.size(), 3u);
    EXPECT_TRUE(received[0].second.is_null());
    center.post("nobody listens");
}

TEST(NotificationCenterTest, DeliversOnThePostingThread) {
    auto& center = NotificationCenter::defaultCenter();
    EXPECT_EQ(&center, &NotificationCenter::defaultCenter());
    std::thread::id deliveredOn;
    auto observation = center.addObserver(
        "orvaneh.test.thread", [&](const PostedNotification&) { deliveredOn = std::this_thread::get_id(); });
    std::thread::id poster;
    std::thread thread([&] {
        poster = std::this_thread::get_id();
        center.post("orvaneh.test.thread");
    });
    thread.join();
    EXPECT_EQ(deliveredOn, poster);
}

TEST(NotificationCenterTest, EndedObservationIsNotCalled) {
    NotificationCenter center;
    int calls = 0;
    auto kept = center.addObserver("n", [&](const PostedNotification&) { ++calls; });
    {
        auto dropped = center.addObserver("n", [&](const PostedNotification&) { calls += 100; });
        EXPECT_EQ(center.observerCount("n"), 2u);
    }
    auto reset = center.addObserver("n", [&](const PostedNotification&) { calls += 100; });
    reset.reset();
    EXPECT_FALSE(reset.active());
    EXPECT_EQ(center.observerCount("n"), 1u);

    center.post("n");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenterTest, MovedObservationKeepsObserving) {
    NotificationCenter center;
    int first = 0;
    int second = 0;
    Observation original = center.addObserver("n", [&](const PostedNotification&) { ++first; });
    Observation moved(std::move(original));
    EXPECT_FALSE(original.active());
    EXPECT_TRUE(moved.active());
    original.reset(); // a moved-from observation ends nothing

    std::vector<Observation> held;
    held.push_back(std::move(moved));
    held.reserve(64); // relocates the element
    center.post("n");
    EXPECT_EQ(first, 1);

    // Assigning over a live observation ends the one it held.
    Observation target = center.addObserver("n", [&](const PostedNotification&) { ++second; });
    target = std::move(held[0]);
    held.clear();
    center.post("n");
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(center.observerCount("n"), 1u);
}

TEST(NotificationCenterTest, CallbackMayEndObservationsAndAddNewOnes) {
    NotificationCenter center;
    std::vector<std::string> calls;
    auto self = std::make_unique<Observation>();
    Observation later;
    Observation added;
    *self = center.addObserver("n", [&](const PostedNotification&) {
        calls.push_back("self");
        self.reset(); // destroys the observation whose callback is running
        later.reset();
        added = center.addObserver("n", [&](const PostedNotification&) { calls.push_back("added"); });
        center.post("nested");
    });
    later = center.addObserver("n", [&](const PostedNotification&) { calls.push_back("later"); });
    auto nested = center.addObserver("nested", [&](const PostedNotification&) { calls.push_back("nested"); });

    center.post("n");
    EXPECT_EQ(calls, (std::vector<std::string>{"self", "nested"}));
    calls.clear();
    center.post("n");
    EXPECT_EQ(calls, (std::vector<std::string>{"added"}));
}

TEST(NotificationCenterTest, EndingWaitsForADeliveryOnAnotherThread) {
    NotificationCenter center;
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> ended{false};
    std::atomic<bool> endedDuringCall{false};
    auto observation = center.addObserver("slow", [&](const PostedNotification&) {
        entered = true;
        waitFor([&] { return release.load(); });
        endedDuringCall = ended.load();
    });

    std::thread poster([&] { center.post("slow"); });
    ASSERT_TRUE(waitFor([&] { return entered.load(); }));
    std::thread ender([&] {
        observation.reset();
        ended = true;
    });
    // Gives a faulty reset() the time to return while the callback still runs.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(ended.load());
    release = true;
    poster.join();
    ender.join();
    EXPECT_TRUE(ended.load());
    EXPECT_FALSE(endedDuringCall.load());
}

// An observer as the application writes one: the observation is a member, declared last so
// that it ends before the rest of the object dies.
class Listener {
public:
    Listener(NotificationCenter& center, std::atomic<int>& faults)
        : observation_(center.addObserver("tick", [this, &faults](const PostedNotification&) {
              if (canary_.state.load() != Canary::alive) {
                  ++faults;
              }
              std::this_thread::yield(); // widens the window for a destruction to slip in
              if (canary_.state.load() != Canary::alive) {
                  ++faults;
              }
              ++received_;
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
    Observation observation_;
};

TEST(NotificationCenterTest, ObserverDestroyedWhileAnotherThreadPostsIsNeverCalledDead) {
    NotificationCenter center;
    std::atomic<int> faults{0};
    std::atomic<bool> stopPosting{false};
    std::thread poster([&] {
        while (!stopPosting.load()) {
            center.post("tick");
        }
    });
    int delivered = 0;
    for (int i = 0; i < 500; ++i) {
        auto listener = std::make_unique<Listener>(center, faults);
        if (waitFor([&] { return listener->received() > 0; })) {
            ++delivered;
        }
        listener.reset();
    }
    stopPosting = true;
    poster.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(delivered, 500);
    EXPECT_EQ(center.observerCount("tick"), 0u);
}

} // namespace
} // namespace orvaneh
