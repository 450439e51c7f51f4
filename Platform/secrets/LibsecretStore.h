#pragma once

#include "Platform/secrets/SecretStore.h"

#include <chrono>
#include <memory>

namespace orvaneh {

// The desktop's keyring over the Secret Service API (libsecret): GNOME's keyring, KeePassXC,
// KDE's wallet... Built only when libsecret is present (ORVANEH_SECRETS, ORVANEH_HAVE_LIBSECRET).
//
// Available when the session bus is there and a Secret Service already runs on it: the
// service is never started on demand, and no session bus is looked for beyond
// DBUS_SESSION_BUS_ADDRESS and $XDG_RUNTIME_DIR/bus (a server reached over SSH has neither, and
// is told at once). libsecret's calls block and may wait on a prompt, so each one runs on a
// thread of its own while the caller waits at most `bound`; past it the call is given up and
// the store is unavailable for the rest of the process (logged once). Calls are serialised.
class LibsecretStore final : public SecretStore {
public:
    static constexpr std::chrono::milliseconds kDefaultBound{2000};

    explicit LibsecretStore(std::chrono::milliseconds bound = kDefaultBound);
    ~LibsecretStore() override;
    LibsecretStore(const LibsecretStore&) = delete;
    LibsecretStore& operator=(const LibsecretStore&) = delete;

    bool available() override;
    Lookup lookup(const Key& key) override;
    bool store(const Key& key, const std::string& label, const std::string& secret) override;
    bool clear(const Key& key) override;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace orvaneh
