#pragma once

#include <memory>
#include <string>

namespace orvaneh {

// The desktop's secret store (a keyring), where passwords are kept out of the profile's files.
// A secret is found by its key: the application, the profile and the item within it; storing
// under the same key replaces the secret. Every call may be made from any thread and returns
// within a short bound: a store that does not answer in time counts as unavailable for the rest
// of the process.
//
// The process-wide store is never available until the program installs another (the command
// line and the desktop application install the desktop's own when they are built with it).
class SecretStore {
public:
    struct Key {
        std::string application;
        std::string profile;
        std::string item;
    };

    enum class Status {
        Found,      // the secret is there
        Absent,     // the store answered: nothing under this key
        Unavailable // no store answered: nothing is known
    };
    struct Lookup {
        Status status = Status::Unavailable;
        std::string secret; // only with Found
    };

    virtual ~SecretStore() = default;

    // True when a store answers in this session. The first call finds out (bounded); the answer
    // is kept.
    virtual bool available() = 0;
    virtual Lookup lookup(const Key& key) = 0;
    // True once the store confirmed it keeps `secret`. `label` is what the keyring's own tools
    // show the user.
    virtual bool store(const Key& key, const std::string& label, const std::string& secret) = 0;
    // True when the store answered that nothing is left under the key (also when there was
    // nothing).
    virtual bool clear(const Key& key) = 0;

    static SecretStore& shared();
    // nullptr puts the never-available store back.
    static void install(std::shared_ptr<SecretStore> store);
};

} // namespace orvaneh
