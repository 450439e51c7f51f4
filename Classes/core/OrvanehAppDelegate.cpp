#include "Classes/core/OrvanehAppDelegate.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/UserDefaultManager.h"
#include "Platform/runloop/Clock.h"

#include <chrono>

namespace orvaneh {

void OrvanehAppDelegate::startCore() {
    initInformationConnectionFTP();
    ConfigurationManager::checkAndCreateDefaultXmlFields();
}

void OrvanehAppDelegate::initInformationConnectionFTP() {
    UserDefaultManager::setInt(-1, "connectionType");
    // Far in the past, so the first network check never sees a recent switch of connection.
    UserDefaultManager::setDate(WallTime(std::chrono::seconds(1000)), "connectionLastDate");
    UserDefaultManager::setBool(false, "connectionSucceedLastTime");
}

} // namespace orvaneh
