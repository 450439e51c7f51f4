#include "Classes/core/DicteeRequest.h"
#include "Platform/crypto/Base64.h"
#include "audio/WaveTestFiles.h"
#include "transport/SendFixture.h"
#include "transport/WSFixture.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Sends go through the real sender, to a web-service site served by the office simulator.
class WSPostTest : public test::SendTest {
protected:
    std::unique_ptr<test::OfficeWebService> server;

    void serve(const std::vector<std::string>& options = {}, std::int32_t type = 2) {
        server = std::make_unique<test::OfficeWebService>(profile, options);
        ASSERT_NE(server->port(), 0) << "le simulateur des Web Services n'a pas démarré";
        addSite(type, server->address(), test::kWSLogin, test::kWSPassword);
    }
    std::string path(const std::string& name) const { return (profile.documents() / name).string(); }
    static Json request(const fs::path& job) { return Json::parse(test::readBytes(job / "request.json")); }
    static std::vector<std::string> partNames(const Json& request) {
        std::vector<std::string> names;
        for (const auto& part : request["parts"]) {
            names.push_back(part["name"]);
        }
        return names;
    }
};

TEST_F(WSPostTest, FiniMarksTheDictationSentAndRemovesTheJobFiles) {
    serve();
    const auto id = addDictation("Lettre", 1, true, 1);
    const std::string job = record(id).masterJobId;
    const std::string recording = test::readBytes(profile.documents() / (std::to_string(id) + ".wav"));

    sendPass();

    EXPECT_EQ(record(id).envoi, 1);
    EXPECT_THAT(documentsContaining(job), IsEmpty());
    EXPECT_EQ(events.count("EnvoiClose"), 1u);
    EXPECT_THAT(profile.ui().messages("banner"), IsEmpty());
    const auto jobs = server->jobs();
    ASSERT_EQ(jobs.size(), 1u);
    const Json sent = request(jobs[0]);
    EXPECT_EQ(sent["path"], "/Orvane.WebServices/Import/PostFile");
    EXPECT_EQ(sent["headers"]["Authorization"], "Basic " + Base64::encode("log@in:pa:ss"));
    // The job's own order: dictation, instruction, pictures, descriptor last.
    EXPECT_THAT(partNames(sent), ElementsAre(path(job + ".wav"), path(job + "-i.wav"),
                                             path(job + "-pictures-1.jpg"), path(job + ".XML")));
    EXPECT_EQ(sent["parts"][0]["headers"], "Content-Disposition: form-data; name=\"" + path(job + ".wav") +
                                               "\" ; filename=\"" + path(job + ".wav") + "\"");
    EXPECT_EQ(test::readBytes(jobs[0] / (job + ".wav")), recording);
}

// Every failure shows one text, ends the attempt once, and leaves the dictation pending with
// no job files behind.
TEST_F(WSPostTest, FailuresShowTheirTextAndLeaveTheDictationPending) {
    profile.preferences().setInteger("NetworkStallTimeout", 2);
    struct Case {
        std::vector<std::string> options;
        std::string banner;
    };
    const std::vector<Case> cases{
        {{"--fault", "401"}, "L'accès aux Web Services est refusé. Veuillez vérifier vos identifiants."},
        {{"--fault", "404"}, "Erreur 404"},
        {{"--fault", "503"}, "Erreur interne du serveur."},
        {{"--fault", "not-json"}, "Erreur interne du serveur"},
        {{"--fault", "erreur", "--reason", "Le dossier du patient est verrouillé"},
         "Le dossier du patient est verrouillé"},
        {{"--fault", "cut"}, "La connexion avec le serveur a été interrompue."},
        {{"--fault", "stall"}, "Le serveur ne répond plus : délai d'attente dépassé."},
    };
    std::size_t attempts = 0;
    for (const auto& [options, banner] : cases) {
        SCOPED_TRACE(options[1]);
        serve(options);
        const auto id = addDictation("Échec " + options[1]);
        profile.ui().clear();

        sendPass();

        EXPECT_THAT(profile.ui().messages("banner"), ElementsAre(banner));
        EXPECT_EQ(record(id).envoi, 0);
        EXPECT_THAT(documentsContaining(record(id).masterJobId), IsEmpty());
        EXPECT_THAT(server->jobs(), IsEmpty());
        EXPECT_EQ(events.count("EnvoiClose"), ++attempts);
    }
}

TEST_F(WSPostTest, ZipIsPostedAloneFromVersionAboveOne) {
    profile.preferences().setBool("CompresseFile", true);
    for (const float version : {1.0f, 1.1f}) {
        SCOPED_TRACE(version);
        profile.preferences().setFloat("versionWS", version);
        serve();
        const auto id = addDictation("Version");
        const std::string job = record(id).masterJobId;

        sendPass();

        ASSERT_EQ(record(id).envoi, 1);
        const auto jobs = server->jobs();
        ASSERT_EQ(jobs.size(), 1u);
        const Json sent = request(jobs[0]);
        if (version > 1.0f) {
            EXPECT_THAT(partNames(sent), ElementsAre(path(job + ".zip")));
            EXPECT_EQ(sent["unzipped"], Json::array({job + ".wav", job + ".XML"}));
            EXPECT_EQ(test::readBytes(jobs[0] / (job + ".wav")),
                      test::readBytes(profile.documents() / (std::to_string(id) + ".wav")));
        } else {
            EXPECT_THAT(partNames(sent), ElementsAre(path(job + ".wav"), path(job + ".XML")));
        }
        EXPECT_THAT(documentsContaining(job), IsEmpty());
    }
}

TEST_F(WSPostTest, PhpSitePostsToUploadPhp) {
    serve({}, 7);
    const auto id = addDictation("Site PHP");
    sendPass();
    EXPECT_EQ(record(id).envoi, 1);
    ASSERT_EQ(server->requests().size(), 1u);
    EXPECT_EQ(server->requests()[0]["path"], "/upload.php");
}

// Attempts that end before any request: the dictation stays in the outbox, with the reason.
TEST_F(WSPostTest, UnsendableJobsEndTheirAttemptWithTheirReason) {
    serve();
    const auto velmora = addDictation("Pour le service");
    auto typed = record(velmora);
    typed.secretaire = "Velmora";
    DicteeRequest().updateDictee(typed);
    profile.preferences().setBool("SendToVelmora", true);
    sendPass();
    EXPECT_THAT(
        profile.ui().messages("banner"),
        ElementsAre("L'envoi vers le service de transcription n'est pas encore disponible ; la dictée "
                    "reste dans la boîte d'envoi."));
    EXPECT_EQ(record(velmora).envoi, 0);

    // An archive that cannot be written: a directory holds its name.
    profile.preferences().setBool("CompresseFile", true);
    profile.preferences().setFloat("versionWS", 1.1f);
    const auto zipped = addDictation("Archive impossible");
    fs::create_directories(profile.documents() / (record(zipped).masterJobId + ".zip") / "occupé");
    profile.ui().clear();
    sendPass();
    ASSERT_EQ(profile.ui().messages("banner").size(), 1u);
    EXPECT_THAT(profile.ui().messages("banner")[0], ::testing::HasSubstr(".zip"));
    EXPECT_EQ(record(zipped).envoi, 0);

    EXPECT_THAT(server->requests(), IsEmpty());
    EXPECT_EQ(events.count("EnvoiClose"), 2u);
}

} // namespace
} // namespace orvaneh
