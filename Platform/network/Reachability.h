#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

// How the machine reaches the network; the values are those stored in "connectionType".
enum class NetworkStatus { None = 0, WiFi = 1, MobileData = 2 };

// The network status of the machine. The process-wide instance reads the network interfaces
// on every call; tests of the layers above install one with a provider of their own.
// Thread-safe.
class Reachability {
public:
    // Flags of the phone's reachability interface, for networkStatusForFlags.
    static constexpr std::uint32_t kTransientConnection = 0x1;
    static constexpr std::uint32_t kReachable = 0x2;
    static constexpr std::uint32_t kConnectionRequired = 0x4;
    static constexpr std::uint32_t kIsLocalAddress = 0x10000;
    static constexpr std::uint32_t kIsDirect = 0x20000;
    static constexpr std::uint32_t kIsWWAN = 0x40000;

    // What one interface looks like, for statusForInterfaces.
    struct Interface {
        std::string name;
        bool up = false;
        bool running = false;
        bool loopback = false;
        bool hasAddress = false; // an IPv4 or IPv6 address
    };

    using StatusProvider = std::function<NetworkStatus()>;

    // Without a provider, the status comes from the machine's interfaces.
    explicit Reachability(StatusProvider provider = {});

    static Reachability& shared();
    // Replaces the process-wide instance; nullptr puts back the one reading the interfaces.
    static void install(std::shared_ptr<Reachability> reachability);

    NetworkStatus currentStatus() const;

    // Wi-Fi when an interface is up, running, not loopback and has an address (wired counts
    // as Wi-Fi); otherwise mobile data when such an interface's name starts with "ww"; else
    // none.
    static NetworkStatus statusForInterfaces(const std::vector<Interface>& interfaces);
    // The classification of the phone's reachability flags.
    static NetworkStatus networkStatusForFlags(std::uint32_t flags);
    // True for "localhost", 127.0.0.0/8, ::1 (bracketed or not) and a name that resolves
    // only to loopback addresses, so that a site on this machine is never refused. May block
    // while a name is resolved.
    static bool isLoopbackHost(const std::string& host);

private:
    StatusProvider provider_;
};

} // namespace orvaneh
