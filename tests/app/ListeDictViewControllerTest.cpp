// The dictation list over a real database and documents directory: its tabs and rows, the
// clean-up at its start, the closing menu, the parameter screen, opening the recorder, deleting,
// and the row being sent while a real sender works against the FTP simulator.
#include "Classes/app/ListeDictViewController.h"

#include "Classes/audio/AudioRecordControllerThree.h"
#include "Classes/casefile/LoginViewController.h"
#include "Classes/core/ParamRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/packaging/Entity.h"
#include "Classes/screens/NavigationController.h"
#include "Classes/screens/ServicesViewController.h"
#include "Classes/workflow/ParamWorkflowDictee.h"
#include "support/CodeImages.h"
#include "transport/OfficeFixture.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <thread>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using Removal = ListeDictViewController::Removal;
using Purpose = ListeDictViewController::PendingParameters::Purpose;

class ListeDictTest : public test::OfficeTest {
protected:
    OrvanehAppDelegate application;
    // What the recorder was opened with, when the test takes the opening over.
    struct Opening {
        std::optional<std::int64_t> idDictee;
        ParamWorkflow parameters;
    };
    std::vector<Opening> openings;

    // A stored dictation; the clock moves on after each, so that the next is newer.
    std::int64_t store(const std::string& title, bool draft, std::int64_t dictation = 75,
                       std::int64_t instruction = 5, const std::string& priority = "Moyenne") {
        DicteeModel record;
        record.titre = title;
        record.auteur = "jdupont";
        record.worktype = "Courrier";
        record.priorite = priority;
        record.brouillon = draft;
        record.dureeDictee = dictation;
        record.dureeInstruction = instruction;
        record.masterJobId = Tools::generateUUID();
        const std::int64_t id = DicteeRequest().insertDictee(record);
        profile.clock().advance(Seconds(60));
        return id;
    }
    static void addAuthor() {
        userRequest author;
        author.login_name = "jdupont";
        author.role = userRequest::kAuthorRole;
        ASSERT_GT(author.insertUser(), 0);
    }
    static std::vector<std::string> titles(const ListeDictViewController& list) {
        std::vector<std::string> titles;
        for (const auto& row : list.rows()) {
            titles.push_back(row.title);
        }
        return titles;
    }
    void takeOverOpening(ListeDictViewController& list) {
        list.setRecorderOpener([this](std::optional<std::int64_t> id, const ParamWorkflow& parameters) {
            openings.push_back({id, parameters});
        });
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(profile.documents() / name); }
    std::size_t count(const std::string& kind) { return profile.ui().messages(kind).size(); }
};

TEST_F(ListeDictTest, TabsShowTheOutboxAndTheSentNewestFirst) {
    {
        ListeDictViewController empty(application);
        EXPECT_EQ(empty.title(), "Dictées");
        EXPECT_THAT(empty.tabTitles(), ElementsAre("BOITE D'ENVOI", "DICTÉES ENVOYÉES"));
        EXPECT_TRUE(empty.shouldDisplayMenuButton());
        EXPECT_EQ(empty.selectedTab(), ListeDictViewController::kOutboxTab);
        EXPECT_EQ(empty.headerHeight(), 72);
        EXPECT_EQ(empty.emptyText(), "Aucune dictée à envoyer");
        empty.selectTab(ListeDictViewController::kSentTab);
        EXPECT_EQ(empty.emptyText(), "Aucune dictée envoyée");
    }
    const auto draft = store("Brouillon du lundi", true, 0, 0, "Haute");
    const auto waiting = store("Courrier d'Anne", false, 3725, 5, "Basse");
    const auto failed = store("Lettre échouée", false);
    DicteeRequest().updateDicteeTsTransfert(failed);
    const auto sent = store("Envoyée hier", false);
    DicteeRequest().updateDicteeEnvoi(sent);
    // A draft stamped by an old attempt is still shown as a draft.
    test::execute("update dictee set tsTransfert = 5 where id = " + std::to_string(draft));

    ListeDictViewController list(application);
    EXPECT_THAT(titles(list), ElementsAre("Lettre échouée", "Courrier d'Anne", "Brouillon du lundi"));
    EXPECT_EQ(list.headerHeight(), 0);
    EXPECT_EQ(list.emptyText(), "");
    struct Expected {
        std::int64_t id;
        std::string durations, statusImage, priorityImage, state;
    };
    const std::vector<Expected> expected{
        {failed, "DIC : 1:15 INS : 0:05", "sendError", "priorite_moyenne", "Tentative échouée"},
        {waiting, "DIC : 62:05 INS : 0:05", "", "priorite_basse", "En attente"},
        {draft, "DIC : 0:00 INS : 0:00", "inEdition", "priorite_haute", "Brouillon"},
    };
    for (std::size_t index = 0; index < expected.size(); ++index) {
        const DictationCell& row = list.rows()[index];
        SCOPED_TRACE(row.title);
        EXPECT_EQ(row.idDictee, expected[index].id);
        EXPECT_EQ(row.subtitle, "jdupont-Courrier-jdupont-");
        EXPECT_THAT(row.date, MatchesRegex("[0-9][0-9]/[0-9][0-9]/[0-9][0-9] [0-9][0-9]:[0-9][0-9]"));
        EXPECT_EQ(row.durations, expected[index].durations);
        EXPECT_EQ(row.statusImage, expected[index].statusImage);
        EXPECT_EQ(row.priorityImage, expected[index].priorityImage);
        EXPECT_EQ(row.state, expected[index].state);
        EXPECT_FALSE(row.settingsIconHidden);
        EXPECT_FALSE(row.activityIndicatorShown);
    }

    list.selectTab(ListeDictViewController::kSentTab);
    ASSERT_THAT(titles(list), ElementsAre("Envoyée hier"));
    EXPECT_EQ(list.rows()[0].state, "Envoyée");
    EXPECT_EQ(list.rows()[0].statusImage, "");
    EXPECT_TRUE(list.rows()[0].settingsIconHidden);

    // The edit button.
    EXPECT_EQ(list.editButtonTitle(), "Modifier");
    list.EditTable();
    EXPECT_TRUE(list.editing());
    EXPECT_EQ(list.editButtonTitle(), "OK");
    list.EditTable();
    EXPECT_EQ(list.editButtonTitle(), "Modifier");
}

// Notifications may come from any thread; the rows change only on the main loop.
TEST_F(ListeDictTest, RebuildsOnTheMainLoopWhateverThreadPosts) {
    ListeDictViewController list(application);
    for (const char* name :
         {"EnvoiOpen", "EnvoiClose", "EnvoiFin", "RecordFinished", "ApplicationBecomeActive"}) {
        SCOPED_TRACE(name);
        const std::size_t before = list.rows().size();
        store(name, true);
        std::thread([name] { NotificationCenter::defaultCenter().post(name); }).join();
        EXPECT_EQ(list.rows().size(), before);
        RunLoop::main().runPending();
        EXPECT_EQ(list.rows().size(), before + 1);
    }
}

TEST_F(ListeDictTest, StartRemovesSentDictationsOlderThanTheDelayWithTheirFiles) {
    const auto oldSent = store("Envoyée il y a 31 jours", false);
    const auto oldUnsent = store("En attente depuis 31 jours", false);
    profile.clock().advance(Seconds(2 * 86400));
    const auto recentSent = store("Envoyée il y a 29 jours", false);
    DicteeRequest().updateDicteeEnvoi(oldSent);
    DicteeRequest().updateDicteeEnvoi(recentSent);
    profile.clock().advance(Seconds(29 * 86400));
    std::vector<std::string> files;
    for (auto id : {oldSent, oldUnsent, recentSent}) {
        const std::string n = std::to_string(id);
        for (const auto& name : {n + ".wav", "I" + n + ".wav", n + "-1.jpg", n + "-2.jpg"}) {
            profile.writeDocument(name);
        }
    }
    const std::string old = std::to_string(oldSent);

    // 0 turns the clean-up off.
    profile.preferences().setInteger("OptionMaxDate", 0);
    EXPECT_EQ(ListeDictViewController(application).removedAtStart(), 0);
    EXPECT_EQ(DicteeRequest().getListDictee(DicteeRequest::kAll).size(), 3u);
    EXPECT_TRUE(exists(old + ".wav"));

    profile.preferences().setInteger("OptionMaxDate", 30);
    ListeDictViewController list(application);
    EXPECT_EQ(list.removedAtStart(), 1);
    EXPECT_EQ(DicteeRequest().selectDictee(oldSent).idDictee, 0);
    for (const auto& name : {old + ".wav", "I" + old + ".wav", old + "-1.jpg", old + "-2.jpg"}) {
        EXPECT_FALSE(exists(name)) << name;
    }
    for (auto id : {oldUnsent, recentSent}) {
        EXPECT_EQ(DicteeRequest().selectDictee(id).idDictee, id);
        EXPECT_TRUE(exists(std::to_string(id) + ".wav") && exists(std::to_string(id) + "-2.jpg"));
    }
    list.selectTab(ListeDictViewController::kSentTab);
    EXPECT_THAT(titles(list), ElementsAre("Envoyée il y a 29 jours"));
}

TEST_F(ListeDictTest, ClosingMenuOfARowSendsAbandonsOrCancels) {
    ListeDictViewController list(application);
    int finished = 0;
    Observation observation = NotificationCenter::defaultCenter().addObserver(
        AudioController::kRecordFinished, [&finished](const PostedNotification&) { ++finished; });
    using Choice = AudioController::RecordChoice;

    // Without any recording there is nothing to send.
    store("Vide", true, 0, 0);
    list.updateList();
    profile.ui().queueAnswer(1);
    list.longPress(0);
    EXPECT_EQ(list.recordChoices(), (std::vector{Choice::Abandon, Choice::Cancel}));

    const auto id = store("Compte rendu", true);
    test::execute("update dictee set tsTransfert = 12 where id = " + std::to_string(id));
    list.updateList();
    ASSERT_EQ(list.rows()[0].idDictee, id);

    // Cancel changes nothing.
    profile.ui().queueAnswer(2);
    list.longPress(0);
    EXPECT_EQ(profile.ui().calls().back().title, "Compte rendu");
    EXPECT_EQ(list.recordChoices(), (std::vector{Choice::Send, Choice::Abandon, Choice::Cancel}));
    EXPECT_TRUE(DicteeRequest().selectDictee(id).brouillon);

    // Send: not a draft any more, the attempt stamp cleared, the sender prompted.
    profile.ui().queueAnswer(0);
    list.longPress(0);
    DicteeModel record = DicteeRequest().selectDictee(id);
    EXPECT_FALSE(record.brouillon);
    EXPECT_EQ(record.tsTransfert, 0);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(list.rows()[0].state, "En attente");
    // The sender's prompt fires a second later; its pass ends with "EnvoiFin".
    RunLoop::main().runFor(Seconds(1));
    EXPECT_TRUE(
        runUntil([&] { return application.uploader().runCount() > 0 && !application.uploader().running(); }));
    // The failed attempt may reorder the rows once the list hears of it: find the row again.
    RunLoop::main().runPending();
    list.updateList();
    const auto rowOf = [&list](std::int64_t wanted) {
        const auto& rows = list.rows();
        const auto found = std::find_if(rows.begin(), rows.end(),
                                        [wanted](const auto& row) { return row.idDictee == wanted; });
        return static_cast<std::size_t>(found - rows.begin());
    };
    ASSERT_LT(rowOf(id), list.rows().size());

    // With the summary first: saved as a draft until "Envoyer".
    profile.preferences().setBool("ValidateBeforeSend", true);
    profile.ui().queueAnswer(0);
    list.longPress(rowOf(id));
    EXPECT_TRUE(DicteeRequest().selectDictee(id).brouillon);
    ASSERT_EQ(profile.ui().pendingQuestions(), 1u);
    EXPECT_THAT(profile.ui().calls().back().message, HasSubstr("Compte rendu"));
    profile.ui().answerPending(1);
    EXPECT_FALSE(DicteeRequest().selectDictee(id).brouillon);

    // Abandon: the row and the pictures go, the recordings are kept aside.
    const std::string n = std::to_string(id);
    profile.writeDocument(n + ".wav");
    profile.writeDocument("I" + n + ".wav");
    profile.writeDocument(n + "-1.jpg");
    profile.ui().clear();
    profile.ui().queueAnswer(1);
    list.longPress(rowOf(id));
    EXPECT_EQ(DicteeRequest().selectDictee(id).idDictee, 0);
    EXPECT_FALSE(exists(n + ".wav") || exists("I" + n + ".wav") || exists(n + "-1.jpg"));
    std::vector<std::string> aside;
    for (const auto& [name, contents] : test::filesIn(profile.documents())) {
        if (name.starts_with("orphelin-" + n + "-")) {
            aside.push_back(name);
        }
    }
    EXPECT_EQ(aside.size(), 2u);
    EXPECT_THAT(profile.ui().messages("banner"),
                ElementsAre(HasSubstr("Les enregistrements de la dictée abandonnée sont conservés dans : ")));
    EXPECT_THAT(titles(list), ElementsAre("Vide"));

    // The sent tab has no closing menu.
    DicteeRequest().updateDicteeEnvoi(list.rows()[0].idDictee);
    list.selectTab(ListeDictViewController::kSentTab);
    const std::size_t menus = count("choices");
    list.longPress(0);
    EXPECT_EQ(count("choices"), menus);
}

TEST_F(ListeDictTest, TouchesOpenTheRecorderOrTheParameterScreen) {
    const auto sent = store("Envoyée", false);
    DicteeRequest().updateDicteeEnvoi(sent);
    const auto waiting = store("En attente", false);
    ListeDictViewController list(application);
    takeOverOpening(list);
    ASSERT_EQ(list.rows()[0].idDictee, waiting);

    // The last 45 points of a row are its parameters button.
    list.tapRow(0, 275, 320);
    RunLoop::main().runPending();
    EXPECT_THAT(openings, IsEmpty());
    ASSERT_TRUE(list.pendingParameters());
    EXPECT_EQ(list.pendingParameters()->purpose, Purpose::EditDictation);
    EXPECT_EQ(list.pendingParameters()->parameters.firstField, "En attente");
    EXPECT_EQ(profile.ui().calls().back().kind, "screen");
    EXPECT_EQ(profile.ui().calls().back().title, "ParamWorkflowDictee");
    EXPECT_EQ(profile.ui().calls().back().message, std::to_string(waiting));
    list.parameterScreenFinished(list.pendingParameters()->parameters, true);
    EXPECT_FALSE(list.pendingParameters());

    list.tapRow(0, 274, 320);
    list.tapRow(5, 10, 320); // no such row
    RunLoop::main().runPending();
    ASSERT_EQ(openings.size(), 1u);
    EXPECT_EQ(openings[0].idDictee, waiting);
    EXPECT_EQ(openings[0].parameters.firstField, "En attente");
    EXPECT_FALSE(application.record());
    EXPECT_EQ(application.idDictee(), waiting);

    // With "ShowSettingsForRecord" the parameters come first, except for a sent dictation.
    profile.preferences().setBool("ShowSettingsForRecord", true);
    list.selectTab(ListeDictViewController::kSentTab);
    list.tapRow(0, 300, 320); // a sent dictation's parameters cannot change
    EXPECT_FALSE(list.pendingParameters());
    list.tapRow(0, 10, 320);
    RunLoop::main().runPending();
    ASSERT_EQ(openings.size(), 2u);
    EXPECT_EQ(openings[1].idDictee, sent);

    list.selectTab(ListeDictViewController::kOutboxTab);
    list.tapRow(0, 10, 320);
    RunLoop::main().runPending();
    ASSERT_TRUE(list.pendingParameters());
    EXPECT_EQ(list.pendingParameters()->purpose, Purpose::BeforeRecording);
    ParamWorkflow answered = list.pendingParameters()->parameters;
    answered.firstField = "Nouveau titre";
    // Unchanged or cancelled: the list stays.
    list.parameterScreenFinished(answered, false);
    EXPECT_EQ(openings.size(), 2u);
    list.tapRow(0, 10, 320);
    RunLoop::main().runPending();
    answered.isChanged = true;
    list.parameterScreenFinished(answered, false);
    ASSERT_EQ(openings.size(), 3u);
    EXPECT_EQ(openings[2].parameters.firstField, "Nouveau titre");
}

// A dictation that cannot be read when touched (a full or failing disk) is not one deleted since
// the list was built: nothing opens, its row stays and a banner says why. One really gone leaves
// the list without a word.
TEST_F(ListeDictTest, ARowThatCannotBeReadIsToldNotDroppedAsDeleted) {
    store("Lettre", false);
    const auto gone = store("Note", false);
    ListeDictViewController list(application);
    takeOverOpening(list);
    ASSERT_EQ(titles(list), (std::vector<std::string>{"Note", "Lettre"}));

    test::execute("delete from dictee where id = " + std::to_string(gone));
    list.tapRow(0, 10, 320);
    RunLoop::main().runPending();
    EXPECT_EQ(titles(list), std::vector<std::string>{"Lettre"});
    EXPECT_EQ(count("banner"), 0u);

    // Every read of the table fails; the recorder, then the parameter screen, are asked for.
    test::execute("alter table dictee rename to hors_de_portee");
    for (const int x : {10, 300}) {
        list.tapRow(0, x, 320);
        RunLoop::main().runPending();
    }
    test::execute("alter table hors_de_portee rename to dictee");
    EXPECT_THAT(openings, IsEmpty());
    EXPECT_FALSE(list.pendingParameters());
    EXPECT_EQ(titles(list), std::vector<std::string>{"Lettre"});
    const auto told =
        ::testing::AllOf(HasSubstr("La dictée n'a pas pu être lue ("), HasSubstr("n'a pas été modifiée"));
    EXPECT_THAT(profile.ui().messages("banner"), ElementsAre(told, told));
}

TEST_F(ListeDictTest, ParameterScreenChangesTheDictationAndItsRetry) {
    const auto id = store("Lettre", false);
    DicteeRequest().updateDicteeTsTransfert(id);
    ListeDictViewController list(application);
    ASSERT_EQ(list.rows()[0].statusImage, "sendError");

    for (bool cancelled : {true, false}) {
        SCOPED_TRACE(cancelled);
        list.onCellAccessory(0);
        ASSERT_TRUE(list.pendingParameters());
        ParamWorkflow parameters = list.pendingParameters()->parameters;
        parameters.firstField = "Lettre corrigée";
        parameters.priority = "Haute";
        parameters.isChanged = true;
        list.parameterScreenFinished(parameters, cancelled);
        EXPECT_FALSE(list.pendingParameters());
    }
    const DicteeModel record = DicteeRequest().selectDictee(id);
    EXPECT_EQ(record.titre, "Lettre corrigée");
    EXPECT_EQ(record.priorite, "Haute");
    EXPECT_EQ(record.tsTransfert, 0) << "eligible again at once";
    EXPECT_EQ(list.rows()[0].priorityImage, "priorite_haute");
    EXPECT_EQ(list.rows()[0].statusImage, "");
    ParamWorkflow defaults;
    ASSERT_EQ(defaults.getParamWorkflow(), 1);
    EXPECT_EQ(defaults.priority, "Haute");
}

TEST_F(ListeDictTest, TheServicePickerComesOverTheParameterScreenAndItsChoiceReachesTheDictation) {
    std::string error;
    ASSERT_TRUE(Entity::importCatalogue(
        "<Catalogue><LoginUserInfos><LoginUserInfo><Role>Dictant</Role><LoginName>jdupont</LoginName>"
        "</LoginUserInfo></LoginUserInfos><Services><Service><Guid>g-urg</Guid><Name>Urgences</Name>"
        "<IsSite>false</IsSite><ServiceUsers><UserId>jdupont</UserId></ServiceUsers></Service></Services>"
        "</Catalogue>",
        &error))
        << error;
    const auto id = store("Lettre", false);
    ListeDictViewController list(application);
    auto& navigation = application.navigation();
    list.tapRow(0, 300, 320);
    auto screen = std::dynamic_pointer_cast<ParamWorkflowDictee>(navigation.presented());
    ASSERT_TRUE(screen);

    screen->textFieldShouldBeginEditing(AbstractParamWorkflow::kServiceTag);
    auto picker = std::dynamic_pointer_cast<ServicesViewController>(navigation.presented());
    ASSERT_TRUE(picker) << "presented over the parameter screen";
    EXPECT_EQ(picker->userName(), "jdupont");
    ASSERT_EQ(picker->servicesList().size(), 1u);
    picker->tapRow(0);
    picker->validParam();
    picker.reset();
    RunLoop::main().runPending();
    EXPECT_EQ(navigation.presented(), screen) << "the picker closed, the parameter screen stays";
    EXPECT_EQ(screen->fieldText(AbstractParamWorkflow::kServiceTag), "Urgences");

    screen->saveParamWorkflow();
    RunLoop::main().runPending();
    EXPECT_FALSE(navigation.presented());
    EXPECT_GT(DicteeRequest().selectDictee(id).serviceID, 0);
}

TEST_F(ListeDictTest, NewDictationNeedsTheWorkflowAndTheMicrophone) {
    ListeDictViewController list(application);
    list.NewDictee();
    RunLoop::main().runPending();
    EXPECT_THAT(profile.ui().messages("banner"),
                ElementsAre("Vous devez importer les paramètres du workflow Tarnix pour créer une dictée !"));
    EXPECT_EQ(application.navigation().top(), nullptr);

    addAuthor();
    profile.media().setRecordPermission(AudioSession::RecordPermission::Denied);
    profile.ui().clear();
    list.NewDictee();
    RunLoop::main().runPending();
    EXPECT_THAT(profile.ui().messages("banner"),
                ElementsAre("L'accès au micro est interdit. Vérifiez les paramètres de l'application, menu "
                            "\"Paramètres\""));
    EXPECT_EQ(application.navigation().top(), nullptr);

    // Asked now, answered on another thread: the recorder opens on the main loop.
    profile.media().setRecordPermission(AudioSession::RecordPermission::Undetermined);
    profile.media().setPermissionAnswer(true);
    list.NewDictee();
    ASSERT_TRUE(runUntil([&] { return application.navigation().top() != nullptr; }));
    EXPECT_TRUE(application.navigation().topIs<AudioRecordControllerThree>());
    EXPECT_TRUE(application.record());
    EXPECT_EQ(ListeDictViewController::recorderBackTitle(), "Joblist");
}

TEST_F(ListeDictTest, DeletingAsksThenRemovesTheRowAndItsFiles) {
    const auto kept = store("À garder", false);
    const auto id = store("À supprimer", false);
    const std::string n = std::to_string(id);
    for (const auto& name : {n + ".wav", "I" + n + ".wav", n + ".XML", n + "-1.jpg"}) {
        profile.writeDocument(name);
    }
    const auto keptRecording = profile.writeDocument(std::to_string(kept) + ".wav");
    ListeDictViewController list(application);
    ASSERT_EQ(list.rows()[0].idDictee, id);

    for (int button : {0, 1}) {
        SCOPED_TRACE(button);
        std::optional<Removal> outcome;
        profile.ui().queueAnswer(button);
        list.askToDelete(id, [&outcome](Removal removal) { outcome = removal; });
        const auto question = profile.ui().calls().back();
        EXPECT_EQ(question.kind, "confirmation");
        EXPECT_EQ(question.title, "À supprimer");
        EXPECT_EQ(question.otherTitle, "Supprimer");
        EXPECT_EQ(outcome, button == 1 ? Removal::Removed : Removal::Cancelled);
    }
    EXPECT_EQ(DicteeRequest().selectDictee(id).idDictee, 0);
    for (const auto& name : {n + ".wav", "I" + n + ".wav", n + ".XML", n + "-1.jpg"}) {
        EXPECT_FALSE(exists(name)) << name;
    }
    EXPECT_THAT(titles(list), ElementsAre("À garder"));
    EXPECT_TRUE(std::filesystem::exists(keptRecording));

    // A row the database refuses to delete keeps its files.
    test::execute("create trigger keep before delete on dictee begin select raise(abort, 'non'); end");
    profile.ui().queueAnswer(1);
    list.deleteRow(0);
    EXPECT_THAT(titles(list), ElementsAre("À garder"));
    EXPECT_TRUE(std::filesystem::exists(keptRecording));
    EXPECT_THAT(profile.ui().messages("banner").back(), HasSubstr("n'a pas pu être supprimée"));
}

// A real sender against the FTP simulator, stalled mid-upload: the row follows "EnvoiOpen" and
// "EnvoiClose", which the sender posts from its own thread.
TEST_F(ListeDictTest, TheRowBeingSentFollowsTheSender) {
    OrvanehAppDelegate::initInformationConnectionFTP();
    profile.preferences().setInteger("NetworkStallTimeout", 2);
    test::OfficeSimulator server(test::OfficeSimulator::Kind::Ftp, {"--stall-after", "65536"});
    ASSERT_NE(server.port(), 0);
    addSite(1, server.address());
    const auto id = store("Longue", false);
    test::writeBytes(profile.documents() / (std::to_string(id) + ".wav"),
                     test::Wave{test::ramp(0, 400 * 16000, 7)}.bytes());
    ListeDictViewController list(application);
    takeOverOpening(list);
    ASSERT_EQ(list.rows()[0].state, "En attente");

    ASSERT_TRUE(application.uploader().startRun());
    ASSERT_TRUE(runUntil([&] { return list.rows()[0].transferring; }));
    const DictationCell& row = list.rows()[0];
    EXPECT_TRUE(row.activityIndicatorShown);
    EXPECT_TRUE(row.settingsIconHidden);
    EXPECT_EQ(row.state, "Envoi en cours");
    // Untouchable while it goes.
    const std::size_t screens = count("screen"), menus = count("choices");
    list.tapRow(0, 10, 320);
    list.tapRow(0, 300, 320);
    list.longPress(0);
    RunLoop::main().runPending();
    EXPECT_THAT(openings, IsEmpty());
    EXPECT_EQ(count("screen"), screens);
    EXPECT_EQ(count("choices"), menus);
    EXPECT_EQ(ListeDictViewController::removeDicteeAndFileWithId(id), Removal::Transferring);
    EXPECT_EQ(DicteeRequest().selectDictee(id).idDictee, id);

    ASSERT_TRUE(
        runUntil([&] { return !application.uploader().running() && !list.rows()[0].transferring; }, 60));
    EXPECT_EQ(list.rows()[0].statusImage, "sendError");
    EXPECT_EQ(list.rows()[0].state, "Tentative échouée");
    EXPECT_FALSE(list.rows()[0].activityIndicatorShown);
    EXPECT_FALSE(list.rows()[0].settingsIconHidden);
}

// Whichever way a dictation's parameters are opened, from the list or from its recording screen,
// the code reader and the case-file search come over them and answer them.
TEST_F(ListeDictTest, EveryParameterScreenOffersTheCodeReaderAndTheCaseFileSearch) {
    test::TemporaryDirectory pictures;
    test::CodeImages codes(pictures.path());
    store("Lettre", false);
    ListeDictViewController list(application);
    auto& navigation = application.navigation();

    list.tapRow(0, 300, 320);
    auto screen = std::dynamic_pointer_cast<ParamWorkflowDictee>(navigation.presented());
    ASSERT_TRUE(screen);
    screen->displayScanner();
    auto reader = std::dynamic_pointer_cast<QRCodeReaderViewController>(navigation.presented());
    ASSERT_TRUE(reader) << "the reader comes over the parameter screen";
    EXPECT_FALSE(reader->startReading()) << "no camera here: pictures only";
    ASSERT_TRUE(reader->readPictureFile(codes.qrFile("DOS-2026-0042")));
    reader.reset();
    RunLoop::main().runPending();
    EXPECT_EQ(navigation.presented(), screen) << "the reader closed once it answered";
    EXPECT_EQ(screen->fieldText(AbstractParamWorkflow::kSecondFieldTag), "DOS-2026-0042");

    // Never logged in to the case-file server: its log-in screen.
    screen->displayFileSearch();
    auto login = std::dynamic_pointer_cast<LoginViewController>(navigation.presented());
    ASSERT_TRUE(login);
    login->cancel();
    screen->cancel();
    RunLoop::main().runPending();

    // The recording screen's own parameter screen offers the same.
    addAuthor();
    list.tapRow(0, 10, 320);
    RunLoop::main().runPending();
    auto recorder = std::dynamic_pointer_cast<AudioRecordControllerThree>(navigation.top());
    ASSERT_TRUE(recorder);
    recorder->displayParameter();
    auto editor = std::dynamic_pointer_cast<ParamWorkflowDictee>(navigation.presented());
    ASSERT_TRUE(editor);
    editor->displayFileSearch();
    EXPECT_TRUE(std::dynamic_pointer_cast<LoginViewController>(navigation.presented()));
    editor->displayScanner();
    EXPECT_TRUE(std::dynamic_pointer_cast<QRCodeReaderViewController>(navigation.presented()));
}

} // namespace
} // namespace orvaneh
