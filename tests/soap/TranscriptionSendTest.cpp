// Dictations for the transcription service, sent by the real sender to the simulator.
#include "soap/TranscriptionSimulator.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class TranscriptionSendTest : public test::SendTest {
protected:
    std::unique_ptr<test::TranscriptionSimulator> service;

    // The service, its site, and the setting that routes the typist "Velmora" to it.
    void serveTranscription(const std::vector<std::string>& options = {},
                            const std::string& password = test::kPassword) {
        service = std::make_unique<test::TranscriptionSimulator>(options);
        // The sender takes the first site of the service: the previous one goes.
        for (auto site = siteRequest().selectSiteVelmoraIfExist(); site.idSite > 0;
             site = siteRequest().selectSiteVelmoraIfExist()) {
            siteRequest().deleteSiteWithId(site.idSite);
        }
        ASSERT_NE(service->port(), 0) << "le simulateur du service de transcription n'a pas démarré";
        addSite(6, service->address(), password, false);
        profile.preferences().setBool("SendToVelmora", true);
    }
    std::int64_t addTranscription(const std::string& title, double seconds) {
        const auto id = addDictation(title, seconds, true, 1);
        auto dictee = record(id);
        dictee.secretaire = "Velmora";
        dictee.worktype = "Courrier";
        DicteeRequest().updateDictee(dictee);
        return id;
    }
    // The chunk number of each chunk call, in order.
    std::vector<int> chunkNumbers() const {
        std::vector<int> numbers;
        for (const auto& line : service->callsTo("FileUploadSendChunk")) {
            numbers.push_back(std::stoi(line.substr(line.find("ChunkID=") + 8)));
        }
        return numbers;
    }
};

// A long dictation goes up in numbered chunks with the job XML and arrives byte for byte; only
// then is it marked sent, and the job's files are gone.
TEST_F(TranscriptionSendTest, ALongDictationArrivesWholeAndIsMarkedSentAfterTheServiceConfirms) {
    serveTranscription();
    const auto id = addTranscription("Compte rendu opératoire & suites", 600);
    const std::string job = record(id).masterJobId;
    const std::string wav = recording(id);
    const auto chunks = static_cast<int>((wav.size() + 65536) / 65537);

    sendPass();

    ASSERT_EQ(record(id).envoi, 1) << testing::PrintToString(profile.ui().messages("banner"));
    EXPECT_THAT(profile.ui().messages("banner"), IsEmpty());
    EXPECT_EQ(test::readBytes(service->job(job + ".wav")), wav);
    EXPECT_THAT(documentsContaining(job), IsEmpty());
    EXPECT_EQ(count("EnvoiClose"), 1u);
    EXPECT_EQ(count("EnvoiProgress"), static_cast<std::size_t>(chunks));

    std::vector<std::string> order;
    for (const auto& line : service->calls()) {
        std::string operation = line.substr(0, line.find(' '));
        if (order.empty() || order.back() != operation) {
            order.push_back(operation);
        }
    }
    // The two lookups may answer in either order.
    ASSERT_EQ(order.size(), 6u);
    EXPECT_EQ(order[0], "Authenticate");
    EXPECT_THAT((std::vector<std::string>{order[1], order[2]}),
                ::testing::UnorderedElementsAre("GetModelList", "GetPossibleDatesOfReturn"));
    EXPECT_THAT((std::vector<std::string>{order[3], order[4], order[5]}),
                ElementsAre("FileUploadLumetraInit", "FileUploadSendChunk", "FileUploadLumetraFinished"));
    std::vector<int> expected;
    for (int n = 0; n < chunks; ++n) {
        expected.push_back(n);
    }
    // Delivered means the service found the digest of what it reassembled equal to ours.
    EXPECT_EQ(chunkNumbers(), expected);

    // The job XML names the first date offered and the model of the dictation's worktype.
    const std::string xml = test::readBytes(service->job(job + ".xml"));
    EXPECT_THAT(xml, HasSubstr("<ExportJobType "));
    EXPECT_THAT(xml, HasSubstr("<MasterJobId>" + job + "</MasterJobId>"));
    EXPECT_THAT(xml, HasSubstr("<RecipientName>Velmora</RecipientName>"));
    EXPECT_THAT(xml,
                ::testing::ContainsRegex("<ExtIdentifier7>[0-9/]+ [0-9:]+\\|O24\\|[^|<]+</ExtIdentifier7>"));
    EXPECT_THAT(xml, ::testing::ContainsRegex(
                         "<ExtIdentifier8>[^|<]+\\|[^|<]+\\|Courrier\\|[^|<]*</ExtIdentifier8>"));
}

// A refused chunk is sent again, up to three more times; the last chunk is no exception.
TEST_F(TranscriptionSendTest, RefusedChunksAreSentAgainThreeTimesAtMost) {
    struct Case {
        std::string refuse;
        bool sent;
        std::vector<int> chunks;
    };
    // 200,000 bytes of samples and a header: four chunks, 0 to 3.
    for (const Case& c : {Case{"0:2", true, {0, 0, 0, 1, 2, 3}}, Case{"3:1", true, {0, 1, 2, 3, 3}},
                          Case{"1:4", false, {0, 1, 1, 1, 1}}}) {
        SCOPED_TRACE(c.refuse);
        serveTranscription({"--refuse-chunk", c.refuse});
        const auto id = addTranscription("Refus " + c.refuse, 6.25);
        profile.ui().clear();

        sendPass();

        EXPECT_EQ(chunkNumbers(), c.chunks);
        EXPECT_EQ(record(id).envoi, c.sent ? 1 : 0);
        EXPECT_EQ(std::filesystem::exists(service->job(record(id).masterJobId + ".wav")), c.sent);
        if (c.sent) {
            EXPECT_THAT(profile.ui().messages("banner"), IsEmpty());
        } else {
            // Refused four times: the service is not asked to finish a partial file.
            EXPECT_THAT(service->callsTo("FileUploadLumetraFinished"), IsEmpty());
            EXPECT_THAT(profile.ui().messages("banner"),
                        ElementsAre("Le service de transcription n'a pas accepté le fichier de la dictée ; "
                                    "l'envoi sera réessayé."));
            EXPECT_THAT(documentsContaining(record(id).masterJobId), IsEmpty());
        }
        DicteeRequest().deleteDicteeWithId(id);
    }
}

// Every failure shows its French text once and leaves the dictation pending.
TEST_F(TranscriptionSendTest, FailuresShowTheirTextAndLeaveTheDictationPending) {
    struct Case {
        std::vector<std::string> options;
        std::string password;
        std::string banner;
        std::size_t chunks;
    };
    const std::vector<Case> cases{
        {{}, "faux", "Le service de transcription a répondu : Identifiant ou mot de passe incorrect.", 0},
        {{"--wrong-hash"},
         test::kPassword,
         "Le service de transcription n'a pas accepté le fichier de la dictée ; l'envoi sera réessayé.",
         1},
        {{"--fault-operation", "FileUploadLumetraInit"},
         test::kPassword,
         "Le service de transcription a répondu : Erreur simulée du service.",
         0},
        {{"--fault-operation", "GetPossibleDatesOfReturn"},
         test::kPassword,
         "Le service de transcription a répondu : Erreur simulée du service.",
         0},
        {{"--html-error"}, test::kPassword, "Erreur interne du service de transcription (erreur 500).", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.banner + " " + (c.options.empty() ? "" : c.options[0]));
        serveTranscription(c.options, c.password);
        const auto id = addTranscription("Échec", 2);
        profile.ui().clear();
        const auto closesBefore = count("EnvoiClose");

        sendPass();

        EXPECT_THAT(profile.ui().messages("banner"), ElementsAre(c.banner));
        EXPECT_EQ(count("EnvoiClose"), closesBefore + 1);
        EXPECT_EQ(record(id).envoi, 0);
        EXPECT_EQ(service->callsTo("FileUploadSendChunk").size(), c.chunks);
        EXPECT_THAT(documentsContaining(record(id).masterJobId), IsEmpty());
        DicteeRequest().deleteDicteeWithId(id);
    }
}

// A service that answers twice in one answer gets one next call, and one contradicting itself
// with a fault leaves the dictation to be sent again.
TEST_F(TranscriptionSendTest, AConfusedServiceStartsNoSecondUploadAndMarksNothingSentOnAFault) {
    serveTranscription({"--doubled-answers", "response"});
    const auto doubled = addTranscription("Réponses doublées", 6.25);
    sendPass();
    EXPECT_EQ(record(doubled).envoi, 1);
    EXPECT_EQ(chunkNumbers(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(service->callsTo("FileUploadLumetraInit").size(), 1u);
    EXPECT_EQ(service->callsTo("FileUploadLumetraFinished").size(), 1u);

    serveTranscription({"--doubled-answers", "fault"});
    const auto contradicted = addTranscription("Réponse contradictoire", 1);
    profile.ui().clear();
    sendPass();
    EXPECT_EQ(record(contradicted).envoi, 0);
    EXPECT_THAT(profile.ui().messages("banner"),
                ElementsAre("Le service de transcription a répondu : Réponse contradictoire."));
    EXPECT_EQ(service->calls().size(), 1u); // nothing after the log-in's doubtful answer
}

// A site of the transcription service as the default site sends there, whoever the typist is.
TEST_F(TranscriptionSendTest, TheServiceAsDefaultSiteReceivesEveryDictation) {
    service = std::make_unique<test::TranscriptionSimulator>();
    addSite(6, service->address());
    const auto id = addDictation("Sans dactylo", 1);

    sendPass();

    EXPECT_EQ(record(id).envoi, 1);
    EXPECT_EQ(test::readBytes(service->job(record(id).masterJobId + ".wav")), recording(id));
}

} // namespace
} // namespace orvaneh
