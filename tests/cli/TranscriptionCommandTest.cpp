// `transcription check` and `send` to the transcription service as real processes on a real
// profile, against the simulator of tools/.
#include "Platform/json/Json.h"
#include "soap/TranscriptionSimulator.h"
#include "support/CliProcess.h"

#include <chrono>
#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class TranscriptionCommandTest : public test::SendTest {
protected:
    test::ProcessResult cli(std::vector<std::string> arguments, const std::string& input = {}) const {
        return test::runCli(profile.home(), std::move(arguments), input);
    }
    test::ProcessResult check(bool json = false) const {
        auto result = json ? cli({"transcription", "check", "--json"}) : cli({"transcription", "check"});
        // Whatever happened, the account's secret stays out of what is shown and logged.
        EXPECT_THAT(result.out + result.err, Not(HasSubstr(test::kPassword)));
        EXPECT_THAT(log(), Not(HasSubstr(test::kPassword)));
        return result;
    }
    std::string log() const { return test::readBytes(profile.home() / "config" / "orvaneh.log"); }
};

TEST_F(TranscriptionCommandTest, CheckShowsWhatTheServiceOffersOrWhyItCannot) {
    // No site of the service: how to add one.
    auto none = check();
    EXPECT_EQ(none.status, 1);
    EXPECT_THAT(none.err, HasSubstr("aucun site du service de transcription (type 6)"));
    EXPECT_THAT(none.err, HasSubstr("« orvaneh-cli site add --name NOM --type 6 --address HÔTE:PORT --login "
                                    "UTILISATEUR --password-stdin »"));

    test::TranscriptionSimulator service;
    ASSERT_NE(service.port(), 0) << "le simulateur du service de transcription n'a pas démarré";
    ASSERT_EQ(cli({"site", "add", "--name", "Transcription", "--type", "6", "--address", service.address(),
                   "--login", test::kLogin, "--password-stdin"},
                  test::kPassword + "\n")
                  .status,
              0);

    auto ok = check();
    ASSERT_EQ(ok.status, 0) << ok.err;
    EXPECT_THAT(ok.out, HasSubstr("https://" + service.address() +
                                  "/DataTransfertService.asmx\n"
                                  "Le service répond.\n"
                                  "Authentification réussie"));
    EXPECT_THAT(ok.out, HasSubstr("Modèles de document :\n  Courrier (fichier courrier.dotx, type Lettre)\n"
                                  "  Compte rendu opératoire (fichier compte-rendu-operatoire.dotx"));
    EXPECT_THAT(ok.out, Not(HasSubstr("Archivés"))) << "a category is not a model";
    EXPECT_THAT(service.callsTo("GetPossibleDatesOfReturn"), testing::SizeIs(1));

    auto json = check(true);
    ASSERT_EQ(json.status, 0) << json.err;
    const Json report = Json::parse(json.out);
    EXPECT_EQ(report["repond"], true);
    EXPECT_EQ(report["authentifie"], true);
    ASSERT_EQ(report["modeles"].size(), 3u);
    EXPECT_EQ(report["modeles"][2]["fichier"], "ordonnance.dotx");
    EXPECT_EQ(report["modeleChoisi"], "Courrier");
    // A heading, then the dates under it; the first date is the one a dictation gets.
    ASSERT_EQ(report["dates"].size(), 4u);
    EXPECT_EQ(report["dates"][0]["enTete"], true);
    EXPECT_EQ(report["dateChoisie"], report["dates"][1]["date"]);
    const std::string first = report["dates"][1]["date"].get<std::string>();
    EXPECT_THAT(ok.out, HasSubstr("Dates de retour proposées :\n  " +
                                  report["dates"][0]["date"].get<std::string>() + " :\n    " + first + "\n"));
    EXPECT_THAT(ok.out, HasSubstr("Une dictée envoyée maintenant serait rendue le " + first +
                                  ", modèle « Courrier »."));

    // The service's own reason for a refused account; nothing after the log-in is asked.
    ASSERT_EQ(cli({"site", "edit", "1", "--password-stdin"}, "faux\n").status, 0);
    auto refused = check();
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.out, HasSubstr("Le service répond."));
    EXPECT_THAT(refused.out, Not(HasSubstr("Authentification réussie")));
    EXPECT_THAT(refused.err, HasSubstr("Erreur : Identifiant ou mot de passe incorrect."));
    auto refusedJson = check(true);
    EXPECT_EQ(refusedJson.status, 1);
    EXPECT_EQ(Json::parse(refusedJson.out)["erreur"], "Identifiant ou mot de passe incorrect.");
    EXPECT_THAT(service.callsTo("GetModelList"), testing::SizeIs(2));

    // Nothing listens: the transport's reason, at once.
    ASSERT_EQ(cli({"site", "edit", "1", "--address", "127.0.0.1:1"}).status, 0);
    const auto before = std::chrono::steady_clock::now();
    auto unreachable = check();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
    EXPECT_EQ(unreachable.status, 1);
    EXPECT_THAT(unreachable.err,
                HasSubstr("Erreur : Échec de la communication avec le service de transcription : "));
    EXPECT_THAT(unreachable.out, Not(HasSubstr("Le service répond.")));

    // A service failing later on: where it stopped, and why.
    struct Case {
        std::string option;
        std::string lastShown;
        std::string reason;
    };
    const Case cases[] = {
        {"--fault-operation=GetPossibleDatesOfReturn",
         "  Ordonnance (fichier ordonnance.dotx, type Prescription)\n",
         "Erreur : Erreur simulée du service.\n"},
        {"--html-error", "DataTransfertService.asmx\n",
         "Erreur : Erreur interne du service de transcription (erreur 500)."},
    };
    ASSERT_EQ(cli({"site", "edit", "1", "--password-stdin"}, test::kPassword + "\n").status, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        test::TranscriptionSimulator failing({c.option});
        ASSERT_EQ(cli({"site", "edit", "1", "--address", failing.address()}).status, 0);
        auto failed = check();
        EXPECT_EQ(failed.status, 1);
        EXPECT_TRUE(failed.out.ends_with(c.lastShown)) << failed.out;
        EXPECT_THAT(failed.err, HasSubstr(c.reason));
    }
}

// The typist "Velmora" sends a dictation to the service even though the default site is an FTP
// server; it arrives byte for byte. A file the service does not confirm stays in the outbox.
TEST_F(TranscriptionCommandTest, SendDeliversToTheServiceAndKeepsWhatItRefuses) {
    test::TranscriptionSimulator service;
    test::TranscriptionSimulator refusing({"--wrong-hash"});
    ASSERT_NE(service.port(), 0);
    ASSERT_NE(refusing.port(), 0);
    addSite(1, "127.0.0.1:1");
    ASSERT_TRUE(Entity::importCatalogue(
        "<Catalogue><LoginUserInfos>"
        "<LoginUserInfo><Role>Dictant</Role><LoginName>jdupont</LoginName></LoginUserInfo>"
        "<LoginUserInfo><Role>Secretaire</Role><LoginName>Velmora</LoginName></LoginUserInfo>"
        "</LoginUserInfos><Worktypes><Worktype><Nom>Courrier</Nom><Type>Lettre</Type></Worktype></Worktypes>"
        "</Catalogue>"));
    // Through the command, after the simulators wrote their authority in the same file.
    ASSERT_EQ(cli({"settings", "set", "SendToVelmora", "true"}).status, 0);
    const auto take = profile.home() / "prise.wav";
    test::writeBytes(take, test::Wave{test::ramp(0, 3 * 16000, 5)}.bytes());
    auto newDictation = [&](const std::string& title) {
        auto made = cli({"dictation", "new", "--audio", take.string(), "--author", "jdupont", "--worktype",
                         "Courrier", "--typist", "Velmora", "--title", title, "--send"});
        EXPECT_EQ(made.status, 0) << made.err;
        return std::stoll(made.out);
    };

    const auto letter = newDictation("Lettre");
    // Without the service's site the dictation waits, and the command says which site is missing.
    auto waiting = cli({"send"});
    EXPECT_EQ(waiting.status, 1);
    EXPECT_THAT(waiting.err,
                HasSubstr("Ajoutez le site du service de transcription avec « orvaneh-cli site add "
                          "--name NOM --type 6"));
    EXPECT_EQ(record(letter).envoi, 0);

    const auto transcription = addSite(6, service.address(), test::kPassword, false);
    auto sent = cli({"send", "--now"});
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_THAT(sent.out, HasSubstr("Envoyée : dictée " + std::to_string(letter) + " « Lettre »"));
    const std::string job = record(letter).masterJobId;
    EXPECT_EQ(test::readBytes(service.job(job + ".wav")), recording(letter));
    EXPECT_THAT(test::readBytes(service.job(job + ".xml")), HasSubstr("<ExportJobType"));
    EXPECT_EQ(record(letter).envoi, 1);
    EXPECT_THAT(sent.err, Not(HasSubstr("Ajoutez le site")));

    SiteModel moved = siteRequest().selectSiteWithId(transcription);
    moved.address = refusing.address();
    siteRequest().updateSite(moved);
    const auto second = newDictation("Refusée");
    auto kept = cli({"send"});
    EXPECT_EQ(kept.status, 1);
    EXPECT_THAT(kept.err, HasSubstr("Le service de transcription n'a pas accepté le fichier de la dictée"));
    EXPECT_THAT(kept.out, HasSubstr("Non envoyée : dictée " + std::to_string(second) +
                                    " « Refusée » : reste en "
                                    "attente"));
    EXPECT_EQ(record(second).envoi, 0);
    EXPECT_EQ(DicteeRequest().getListDictee(DicteeRequest::kOutbox).size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(refusing.job(record(second).masterJobId + ".wav")));
    EXPECT_THAT(log(), Not(HasSubstr(test::kPassword)));
}

} // namespace
} // namespace orvaneh
