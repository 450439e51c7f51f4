#include "Platform/network/Reachability.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace orvaneh {
namespace {

using R = Reachability;

TEST(ReachabilityTest, ClassifiesThePlatformFlags) {
    const std::vector<std::pair<std::uint32_t, NetworkStatus>> cases = {
        {0, NetworkStatus::None},
        {R::kIsWWAN, NetworkStatus::None}, // not reachable wins
        {R::kReachable, NetworkStatus::WiFi},
        {R::kReachable | R::kIsWWAN | R::kConnectionRequired, NetworkStatus::MobileData},
        {R::kReachable | R::kIsLocalAddress | R::kIsDirect, NetworkStatus::WiFi},
        {R::kReachable | R::kTransientConnection | R::kConnectionRequired, NetworkStatus::None},
        {R::kReachable | R::kTransientConnection, NetworkStatus::WiFi},
        {R::kReachable | R::kTransientConnection | 0x8, NetworkStatus::WiFi},
        {R::kReachable | R::kConnectionRequired | 0x8, NetworkStatus::WiFi},
        {R::kReachable | 0x8, NetworkStatus::None},
    };
    for (const auto& [flags, status] : cases) {
        EXPECT_EQ(R::networkStatusForFlags(flags), status) << std::hex << flags;
    }
}

TEST(ReachabilityTest, ReadsTheStatusFromTheInterfaces) {
    const R::Interface loopback{"lo", true, true, true, true};
    const R::Interface wired{"eth0", true, true, false, true};
    const R::Interface mobile{"wwan0", true, true, false, true};
    const R::Interface down{"wlan0", false, false, false, true};
    const R::Interface noAddress{"wlan0", true, true, false, false};
    const std::vector<std::pair<std::vector<R::Interface>, NetworkStatus>> cases = {
        {{}, NetworkStatus::None},
        {{loopback}, NetworkStatus::None},
        {{loopback, down, noAddress}, NetworkStatus::None},
        {{loopback, wired}, NetworkStatus::WiFi},
        {{mobile}, NetworkStatus::MobileData},
        {{mobile, wired}, NetworkStatus::WiFi},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(R::statusForInterfaces(cases[i].first), cases[i].second) << "case " << i;
    }
}

TEST(ReachabilityTest, RecognisesHostsOnThisMachine) {
    for (std::string host :
         {"localhost", "LocalHost.", "127.0.0.1", "127.8.9.10", "::1", "[::1]", "::ffff:127.0.0.1"}) {
        EXPECT_TRUE(R::isLoopbackHost(host)) << host;
    }
    for (std::string host : {"", "10.0.0.1", "128.0.0.1", "::", "192.168.1.20", "[2001:db8::1]"}) {
        EXPECT_FALSE(R::isLoopbackHost(host)) << host;
    }
}

} // namespace
} // namespace orvaneh
