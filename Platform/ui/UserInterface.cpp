#include "Platform/ui/UserInterface.h"

#include "Platform/services/ProcessWide.h"
#include "Platform/ui/HeadlessUserInterface.h"

#include <mutex>
#include <vector>

namespace orvaneh {

namespace {

ProcessWide<UserInterface>& registry() {
    static auto* instance = new ProcessWide<UserInterface>(
        []() -> std::shared_ptr<UserInterface> { return std::make_shared<HeadlessUserInterface>(); });
    return *instance;
}

} // namespace

UserInterface& UserInterface::shared() {
    return registry().get();
}

void UserInterface::install(std::shared_ptr<UserInterface> userInterface) {
    registry().install(std::move(userInterface));
}

} // namespace orvaneh
