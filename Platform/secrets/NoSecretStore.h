#pragma once

#include "Platform/secrets/SecretStore.h"

namespace orvaneh {

// The store of a program built without one: never available, so passwords stay in the profile.
class NoSecretStore final : public SecretStore {
public:
    bool available() override { return false; }
    Lookup lookup(const Key&) override { return {}; }
    bool store(const Key&, const std::string&, const std::string&) override { return false; }
    bool clear(const Key&) override { return false; }
};

} // namespace orvaneh
