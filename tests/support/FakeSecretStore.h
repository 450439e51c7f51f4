#pragma once

#include "Platform/secrets/SecretStore.h"

#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace orvaneh::test {

// A keyring in memory, with faults on cue: out of reach, refusing to store, or giving back
// something else than what it was given. Counts the questions it is asked.
class FakeSecretStore final : public SecretStore {
public:
    bool reachable = true;
    bool refusesToStore = false;
    bool garblesWhatItKeeps = false;

    bool available() override { return reachable; }
    Lookup lookup(const Key& key) override {
        std::lock_guard lock(mutex_);
        ++lookups;
        if (!reachable) {
            return {};
        }
        const auto found = secrets_.find(tie(key));
        return found == secrets_.end() ? Lookup{Status::Absent, {}} : Lookup{Status::Found, found->second};
    }
    bool store(const Key& key, const std::string&, const std::string& secret) override {
        std::lock_guard lock(mutex_);
        if (!reachable || refusesToStore) {
            return false;
        }
        secrets_[tie(key)] = garblesWhatItKeeps ? secret + "?" : secret;
        return true;
    }
    bool clear(const Key& key) override {
        std::lock_guard lock(mutex_);
        if (!reachable) {
            return false;
        }
        secrets_.erase(tie(key));
        return true;
    }

    // The secret of `item` whatever the profile, "" when none.
    std::string secretOf(const std::string& item) const {
        std::lock_guard lock(mutex_);
        for (const auto& [key, secret] : secrets_) {
            if (std::get<2>(key) == item) {
                return secret;
            }
        }
        return {};
    }
    std::size_t size() const {
        std::lock_guard lock(mutex_);
        return secrets_.size();
    }
    int lookups = 0;

private:
    using Tied = std::tuple<std::string, std::string, std::string>;
    static Tied tie(const Key& key) { return {key.application, key.profile, key.item}; }
    mutable std::mutex mutex_;
    std::map<Tied, std::string> secrets_;
};

} // namespace orvaneh::test
