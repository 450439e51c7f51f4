#include "Platform/notifications/NotificationCenter.h"

#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace orvaneh {

// One registered observer. The centre only lists entries; ending an observation never
// touches the centre (inactive entries are swept out later), so an Observation may outlive
// its centre.
struct Observation::Entry {
    Entry(std::string observedName, NotificationCenter::Callback observerCallback, RunLoop* deliveryLoop,
          bool onMainLoop)
        : name(std::move(observedName)), loop(deliveryLoop), mainLoop(onMainLoop),
          callback(std::move(observerCallback)) {}

    const std::string name;
    // Where deliveries are queued; neither for a synchronous observer.
    RunLoop* const loop;
    const bool mainLoop;
    // Held while the callback runs, and by end() to wait for a running delivery. Recursive,
    // so that a callback may end its own observation or post again.
    std::recursive_mutex deliveryMutex;
    std::atomic<bool> active{true};
    // Guarded by deliveryMutex.
    NotificationCenter::Callback callback;
    int runningCalls = 0;

    void deliver(const PostedNotification& notification) {
        NotificationCenter::Callback released;
        {
            std::lock_guard lock(deliveryMutex);
            if (!active.load()) {
                return;
            }
            struct CallCount {
                int& count;
                explicit CallCount(int& c) : count(c) { ++count; }
                ~CallCount() { --count; }
                CallCount(const CallCount&) = delete;
                CallCount& operator=(const CallCount&) = delete;
            };
            {
                CallCount running(runningCalls);
                callback(notification);
            }
            // Ended from inside its own callback: it could not be released then.
            if (!active.load() && runningCalls == 0) {
                released = std::move(callback);
            }
        }
    }

    bool queued() const { return loop != nullptr || mainLoop; }

    // The task holds the entry weakly: a queued delivery keeps nothing of the observer alive.
    void queue(const std::shared_ptr<Entry>& self,
               const std::shared_ptr<const PostedNotification>& notification) {
        RunLoop& target = mainLoop ? RunLoop::main() : *loop;
        target.post([weak = std::weak_ptr<Entry>(self), notification] {
            if (auto entry = weak.lock()) {
                entry->deliver(*notification);
            }
        });
    }

    void end() {
        // Cleared before waiting, so that no delivery starts after this one finishes.
        // Two callbacks running on two threads that each end the other's observation would
        // wait for each other: observers do not do that to one another.
        active.store(false);
        NotificationCenter::Callback released;
        {
            std::lock_guard lock(deliveryMutex);
            if (runningCalls == 0) {
                released = std::move(callback);
            }
        }
        // Whatever the callback captured dies here, outside the lock.
    }
};

Observation::Observation(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}

Observation::Observation(Observation&& other) noexcept : entry_(std::move(other.entry_)) {}

Observation& Observation::operator=(Observation&& other) noexcept {
    if (this != &other) {
        reset();
        entry_ = std::move(other.entry_);
    }
    return *this;
}

Observation::~Observation() {
    reset();
}

void Observation::reset() {
    if (auto entry = std::exchange(entry_, nullptr)) {
        entry->end();
    }
}

bool Observation::active() const {
    return entry_ && entry_->active.load();
}

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

Observation NotificationCenter::addObserver(const std::string& name, Callback callback) {
    return add(name, nullptr, false, std::move(callback));
}

Observation NotificationCenter::addObserver(const std::string& name, RunLoop& loop, Callback callback) {
    return add(name, &loop, false, std::move(callback));
}

Observation NotificationCenter::addMainLoopObserver(const std::string& name, Callback callback) {
    return add(name, nullptr, true, std::move(callback));
}

Observation NotificationCenter::add(const std::string& name, RunLoop* loop, bool mainLoop,
                                    Callback callback) {
    if (!callback) {
        return Observation();
    }
    auto entry = std::make_shared<Observation::Entry>(name, std::move(callback), loop, mainLoop);
    std::vector<std::shared_ptr<Observation::Entry>> swept;
    {
        std::lock_guard lock(mutex_);
        auto firstEnded = std::stable_partition(entries_.begin(), entries_.end(),
                                                [](const auto& e) { return e->active.load(); });
        swept.assign(std::make_move_iterator(firstEnded), std::make_move_iterator(entries_.end()));
        entries_.erase(firstEnded, entries_.end());
        entries_.push_back(entry);
    }
    // Swept entries may be the last references to callbacks: they go outside the lock.
    return Observation(std::move(entry));
}

void NotificationCenter::post(const std::string& name, const Json& userInfo) {
    std::vector<std::shared_ptr<Observation::Entry>> receivers;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : entries_) {
            if (entry->name == name && entry->active.load()) {
                receivers.push_back(entry);
            }
        }
    }
    if (receivers.empty()) {
        return;
    }
    // Synchronous observers first: a queued delivery then finds done whatever they do with
    // the notification (the sender counts its progress steps so, and screens read them).
    const PostedNotification notification{name, userInfo};
    for (const auto& entry : receivers) {
        if (!entry->queued()) {
            entry->deliver(notification);
        }
    }
    std::shared_ptr<const PostedNotification> queuedCopy;
    for (const auto& entry : receivers) {
        if (entry->queued()) {
            if (!queuedCopy) {
                queuedCopy = std::make_shared<const PostedNotification>(notification);
            }
            entry->queue(entry, queuedCopy);
        }
    }
}

std::size_t NotificationCenter::observerCount(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(), [&](const auto& e) {
        return e->active.load() && e->name == name;
    }));
}

} // namespace orvaneh
