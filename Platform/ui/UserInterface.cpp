#include "Platform/ui/UserInterface.h"

#include "Platform/ui/HeadlessUserInterface.h"

#include <mutex>
#include <vector>

namespace orvaneh {

namespace {

// shared() hands out references that callers use without holding any lock, so a replaced
// implementation is kept alive rather than destroyed under them. Implementations are
// installed a handful of times per run (once per test at most), so the list stays small.
// The registry itself is never destroyed: messages may be shown while the process exits.
struct Registry {
    std::mutex mutex;
    std::shared_ptr<UserInterface> current;
    std::vector<std::shared_ptr<UserInterface>> retired;
};

Registry& registry() {
    static auto* instance = new Registry;
    return *instance;
}

} // namespace

UserInterface& UserInterface::shared() {
    auto& shared = registry();
    std::lock_guard lock(shared.mutex);
    if (!shared.current) {
        shared.current = std::make_shared<HeadlessUserInterface>();
    }
    return *shared.current;
}

void UserInterface::install(std::shared_ptr<UserInterface> userInterface) {
    auto& shared = registry();
    std::lock_guard lock(shared.mutex);
    if (shared.current) {
        shared.retired.push_back(std::move(shared.current));
    }
    shared.current = userInterface ? std::move(userInterface) : std::make_shared<HeadlessUserInterface>();
}

} // namespace orvaneh
