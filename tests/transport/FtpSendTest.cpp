#include "Classes/transport/FTPSend.h"

#include "Classes/core/Tools.h"
#include "Classes/packaging/XMLForThirdParty.h"
#include "Platform/runloop/RunLoop.h"
#include "audio/WaveTestFiles.h"
#include "support/ProcessRunner.h"
#include "transport/SendFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FtpSendTest : public test::SendTest {
protected:
    static void SetUpTestSuite() { server = std::make_unique<test::OfficeFtpServer>(); }
    static void TearDownTestSuite() { server.reset(); }
    void SetUp() override {
        SendTest::SetUp();
        ASSERT_NE(server->port(), 0) << "le simulateur FTP n'a pas démarré";
    }

    static std::string uploaded(const std::string& name) {
        return test::readBytes(server->importDirectory() / name);
    }

    static inline std::unique_ptr<test::OfficeFtpServer> server;
};

TEST_F(FtpSendTest, OneWakeUpSendsEveryPendingJobFileByFileDescriptorLast) {
    addSite(1, server->address());
    const auto first = addDictation("Lettre au notaire", 2, true, 2);
    const auto second = addDictation("Compte rendu", 1);
    const auto third = addDictation("Relance", 1);
    std::vector<std::pair<float, float>> progress;
    Observation bytes =
        NotificationCenter::defaultCenter().addObserver("UploadByte", [&](const PostedNotification& n) {
            progress.emplace_back(n.userInfo["byteUploaded"].get<float>(),
                                  n.userInfo["fileSize"].get<float>());
        });

    sendPass();

    std::vector<std::string> expected;
    for (auto id : {first, second, third}) {
        const auto sent = record(id);
        EXPECT_EQ(sent.envoi, 1) << id;
        const std::string job = sent.masterJobId;
        EXPECT_EQ(uploaded(job + ".wav"),
                  test::readBytes(profile.documents() / (std::to_string(id) + ".wav")));
        EXPECT_THAT(uploaded(job + ".XML"), ::testing::HasSubstr("<" + std::string(XMLForThirdParty::kTag)));
        EXPECT_THAT(documentsContaining(job), IsEmpty()) << "fichiers temporaires restés";
        EXPECT_TRUE(fs::exists(profile.documents() / (std::to_string(id) + ".wav")));
        expected.push_back(job + ".wav");
        if (id == first) {
            for (auto suffix : {"-i.wav", "-pictures-1.jpg", "-pictures-2.jpg"}) {
                expected.push_back(job + suffix);
            }
        }
        expected.push_back(job + ".XML");
    }
    EXPECT_EQ(server->storedInOrder(), expected);
    EXPECT_EQ(uploaded(record(first).masterJobId + "-i.wav"),
              test::readBytes(profile.documents() / ("I" + std::to_string(first) + ".wav")));

    // Each attempt closed once and chained the next; the last run found nothing.
    EXPECT_EQ(events.count("EnvoiClose"), 3u);
    EXPECT_EQ(events.count("EnvoiProgress"), 9u);
    EXPECT_EQ(uploader.runCount(), 4);
    EXPECT_EQ(Uploader::uploadedDicteeId(), 0);
    // The job is prepared on the sender's thread: it announces its first file from there.
    const auto seen = events.events();
    int firstFiles = 0;
    for (std::size_t i = 1; i < seen.size(); ++i) {
        if (seen[i].name == "EnvoiProgress" && seen[i - 1].name == "EnvoiOpen") {
            ++firstFiles;
            EXPECT_NE(seen[i].thread, RunLoop::main().threadId());
        }
    }
    EXPECT_EQ(firstFiles, 3);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().first, progress.back().second);
}

TEST_F(FtpSendTest, SpeexExportSendsAudioThatDecodes) {
    profile.preferences().setString("ExportFileFormat", "spx");
    addSite(1, "ftp://" + server->address() + "/");
    const auto id = addDictation("Dictée compressée", 2, true);

    sendPass();

    const std::string job = record(id).masterJobId;
    ASSERT_EQ(record(id).envoi, 1);
    EXPECT_THAT(server->storedInOrder(),
                ::testing::IsSupersetOf({job + ".spx", job + "-i.spx", job + ".XML"}));
    test::TemporaryDirectory decoded;
    auto result =
        test::ProcessRunner::run({"/usr/bin/speexdec", (server->importDirectory() / (job + ".spx")).string(),
                                  (decoded.path() / "d.wav").string()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_GT(fs::file_size(decoded.path() / "d.wav"), 60000u);
}

TEST(FtpSendUrlTest, ServerUrlIsTheImportDirectoryWithOrWithoutScheme) {
    for (const char* address :
         {"ftp.cabinet.fr", "ftp://ftp.cabinet.fr", "ftp://ftp.cabinet.fr/", " ftp.cabinet.fr "}) {
        EXPECT_EQ(FTPSend::serverURLForAddress(address), "ftp://ftp.cabinet.fr/import") << address;
    }
    EXPECT_EQ(FTPSend::serverURLForAddress("ftp://h:2121/depot"), "ftp://h:2121/depot/import");
}

// A failed upload leaves the dictation pending; the queue tries it again only after two minutes.
TEST_F(FtpSendTest, FailedUploadStaysPendingAndIsRetriedAfterTwoMinutes) {
    struct Case {
        const char* name;
        std::vector<std::string> faults; // a faulty server of its own
        std::string password;            // on the good server
        double seconds;
        std::string alert;
    };
    const std::vector<Case> cases{
        {"cut", {"--cut-after", "20000"}, "", 2, "Problème lors de l'envoi."},
        {"stall",
         {"--stall-after", "65536"},
         "",
         400,
         "Le serveur ne répond plus : délai d'attente dépassé."},
        {"530", {}, "faux", 2, "Problème lors de l'envoi."},
        {"closed", {}, "", 2, "Impossible d'ouvrir une connexion vers le FTP"},
    };
    profile.preferences().setInteger("NetworkStallTimeout", 2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<test::OfficeFtpServer> faulty;
        std::string address = server->address();
        if (!c.faults.empty()) {
            faulty = std::make_unique<test::OfficeFtpServer>(c.faults);
            address = faulty->address();
        } else if (std::string(c.name) == "closed") {
            test::OfficeFtpServer stopped;
            address = stopped.address();
        }
        const auto site =
            addSite(1, address, test::kFtpLogin, c.password.empty() ? test::kFtpPassword : c.password);
        const auto id = addDictation(std::string("Essai ") + c.name, c.seconds);
        profile.ui().clear();
        const auto closes = events.count("EnvoiClose");

        sendPass();

        const auto attempted = static_cast<std::int64_t>(Tools::unixTsInSeconds());
        EXPECT_EQ(record(id).envoi, 0);
        EXPECT_EQ(record(id).tsTransfert, attempted);
        EXPECT_EQ(events.count("EnvoiClose"), closes + 1);
        EXPECT_THAT(profile.ui().messages("alert"), ElementsAre(c.alert));
        EXPECT_THAT(documentsContaining(record(id).masterJobId), IsEmpty());

        const auto opens = events.count("EnvoiOpen");
        profile.clock().advance(Seconds(119));
        sendPass();
        EXPECT_EQ(events.count("EnvoiOpen"), opens) << "réessayée avant deux minutes";

        changeSite(site, server->address(), test::kFtpPassword);
        profile.clock().advance(Seconds(2));
        sendPass();
        EXPECT_EQ(record(id).envoi, 1);
        EXPECT_EQ(uploaded(record(id).masterJobId + ".wav"),
                  test::readBytes(profile.documents() / (std::to_string(id) + ".wav")));
    }
}

} // namespace
} // namespace orvaneh
