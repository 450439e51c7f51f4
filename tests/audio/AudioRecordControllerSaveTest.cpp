// Leaving the recording screen: what is stored for a new, an opened and an already sent
// dictation, what abandoning removes, and how no audio is lost when a save, an insertion or a
// cut fails or when working files are left over from another visit.
#include "Classes/core/UserDefaultManager.h"
#include "audio/RecorderFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using test::operator+;
using test::part;
using test::signal;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

class AudioRecordControllerSaveTest : public test::RecorderTest {
protected:
    static std::vector<std::string> menuTitles(const HeadlessUserInterface::Call& call) {
        std::vector<std::string> titles;
        for (const auto& choice : call.choices) {
            titles.push_back(choice.title);
        }
        return titles;
    }
};

TEST_F(AudioRecordControllerSaveTest, EditedSentDictationIsSentAsANewCopy) {
    const auto base = signal(1, 2);
    const auto id = storeDictation("Courrier", base);
    DicteeRequest().updateDicteeEnvoi(id);
    const auto sentRow = test::rows("select * from dictee where id = " + std::to_string(id));
    open(false, id);
    const auto added = signal(-1, 1);
    hear(added);
    take(1);
    screen->sendDictation();

    const auto copyId = DicteeRequest().getLastId();
    ASSERT_NE(copyId, id);
    const auto copy = DicteeRequest().selectDictee(copyId);
    EXPECT_EQ(copy.titre, "Courrier-1");
    EXPECT_EQ(copy.envoi, 0);
    EXPECT_FALSE(copy.brouillon);
    EXPECT_EQ(copy.masterJobId.size(), 36U);
    EXPECT_EQ(copy.dureeDictee, 3);
    EXPECT_EQ(track(std::to_string(copyId) + ".wav"), base + added);
    EXPECT_EQ(test::rows("select * from dictee where id = " + std::to_string(id)), sentRow);
    EXPECT_EQ(track(std::to_string(id) + ".wav"), base);
    EXPECT_EQ(count("popToRoot"), 1U);
    EXPECT_EQ(finished, 1);
}

TEST_F(AudioRecordControllerSaveTest, AbandonRemovesTheWorkAndAnUnsentRecordButNoStoredAudio) {
    for (bool sent : {false, true}) {
        SCOPED_TRACE(sent);
        const auto id = storeDictation(sent ? "Envoyée" : "En cours", signal(1, 1));
        if (sent) {
            DicteeRequest().updateDicteeEnvoi(id);
        }
        const std::string picture = std::to_string(id) + "-1.jpg";
        profile.writeDocument(picture);
        open(false, id);
        take(1);
        screen->abandonDictation();
        EXPECT_EQ(DicteeRequest().selectDictee(id).idDictee == id, sent);
        EXPECT_FALSE(exists(picture));
        EXPECT_EQ(track(std::to_string(id) + ".wav"), signal(1, 1));
        EXPECT_FALSE(exists("dictee.wav") || exists("dicteeTemp.wav") || exists("dictee2.wav"));
    }
    EXPECT_EQ(count("popToRoot"), 2U);
    EXPECT_EQ(finished, 2);
}

TEST_F(AudioRecordControllerSaveTest, BackButtonOffersSendOnlyOnceThereIsAudio) {
    open(true);
    EXPECT_FALSE(screen->viewShouldBackToParentView());
    EXPECT_EQ(menuTitles(profile.ui().calls().back()),
              (std::vector<std::string>{"Interrompre la dictée", "Abandonner la dictée", "Annuler"}));
    take(1);
    screen->viewShouldBackToParentView();
    EXPECT_EQ(menuTitles(profile.ui().calls().back()).front(), "Envoyer la dictée");
    EXPECT_TRUE(profile.ui().answerPending(3));
    EXPECT_TRUE(profile.ui().answerPending(3));
    EXPECT_EQ(DicteeRequest().getLastId(), 0) << "cancel stores nothing";
}

TEST_F(AudioRecordControllerSaveTest, FailedSaveKeepsTheRecordingsAndTheScreen) {
    open(true);
    const auto base = signal(1, 2);
    hear(base);
    take(2);
    test::execute("alter table dictee rename to dictee_aside");
    screen->sendDictation();
    screen->interruptDictation();
    EXPECT_EQ(profile.ui().messages("banner"),
              std::vector<std::string>(2, "La dictée n'a pas pu être enregistrée. Les enregistrements sont "
                                          "conservés sur l'appareil pour un nouvel essai."));
    EXPECT_EQ(count("popToRoot"), 0U);
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(wavFiles(), std::vector<std::string>{"dictee.wav"});
    EXPECT_TRUE(screen->hasNoRecord());

    test::execute("alter table dictee_aside rename to dictee");
    screen->interruptDictation();
    EXPECT_EQ(test::rows("select count(*) from dictee"), test::Rows{{"1"}});
    EXPECT_EQ(track("1.wav"), base);
    EXPECT_EQ(count("popToRoot"), 1U);
}

TEST_F(AudioRecordControllerSaveTest, CancelledSummaryKeepsEditingTheSavedDraft) {
    UserDefaultManager::setBool(true, "ValidateBeforeSend");
    open(true);
    const auto first = signal(1, 2);
    hear(first);
    take(2);
    screen->sendDictation();
    EXPECT_EQ(test::rows("select id, brouillon from dictee"), (test::Rows{{"1", "1"}})) << "a draft at once";
    ASSERT_TRUE(profile.ui().answerPending(0));
    EXPECT_FALSE(screen->hasNoRecord());
    EXPECT_EQ(screen->idDictee(), 1);
    EXPECT_EQ(track("dictee.wav"), first) << "reopened from the stored file";
    EXPECT_EQ(screen->view().sliderValue, 2.0F);

    const auto second = signal(-1, 1);
    hear(second);
    take(1);
    screen->sendDictation();
    ASSERT_TRUE(profile.ui().answerPending(1));
    EXPECT_EQ(test::rows("select id, brouillon, duree_dictee from dictee"), (test::Rows{{"1", "0", "3"}}));
    EXPECT_EQ(track("1.wav"), first + second);
    EXPECT_EQ(wavFiles(), std::vector<std::string>{"1.wav"});
    EXPECT_EQ(count("popToRoot"), 1U);
}

TEST_F(AudioRecordControllerSaveTest, FailedInsertionOrCutLeavesTheTrackAndKeepsTheTake) {
    open(true);
    const auto base = signal(1, 2);
    hear(base);
    take(2);
    // The edits cannot write their output: a directory that is not empty stands in its way.
    std::filesystem::create_directory(doc("temp3.wav"));
    profile.writeDocument("temp3.wav/occupied");

    screen->progressSliderMoved(1);
    const auto added = signal(-1, 1);
    hear(added);
    take(1);
    EXPECT_EQ(track("dictee.wav"), base);
    EXPECT_EQ(screen->dureeRecord(), 2);
    const std::string kept = wavStartingWith("prise-");
    EXPECT_THAT(kept, MatchesRegex("prise-[0-9]{8}-[0-9]{6}\\.wav"));
    EXPECT_EQ(track(kept), added);
    EXPECT_FALSE(exists("dictee2.wav"));
    EXPECT_EQ(lastBanner(),
              "La prise n'a pas pu être insérée dans la piste, qui reste inchangée. La prise est "
              "conservée dans le fichier " +
                  kept);

    screen->progressSliderMoved(0.5);
    screen->placeOrRemovePin();
    profile.ui().queueAnswer(1);
    screen->cutChunkDictation();
    EXPECT_EQ(track("dictee.wav"), base);
    EXPECT_EQ(lastBanner(), "La coupe n'a pas pu être faite ; la piste reste inchangée.");

    // Once the edits can write again, the next take goes in.
    std::filesystem::remove_all(doc("temp3.wav"));
    screen->progressSliderMoved(1);
    take(1);
    EXPECT_EQ(track("dictee.wav"), part(base, 0, 1) + added + part(base, 1, 2));
}

TEST_F(AudioRecordControllerSaveTest, WorkingFilesOfAnotherVisitAreKeptAsideOrResumed) {
    const auto stored = signal(1, 1);
    const auto id = storeDictation("B", stored);
    const auto foreign = signal(1, 2, 7000);
    const auto lostTake = signal(-1, 1);
    test::writeBytes(doc("dictee.wav"), test::Wave{.samples = foreign}.bytes());
    test::writeBytes(doc("dictee2.wav"), test::Wave{.samples = lostTake}.bytes());
    open(false, id);
    EXPECT_EQ(track("dictee.wav"), stored);
    EXPECT_EQ(track(wavStartingWith("piste-dictee-")), foreign);
    EXPECT_EQ(track(wavStartingWith("prise-")), lostTake);
    EXPECT_EQ(count("banner"), 2U);

    // The screen is closed without a choice: its own working files come back at the next visit.
    const auto added = signal(-1, 1, 3000);
    hear(added);
    take(1);
    screen.reset();
    open(false, id);
    EXPECT_EQ(track("dictee.wav"), stored + added);
    EXPECT_EQ(screen->view().sliderValue, 2.0F);
    EXPECT_EQ(count("banner"), 2U);
    screen.reset();

    // A working file no player can read is not recorded over.
    for (const auto& name : wavFiles()) {
        std::filesystem::remove(doc(name));
    }
    test::writeBytes(doc("dictee.wav"), "not a wave file");
    open(true);
    EXPECT_EQ(screen->dureeRecord(), 0);
    take(1);
    EXPECT_EQ(test::readBytes(doc(wavStartingWith("piste-dictee-"))), "not a wave file");
    EXPECT_EQ(screen->dureeRecord(), 1);
    EXPECT_THAT(lastBanner(), HasSubstr("La piste était illisible"));
}

} // namespace
} // namespace orvaneh
