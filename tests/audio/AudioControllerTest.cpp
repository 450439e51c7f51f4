// The closing menu, the summary and the start of sending, over a screen whose save and
// discard are scripted; the recorder's own hooks are tested with the recorder.
#include "Classes/audio/AudioController.h"

#include "Classes/core/DicteeRequest.h"
#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/core/UserDefaultManager.h"
#include "Classes/core/siteRequest.h"
#include "Platform/notifications/NotificationCenter.h"
#include "support/TestDatabase.h"

#include <future>
#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using Style = UserInterface::Choice::Style;

class ScriptedScreen : public AudioController {
public:
    using AudioController::AudioController;
    std::optional<DicteeModel> saveResult;
    std::vector<bool> saves; // the draft flag of each save
    int cancels = 0;
    std::vector<std::int64_t> stayedOpenWith;
    bool offersSend = true;
    bool offersInterrupt = true;

    std::optional<DicteeModel> saveDictation(bool draft) override {
        saves.push_back(draft);
        return saveResult;
    }
    void cancelDictation() override { ++cancels; }
    bool recordChoiceMenuShouldDisplaySendDictation() override { return offersSend; }
    bool recordChoiceMenuShouldDisplayInterruptDictation() override { return offersInterrupt; }
    void dictationStaysOpenAfterSave(const DicteeModel& record) override {
        stayedOpenWith.push_back(record.idDictee);
    }
};

// A summary override as the subclasses write it: save a draft, then show it.
class SummarisingScreen : public ScriptedScreen {
public:
    using ScriptedScreen::ScriptedScreen;
    void displayResumeAlertViewForDictee(const std::optional<DicteeModel>&) override {
        if (auto record = saveDictation(true)) {
            AudioController::displayResumeAlertViewForDictee(record);
        }
    }
};

class AudioControllerTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);
    OrvanehAppDelegate application;
    int finished = 0;
    Observation observation = NotificationCenter::defaultCenter().addObserver(
        AudioController::kRecordFinished, [this](const PostedNotification&) { ++finished; });

    static void addDefaultSite(int type) {
        SiteModel site{0, "Cabinet", "", "", "", type, true, false};
        site.idSite = siteRequest().addSite(site);
        siteRequest().updateSite(site); // the default mark is written by an update
    }
    // A stored draft, as the screen's save leaves it.
    static DicteeModel storedDraft() {
        DicteeModel record;
        record.titre = "Courrier";
        record.masterJobId = "JOB-1";
        record.idDictee = DicteeRequest().insertDictee(record);
        return record;
    }
    std::size_t count(const std::string& kind) { return profile.ui().messages(kind).size(); }
};

TEST_F(AudioControllerTest, ResumeMessageIsBuiltLineByLine) {
    DicteeModel record;
    record.titre = "Courrier Martin";
    record.identValue = "D-42";
    record.auteur = "jdupont";
    record.contexte = "Cardiologie";
    record.secretaire = "mmartin";
    record.worktype = "Lettre";
    record.priorite = "Haute";
    const std::string tail = "Secrétaire : mmartin\nTravail Type : Lettre\nPriorité : Haute";
    struct Case {
        std::string type, jobTitle, identLabel, expected;
    };
    for (const Case& c : {
             Case{"Dictée numérique", "Dossier", "Client",
                  "Dossier : Courrier Martin\nClient : D-42\nAuteur : jdupont\nType : Dictée numérique\n" +
                      tail},
             Case{"Dictée numérique", "Dossier", "",
                  "Dossier : Courrier Martin\nAuteur : jdupont\nType : Dictée numérique\n" + tail},
             Case{"Dictée numérique", "", "Client",
                  "Nom Dictee : Courrier Martin\nAuteur : jdupont\nType : Dictée numérique\n" + tail},
             Case{"Reconnaissance vocale", "", "",
                  "Nom Dictee : Courrier Martin\nAuteur : jdupont\nType : Reconnaissance vocale\n"
                  "Contexte : Cardiologie\n" +
                      tail},
         }) {
        SCOPED_TRACE(c.expected);
        record.type = c.type;
        EXPECT_EQ(AudioController::resumeMessage(record, c.jobTitle, c.identLabel), c.expected);
    }
}

TEST_F(AudioControllerTest, MenuOffersTheAllowedActionsInOrderAndRunsTheChosenOne) {
    ScriptedScreen screen(application);
    screen.offersSend = false;
    profile.ui().queueAnswer(0);
    screen.saveResult = storedDraft();
    screen.showRecordChoiceMenuWithTitle(std::string("Courrier"));

    const auto menu = profile.ui().calls().front();
    EXPECT_EQ(menu.title, "Courrier");
    std::vector<std::pair<std::string, Style>> choices;
    for (const auto& choice : menu.choices) {
        choices.emplace_back(choice.title, choice.style);
    }
    EXPECT_EQ(choices,
              (std::vector<std::pair<std::string, Style>>{{"Interrompre la dictée", Style::Normal},
                                                          {"Abandonner la dictée", Style::Destructive},
                                                          {"Annuler", Style::Cancel}}));
    EXPECT_EQ(screen.saves, std::vector<bool>{true}) << "index 0 is Interrupt once Send is left out";
    EXPECT_EQ(count("popToRoot"), 1U);
    EXPECT_EQ(finished, 1);

    screen.offersSend = true;
    screen.offersInterrupt = false;
    profile.ui().queueAnswer(2);
    screen.showRecordChoiceMenuWithTitle(std::nullopt);
    EXPECT_EQ(profile.ui().calls().back().choices.front().title, "Envoyer la dictée");
    EXPECT_EQ(screen.saves.size(), 1U) << "Cancel does nothing";
    EXPECT_EQ(screen.cancels, 0);

    profile.ui().queueAnswer(1);
    screen.showRecordChoiceMenuWithTitle(std::nullopt);
    EXPECT_EQ(screen.cancels, 1);
    EXPECT_EQ(finished, 2) << "Abandon posts RecordFinished";

    // An answer that comes after its screen is gone is dropped.
    std::make_unique<ScriptedScreen>(application)->showRecordChoiceMenuWithTitle(std::nullopt);
    ASSERT_TRUE(profile.ui().answerPending(2));
    EXPECT_EQ(finished, 2);
}

TEST_F(AudioControllerTest, SendSavesSendsAndReturnsUnlessTheSiteCannotSendOrTheSaveFails) {
    ScriptedScreen screen(application);
    for (int type : {3, 4, 8}) {
        SCOPED_TRACE(type);
        test::execute("delete from site");
        addDefaultSite(type);
        screen.sendDictation();
        EXPECT_EQ(profile.ui().messages("banner").back(), "L'envoi par mail n'est pas pris en charge");
    }
    EXPECT_TRUE(screen.saves.empty());
    EXPECT_EQ(count("popToRoot"), 0U);
    EXPECT_EQ(finished, 0);

    test::execute("delete from site");
    addDefaultSite(1);
    screen.sendDictation();
    screen.interruptDictation();
    EXPECT_EQ(screen.saves, (std::vector<bool>{false, true}));
    EXPECT_EQ(count("popToRoot"), 0U) << "the saves failed";
    EXPECT_EQ(finished, 0);

    screen.saveResult = storedDraft();
    screen.sendDictation();
    EXPECT_EQ(screen.saves.back(), false);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(count("popToRoot"), 1U);
}

TEST_F(AudioControllerTest, SummaryBeforeSendingConfirmsOrKeepsTheDraft) {
    UserDefaultManager::setBool(true, "ValidateBeforeSend");
    UserDefaultManager::setObject("Dossier", "JobTitlPref");
    UserDefaultManager::setObject("Client", "IdentPref");
    SummarisingScreen screen(application);
    const DicteeModel draft = storedDraft();
    screen.saveResult = draft;

    screen.sendDictation();
    const auto summary = profile.ui().calls().back();
    EXPECT_EQ(summary.title, "Dossier");
    EXPECT_EQ(summary.message,
              "Dossier : Courrier\nClient : \nAuteur : \nType : \nSecrétaire : \nTravail Type : "
              "\nPriorité : ");
    EXPECT_EQ(screen.saves, std::vector<bool>{true});

    ASSERT_TRUE(profile.ui().answerPending(0)); // "Annuler"
    EXPECT_EQ(screen.stayedOpenWith, std::vector<std::int64_t>{draft.idDictee});
    EXPECT_EQ(count("popToRoot"), 0U);

    screen.sendDictation();
    ASSERT_TRUE(profile.ui().answerPending(1));
    EXPECT_FALSE(DicteeRequest().selectDictee(draft.idDictee).brouillon);
    EXPECT_EQ(count("popToRoot"), 1U);
    EXPECT_EQ(finished, 1);

    // The record went away meanwhile: the send is not written, the screen stays.
    screen.sendDictation();
    DicteeRequest().deleteDicteeWithId(draft.idDictee);
    ASSERT_TRUE(profile.ui().answerPending(1));
    EXPECT_THAT(profile.ui().messages("banner").back(), ::testing::HasSubstr("n'a pas pu être enregistrée"));
    EXPECT_EQ(count("popToRoot"), 1U);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(screen.stayedOpenWith.size(), 2U);
}

TEST_F(AudioControllerTest, PermissionIsAnsweredAtOnceOrWhenTheUserHasAnswered) {
    using Permission = AudioSession::RecordPermission;
    for (auto [permission, granted] : {std::pair{Permission::Denied, false}, {Permission::Granted, true}}) {
        profile.media().setRecordPermission(permission);
        std::optional<bool> answer;
        AudioController::checkRecordPermission([&](bool value) { answer = value; });
        EXPECT_EQ(answer, granted) << "at once";
    }
    profile.media().setRecordPermission(Permission::Undetermined);
    profile.media().setPermissionAnswer(true);
    std::promise<bool> answer;
    AudioController::checkRecordPermission([&](bool value) { answer.set_value(value); });
    auto future = answer.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(future.get());
    AudioController::checkRecordPermission({});
}

} // namespace
} // namespace orvaneh
