#pragma once

#include "Platform/json/Json.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orvaneh {

// A notification as observers receive it: its name and optional user info (null when the
// poster gave none).
struct PostedNotification {
    std::string name;
    Json userInfo;
};

class NotificationCenter;
class RunLoop;

// Keeps one observer registered for as long as it lives. Hold it as a member of the
// observing object: when the object dies, the observation ends with it, and destruction
// waits for a delivery in progress on another thread, so the callback never runs into a
// dead object. Movable, not copyable.
class Observation {
public:
    Observation() = default;
    Observation(Observation&& other) noexcept;
    Observation& operator=(Observation&& other) noexcept;
    Observation(const Observation&) = delete;
    Observation& operator=(const Observation&) = delete;
    ~Observation();

    // Ends the observation now (same guarantees as destruction).
    void reset();
    bool active() const;

private:
    friend class NotificationCenter;
    struct Entry;
    explicit Observation(std::shared_ptr<Entry> entry);
    std::shared_ptr<Entry> entry_;
};

// Named notifications delivered to every observer of that name, in the order they were added:
// synchronously on the posting thread, or, for an observer that asked for it, queued to a run
// loop. Observers may be added or removed from any thread, including from inside a callback.
class NotificationCenter {
public:
    using Callback = std::function<void(const PostedNotification&)>;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // The process-wide centre.
    static NotificationCenter& defaultCenter();

    [[nodiscard]] Observation addObserver(const std::string& name, Callback callback);
    // Delivers on `loop`'s thread, whatever thread posts: each post queues a task holding the
    // notification, always, even when posted on that thread, so that an observer never runs in
    // the middle of the poster's work. Posts from one thread arrive in their order. A queued
    // delivery runs only if the observation is still alive by then; ending the observation does
    // not wait for queued deliveries (it waits, as always, for one in progress elsewhere).
    // A post calls the synchronous observers before it queues anything, so a queued delivery
    // finds their work done.
    // `loop` must outlive every post that may reach it.
    [[nodiscard]] Observation addObserver(const std::string& name, RunLoop& loop, Callback callback);
    // The same on the main run loop, looked up at each post (so it follows RunLoop::resetMain):
    // the way a screen controller observes what the sender posts from its own thread.
    [[nodiscard]] Observation addMainLoopObserver(const std::string& name, Callback callback);
    void post(const std::string& name, const Json& userInfo = nullptr);
    // Number of live observers of the name (for tests and diagnostics).
    std::size_t observerCount(const std::string& name) const;

private:
    [[nodiscard]] Observation add(const std::string& name, RunLoop* loop, bool mainLoop, Callback callback);

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Observation::Entry>> entries_;
};

} // namespace orvaneh
