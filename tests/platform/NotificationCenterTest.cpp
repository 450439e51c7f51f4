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
    while (!predicate() && std::chrono::steady_clock::now() < limit) {
        std::this_thread::yield();
    }
    return predicate();
}

// Delivery is synchronous, on the posting thread, in the order observers were added.
TEST(NotificationCenterTest, DeliversInOrderAddedWithUserInfo) {
    NotificationCenter center;
    std::vector<std::pair<int, Json>> received;
    std::vector<Observation> observations;
    for (int i = 1; i <= 3; ++i) {
        observations.push_back(center.addObserver(
            "saved", [&, i](const PostedNotification& n) { received.emplace_back(i, n.userInfo); }));
    }
    auto other = center.addObserver("deleted", [&](const PostedNotification&) { received.clear(); });

    const Json info{{"file", "dictée.m4a"}};
    std::thread([&] { center.post("saved", info); }).join();
    EXPECT_EQ(received, (std::vector<std::pair<int, Json>>{{1, info}, {2, info}, {3, info}}));
    received.clear();
    center.post("saved");
    EXPECT_EQ(received, (std::vector<std::pair<int, Json>>{{1, nullptr}, {2, nullptr}, {3, nullptr}}));
}

TEST(NotificationCenterTest, OnlyLiveObservationsAreCalledWhereverTheyWereMoved) {
    NotificationCenter center;
    int kept = 0;
    int ended = 0;
    Observation original = center.addObserver("n", [&](const PostedNotification&) { ++kept; });
    {
        auto dropped = center.addObserver("n", [&](const PostedNotification&) { ++ended; });
    }
    auto reset = center.addObserver("n", [&](const PostedNotification&) { ++ended; });
    reset.reset();

    Observation moved(std::move(original));
    original.reset(); // a moved-from observation ends nothing
    std::vector<Observation> held;
    held.push_back(std::move(moved));
    held.reserve(64); // relocates the element
    center.post("n");
    EXPECT_EQ(kept, 1);

    // Assigning over a live observation ends the one it held.
    Observation target = center.addObserver("n", [&](const PostedNotification&) { ++ended; });
    target = std::move(held[0]);
    held.clear();
    center.post("n");
    EXPECT_EQ(kept, 2);
    EXPECT_EQ(ended, 0);
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
