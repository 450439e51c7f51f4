// Recording, playback and editing on the recording screen: takes spliced at the cursor, checked
// sample by sample, playback and seeks under the virtual clock, the track switch, the markers
// and the cut.
#include "Classes/core/UserDefaultManager.h"
#include "audio/RecorderFixture.h"
#include "support/LogCapture.h"

namespace orvaneh {
namespace {

using Screen = AudioRecordControllerThree;
using test::operator+;
using test::part;
using test::signal;

class AudioRecordControllerTest : public test::RecorderTest {};

TEST_F(AudioRecordControllerTest, TakesAreInsertedAtTheCursorAndInterruptStoresADraft) {
    open(true);
    const auto base = signal(1, 10);
    hear(base);
    take(10);
    EXPECT_EQ(profile.media().writtenFiles(), std::vector<std::string>{doc("dictee.wav")}) << "straight in";
    EXPECT_EQ(track("dictee.wav"), base);
    EXPECT_EQ(screen->dureeRecord(), 10);
    EXPECT_EQ(screen->view().sliderValue, 10.0F);

    screen->progressSliderMoved(5);
    const auto added = signal(-1, 2);
    hear(added);
    take(2);
    EXPECT_EQ(profile.media().writtenFiles().back(), doc("dictee2.wav"));
    EXPECT_EQ(track("dictee.wav"), part(base, 0, 5) + added + part(base, 5, 10));
    EXPECT_EQ(wavFiles(), std::vector<std::string>{"dictee.wav"});
    EXPECT_EQ(screen->dureeRecord(), 12);
    EXPECT_EQ(screen->view().sliderValue, 7.0F);
    EXPECT_EQ(screen->view().sliderMaximum, 12.0F);
    EXPECT_EQ(screen->view().durationText, "0:12");

    screen->interruptDictation();
    const auto record = DicteeRequest().selectDictee(1);
    EXPECT_EQ(record.titre, "Dictée 1");
    EXPECT_TRUE(record.brouillon);
    EXPECT_EQ(record.dureeDictee, 12);
    EXPECT_EQ(record.masterJobId.size(), 36U);
    EXPECT_EQ(track("1.wav"), part(base, 0, 5) + added + part(base, 5, 10));
    EXPECT_EQ(wavFiles(), std::vector<std::string>{"1.wav"});
    EXPECT_EQ(count("popToRoot"), 1U);
    EXPECT_EQ(finished, 1);
}

TEST_F(AudioRecordControllerTest, OpenedDictationStartsAtItsEndSoATakeAppends) {
    const auto base = signal(1, 3);
    const auto id = storeDictation("Courrier", base);
    open(false, id);
    EXPECT_EQ(screen->view().sliderValue, 3.0F);
    EXPECT_EQ(screen->player()->currentTime(), 3.0);
    EXPECT_EQ(track("dicteeTemp.wav"), base) << "the opening copy";

    const auto added = signal(-1, 1);
    hear(added);
    take(1);
    EXPECT_EQ(track("dictee.wav"), base + added);
    screen->interruptDictation();
    EXPECT_EQ(track(std::to_string(id) + ".wav"), base + added);
    EXPECT_EQ(DicteeRequest().selectDictee(id).dureeDictee, 4);
    EXPECT_EQ(wavFiles(), std::vector<std::string>{std::to_string(id) + ".wav"});
}

TEST_F(AudioRecordControllerTest, PlayingFromTheEndStartsOverAndPausesJustBeforeTheEnd) {
    open(true);
    take(2);
    screen->recordAction();
    ASSERT_EQ(screen->etatLecteur(), Screen::kPlayer);
    // Without the loudspeaker, playback goes on through the default output.
    profile.media().setSpeakerOverrideError("sortie occupée");
    test::LogCapture log;
    screen->performPlayerAction();
    EXPECT_TRUE(log.contains("error doing outputaudioportoverride - sortie occupée"));
    EXPECT_TRUE(screen->isPlaying());
    EXPECT_EQ(screen->view().sliderValue, 0.0F);
    EXPECT_EQ(screen->view().playPauseImage, "play_pause_btn_p");
    run(1.01);
    EXPECT_NEAR(screen->view().sliderValue, 1.0, 0.021);
    EXPECT_EQ(screen->view().positionText, "0:01");

    run(0.99);
    EXPECT_FALSE(screen->isPlaying());
    EXPECT_GE(screen->player()->currentTime(), 1.9);
    EXPECT_LT(screen->player()->currentTime(), 2.0) << "paused by the screen, not by the end of the file";
    EXPECT_EQ(screen->view().sliderValue, 2.0F);
    EXPECT_EQ(screen->view().playPauseImage, "play_pause_btn_b");

    // Pausing keeps the place; playing again goes on from there.
    screen->progressSliderMoved(0.5);
    screen->performPlayerAction();
    run(0.5);
    screen->performPlayerAction();
    EXPECT_FALSE(screen->isPlaying());
    EXPECT_NEAR(Screen::recordStartPosition(), 1.0, 0.021);
}

TEST_F(AudioRecordControllerTest, EachTrackKeepsItsPositionAcrossSwitches) {
    const auto id = storeDictation("Note", signal(1, 3), signal(-1, 2));
    open(false, id);
    screen->progressSliderMoved(1.0);

    screen->changeDicteeOrInstruction();
    EXPECT_FALSE(screen->isDictee());
    EXPECT_EQ(screen->view().sliderValue, 2.0F) << "first switch: the end of the instruction";
    EXPECT_EQ(screen->dureeRecord(), 2.0);
    EXPECT_EQ(screen->view().trackImage, "btn_insdic_ins_on");
    EXPECT_EQ(screen->view().recordImage, "record_btn_ins_off");
    EXPECT_EQ(screen->view().containerColor, Screen::kInstructionContainerColor);

    screen->progressSliderMoved(0.5);
    screen->changeDicteeOrInstruction();
    EXPECT_TRUE(screen->isDictee());
    EXPECT_EQ(screen->view().sliderValue, 1.0F);
    EXPECT_EQ(screen->player()->currentTime(), 1.0);
    EXPECT_EQ(screen->dureeRecord(), 3.0);
    EXPECT_EQ(screen->view().containerColor, Colors::RecorderProgressBarBackgroundColor);

    screen->changeDicteeOrInstruction();
    EXPECT_EQ(screen->view().sliderValue, 0.5F);

    // A take on the instruction track goes into its own file.
    const auto added = signal(-1, 1, 5000);
    hear(added);
    take(1);
    EXPECT_EQ(track("instruction.wav"), part(signal(-1, 2), 0, 0.5) + added + part(signal(-1, 2), 0.5, 2));
    EXPECT_EQ(track("dictee.wav"), signal(1, 3));
}

TEST_F(AudioRecordControllerTest, MarkersArePlacedSelectedAndRemovedOverTheSlider) {
    open(true);
    screen->placeOrRemovePin();
    EXPECT_FALSE(screen->curseurImV1().controlState()) << "nothing to mark on an empty track";
    take(10);

    // Slider 280 points wide from x = 20: one second is 28 points.
    screen->progressSliderMoved(2);
    screen->placeOrRemovePin();
    const auto& first = screen->curseurImV1();
    const auto& second = screen->curseurImV2();
    EXPECT_TRUE(first.controlState() && first.visible());
    EXPECT_EQ(first.value(), 2.0F);
    EXPECT_EQ(first.frame(), (Rect{66, 154, 21, 21}));
    EXPECT_EQ(screen->view().bandFrame, (Rect{76, 161, 224, 9})) << "to the end";
    EXPECT_EQ(screen->view().bandAlpha, 0.7);
    EXPECT_EQ(screen->view().pinButtonImage, "markerAdd");

    screen->progressSliderMoved(6);
    screen->placeOrRemovePin();
    EXPECT_EQ(second.frame(), (Rect{178, 154, 21, 21}));
    EXPECT_EQ(screen->view().bandFrame, (Rect{76, 161, 112, 9}));
    EXPECT_EQ(screen->view().pinButtonImage, "markerDelete");

    screen->touchPin(2);
    EXPECT_TRUE(second.controlSelected());
    EXPECT_EQ(second.imageName(), "boutonRouge.png");
    screen->touchPin(1);
    EXPECT_TRUE(first.controlSelected());
    EXPECT_FALSE(second.controlSelected()) << "one selected at most";
    EXPECT_EQ(screen->view().pinButtonImage, "markerDelete");

    screen->placeOrRemovePin();
    EXPECT_FALSE(first.controlState() || first.visible()) << "the selected one goes";
    EXPECT_TRUE(second.controlState());
    EXPECT_EQ(screen->view().bandFrame, (Rect{188, 161, 112, 9}));
    EXPECT_EQ(screen->view().pinButtonImage, "markerAdd");

    // Removing kept marker 1's selection; placing it again clears it.
    EXPECT_TRUE(first.controlSelected());
    screen->progressSliderMoved(8);
    screen->placeOrRemovePin();
    EXPECT_TRUE(first.controlState());
    EXPECT_FALSE(first.controlSelected());
    EXPECT_EQ(first.imageName(), "boutonVert.png");
    EXPECT_EQ(screen->view().bandFrame, (Rect{188, 161, 56, 9}));

    screen->placeOrRemovePin();
    EXPECT_FALSE(first.controlState() || second.controlState()) << "none selected: both go";
    EXPECT_EQ(screen->view().bandAlpha, 0);
    EXPECT_EQ(screen->view().pinButtonImage, "markerAdd");
}

TEST_F(AudioRecordControllerTest, CutRemovesTheBandAfterConfirmation) {
    open(true);
    const auto base = signal(1, 10);
    hear(base);
    take(10);
    screen->cutChunkDictation();
    EXPECT_EQ(count("confirmation"), 0U) << "no marker placed";

    // One marker: from it to the end.
    screen->progressSliderMoved(6);
    screen->placeOrRemovePin();
    screen->cutChunkDictation();
    const auto question = profile.ui().calls().back();
    EXPECT_EQ(question.kind, "confirmation");
    EXPECT_EQ(question.title, "");
    EXPECT_EQ(question.message, "Voulez-supprimer cette partie ?");
    EXPECT_EQ(question.cancelTitle, "Non");
    EXPECT_EQ(question.otherTitle, "Oui");
    EXPECT_EQ(question.tag, Screen::kCutConfirmTag);
    ASSERT_TRUE(profile.ui().answerPending(0));
    EXPECT_EQ(track("dictee.wav"), base);

    screen->cutChunkDictation();
    ASSERT_TRUE(profile.ui().answerPending(1));
    EXPECT_EQ(track("dictee.wav"), part(base, 0, 6));
    EXPECT_EQ(screen->dureeRecord(), 6);
    EXPECT_FALSE(screen->curseurImV1().controlState());
    EXPECT_EQ(screen->view().bandAlpha, 0);
    EXPECT_EQ(wavFiles(), std::vector<std::string>{"dictee.wav"});

    // Two markers, the first one later.
    screen->progressSliderMoved(5);
    screen->placeOrRemovePin();
    screen->progressSliderMoved(1);
    screen->placeOrRemovePin();
    profile.ui().queueAnswer(1);
    screen->cutChunkDictation();
    EXPECT_EQ(track("dictee.wav"), part(base, 0, 1) + part(base, 5, 6));
    EXPECT_EQ(screen->dureeRecord(), 2);

    // Not while playing.
    screen->placeOrRemovePin();
    screen->progressSliderMoved(0);
    screen->performPlayerAction();
    ASSERT_TRUE(screen->isPlaying());
    const auto asked = count("confirmation");
    screen->cutChunkDictation();
    EXPECT_EQ(count("confirmation"), asked);
}

TEST_F(AudioRecordControllerTest, SeeksMoveEveryFifthOfASecondFasterAndFaster) {
    open(true);
    take(10);
    ASSERT_EQ(screen->etatLecteur(), Screen::kStandBy);
    screen->rewindTouchDown();
    EXPECT_EQ(screen->etatLecteur(), Screen::kPlayer);
    run(0.1);
    screen->rewindTouchUp();
    EXPECT_EQ(screen->view().sliderValue, 10.0F) << "a short press does not move";

    screen->rewindTouchDown();
    for (double expected : {9.0, 7.9, 6.69}) {
        run(0.2);
        EXPECT_NEAR(screen->view().sliderValue, expected, 1e-4);
        EXPECT_NEAR(screen->player()->currentTime(), expected, 1e-4);
    }
    screen->rewindTouchUp();
    run(1);
    EXPECT_NEAR(screen->view().sliderValue, 6.69, 1e-4);
    EXPECT_EQ(screen->view().positionText, "0:06");

    screen->fastForwardTouchDown();
    run(0.4);
    screen->fastForwardTouchUp();
    EXPECT_NEAR(screen->view().sliderValue, 8.79, 1e-4);
}

TEST_F(AudioRecordControllerTest, PushToTalkRecordsWhileTheButtonIsHeld) {
    UserDefaultManager::setBool(true, "PushToRecordAndPlay");
    open(true);
    hear(signal(1, 1));
    screen->pushRecordActionStart();
    EXPECT_EQ(screen->etatLecteur(), Screen::kRecording);
    EXPECT_TRUE(screen->isRecording());
    run(1);
    screen->recordAction();
    EXPECT_EQ(screen->etatLecteur(), Screen::kPlayer);
    EXPECT_EQ(track("dictee.wav"), signal(1, 1));

    screen->playerAction();
    EXPECT_FALSE(screen->isPlaying()) << "a release alone does nothing";
    screen->pushPlayerActionStart();
    EXPECT_TRUE(screen->isPlaying());
    run(0.5);
    screen->playerAction();
    EXPECT_FALSE(screen->isPlaying());

    UserDefaultManager::setBool(false, "PushToRecordAndPlay");
    screen->viewWillAppear();
    screen->pushRecordActionStart();
    screen->pushPlayerActionStart();
    EXPECT_EQ(screen->etatLecteur(), Screen::kPlayer);
    EXPECT_FALSE(screen->isPlaying());
}

TEST_F(AudioRecordControllerTest, PriorityTitleAndRecordingIndicator) {
    ParamWorkflow parameters;
    parameters.priority = "Basse";
    open(true, 0, parameters);
    EXPECT_EQ(screen->view().titleText, "Dictée 1");
    EXPECT_EQ(screen->nivPriorite(), 0);
    EXPECT_EQ(screen->view().priorityImage, "priorite_basse");

    struct Step {
        int level;
        const char *label, *image;
        Color strip;
    };
    for (const Step& step :
         {Step{1, "Moyenne", "priorite_moyenne", Colors::NavigationBarDefaultBackground},
          Step{2, "Haute", "priorite_haute", Screen::kHighPriorityColor},
          Step{1, "Moyenne", "priorite_moyenne", Colors::NavigationBarDefaultBackground}}) {
        screen->displayPriorite();
        EXPECT_EQ(screen->nivPriorite(), step.level);
        EXPECT_EQ(screen->paramWorkflow().priority, step.label);
        EXPECT_EQ(screen->view().priorityImage, step.image);
        EXPECT_EQ(screen->view().tabStripColor, step.strip);
    }
    screen->applyScannerResult("D-42");
    EXPECT_EQ(screen->view().titleText, "D-42 / Dictée 1");

    // The title blinks once a second during a take and ends visible.
    screen->recordAction();
    screen->performPlayerAction();
    EXPECT_EQ(screen->view().tabStripColor, Colors::Red);
    EXPECT_EQ(screen->view().containerBorderWidth, 2.0);
    EXPECT_FALSE(screen->view().sliderEnabled || screen->view().cutEnabled ||
                 screen->view().pinButtonEnabled);
    EXPECT_FALSE(screen->view().navigationLeftButtonEnabled);
    const double alpha = screen->view().titleAlpha;
    run(1.0);
    EXPECT_EQ(screen->view().titleAlpha, 1.0 - alpha);
    run(1.0);
    EXPECT_EQ(screen->view().titleAlpha, alpha);
    screen->performPlayerAction();
    run(3.0);
    EXPECT_EQ(screen->view().titleAlpha, 1.0);
    EXPECT_EQ(screen->view().tabStripColor, Colors::NavigationBarDefaultBackground);
    EXPECT_EQ(screen->view().containerBorderWidth, 0.0);
    EXPECT_TRUE(screen->view().navigationLeftButtonEnabled);
}

} // namespace
} // namespace orvaneh
