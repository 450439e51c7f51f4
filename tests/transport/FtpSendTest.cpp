#include "Classes/transport/FTPSend.h"

#include "Classes/packaging/XMLForThirdParty.h"
#include "support/ProcessRunner.h"
#include "transport/OfficeFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Kind = test::OfficeSimulator::Kind;

class FtpSendTest : public test::SendTest {
protected:
    static void SetUpTestSuite() { server = std::make_unique<test::OfficeSimulator>(Kind::Ftp); }
    static void TearDownTestSuite() { server.reset(); }
    void SetUp() override {
        SendTest::SetUp();
        ASSERT_NE(server->port(), 0) << "le simulateur FTP n'a pas démarré";
    }
    static std::string uploaded(const std::string& name) {
        return test::readBytes(server->importDirectory() / name);
    }

    static inline std::unique_ptr<test::OfficeSimulator> server;
};

TEST_F(FtpSendTest, OneWakeUpSendsEveryPendingJobFileByFileDescriptorLast) {
    addSite(1, server->address());
    const auto first = addDictation("Lettre au notaire", 2, true, 2);
    const auto second = addDictation("Compte rendu", 1);
    const auto third = addDictation("Relance", 1);
    float lastProgress = 0, lastSize = -1;
    Observation bytes =
        NotificationCenter::defaultCenter().addObserver("UploadByte", [&](const PostedNotification& n) {
            lastProgress = n.userInfo["byteUploaded"].get<float>();
            lastSize = n.userInfo["fileSize"].get<float>();
        });

    sendPass();

    std::vector<std::string> expected;
    for (auto id : {first, second, third}) {
        const std::string job = record(id).masterJobId;
        EXPECT_EQ(record(id).envoi, 1) << id;
        EXPECT_EQ(uploaded(job + ".wav"), recording(id));
        EXPECT_THAT(uploaded(job + ".XML"), ::testing::HasSubstr("<" + std::string(XMLForThirdParty::kTag)));
        EXPECT_THAT(documentsContaining(job), IsEmpty()) << "fichiers temporaires restés";
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
    EXPECT_EQ(lastProgress, lastSize);

    // Each attempt closed once and chained the next; the last run found nothing.
    EXPECT_EQ(count("EnvoiClose"), 3u);
    EXPECT_EQ(uploader.runCount(), 4);
    // The job is prepared on the sender's thread: it announces its first file from there.
    const auto seen = events();
    int firstFiles = 0;
    for (std::size_t i = 1; i < seen.size(); ++i) {
        if (seen[i].name == "EnvoiProgress" && seen[i - 1].name == "EnvoiOpen") {
            ++firstFiles;
            EXPECT_NE(seen[i].thread, RunLoop::main().threadId());
        }
    }
    EXPECT_EQ(firstFiles, 3);
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

// After a send to a site with an address, a site without one: the dictation goes nowhere.
TEST_F(FtpSendTest, ASiteWithoutAnAddressNeverSendsToTheServerOfAnother) {
    addSite(1, server->address());
    const auto first = addDictation("Première");
    sendPass();
    ASSERT_EQ(record(first).envoi, 1);
    const auto stored = server->storedInOrder().size();

    for (const std::int32_t type : {1, 2}) {
        SCOPED_TRACE(type);
        addSite(type, "  ");
        const auto id = addDictation("Sans adresse");
        profile.ui().clear();
        sendPass();
        EXPECT_EQ(record(id).envoi, 0);
        auto shown = profile.ui().messages("alert");
        for (const auto& banner : profile.ui().messages("banner")) {
            shown.push_back(banner);
        }
        EXPECT_THAT(shown, ::testing::Contains(::testing::HasSubstr("n'a pas d'adresse de serveur")));
        EXPECT_EQ(server->storedInOrder().size(), stored);
        DicteeRequest().deleteDicteeWithId(id);
    }
}

TEST_F(FtpSendTest, AnFtpsSiteSendsTheWholeJobEncryptedAndNothingToAServerWithoutTls) {
    test::OfficeSimulator secure(Kind::Ftp, {"--tls-required"});
    addSite(1, secure.address(), test::kPassword, true, FtpSecurity::TlsRequired);
    const auto id = addDictation("Dictée chiffrée", 2, true, 1);

    sendPass();

    ASSERT_EQ(record(id).envoi, 1);
    const std::string job = record(id).masterJobId;
    EXPECT_EQ(test::readBytes(secure.importDirectory() / (job + ".wav")), recording(id));
    const auto stored = secure.journal(" STOR ");
    EXPECT_EQ(stored.size(), 4u); // audio, instruction, picture, descriptor
    EXPECT_THAT(stored, ::testing::Each(::testing::HasSubstr("completed=1")));
    EXPECT_THAT(stored, ::testing::Each(::testing::HasSubstr("control=TLS data=TLS")));

    // The same site's choice against the plain server: told why, kept for later, nothing sent.
    addSite(1, server->address(), test::kPassword, true, FtpSecurity::TlsRequired);
    const auto held = addDictation("Dictée retenue");
    const auto before = server->storedInOrder().size();
    profile.ui().clear();
    sendPass();
    EXPECT_EQ(record(held).envoi, 0);
    EXPECT_THAT(
        profile.ui().messages("alert"),
        ElementsAre("Problème lors de l'envoi. Le serveur FTP n'accepte pas le chiffrement (FTPS) exigé "
                    "pour ce site : rien ne lui a été envoyé en clair."));
    EXPECT_EQ(server->storedInOrder().size(), before);
    EXPECT_THAT(documentsContaining(record(held).masterJobId), IsEmpty());
}

// The office's server takes FTPS only and refuses the login in clear with 550: the user is told
// what to choose, not that a file is missing; the dictation waits for the site to change.
TEST_F(FtpSendTest, APlainSiteOnAServerRequiringTlsIsToldToChooseFtps) {
    test::OfficeSimulator secure(Kind::Ftp, {"--tls-required"});
    const auto site = addSite(1, secure.address(), test::kPassword, true, FtpSecurity::Plain);
    const auto id = addDictation("Dictée en clair");
    profile.ui().clear();
    sendPass();
    EXPECT_EQ(record(id).envoi, 0);
    EXPECT_THAT(
        profile.ui().messages("alert"),
        ElementsAre("Problème lors de l'envoi. Le serveur FTP n'accepte que les connexions chiffrées : "
                    "il a refusé l'identification en clair (err. 550). Choisissez le chiffrement FTPS "
                    "« obligatoire » pour ce site (en ligne de commande : « orvaneh-cli site edit "
                    "NUMÉRO --ftps required »)."));
    EXPECT_THAT(secure.journal(" STOR "), IsEmpty());

    // The remedy it gives is the right one: the next attempt goes through.
    SiteModel changed = siteRequest().selectSiteWithId(site);
    changed.ftps = FtpSecurity::TlsRequired;
    siteRequest().updateSite(changed);
    profile.clock().advance(Seconds(121));
    sendPass();
    EXPECT_EQ(record(id).envoi, 1);
    EXPECT_THAT(secure.journal(" STOR "), ::testing::Each(::testing::HasSubstr("control=TLS data=TLS")));
}

TEST(FtpSendUrlTest, ServerUrlIsTheImportDirectoryWithOrWithoutScheme) {
    for (const char* address : {"ftp.cabinet.fr", "ftp://ftp.cabinet.fr/", " ftp.cabinet.fr "}) {
        EXPECT_EQ(FTPSend::serverURLForAddress(address), "ftp://ftp.cabinet.fr/import") << address;
    }
    EXPECT_EQ(FTPSend::serverURLForAddress("ftp://h:2121/depot"), "ftp://h:2121/depot/import");
}

TEST_F(FtpSendTest, FailedUploadStaysPendingAndIsRetriedOnlyAfterTwoMinutes) {
    profile.preferences().setInteger("NetworkStallTimeout", 2);
    struct Case {
        std::string name;
        std::vector<std::string> faults; // a server of its own, stopped at once when "closed"
        std::string password;
        double seconds;
        std::string alert;
    };
    // The text of the failure, then its cause.
    const std::string problem = "Problème lors de l'envoi. ";
    for (const Case& c : std::vector<Case>{
             {"cut",
              {"--cut-after", "20000"},
              test::kPassword,
              2,
              problem + "La connexion avec le serveur a été interrompue."},
             {"stall",
              {"--stall-after", "65536"},
              test::kPassword,
              400,
              problem + "Le serveur ne répond plus : délai d'attente dépassé."},
             {"530", {}, "faux", 2, problem + "Les identifiants sont refusés par le serveur (err. 530)."},
             {"closed",
              {},
              test::kPassword,
              2,
              "Impossible d'ouvrir une connexion vers le FTP : Impossible de se connecter au serveur."}}) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<test::OfficeSimulator> own;
        if (!c.faults.empty() || c.name == "closed") {
            own = std::make_unique<test::OfficeSimulator>(Kind::Ftp, c.faults);
        }
        addSite(1, own ? own->address() : server->address(), c.password);
        if (c.name == "closed") {
            own.reset();
        }
        const auto id = addDictation("Essai " + c.name, c.seconds);
        profile.ui().clear();
        const auto closes = count("EnvoiClose");

        sendPass();

        EXPECT_EQ(record(id).envoi, 0);
        EXPECT_EQ(record(id).tsTransfert, static_cast<std::int64_t>(Tools::unixTsInSeconds()));
        EXPECT_EQ(count("EnvoiClose"), closes + 1);
        EXPECT_THAT(profile.ui().messages("alert"), ElementsAre(c.alert));
        EXPECT_THAT(documentsContaining(record(id).masterJobId), IsEmpty());

        const auto opens = count("EnvoiOpen");
        profile.clock().advance(Seconds(119));
        sendPass();
        EXPECT_EQ(count("EnvoiOpen"), opens) << "réessayée avant deux minutes";

        addSite(1, server->address());
        profile.clock().advance(Seconds(2));
        sendPass();
        EXPECT_EQ(record(id).envoi, 1);
        EXPECT_EQ(uploaded(record(id).masterJobId + ".wav"), recording(id));
    }
}

} // namespace
} // namespace orvaneh
