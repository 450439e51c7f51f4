#include "Classes/core/OrvanehAppDelegate.h"
#include "Classes/core/Tools.h"
#include "Classes/core/UserDefaultManager.h"
#include "Platform/network/Reachability.h"
#include "support/TestProfile.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

const std::string kNone = "Aucun réseau disponible";
const std::string kSwitching = "Connexion internet interrompue suite au changement récent de la connexion "
                               "3G-4G/Wifi. Veuillez réessayer.";

// After a change between Wi-Fi and mobile data, the network counts as unavailable until 30
// seconds have passed since the last good check.
TEST(SendNetworkCheckTest, ASwitchOfConnectionWaitsThirtySecondsAfterTheLastGoodCheck) {
    test::TestProfile profile;
    OrvanehAppDelegate::initInformationConnectionFTP();
    NetworkStatus status = NetworkStatus::None;
    Reachability::install(std::make_shared<Reachability>([&] { return status; }));
    using enum NetworkStatus;
    struct Step {
        double after; // seconds since the previous step
        NetworkStatus status;
        std::string message; // "" when available
    };
    const Step steps[] = {
        {0, WiFi, ""},                // first check since start-up
        {10, MobileData, kSwitching}, // t = 10: switched 10 s after a good check
        {10, MobileData, kSwitching}, // t = 20: the failed check does not count as good
        {11, MobileData, ""},         // t = 31
        {5, MobileData, ""},          // t = 36: same connection
        {1, None, kNone},             // t = 37
        {1, WiFi, kSwitching},        // t = 38: none counts as a change too
        {29, WiFi, ""},               // t = 67: 31 s after t = 36
    };
    int index = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(index++);
        profile.clock().advance(Seconds(step.after));
        status = step.status;
        const bool succeededBefore = UserDefaultManager::getBoolForKey("connectionSucceedLastTime");
        const NetworkResult result = Tools::NetworkIsAvailable();
        EXPECT_EQ(result.networkIsAvailable, step.message.empty());
        EXPECT_EQ(result.message, step.message);
        EXPECT_EQ(UserDefaultManager::getIntForKey("connectionType"), static_cast<int>(step.status));
        EXPECT_EQ(UserDefaultManager::getBoolForKey("connectionSucceedLastTime"),
                  step.status == None ? succeededBefore : step.message.empty());
        if (step.message.empty()) {
            EXPECT_EQ(UserDefaultManager::getDateForKey("connectionLastDate"), profile.clock().wallNow());
        }
    }

    // A site on this machine is reachable whatever the interfaces say, and leaves the memory alone.
    status = None;
    for (const char* address : {"ftp://127.0.0.1:2121/import", "localhost:8443", "[::1]"}) {
        EXPECT_TRUE(Tools::NetworkIsAvailable(address).networkIsAvailable) << address;
    }
    EXPECT_EQ(UserDefaultManager::getIntForKey("connectionType"), static_cast<int>(WiFi));
    EXPECT_FALSE(Tools::NetworkIsAvailable("192.0.2.10:21").networkIsAvailable);
    Reachability::install(nullptr);
}

TEST(SendNetworkCheckTest, HostOfAddressDropsSchemeCredentialsPortAndPath) {
    const std::pair<const char*, const char*> cases[] = {
        {"ftp://jean:p@ss@127.0.0.1:2121/config", "127.0.0.1"},
        {"serveur.cabinet.fr:8443", "serveur.cabinet.fr"},
        {"https://serveur.cabinet.fr/Orvane.WebServices", "serveur.cabinet.fr"},
        {"[::1]:2121", "[::1]"},
        {"::1", "::1"},
        {"", ""},
    };
    for (const auto& [address, host] : cases) {
        EXPECT_EQ(NetworkManager::hostOfAddress(address), host) << address;
    }
}

} // namespace
} // namespace orvaneh
