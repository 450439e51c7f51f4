#include "Classes/screens/Notification.h"

#include "Platform/ui/UserInterface.h"

namespace orvaneh {

void Notification::pushNotification(const std::string& text) {
    UserInterface::shared().pushBanner(text);
}

Seconds Notification::displayDuration(const std::string& text) {
    return UserInterface::bannerDuration(text);
}

} // namespace orvaneh
