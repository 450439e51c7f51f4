#include "Classes/transport/WSCommunication.h"
#include "Platform/crypto/Base64.h"
#include "transport/OfficeFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Sends go through the real sender, to a web-service site served by the office simulator.
class WSPostTest : public test::SendTest {
protected:
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

// Every failure shows one text, ends the attempt once, and leaves the dictation pending with
// no job files behind.
TEST_F(WSPostTest, FailuresShowTheirTextAndLeaveTheDictationPending) {
    profile.preferences().setInteger("NetworkStallTimeout", 2);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--fault", "401"}, "L'accès aux Web Services est refusé. Veuillez vérifier vos identifiants."},
        {{"--fault", "404"},
         "Erreur 404 : le service web est introuvable à cette adresse ; vérifiez l'adresse du site."},
        {{"--fault", "503"},
         "Erreur interne du serveur. Le serveur est momentanément indisponible (maintenance ou surcharge) "
         "(err. 503)."},
        {{"--fault", "not-json"}, "Erreur interne du serveur"},
        {{"--fault", "erreur", "--reason", "Le dossier du patient est verrouillé"},
         "Le dossier du patient est verrouillé"},
        {{"--fault", "cut"}, "La connexion avec le serveur a été interrompue."},
        {{"--fault", "stall"}, "Le serveur ne répond plus : délai d'attente dépassé."},
    };
    std::size_t attempts = 0;
    for (const auto& [options, banner] : cases) {
        SCOPED_TRACE(options[1]);
        serveWebService(options);
        // A stall is a job that stops going up: more than the buffers on the way hold.
        const auto id = addDictation("Échec " + options[1], options[1] == "stall" ? 400 : 2);
        profile.ui().clear();

        sendPass();

        EXPECT_THAT(profile.ui().messages("banner"), ElementsAre(banner));
        EXPECT_EQ(record(id).envoi, 0);
        EXPECT_THAT(documentsContaining(record(id).masterJobId), IsEmpty());
        EXPECT_THAT(webService->jobs(), IsEmpty());
        EXPECT_EQ(count("EnvoiClose"), ++attempts);

        // Retried only after two minutes.
        profile.clock().advance(Seconds(119));
        sendPass();
        EXPECT_EQ(count("EnvoiClose"), attempts);
        DicteeRequest().deleteDicteeWithId(id);
    }
}

// "Fini" marks the dictation sent and removes the job files. The job goes in its own order
// (dictation, instruction, pictures, descriptor last), as one zip from version 1.1 on, to
// upload.php on a PHP site.
TEST_F(WSPostTest, SentJobsArePostedAsTheSiteAndTheVersionAsk) {
    profile.preferences().setBool("CompresseFile", true);
    std::size_t attempts = 0;
    for (const auto& [type, version] : {std::pair{2, 1.0f}, {2, 1.1f}, {7, 1.0f}}) {
        SCOPED_TRACE(testing::Message() << type << " " << version);
        profile.preferences().setFloat("versionWS", version);
        serveWebService({}, type);
        const auto id = addDictation("Lettre", 1, true, 1);
        const std::string job = record(id).masterJobId;

        sendPass();

        ASSERT_EQ(record(id).envoi, 1);
        EXPECT_THAT(documentsContaining(job), IsEmpty());
        EXPECT_EQ(count("EnvoiClose"), ++attempts);
        EXPECT_THAT(profile.ui().messages("banner"), IsEmpty());
        ASSERT_EQ(webService->requests().size(), 1u);
        if (type == 7) {
            EXPECT_EQ(webService->requests()[0]["path"], "/upload.php");
            continue;
        }
        const auto jobs = webService->jobs();
        ASSERT_EQ(jobs.size(), 1u);
        const Json sent = request(jobs[0]);
        EXPECT_EQ(sent["path"], "/Orvane.WebServices/Import/PostFile");
        EXPECT_EQ(sent["headers"]["Authorization"],
                  "Basic " + Base64::encode(test::kLogin + ":" + test::kPassword));
        const std::vector<std::string> files{job + ".wav", job + "-i.wav", job + "-pictures-1.jpg",
                                             job + ".XML"};
        if (version > 1.0f) {
            EXPECT_THAT(partNames(sent), ElementsAre(path(job + ".zip")));
            EXPECT_EQ(sent["unzipped"], Json(files));
        } else {
            std::vector<std::string> paths;
            for (const auto& file : files) {
                paths.push_back(path(file));
            }
            EXPECT_EQ(partNames(sent), paths);
        }
        EXPECT_EQ(test::readBytes(jobs[0] / (job + ".wav")), recording(id));
    }
}

// Attempts that end before any request: the dictation stays in the outbox, with the reason.
TEST_F(WSPostTest, UnsendableJobsEndTheirAttemptWithTheirReason) {
    serveWebService();
    auto typed = record(addDictation("Pour le service"));
    typed.secretaire = "Velmora";
    DicteeRequest().updateDictee(typed);
    profile.preferences().setBool("SendToVelmora", true);
    sendPass();
    // For the transcription service, without a site of that kind.
    EXPECT_THAT(profile.ui().messages("banner"), ElementsAre("Il n'y a pas de site Velmora de défini."));
    EXPECT_THAT(documentsContaining(typed.masterJobId), IsEmpty());
    EXPECT_EQ(record(typed.idDictee).envoi, 0);

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

    EXPECT_THAT(webService->requests(), IsEmpty());
    EXPECT_EQ(count("EnvoiClose"), 2u);
}

TEST(WSCommunicationTest, GetJSONstringUnwrapsTheServersStringLiteral) {
    const std::pair<std::string, std::string> cases[] = {
        {R"("{\"methodeStr\":\"PostFile\",\"resultStr\":\"Fini\"}")",
         R"({"methodeStr":"PostFile","resultStr":"Fini"})"},
        // A value ending in a backslash: an escaped pair, then the escaped quote.
        {R"("{\"r\":\"C:\\\\dossier\\\\\"}")", R"({"r":"C:\\dossier\\"})"},
        {R"("x/\y")", "x/y"},
        {R"("{\"r\":\"é\"}é)", R"({"r":"é"})"}, // characters are dropped, not bytes
        {"x", ""},
        {"", ""},
        // Not UTF-8: read as Latin-1 and left alone, quotes included.
        {"\"caf\xe9 \\\"\"", "\"café \\\"\""},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(WSCommunication::getJSONstring(bytes), text) << bytes;
    }
}

TEST(WSCommunicationTest, AttachmentsAreTheMultipartBodyByteForByte) {
    test::TestProfile profile;
    const std::string audio = profile.writeDocument("JOB.wav", std::string("RIFF\0\x01\xff\r\n", 9)).string();
    const std::string xml = profile.writeDocument("JOB.XML", "<x/>").string();

    auto body = WSCommunication::addAttachments({{audio, audio}, {"version", "1.1"}, {xml, xml}});

    ASSERT_TRUE(body);
    const std::string expected = "----FrontiereBoundary\r\n"
                                 "Content-Disposition: form-data; name=\"" +
                                 audio + "\" ; filename=\"" + audio + "\"\r\n\r\n" +
                                 std::string("RIFF\0\x01\xff\r\n", 9) +
                                 "\r\n"
                                 "----FrontiereBoundary\r\n"
                                 "Content-Disposition: form-data; name=\"version\"\r\n\r\n1.1\r\n"
                                 "----FrontiereBoundary\r\n"
                                 "Content-Disposition: form-data; name=\"" +
                                 xml + "\" ; filename=\"" + xml +
                                 "\"\r\n\r\n<x/>\r\n"
                                 "----FrontiereBoundary--\r\n";
    EXPECT_EQ(*body, expected);

    const std::string missing = (profile.documents() / "absent.wav").string();
    EXPECT_FALSE(WSCommunication::addAttachments({{audio, audio}, {missing, missing}}));
}

TEST(WSCommunicationTest, StallLimitComesFromThePreferences) {
    test::TestProfile profile;
    profile.preferences().setInteger("NetworkStallTimeout", 2);
    EXPECT_EQ(WSCommunication::create()->buildHttpRequestWithAuthenticate("a", "b", "GET").stallLimit,
              Seconds(2));
}

} // namespace
} // namespace orvaneh
