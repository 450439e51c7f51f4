#include "App/cli/DictationCommand.h"

#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/siteRequest.h"
#include "Classes/core/userRequest.h"
#include "Platform/json/Json.h"
#include "audio/WaveTestFiles.h"
#include "support/CommandTest.h"
#include "support/ProcessRunner.h"

#include <fstream>
#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using test::operator+;
using test::part;
using test::signal;
using State = DicteeModel::SendingState;
using ::testing::ContainsRegex;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// The dictation command in process, with the author "jdupont" in the workflow and inputs
// built in code.
class DictationCommandTest : public test::AuthorCommandTest {
protected:
    int run(const std::vector<std::string>& arguments) {
        DictationCommand command;
        return CommandTest::run(command, arguments);
    }

    static std::int64_t store(const std::string& titre, bool brouillon, std::int64_t duree = 75) {
        DicteeModel record;
        record.titre = titre;
        record.auteur = "jdupont";
        record.brouillon = brouillon;
        record.dureeDictee = duree;
        record.dureeInstruction = 5;
        return DicteeRequest().insertDictee(record);
    }
    std::string input(const std::string& name, const test::Samples& samples, std::uint32_t rate = 16000,
                      std::uint16_t channels = 1) {
        const auto path = inputs.path() / name;
        test::writeBytes(path, test::Wave{.samples = samples, .rate = rate, .channels = channels}.bytes());
        return path.string();
    }
    test::Samples stored(const std::string& name) const { return test::audioOf(profile.documents() / name); }
    std::int64_t printedId() const { return std::stoll(out.str()); }
    static State state(std::int64_t id) { return DicteeRequest().selectDictee(id).sendingState(); }
};

TEST_F(DictationCommandTest, ListChoosesTheFilterAndPrintsStateAndDurations) {
    store("Note du lundi", true);
    store("Courrier d'Anne", false, 3725);
    DicteeRequest().updateDicteeTsTransfert(store("Lettre échouée", false));
    std::int64_t sent = store("Envoyée hier", false);
    DicteeRequest().updateDicteeEnvoi(sent);

    test::execute("update dictee set propriete = 'Haute' where titre = 'Note du lundi'");

    ASSERT_EQ(run({"list"}), 0) << err.str();
    // The outbox tab's rows, newest first, with the list's state words and priorities.
    EXPECT_THAT(out.str(),
                ContainsRegex("^ +[0-9]+  [-0-9]+ [0-9:]+  Tentative échouée  [^\n]*Moyenne  Lettre "
                              "échouée\n[^\n]*En attente  +1:02:05.0 \\+ 0:05.0 +Moyenne  "
                              "Courrier d'Anne\n[^\n]*Brouillon [^\n]*Haute +Note du lundi\n$"));

    for (const auto& [flag, count] : {std::pair{"--sent", 1u}, {"--all", 4u}, {"--outbox", 3u}}) {
        ASSERT_EQ(run({"list", flag, "--json"}), 0) << flag;
        EXPECT_EQ(Json::parse(out.str()).size(), count) << flag;
    }
    ASSERT_EQ(run({"list", "--sent", "--json"}), 0);
    EXPECT_EQ(Json::parse(out.str())[0]["idDictee"], sent);
}

TEST_F(DictationCommandTest, ShowAndXmlPrintOneDictationOrFail) {
    const std::string id = std::to_string(store("Lettre à <Noël> & co", false));
    ASSERT_EQ(run({"show", id, "--json"}), 0) << err.str();
    EXPECT_EQ(Json::parse(out.str())["titre"], "Lettre à <Noël> & co");
    ASSERT_EQ(run({"show", id}), 0);
    EXPECT_THAT(out.str(), ContainsRegex("Titre : Lettre à <Noël> & co\n.*État : En attente\n"));

    // The descriptor that would be sent.
    ASSERT_EQ(run({"xml", id}), 0) << err.str();
    const std::string document = out.str();
    EXPECT_THAT(document, ::testing::StartsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                "<Lumetra_5.0_ThirdPartyBatchModeImport "));
    EXPECT_THAT(document, HasSubstr("<JobTitle>Lettre a &lt;No&#xEB;l&gt; &amp; co</JobTitle>"));
    EXPECT_THAT(document, HasSubstr("<InstrLengthInSec>5</InstrLengthInSec>"));
    test::TemporaryDirectory directory;
    std::ofstream(directory.path() / "job.XML", std::ios::binary) << document;
    const auto lint =
        test::ProcessRunner::run({"/usr/bin/xmllint", "--noout", (directory.path() / "job.XML").string()});
    EXPECT_EQ(lint.status, 0) << lint.err;

    for (const char* action : {"show", "xml"}) {
        EXPECT_EQ(run({action, "99"}), 1);
        EXPECT_THAT(err.str(), HasSubstr("aucune dictée"));
        EXPECT_EQ(out.str(), "");
    }
}

TEST_F(DictationCommandTest, DeleteRemovesTheRowAndItsFilesOnly) {
    std::int64_t id = store("À supprimer", false);
    std::int64_t kept = store("À garder", false);
    std::string name = std::to_string(id);
    auto recording = profile.writeDocument(name + ".wav");
    auto other = profile.writeDocument(std::to_string(kept) + ".wav");
    // Copies an interrupted send left behind go with it; another job's stay.
    test::execute("update dictee set masterJobId = 'JOB-A-0001' where id = " + name);
    const auto jobCopies = {profile.writeDocument("JOB-A-0001.wav"), profile.writeDocument("JOB-A-0001.XML")};
    const auto otherJob = profile.writeDocument("JOB-B-0002.wav");

    ASSERT_EQ(run({"delete", name, "--yes"}), 0) << err.str();
    EXPECT_THAT(profile.ui().calls().back().otherTitle, "Supprimer");
    for (const auto& copy : jobCopies) {
        EXPECT_FALSE(std::filesystem::exists(copy)) << copy;
    }
    EXPECT_TRUE(std::filesystem::exists(otherJob));
    EXPECT_THAT(out.str(), HasSubstr("supprimée"));
    EXPECT_EQ(DicteeRequest().selectDictee(id).idDictee, 0);
    EXPECT_EQ(DicteeRequest().selectDictee(kept).idDictee, kept);
    EXPECT_FALSE(std::filesystem::exists(recording));
    EXPECT_TRUE(std::filesystem::exists(other));

    // Unknown now: nothing else is touched.
    profile.writeDocument(name + ".wav");
    EXPECT_EQ(run({"delete", name, "--yes"}), 1);
    EXPECT_TRUE(std::filesystem::exists(recording));

    // A row that cannot be deleted stays listed with all its files.
    const std::string keptName = std::to_string(kept);
    const auto picture = profile.writeDocument(keptName + "-1.jpg");
    test::execute("create trigger keep before delete on dictee begin select raise(abort, 'non'); end");
    profile.ui().clear();
    EXPECT_EQ(run({"delete", keptName, "--yes"}), 1);
    EXPECT_THAT(
        profile.ui().messages("banner"),
        ElementsAre("La dictée n'a pas pu être supprimée de la base ; ses enregistrements et ses photos "
                    "sont conservés."));
    EXPECT_EQ(DicteeRequest().selectDictee(kept).idDictee, kept);
    EXPECT_TRUE(std::filesystem::exists(other) && std::filesystem::exists(picture));
}

TEST_F(DictationCommandTest, BadUsageIsStatusTwo) {
    // Unknown actions and options are refused by the code shared with the other commands.
    for (const char* arguments :
         {"show", "show douze", "show -3", "show 12abc", "show 99999999999999999999999", "delete 1 2",
          "delete 1 --json", "delete 1", "list --sent --all", "list en-trop", "xml", "xml 1 2"}) {
        SCOPED_TRACE(arguments);
        EXPECT_EQ(run(test::words(arguments)), 2);
        EXPECT_THAT(err.str(), HasSubstr("Erreur"));
        EXPECT_EQ(out.str(), "");
    }
}

TEST_F(DictationCommandTest, NewThenEditKeepsEverySampleInPlace) {
    const auto first = signal(1, 1.5);
    const auto instruction = signal(-1, 0.25);
    ASSERT_EQ(run({"new", "--audio", input("take.wav", first), "--instruction", input("i.wav", instruction),
                   "--author", "jdupont", "--worktype", "Courrier", "--title", "Lettre", "--priority",
                   "haute", "--send"}),
              0)
        << err.str();
    const std::int64_t id = printedId();
    const std::string track = std::to_string(id) + ".wav";
    EXPECT_EQ(stored(track), first);
    EXPECT_EQ(stored("I" + track), instruction);
    const DicteeModel record = DicteeRequest().selectDictee(id);
    EXPECT_EQ(record.sendingState(), State::Waiting);
    EXPECT_EQ(record.titre, "Lettre");
    EXPECT_EQ(record.priorite, "Haute");
    EXPECT_EQ(record.dureeDictee, 1);

    // A take at 0.5 s goes between the first half second and the rest.
    const auto take = signal(-1, 0.5);
    ASSERT_EQ(run({"edit", std::to_string(id), "--at", "0.5", "--take", input("take2.wav", take)}), 0)
        << err.str();
    EXPECT_EQ(printedId(), id);
    const auto edited = part(first, 0, 0.5) + take + part(first, 0.5, 1.5);
    EXPECT_EQ(stored(track), edited);
    EXPECT_EQ(state(id), State::Draft);

    // Markers given in reverse order cut the passage between them.
    ASSERT_EQ(run({"edit", std::to_string(id), "--cut", "1.25", "0.25", "--yes", "--send"}), 0) << err.str();
    EXPECT_EQ(stored(track), part(edited, 0, 0.25) + part(edited, 1.25, 2));
    EXPECT_EQ(state(id), State::Waiting);
}

TEST_F(DictationCommandTest, RefusesTakesOfAnotherFormatOrWithoutWorkflowAndChangesNothing) {
    ASSERT_EQ(run({"new", "--audio", input("take.wav", signal(1, 1)), "--author", "jdupont"}), 0);
    const std::int64_t id = printedId();
    const auto before = test::filesIn(profile.documents());
    for (const auto& [rate, channels] : {std::pair<std::uint32_t, std::uint16_t>{8000, 1}, {16000, 2}}) {
        SCOPED_TRACE(channels);
        const std::string path = input("bad.wav", signal(-1, 0.05), rate, channels);
        EXPECT_EQ(run({"edit", std::to_string(id), "--take", path}), 1);
        EXPECT_THAT(err.str(), HasSubstr("format attendu : WAV PCM 16 bits mono à 16000 Hz"));
        EXPECT_EQ(run({"new", "--audio", path, "--author", "jdupont"}), 1);
    }
    test::writeBytes(inputs.path() / "text.wav", "not audio at all");
    EXPECT_EQ(run({"new", "--audio", (inputs.path() / "text.wav").string(), "--author", "jdupont"}), 1);

    userRequest().deleteAlluser();
    EXPECT_EQ(run({"new", "--audio", input("take.wav", signal(1, 0.1))}), 1);
    EXPECT_THAT(profile.ui().messages("banner"),
                ElementsAre("Vous devez importer les paramètres du workflow Tarnix pour créer une dictée !"));
    EXPECT_EQ(test::filesIn(profile.documents()).size(), before.size());
    EXPECT_EQ(DicteeRequest().getLastId(), id);
}

TEST_F(DictationCommandTest, SendFollowsTheSiteTypeAndTheSummarySetting) {
    SiteModel site{0, "Courriel", "office.example", "", "", 3, true, false};
    site.idSite = siteRequest().addSite(site);
    siteRequest().updateSite(site); // the default mark is written by an update
    const std::string take = input("take.wav", signal(1, 1));

    EXPECT_EQ(run({"new", "--audio", take, "--author", "jdupont", "--send"}), 1);
    EXPECT_THAT(profile.ui().messages("banner"), ElementsAre("L'envoi par mail n'est pas pris en charge"));
    EXPECT_EQ(DicteeRequest().getLastId(), 0);

    site.typeSite = 1;
    siteRequest().updateSite(site);
    profile.preferences().setBool("ValidateBeforeSend", true);
    ASSERT_EQ(run({"new", "--audio", take, "--author", "jdupont", "--title", "Rapport", "--send"}), 0)
        << err.str();
    EXPECT_THAT(profile.ui().messages("confirmation"), ElementsAre(HasSubstr("Auteur : jdupont\n")));
    EXPECT_EQ(state(printedId()), State::Waiting);
}

// As the list opens the recorder: the parameter screen first when the setting asks for it,
// answered by the options given; never for a sent dictation.
TEST_F(DictationCommandTest, ParameterScreenComesFirstUnlessTheDictationWasSent) {
    profile.preferences().setBool("ShowSettingsForRecord", true);
    const std::string take = input("take.wav", signal(1, 0.5));
    ASSERT_EQ(run({"new", "--audio", take, "--author", "jdupont", "--title", "Avis"}), 0) << err.str();
    const std::int64_t id = printedId();
    EXPECT_EQ(DicteeRequest().selectDictee(id).titre, "Avis");
    EXPECT_THAT(profile.ui().messages("screen"), ElementsAre(""));
    EXPECT_THAT(profile.ui().messages("banner"), ElementsAre("Paramètres enregistrés"));

    DicteeRequest().updateDicteeEnvoi(id);
    profile.ui().clear();
    ASSERT_EQ(run({"edit", std::to_string(id), "--take", take, "--title", "Avis bis"}), 0) << err.str();
    EXPECT_THAT(profile.ui().messages("screen"), IsEmpty());
    // Saved as a new copy of the sent dictation.
    EXPECT_NE(printedId(), id);
    EXPECT_EQ(DicteeRequest().selectDictee(printedId()).titre, "Avis bis-1");
}

// The whole road through the real program: recorded, then reported as waiting to be sent.
TEST_F(DictationCommandTest, ProgramRecordsAndShowsTheDictation) {
    auto cli = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {ORVANEH_CLI_PATH, "--home", profile.home().string(), "dictation"});
        return test::ProcessRunner::run(arguments);
    };
    auto created = cli({"new", "--audio", input("take.wav", signal(1, 1)), "--author", "jdupont",
                        "--worktype", "Courrier", "--title", "Lettre", "--send"});
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_THAT(cli({"show", std::to_string(std::stoll(created.out))}).out, HasSubstr("État : En attente"));
}

// The real program: deleting asks first, so a script without a terminal must say --yes; and the
// start removes the sent dictations older than the clean-up delay, as the application's list does.
TEST_F(DictationCommandTest, ProgramDeletesOnlyWhenConfirmedAndStartCleansUp) {
    auto cli = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {ORVANEH_CLI_PATH, "--home", profile.home().string()});
        return test::ProcessRunner::run(arguments);
    };
    const std::int64_t id = store("Lettre", false);
    const auto recording = profile.writeDocument(std::to_string(id) + ".wav");

    auto refused = cli({"dictation", "delete", std::to_string(id)});
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err, HasSubstr("ajoutez --yes"));
    EXPECT_EQ(DicteeRequest().selectDictee(id).idDictee, id);
    EXPECT_TRUE(std::filesystem::exists(recording));

    auto deleted = cli({"dictation", "delete", std::to_string(id), "--yes"});
    ASSERT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_THAT(deleted.err, HasSubstr("(réponse « Supprimer »)"));
    EXPECT_EQ(deleted.out,
              "Dictée " + std::to_string(id) + " supprimée, avec ses enregistrements et ses photos.\n");
    EXPECT_EQ(DicteeRequest().selectDictee(id).idDictee, 0);
    EXPECT_FALSE(std::filesystem::exists(recording));

    // Sent 31 and 29 days ago, and an unsent one of 31 days: only the first goes after 30 days.
    std::vector<std::int64_t> ids;
    for (int days : {31, 29, 31}) {
        ids.push_back(store("Il y a " + std::to_string(days) + " jours", false));
        // The program's clock is the system's.
        test::execute("update dictee set date_heure = (julianday('now') - 2440587.5) * 86400.0 - " +
                      std::to_string(days * 86400) + " where id = " + std::to_string(ids.back()));
    }
    DicteeRequest().updateDicteeEnvoi(ids[0]);
    DicteeRequest().updateDicteeEnvoi(ids[1]);
    const auto oldRecording = profile.writeDocument(std::to_string(ids[0]) + ".wav");
    ASSERT_EQ(cli({"settings", "set", "OptionMaxDate", "30"}).status, 0);
    auto started = cli({"start"});
    ASSERT_EQ(started.status, 0) << started.err;
    EXPECT_THAT(started.out,
                HasSubstr("Nettoyage des dictées envoyées depuis plus de 30 jours : 1 supprimée\n"));
    EXPECT_EQ(DicteeRequest().selectDictee(ids[0]).idDictee, 0);
    EXPECT_FALSE(std::filesystem::exists(oldRecording));
    EXPECT_EQ(DicteeRequest().selectDictee(ids[1]).idDictee, ids[1]);
    EXPECT_EQ(DicteeRequest().selectDictee(ids[2]).idDictee, ids[2]);
}

} // namespace
} // namespace orvaneh
