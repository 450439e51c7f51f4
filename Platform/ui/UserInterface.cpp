#include "Platform/ui/UserInterface.h"

#include "Platform/services/ProcessWide.h"
#include "Platform/ui/HeadlessUserInterface.h"

#include <algorithm>
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

Seconds UserInterface::bannerDuration(const std::string& text) {
    // Characters, not bytes: accented French text must not stay up longer than plain text.
    auto length = std::count_if(text.begin(), text.end(),
                                [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    return Seconds(std::min(20.0, 3.0 + 17.0 * static_cast<double>(length) / 200.0));
}

void UserInterface::install(std::shared_ptr<UserInterface> userInterface) {
    registry().install(std::move(userInterface));
}

} // namespace orvaneh
