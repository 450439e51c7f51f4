#include "Classes/transport/NetworkManager.h"
#include "Platform/network/Reachability.h"
#include "transport/OfficeFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

class SendQueueTest : public test::SendTest {
protected:
    void TearDown() override { Reachability::install(nullptr); }
};

// Whatever stops an attempt before anything is sent, the attempt ends with one "EnvoiClose"
// and the sender is left idle, free for the next dictation.
TEST_F(SendQueueTest, EveryRefusalEndsItsAttemptOnce) {
    const std::string missing =
        "Les paramètres Auteur, Travail type et Nom de dictée sont obligatoires pour l'envoi d'une dictée";
    const std::string siteGone = "Le site configuré pour cette dictée n'existe plus. Veuillez soit : "
                                 "\n°Désactiver l'option 'Lier les dictées au site' \n°Sauvegarder cette "
                                 "dictée avec un autre site par défaut.";
    const auto wav = [&](const DicteeModel& d) {
        return profile.documents() / (std::to_string(d.idDictee) + ".wav");
    };
    struct Case {
        std::string title;
        std::int32_t type = 1;
        std::string address = "127.0.0.1:21";
        std::string password = test::kPassword;
        std::function<void(DicteeModel&)> alter = [](DicteeModel&) {}; // saved afterwards
        std::vector<std::string> banners = {}, alerts = {};
        bool draft = false;
        bool direct = false; // handed to sendDictee, as no run would pick it
    };
    const std::vector<Case> cases{
        {.title = "Type 3", .type = 3},
        {.title = "Type 4", .type = 4},
        {.title = "Site supprimé",
         .alter =
             [&](DicteeModel& d) {
                 d.idSite = addSite(1, "127.0.0.1:21", test::kPassword, false);
                 siteRequest().deleteSiteWithId(d.idSite);
                 profile.preferences().setBool("LinkDictationToSite", true);
             },
         .banners = {siteGone}},
        {.title = "Déjà partie",
         .alter = [](DicteeModel& d) { DicteeRequest().updateDicteeEnvoi(d.idDictee); },
         .alerts = {"Cette dictée a déjà été envoyée !"},
         .direct = true},
        {.title = "Sans auteur",
         .alter = [](DicteeModel& d) { d.auteur.clear(); },
         .banners = {"Sans auteur : " + missing},
         .draft = true},
        {.title = "Hors réseau",
         .address = "192.0.2.10",
         .alter =
             [](DicteeModel&) {
                 Reachability::install(std::make_shared<Reachability>([] { return NetworkStatus::None; }));
             },
         .banners = {"Aucun réseau disponible"}},
        {.title = "Sans accès", .password = "", .alerts = {"L'accès au ftp n'a pas été configuré !"}},
        {.title = "Muette",
         .alter = [&](DicteeModel& d) { std::filesystem::remove(wav(d)); },
         .banners = {"Aucun fichier à envoyer pour la dictée « Muette »."}},
        {.title = "Trop rapide",
         .alter =
             [&](DicteeModel& d) {
                 profile.preferences().setString("ExportFileFormat", "spx");
                 test::writeBytes(wav(d), test::Wave{.samples = test::ramp(0, 9600), .rate = 96000}.bytes());
             },
         .banners = {"Impossible de préparer les fichiers de la dictée « Trop rapide »."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        addSite(c.type, c.address, c.password);
        auto dictee = record(addDictation(c.title));
        c.alter(dictee);
        DicteeRequest().updateDictee(dictee);
        const auto id = dictee.idDictee;
        profile.ui().clear();
        const auto closes = count("EnvoiClose");
        if (c.direct) {
            uploader.sendDictee(record(id));
            RunLoop::main().runPending();
        } else {
            sendPass();
        }
        EXPECT_EQ(count("EnvoiClose"), closes + 1);
        EXPECT_FALSE(uploader.running());
        EXPECT_EQ(profile.ui().messages("banner"), c.banners);
        EXPECT_EQ(profile.ui().messages("alert"), c.alerts);
        EXPECT_EQ(record(id).brouillon, c.draft);
        EXPECT_EQ(record(id).envoi, c.direct ? 1 : 0);
        EXPECT_THAT(documentsContaining(record(id).masterJobId), ::testing::IsEmpty());
        Reachability::install(nullptr);
        profile.preferences().removeObjectForKey("LinkDictationToSite");
        profile.preferences().removeObjectForKey("ExportFileFormat");
    }
}

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
        const NetworkResult result = NetworkManager::isNetworkAvailable();
        EXPECT_EQ(result.networkIsAvailable, step.message.empty());
        EXPECT_EQ(result.message, step.message);
    }

    // A site on this machine is reachable whatever the interfaces say, and leaves the memory alone.
    status = None;
    for (const char* address : {"ftp://127.0.0.1:2121/import", "ftp://jean:p@ss@127.0.0.1:2121",
                                "localhost:8443", "[::1]:21", "::1"}) {
        EXPECT_TRUE(NetworkManager::isNetworkAvailable(address).networkIsAvailable) << address;
    }
    status = WiFi;
    EXPECT_EQ(NetworkManager::isNetworkAvailable().message, "") << "not a switch";
    status = None;
    EXPECT_FALSE(NetworkManager::isNetworkAvailable("192.0.2.10:21").networkIsAvailable);
    Reachability::install(nullptr);
}

} // namespace
} // namespace orvaneh
