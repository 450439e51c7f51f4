#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace orvaneh {

// One process-wide service (the preference store, the profile, the user interface) that
// start-up or a test may replace. get() hands out references that callers use without a
// lock, so a replaced object is kept alive rather than destroyed under them; replacements
// happen a handful of times per run (once per test at most), so the list stays small.
// Instances are meant to be leaked statics, usable while the process exits.
template <typename T> class ProcessWide {
public:
    using Factory = std::shared_ptr<T> (*)();

    explicit ProcessWide(Factory makeDefault) : makeDefault_(makeDefault) {}

    // The installed object, or a default one made on first use.
    T& get() {
        std::lock_guard lock(mutex_);
        if (!current_) {
            current_ = makeDefault_();
        }
        return *current_;
    }

    // Replaces the object; nullptr puts a default one back.
    void install(std::shared_ptr<T> replacement) {
        std::lock_guard lock(mutex_);
        if (current_) {
            retired_.push_back(std::move(current_));
        }
        current_ = replacement ? std::move(replacement) : makeDefault_();
    }

private:
    Factory makeDefault_;
    std::mutex mutex_;
    std::shared_ptr<T> current_;
    std::vector<std::shared_ptr<T>> retired_;
};

} // namespace orvaneh
