#include "Platform/secrets/SecretStore.h"

#include "Platform/secrets/NoSecretStore.h"
#include "Platform/services/ProcessWide.h"

namespace orvaneh {

namespace {

ProcessWide<SecretStore>& registry() {
    static auto* instance = new ProcessWide<SecretStore>(
        []() -> std::shared_ptr<SecretStore> { return std::make_shared<NoSecretStore>(); });
    return *instance;
}

} // namespace

SecretStore& SecretStore::shared() {
    return registry().get();
}

void SecretStore::install(std::shared_ptr<SecretStore> store) {
    registry().install(std::move(store));
}

} // namespace orvaneh
