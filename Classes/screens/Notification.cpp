#include "Classes/screens/Notification.h"

#include "Platform/ui/UserInterface.h"

#include <algorithm>

namespace orvaneh {

void Notification::pushNotification(const std::string& text) {
    UserInterface::shared().showBanner(text, displayDuration(text));
}

Seconds Notification::displayDuration(const std::string& text) {
    // Characters, not bytes: accented French text must not stay up longer than plain text.
    auto length = std::count_if(text.begin(), text.end(),
                                [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    return Seconds(std::min(20.0, 3.0 + 17.0 * static_cast<double>(length) / 200.0));
}

} // namespace orvaneh
