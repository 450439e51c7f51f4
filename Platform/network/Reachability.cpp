#include "Platform/network/Reachability.h"

#include "Platform/services/ProcessWide.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <ifaddrs.h>
#include <map>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace orvaneh {

namespace {

ProcessWide<Reachability>& registry() {
    static auto* instance = new ProcessWide<Reachability>(
        []() -> std::shared_ptr<Reachability> { return std::make_shared<Reachability>(); });
    return *instance;
}

std::vector<Reachability::Interface> machineInterfaces() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return {};
    }
    std::map<std::string, Reachability::Interface> byName;
    for (ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
        auto& interface = byName[item->ifa_name];
        interface.name = item->ifa_name;
        interface.up = (item->ifa_flags & IFF_UP) != 0;
        interface.running = (item->ifa_flags & IFF_RUNNING) != 0;
        interface.loopback = (item->ifa_flags & IFF_LOOPBACK) != 0;
        if (item->ifa_addr != nullptr &&
            (item->ifa_addr->sa_family == AF_INET || item->ifa_addr->sa_family == AF_INET6)) {
            interface.hasAddress = true;
        }
    }
    freeifaddrs(list);
    std::vector<Reachability::Interface> result;
    for (auto& [name, interface] : byName) {
        result.push_back(std::move(interface));
    }
    return result;
}

bool isLoopbackAddress(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        auto value = ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
        return (value >> 24) == 127;
    }
    if (address->sa_family == AF_INET6) {
        const auto& value = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&value)) {
            return value.s6_addr[12] == 127;
        }
        return IN6_IS_ADDR_LOOPBACK(&value);
    }
    return false;
}

} // namespace

Reachability::Reachability(StatusProvider provider) : provider_(std::move(provider)) {}

Reachability& Reachability::shared() {
    return registry().get();
}

void Reachability::install(std::shared_ptr<Reachability> reachability) {
    registry().install(std::move(reachability));
}

NetworkStatus Reachability::currentStatus() const {
    return provider_ ? provider_() : statusForInterfaces(machineInterfaces());
}

NetworkStatus Reachability::statusForInterfaces(const std::vector<Interface>& interfaces) {
    bool mobile = false;
    for (const auto& interface : interfaces) {
        if (!interface.up || !interface.running || interface.loopback || !interface.hasAddress) {
            continue;
        }
        if (interface.name.starts_with("ww")) {
            mobile = true;
        } else {
            return NetworkStatus::WiFi;
        }
    }
    return mobile ? NetworkStatus::MobileData : NetworkStatus::None;
}

NetworkStatus Reachability::networkStatusForFlags(std::uint32_t flags) {
    if ((flags & kReachable) == 0) {
        return NetworkStatus::None;
    }
    if ((flags & kIsWWAN) != 0) {
        return NetworkStatus::MobileData;
    }
    std::uint32_t rest = flags & ~(kReachable | kIsLocalAddress | kIsDirect);
    if (rest == (kTransientConnection | kConnectionRequired)) {
        return NetworkStatus::None;
    }
    if ((rest & kTransientConnection) != 0 || rest == 0) {
        return NetworkStatus::WiFi;
    }
    return (rest & kConnectionRequired) != 0 ? NetworkStatus::WiFi : NetworkStatus::None;
}

bool Reachability::isLoopbackHost(const std::string& host) {
    std::string name = host;
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!name.empty() && name.back() == '.') {
        name.pop_back();
    }
    if (name.empty()) {
        return false;
    }
    if (name == "localhost" || name.ends_with(".localhost")) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    bool onlyLoopback = true;
    for (addrinfo* item = found; item != nullptr; item = item->ai_next) {
        onlyLoopback = onlyLoopback && isLoopbackAddress(item->ai_addr);
    }
    freeaddrinfo(found);
    return onlyLoopback;
}

} // namespace orvaneh
