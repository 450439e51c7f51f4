#include "Classes/transport/NetworkManager.h"

#include "Classes/core/UserDefaultManager.h"
#include "Platform/localisation/Localization.h"
#include "Platform/network/Reachability.h"

#include <algorithm>
#include <chrono>

namespace orvaneh {

namespace {

constexpr Seconds kSwitchDelay{30};

} // namespace

std::string NetworkManager::hostOfAddress(const std::string& address) {
    std::string host = address;
    host.erase(0, host.find_first_not_of(" \t"));
    host.erase(host.find_last_not_of(" \t") + 1);
    if (auto scheme = host.find("://"); scheme != std::string::npos) {
        host.erase(0, scheme + 3);
    }
    host = host.substr(0, host.find_first_of("/?#"));
    if (auto at = host.rfind('@'); at != std::string::npos) {
        host.erase(0, at + 1);
    }
    if (host.starts_with('[')) {
        return host.substr(0, host.find(']') + 1);
    }
    if (std::count(host.begin(), host.end(), ':') == 1) {
        host.erase(host.find(':'));
    }
    return host;
}

NetworkResult NetworkManager::isNetworkAvailable(const std::string& host) {
    if (std::string name = hostOfAddress(host); !name.empty() && Reachability::isLoopbackHost(name)) {
        return {true, ""};
    }
    const NetworkStatus status = Reachability::shared().currentStatus();
    if (status == NetworkStatus::None) {
        UserDefaultManager::setInt(static_cast<int>(NetworkStatus::None), "connectionType");
        return {false, localized("kMssNoAvailableNetWork", "Aucun réseau disponible")};
    }
    const auto type = static_cast<std::int64_t>(status);
    const WallTime now = Clock::current()->wallNow();
    const auto lastGood = UserDefaultManager::getDateForKey("connectionLastDate");
    const bool recent = lastGood && std::chrono::abs(Seconds(now - *lastGood)) < kSwitchDelay;
    const bool changed = UserDefaultManager::getIntForKey("connectionType") != type ||
                         !UserDefaultManager::getBoolForKey("connectionSucceedLastTime");
    NetworkResult result{true, ""};
    if (recent && changed) {
        result = {false, localized("kMssSwitchingBetweenConnection",
                                   "Connexion internet interrompue suite au changement récent de la "
                                   "connexion 3G-4G/Wifi. Veuillez réessayer.")};
    } else {
        UserDefaultManager::setDate(now, "connectionLastDate");
    }
    UserDefaultManager::setInt(type, "connectionType");
    UserDefaultManager::setBool(result.networkIsAvailable, "connectionSucceedLastTime");
    return result;
}

} // namespace orvaneh
