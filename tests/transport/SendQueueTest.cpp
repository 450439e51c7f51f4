#include "Classes/core/DicteeRequest.h"
#include "Classes/core/siteRequest.h"
#include "Platform/network/Reachability.h"
#include "Platform/runloop/RunLoop.h"
#include "audio/WaveTestFiles.h"
#include "transport/SendFixture.h"

#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using ::testing::IsEmpty;

class SendQueueTest : public test::SendTest {
protected:
    void TearDown() override { Reachability::install(nullptr); }
};

// Whatever stops an attempt before anything is sent, the attempt ends with one "EnvoiClose"
// and the sender is left idle, free for the next dictation.
TEST_F(SendQueueTest, EveryRefusalEndsItsAttemptOnce) {
    const std::string loopback = "127.0.0.1:21";
    const std::string missingParameters =
        "Les paramètres Auteur, Travail type et Nom de dictée sont obligatoires pour l'envoi d'une dictée";
    const std::string siteGone =
        "Le site configuré pour cette dictée n'existe plus. Veuillez soit : \n°Désactiver "
        "l'option 'Lier les dictées au site' \n°Sauvegarder cette dictée avec un autre "
        "site par défaut.";
    struct Case {
        const char* name;
        // Sets the scene; returns the dictation.
        std::function<std::int64_t()> arrange;
        std::vector<std::string> banners = {};
        std::vector<std::string> alerts = {};
        bool draft = false;
        bool direct = false; // handed to sendDictee, as no run would pick it
    };
    const std::vector<Case> cases{
        {"site de type 3",
         [&] {
             addSite(3, loopback);
             return addDictation("Type 3");
         }},
        {"site de type 4",
         [&] {
             addSite(4, loopback);
             return addDictation("Type 4");
         }},
        {"site lié supprimé",
         [&] {
             const auto gone = addSite(1, loopback);
             addSite(1, loopback);
             siteRequest().deleteSiteWithId(gone);
             profile.preferences().setBool("LinkDictationToSite", true);
             const auto id = addDictation("Site supprimé");
             auto linked = record(id);
             linked.idSite = gone;
             DicteeRequest().updateDictee(linked);
             return id;
         },
         {siteGone}},
        {"déjà envoyée",
         [&] {
             addSite(1, loopback);
             const auto id = addDictation("Déjà partie");
             DicteeRequest().updateDicteeEnvoi(id);
             return id;
         },
         {},
         {"Cette dictée a déjà été envoyée !"},
         false,
         true},
        {"auteur manquant",
         [&] {
             addSite(1, loopback);
             const auto id = addDictation("Sans auteur");
             auto incomplete = record(id);
             incomplete.auteur.clear();
             DicteeRequest().updateDictee(incomplete);
             return id;
         },
         {"Sans auteur : " + missingParameters},
         {},
         true},
        {"pas de réseau",
         [&] {
             Reachability::install(std::make_shared<Reachability>([] { return NetworkStatus::None; }));
             addSite(1, "192.0.2.10");
             return addDictation("Hors réseau");
         },
         {"Aucun réseau disponible"}},
        {"mot de passe FTP absent",
         [&] {
             addSite(1, loopback, test::kFtpLogin, "");
             return addDictation("Sans accès");
         },
         {},
         {"L'accès au ftp n'a pas été configuré !"}},
        {"aucun enregistrement",
         [&] {
             addSite(1, loopback);
             const auto id = addDictation("Muette");
             std::filesystem::remove(profile.documents() / (std::to_string(id) + ".wav"));
             return id;
         },
         {"Aucun fichier à envoyer pour la dictée « Muette »."}},
        {"compression refusée",
         [&] {
             addSite(1, loopback);
             profile.preferences().setString("ExportFileFormat", "spx");
             const auto id = addDictation("Trop rapide");
             test::Wave tooFast{test::ramp(0, 9600)};
             tooFast.rate = 96000;
             test::writeBytes(profile.documents() / (std::to_string(id) + ".wav"), tooFast.bytes());
             return id;
         },
         {"Impossible de préparer les fichiers de la dictée « Trop rapide »."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto id = c.arrange();
        profile.ui().clear();
        const auto closes = events.count("EnvoiClose");
        if (c.direct) {
            uploader.sendDictee(record(id));
            RunLoop::main().runPending();
        } else {
            sendPass();
        }
        EXPECT_EQ(events.count("EnvoiClose"), closes + 1);
        EXPECT_FALSE(uploader.running());
        EXPECT_EQ(profile.ui().messages("banner"), c.banners);
        EXPECT_EQ(profile.ui().messages("alert"), c.alerts);
        EXPECT_EQ(record(id).brouillon, c.draft);
        EXPECT_EQ(record(id).envoi, c.direct ? 1 : 0);
        EXPECT_THAT(documentsContaining(record(id).masterJobId), IsEmpty());
        Reachability::install(nullptr);
        profile.preferences().removeObjectForKey("LinkDictationToSite");
        profile.preferences().removeObjectForKey("ExportFileFormat");
    }
}

} // namespace
} // namespace orvaneh
