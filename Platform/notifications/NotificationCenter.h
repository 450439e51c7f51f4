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

// Named notifications delivered synchronously, on the posting thread, to every observer of
// that name, in the order they were added. Observers may be added or removed from any
// thread, including from inside a callback.
class NotificationCenter {
public:
    using Callback = std::function<void(const PostedNotification&)>;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // The process-wide centre.
    static NotificationCenter& defaultCenter();

    [[nodiscard]] Observation addObserver(const std::string& name, Callback callback);
    void post(const std::string& name, const Json& userInfo = nullptr);
    // Number of live observers of the name (for tests and diagnostics).
    std::size_t observerCount(const std::string& name) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Observation::Entry>> entries_;
};

} // namespace orvaneh
