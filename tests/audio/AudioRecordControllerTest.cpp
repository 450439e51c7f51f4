// The recording screen on a fresh profile and database, its microphone fed by WAV files built in
// code: takes spliced at the cursor and cuts, checked sample by sample; playback, seeks, the
// track switch and the markers under the virtual clock; and leaving the screen: what is stored,
// what abandoning removes, and how no audio is lost when a save, an insertion or a cut fails or
// when working files are left over from another visit.
#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/audio/AudioRecordControllerThree.h"
#include "Classes/audio/RecorderJournal.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/UserDefaultManager.h"
#include "Classes/screens/NavigationController.h"
#include "Classes/screens/PicturesViewController.h"
#include "Classes/transport/Uploader.h"
#include "Classes/workflow/ParamWorkflowDictee.h"
#include "Classes/workflow/ParamWorkflowDicteeTitleIdentViewController.h"
#include "Platform/files/FileLock.h"
#include "Platform/media/SimulatedMediaBackend.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"
#include "audio/WaveTestFiles.h"
#include "support/Files.h"
#include "support/LogCapture.h"
#include "support/TestDatabase.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh::test {

class RecorderTest : public ::testing::Test {
protected:
    TestProfile profile;
    std::filesystem::path database = createDatabase(profile);
    OrvanehAppDelegate application;
    TemporaryDirectory inputs;
    std::unique_ptr<AudioRecordControllerThree> screen;
    int finished = 0;
    Observation observation = NotificationCenter::defaultCenter().addObserver(
        AudioController::kRecordFinished, [this](const PostedNotification&) { ++finished; });

    std::string doc(const std::string& name) const { return (profile.documents() / name).string(); }
    bool exists(const std::string& name) const { return std::filesystem::exists(profile.documents() / name); }

    // What the microphone hears from the next take on.
    void hear(const Samples& samples) {
        const auto path = inputs.path() / ("input" + std::to_string(++inputs_) + ".wav");
        writeBytes(path, Wave{.samples = samples}.bytes());
        profile.media().setInput(SimulatedAudioInput::file(path.string()));
    }

    // Opens the screen as the dictation list does.
    void open(bool isNew, std::int64_t id = 0, ParamWorkflow parameters = {}) {
        if (!isNew) {
            parameters.getParamWorkflowDictee(id);
        }
        screen = std::make_unique<AudioRecordControllerThree>(
            application, isNew ? std::nullopt : std::optional(id), parameters);
        screen->viewDidLoad();
        screen->viewWillAppear();
    }

    static void run(double seconds) { RunLoop::main().runFor(Seconds(seconds)); }

    // A take of `seconds` at the cursor, from stand-by or player; it ends in stand-by.
    void take(double seconds) {
        if (screen->etatLecteur() == AudioRecordControllerThree::kPlayer) {
            screen->recordAction();
        }
        screen->performPlayerAction();
        ASSERT_EQ(screen->etatLecteur(), AudioRecordControllerThree::kRecording);
        run(seconds);
        screen->performPlayerAction();
    }

    // A take of what the microphone hears, whole.
    void take(const Samples& heard) {
        hear(heard);
        take(static_cast<double>(heard.size()) / kRate);
    }
    // Places or removes a marker at `seconds`.
    void pin(double seconds) {
        screen->progressSliderMoved(static_cast<float>(seconds));
        screen->placeOrRemovePin();
    }

    // A stored dictation with its tracks, as an earlier save left it.
    std::int64_t storeDictation(const std::string& title, const Samples& dictation,
                                const Samples& instruction = {}) {
        DicteeModel record;
        record.titre = title;
        record.masterJobId = "JOB-" + title;
        record.priorite = "Moyenne";
        record.dureeDictee = static_cast<std::int64_t>(dictation.size() / kRate);
        record.dureeInstruction = static_cast<std::int64_t>(instruction.size() / kRate);
        const auto id = DicteeRequest().insertDictee(record);
        writeBytes(doc(std::to_string(id) + ".wav"), Wave{.samples = dictation}.bytes());
        if (!instruction.empty()) {
            writeBytes(doc("I" + std::to_string(id) + ".wav"), Wave{.samples = instruction}.bytes());
        }
        return id;
    }

    // The audio of a WAV file of the documents directory.
    Samples track(const std::string& name) const { return audioOf(doc(name)); }

    // The WAV files of the documents directory whose names start so, by name.
    std::vector<std::string> wavFiles(const std::string& prefix = "") const {
        std::vector<std::string> names;
        for (const auto& [name, contents] : filesIn(profile.documents())) {
            if (name.starts_with(prefix) && name.ends_with(".wav")) {
                names.push_back(name);
            }
        }
        return names;
    }
    std::string wavStartingWith(const std::string& prefix) const { return wavFiles(prefix).at(0); }

    std::size_t count(const std::string& kind) { return profile.ui().messages(kind).size(); }
    std::string lastBanner() {
        const auto banners = profile.ui().messages("banner");
        return banners.empty() ? "" : banners.back();
    }

private:
    int inputs_ = 0;
};

} // namespace orvaneh::test

namespace orvaneh {
namespace {

using Screen = AudioRecordControllerThree;
using test::operator+;
using test::part;
using test::signal;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

class AudioRecordControllerTest : public test::RecorderTest {};

TEST_F(AudioRecordControllerTest, TakesAreInsertedAtTheCursorAndInterruptStoresADraft) {
    open(true);
    const auto base = signal(1, 10);
    take(base);
    EXPECT_EQ(profile.media().writtenFiles(), std::vector<std::string>{doc("dictee.wav")}) << "straight in";
    EXPECT_EQ(track("dictee.wav"), base);

    screen->progressSliderMoved(5);
    const auto added = signal(-1, 2);
    take(added);
    EXPECT_EQ(profile.media().writtenFiles().back(), doc("dictee2.wav"));
    const auto spliced = part(base, 0, 5) + added + part(base, 5, 10);
    EXPECT_EQ(track("dictee.wav"), spliced);
    EXPECT_EQ(wavFiles(), std::vector<std::string>{"dictee.wav"});
    EXPECT_EQ(screen->dureeRecord(), 12);
    EXPECT_EQ(screen->view().sliderValue, 7.0F) << "the cursor ends after the take";
    EXPECT_EQ(screen->view().durationText, "0:12");

    screen->interruptDictation();
    const auto record = DicteeRequest().selectDictee(1);
    EXPECT_EQ(record.titre, "Dictée 1");
    EXPECT_TRUE(record.brouillon);
    EXPECT_EQ(record.dureeDictee, 12);
    EXPECT_EQ(track("1.wav"), spliced);
    EXPECT_EQ(wavFiles(), std::vector<std::string>{"1.wav"});
    EXPECT_EQ(count("popToRoot"), 1U);
    EXPECT_EQ(finished, 1);
}

TEST_F(AudioRecordControllerTest, OpenedDictationStartsAtItsEndSoATakeAppends) {
    const auto base = signal(1, 3);
    const auto id = storeDictation("Courrier", base);
    open(false, id);
    EXPECT_EQ(screen->player()->currentTime(), 3.0);
    const auto added = signal(-1, 1);
    take(added);
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
    EXPECT_EQ(screen->view().playPauseImage, "play_pause_btn_p");
    run(1.01);
    EXPECT_NEAR(screen->view().sliderValue, 1.0, 0.021) << "from the start";

    run(0.99);
    EXPECT_FALSE(screen->isPlaying());
    EXPECT_GE(screen->player()->currentTime(), 1.9);
    EXPECT_LT(screen->player()->currentTime(), 2.0) << "paused by the screen, not by the end of the file";
    EXPECT_EQ(screen->view().sliderValue, 2.0F);

    // Pausing keeps the place; playing again goes on from there.
    screen->progressSliderMoved(0.5);
    screen->performPlayerAction();
    run(0.5);
    screen->performPlayerAction();
    EXPECT_FALSE(screen->isPlaying());
    EXPECT_NEAR(screen->recordStartPosition(), 1.0, 0.021);
}

TEST_F(AudioRecordControllerTest, EachTrackKeepsItsPositionAcrossSwitches) {
    const auto instruction = signal(-1, 2);
    const auto id = storeDictation("Note", signal(1, 3), instruction);
    open(false, id);
    screen->progressSliderMoved(1.0);

    screen->changeDicteeOrInstruction();
    EXPECT_FALSE(screen->isDictee());
    EXPECT_EQ(screen->view().sliderValue, 2.0F) << "first switch: the end of the instruction";
    EXPECT_EQ(screen->dureeRecord(), 2.0);
    screen->progressSliderMoved(0.5);
    screen->changeDicteeOrInstruction();
    EXPECT_TRUE(screen->isDictee());
    EXPECT_EQ(screen->player()->currentTime(), 1.0);
    EXPECT_EQ(screen->dureeRecord(), 3.0);
    screen->changeDicteeOrInstruction();
    EXPECT_EQ(screen->view().sliderValue, 0.5F);

    // A take on the instruction track goes into its own file.
    const auto added = signal(-1, 1, 5000);
    take(added);
    EXPECT_EQ(track("instruction.wav"), part(instruction, 0, 0.5) + added + part(instruction, 0.5, 2));
    EXPECT_EQ(track("dictee.wav"), signal(1, 3));
}

TEST_F(AudioRecordControllerTest, MarkersArePlacedSelectedAndRemovedOverTheSlider) {
    open(true);
    screen->placeOrRemovePin();
    EXPECT_FALSE(screen->curseurImV1().controlState()) << "nothing to mark on an empty track";
    take(10);

    using Range = RecorderMarkers::Range;
    const auto& first = screen->curseurImV1();
    const auto& second = screen->curseurImV2();
    pin(2);
    EXPECT_TRUE(first.controlState() && first.visible());
    EXPECT_EQ(screen->view().markers[0].value, 2.0);
    EXPECT_EQ(screen->view().band, (Range{2, 10})) << "to the end";
    EXPECT_EQ(screen->view().pinButtonImage, "markerAdd");
    pin(6);
    EXPECT_EQ(screen->view().band, (Range{2, 6}));
    EXPECT_EQ(screen->view().pinButtonImage, "markerDelete");
    // Drawn over the phone's slider as it always was: one second is 28 points from x = 20.
    const auto shown = screen->view();
    const auto layout = shown.layoutIn(RecorderLayout::kPhoneSliderFrame);
    EXPECT_EQ(layout.markerFrame(shown.markers[1].value), (Rect{178, 154, 21, 21}));
    EXPECT_EQ(layout.bandFrame(shown.band->from, shown.band->to), (Rect{76, 161, 112, 9}));

    screen->touchPin(2);
    screen->touchPin(1);
    EXPECT_TRUE(first.controlSelected());
    EXPECT_FALSE(second.controlSelected()) << "one selected at most";
    EXPECT_EQ(screen->view().markers[0].image, "boutonRouge.png");
    screen->placeOrRemovePin();
    EXPECT_FALSE(first.controlState() || first.visible()) << "the selected one goes";
    EXPECT_TRUE(second.controlState());
    EXPECT_EQ(screen->view().band, (Range{6, 10}));

    // Removing kept marker 1's selection; placing it again clears it.
    pin(8);
    EXPECT_TRUE(first.controlState());
    EXPECT_FALSE(first.controlSelected());
    EXPECT_EQ(screen->view().band, (Range{6, 8})) << "between the markers, whatever their order";
    screen->placeOrRemovePin();
    EXPECT_FALSE(first.controlState() || second.controlState()) << "none selected: both go";
    EXPECT_EQ(screen->view().band, std::nullopt);
}

// What a view draws is in seconds and ranges, whatever the size it draws them at.
TEST_F(AudioRecordControllerTest, ViewStateFollowsATakeAMarkerAndATrackSwitchInSeconds) {
    const auto id = storeDictation("Note", signal(1, 3), signal(-1, 2));
    open(false, id);
    auto shown = screen->view();
    EXPECT_EQ(shown.state, Screen::kPlayer);
    EXPECT_EQ(shown.sliderValue, 3.0F);
    EXPECT_EQ(shown.sliderMaximum, 3.0F);
    EXPECT_EQ(shown.dictationDuration, 3);
    EXPECT_EQ(shown.instructionDuration, 2);
    EXPECT_EQ(shown.trackDuration, 3);
    EXPECT_TRUE(shown.dictationTrack);
    for (const auto& light : shown.levelLights) {
        EXPECT_FALSE(light.lit);
    }

    screen->recordAction();
    hear(signal(1, 1));
    screen->performPlayerAction();
    run(0.5);
    shown = screen->view();
    EXPECT_EQ(shown.state, Screen::kRecording);
    EXPECT_NEAR(shown.trackDuration, 3.5, 0.021) << "the take so far";
    EXPECT_EQ(shown.sliderMaximum, static_cast<float>(shown.trackDuration));
    EXPECT_EQ(shown.dictationDuration, 3) << "measured again once the take ends";
    const auto lit = std::count_if(shown.levelLights.begin(), shown.levelLights.end(),
                                   [](const auto& light) { return light.lit; });
    EXPECT_GT(lit, 0) << "the meter follows the microphone";
    EXPECT_EQ(shown.levelLights[0].color, VuMeterGrid::kDefaultBlueOn);
    EXPECT_EQ(shown.levelLights[11].color,
              lit == 12 ? VuMeterGrid::kDefaultRedOn : VuMeterGrid::kDefaultBlueOff);
    run(0.5);
    screen->performPlayerAction();
    screen->recordAction();

    shown = screen->view();
    EXPECT_EQ(shown.state, Screen::kPlayer);
    EXPECT_EQ(shown.dictationDuration, 4);
    EXPECT_EQ(shown.trackDuration, 4);
    EXPECT_EQ(shown.sliderValue, 4.0F);
    EXPECT_FALSE(shown.levelLights[0].lit);

    pin(1);
    shown = screen->view();
    EXPECT_TRUE(shown.markers[0].placed);
    EXPECT_FALSE(shown.markers[1].placed);
    EXPECT_EQ(shown.markers[0].value, 1.0);
    EXPECT_EQ(shown.band, (RecorderMarkers::Range{1, 4}));

    screen->changeDicteeOrInstruction();
    shown = screen->view();
    EXPECT_FALSE(shown.dictationTrack);
    EXPECT_FALSE(shown.markers[0].placed) << "markers belong to the track left";
    EXPECT_EQ(shown.band, std::nullopt);
    EXPECT_EQ(shown.trackDuration, 2);
    EXPECT_EQ(shown.sliderMaximum, 2.0F);
    EXPECT_EQ(shown.sliderValue, 2.0F);
    EXPECT_EQ(shown.dictationDuration, 4);
}

// The side screens open over the recorder through the application's navigation.
TEST_F(AudioRecordControllerTest, SideScreensOpenOnThisDictation) {
    open(true);
    NavigationController& navigation = application.navigation();
    screen->displayParameter();
    const auto editor = std::dynamic_pointer_cast<ParamWorkflowDictee>(navigation.presented());
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->fieldText(AbstractParamWorkflow::kFirstFieldTag), "Dictée 1");

    // The service picker comes over the parameter screen, which stays below it.
    editor->openServicesView();
    EXPECT_TRUE(std::dynamic_pointer_cast<ServicesViewController>(navigation.presented()));
    ASSERT_EQ(navigation.presentedScreens().size(), 2U);
    navigation.dismiss();
    ASSERT_EQ(navigation.presented(), editor);

    editor->setFieldText(AbstractParamWorkflow::kFirstFieldTag, "Rapport");
    editor->setFieldText(AbstractParamWorkflow::kSecondFieldTag, "D-7");
    editor->saveParamWorkflow(); // "Valider"
    EXPECT_EQ(screen->paramWorkflow().firstField, "Rapport");
    EXPECT_EQ(screen->view().titleText, "D-7 / Rapport");
    EXPECT_EQ(navigation.presented(), nullptr) << "closed by its answer";

    // Dropping the changes closes it too and leaves the recorder's parameters alone.
    screen->displayParameter();
    const auto dropped = std::dynamic_pointer_cast<ParamWorkflowDictee>(navigation.presented());
    ASSERT_TRUE(dropped);
    dropped->setFieldText(AbstractParamWorkflow::kFirstFieldTag, "Autre");
    dropped->viewShouldBackToParentView();
    ASSERT_TRUE(profile.ui().answerPending(1));
    EXPECT_EQ(screen->paramWorkflow().firstField, "Rapport");
    EXPECT_EQ(navigation.presented(), nullptr);

    // A new dictation's pictures are taken under the identifier it will be stored with.
    screen->displayPictures();
    const auto pictures = std::dynamic_pointer_cast<PicturesViewController>(navigation.top());
    ASSERT_TRUE(pictures);
    EXPECT_EQ(pictures->dicteeId(), 1);
    EXPECT_TRUE(pictures->editable());

    // While a sender (here or in another process) holds this dictation, its pictures stay as
    // they are: the office would get the old set.
    FileLock sender(Uploader::senderLockPath());
    ASSERT_EQ(sender.tryLock(), FileLock::Result::Acquired);
    ASSERT_TRUE(sender.writeNote("1"));
    EXPECT_FALSE(pictures->editable());
    EXPECT_FALSE(pictures->addPictureFromFile(profile.documents() / "absente.jpg"));
    EXPECT_THAT(profile.ui().messages("banner").back(), HasSubstr("en cours d'envoi"));
}

TEST_F(AudioRecordControllerTest, CutRemovesTheBandAfterConfirmation) {
    open(true);
    const auto base = signal(1, 10);
    take(base);
    screen->cutChunkDictation();
    EXPECT_EQ(count("confirmation"), 0U) << "no marker placed";

    // One marker: from it to the end, once confirmed.
    pin(6);
    screen->cutChunkDictation();
    EXPECT_EQ(profile.ui().calls().back().message, "Voulez-supprimer cette partie ?");
    ASSERT_TRUE(profile.ui().answerPending(0));
    EXPECT_EQ(track("dictee.wav"), base);
    screen->cutChunkDictation();
    ASSERT_TRUE(profile.ui().answerPending(1));
    EXPECT_EQ(track("dictee.wav"), part(base, 0, 6));
    EXPECT_EQ(screen->dureeRecord(), 6);
    EXPECT_FALSE(screen->curseurImV1().controlState());
    EXPECT_EQ(wavFiles(), std::vector<std::string>{"dictee.wav"});

    // Two markers, the first one later.
    pin(5);
    pin(1);
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
    for (const auto& [level, label] : {std::pair{1, "Moyenne"}, {2, "Haute"}, {1, "Moyenne"}}) {
        screen->displayPriorite();
        EXPECT_EQ(screen->nivPriorite(), level);
        EXPECT_EQ(screen->paramWorkflow().priority, label);
    }
    EXPECT_EQ(screen->view().priorityImage, "priorite_moyenne");
    // The option bar's title editor works on the screen's own parameters and redraws its title.
    screen->optionBarreController().displayTitleAndIdentPropriete();
    const auto editor = screen->optionBarreController().titleEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->txtFirstField(), "Dictée 1");
    ASSERT_TRUE(editor->setSecondFieldText("D-42"));
    editor->endEditing();
    EXPECT_EQ(screen->paramWorkflow().secondField, "D-42");
    EXPECT_EQ(screen->view().titleText, "D-42 / Dictée 1");

    // The title blinks once a second during a take and ends visible; nothing else can be touched.
    screen->recordAction();
    screen->performPlayerAction();
    EXPECT_EQ(screen->view().tabStripColor, Colors::Red);
    EXPECT_FALSE(screen->view().sliderEnabled || screen->view().cutEnabled ||
                 screen->view().pinButtonEnabled || screen->view().navigationLeftButtonEnabled);
    const double alpha = screen->view().titleAlpha;
    run(1.0);
    EXPECT_EQ(screen->view().titleAlpha, 1.0 - alpha);
    screen->performPlayerAction();
    run(3.0);
    EXPECT_EQ(screen->view().titleAlpha, 1.0);
    EXPECT_EQ(screen->view().tabStripColor, Colors::NavigationBarDefaultBackground);
    EXPECT_TRUE(screen->view().navigationLeftButtonEnabled);
}

TEST_F(AudioRecordControllerTest, EditedSentDictationIsSentAsANewCopy) {
    const auto base = signal(1, 2);
    const auto id = storeDictation("Courrier", base);
    DicteeRequest().updateDicteeEnvoi(id);
    const auto sentRow = test::rows("select * from dictee where id = " + std::to_string(id));
    open(false, id);
    const auto added = signal(-1, 1);
    take(added);
    screen->sendDictation();

    const auto copyId = DicteeRequest().getLastId();
    ASSERT_NE(copyId, id);
    const auto copy = DicteeRequest().selectDictee(copyId);
    EXPECT_EQ(copy.titre, "Courrier-1");
    EXPECT_FALSE(copy.envoi || copy.brouillon);
    EXPECT_NE(copy.masterJobId, "JOB-Courrier");
    EXPECT_EQ(copy.dureeDictee, 3);
    EXPECT_EQ(track(std::to_string(copyId) + ".wav"), base + added);
    EXPECT_EQ(test::rows("select * from dictee where id = " + std::to_string(id)), sentRow);
    EXPECT_EQ(track(std::to_string(id) + ".wav"), base);
    EXPECT_EQ(count("popToRoot"), 1U);
    EXPECT_EQ(finished, 1);
}

TEST_F(AudioRecordControllerTest, AbandonRemovesTheWorkAndAnUnsentRecordButNoStoredAudio) {
    // Unsent: the row goes, the recordings stay under names the next dictation will not take.
    const auto abandoned = storeDictation("En cours", signal(1, 1), signal(-1, 1));
    profile.writeDocument(std::to_string(abandoned) + "-1.jpg");
    open(false, abandoned);
    take(1);
    screen->abandonDictation();
    EXPECT_EQ(DicteeRequest().selectDictee(abandoned).idDictee, 0);
    const auto kept = wavFiles("orphelin-" + std::to_string(abandoned) + "-");
    ASSERT_EQ(kept.size(), 2U);
    EXPECT_THAT(kept[0], MatchesRegex("orphelin-1-[0-9]{8}-[0-9]{6}-I\\.wav"));
    EXPECT_EQ(track(kept[0]), signal(-1, 1));
    EXPECT_EQ(track(kept[1]), signal(1, 1));
    EXPECT_THAT(lastBanner(), HasSubstr(kept[1]));
    EXPECT_EQ(wavFiles(), kept) << "no picture, no working file";

    // The next dictation gets the freed number and nothing of the abandoned one.
    open(true);
    ASSERT_EQ(screen->idDictee(), abandoned);
    take(signal(1, 2, 100));
    screen->interruptDictation();
    EXPECT_EQ(track("1.wav"), signal(1, 2, 100));
    EXPECT_FALSE(exists("I1.wav"));

    // Sent: the record and its recording stay, the pictures go.
    DicteeRequest().updateDicteeEnvoi(abandoned);
    profile.writeDocument("1-1.jpg");
    open(false, abandoned);
    take(1);
    screen->abandonDictation();
    EXPECT_EQ(DicteeRequest().selectDictee(abandoned).envoi, 1);
    EXPECT_FALSE(exists("1-1.jpg"));
    EXPECT_EQ(track("1.wav"), signal(1, 2, 100));
    EXPECT_FALSE(exists("dictee.wav") || exists("dictee2.wav") || exists("enregistreur.journal"));
    EXPECT_EQ(count("popToRoot"), 3U);
    EXPECT_EQ(finished, 3);

    // A record that cannot be deleted keeps everything.
    const auto locked = storeDictation("Verrouillée", signal(1, 1));
    test::execute("create trigger keep before delete on dictee begin select raise(abort, 'non'); end");
    open(false, locked);
    screen->abandonDictation();
    EXPECT_EQ(DicteeRequest().selectDictee(locked).idDictee, locked);
    EXPECT_EQ(track(std::to_string(locked) + ".wav"), signal(1, 1));
    EXPECT_EQ(lastBanner(),
              "La dictée n'a pas pu être supprimée ; elle reste dans la liste avec ses enregistrements.");
}

TEST_F(AudioRecordControllerTest, BackButtonOffersSendOnlyOnceThereIsAudio) {
    open(true);
    EXPECT_FALSE(screen->viewShouldBackToParentView());
    EXPECT_EQ(profile.ui().calls().back().choices.front().title, "Interrompre la dictée");
    take(1);
    screen->viewShouldBackToParentView();
    EXPECT_EQ(profile.ui().calls().back().choices.front().title, "Envoyer la dictée");
    EXPECT_TRUE(profile.ui().answerPending(3));
    EXPECT_TRUE(profile.ui().answerPending(3));
    EXPECT_EQ(DicteeRequest().getLastId(), 0) << "cancel stores nothing";
}

TEST_F(AudioRecordControllerTest, FailedSaveKeepsTheRecordingsAndTheScreen) {
    open(true);
    const auto base = signal(1, 2);
    take(base);
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

// A save stopped between the record and the recordings (here the stored file cannot be
// replaced; a crash at that point does the same) never leaves a dictation that the sender would
// take with a record and recordings that do not go together.
TEST_F(AudioRecordControllerTest, SaveStoppedBeforeTheRecordingsAreInPlaceHoldsTheDictationBack) {
    const auto base = signal(1, 2);
    const auto id = storeDictation("Courrier", base);
    open(false, id);
    take(signal(-1, 1));
    const std::filesystem::path stored = doc(std::to_string(id) + ".wav");
    std::filesystem::remove(stored);
    std::filesystem::create_directories(stored / "occupé");
    screen->sendDictation();
    EXPECT_EQ(DicteeRequest().claimNextDicteeToSend(), std::nullopt);
    EXPECT_TRUE(DicteeRequest().selectDictee(id).brouillon);
    EXPECT_EQ(track("dictee.wav"), base + signal(-1, 1)) << "the edit is kept for a new attempt";

    std::filesystem::remove_all(stored);
    screen->sendDictation();
    EXPECT_EQ(track(std::to_string(id) + ".wav"), base + signal(-1, 1));
    const auto claim = DicteeRequest().claimNextDicteeToSend();
    ASSERT_TRUE(claim.has_value());
    EXPECT_EQ(claim->record.idDictee, id);
    EXPECT_EQ(claim->record.dureeDictee, 3);
}

TEST_F(AudioRecordControllerTest, CancelledSummaryKeepsEditingTheSavedDraft) {
    UserDefaultManager::setBool(true, "ValidateBeforeSend");
    open(true);
    const auto first = signal(1, 2);
    take(first);
    screen->sendDictation();
    EXPECT_EQ(test::rows("select id, brouillon from dictee"), (test::Rows{{"1", "1"}})) << "a draft at once";
    ASSERT_TRUE(profile.ui().answerPending(0));
    EXPECT_FALSE(screen->hasNoRecord());
    EXPECT_EQ(screen->idDictee(), 1);
    EXPECT_EQ(track("dictee.wav"), first) << "reopened from the stored file";
    EXPECT_EQ(screen->view().sliderValue, 2.0F);

    const auto second = signal(-1, 1);
    take(second);
    screen->sendDictation();
    ASSERT_TRUE(profile.ui().answerPending(1));
    EXPECT_EQ(test::rows("select id, brouillon, duree_dictee from dictee"), (test::Rows{{"1", "0", "3"}}));
    EXPECT_EQ(track("1.wav"), first + second);
    EXPECT_EQ(wavFiles(), std::vector<std::string>{"1.wav"});
    EXPECT_EQ(count("popToRoot"), 1U);
}

TEST_F(AudioRecordControllerTest, FailedInsertionOrCutLeavesTheTrackAndKeepsTheTake) {
    open(true);
    const auto base = signal(1, 2);
    take(base);
    // The edits cannot write their output: a directory that is not empty stands in its way.
    std::filesystem::create_directory(doc("temp3.wav"));
    profile.writeDocument("temp3.wav/occupied");

    screen->progressSliderMoved(1);
    const auto added = signal(-1, 1);
    take(added);
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

    pin(0.5);
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

// Working files found at the opening (a crash, a kill, a screen closed without a choice) are
// taken up only when the journal shows them as the last complete step of this very dictation.
TEST_F(AudioRecordControllerTest, LeftoverWorkingFilesAreTakenUpOnlyWhenTheyAreTheLastStepOfThisDictation) {
    const auto stored = signal(1, 1);
    const auto added = signal(-1, 1, 3000);
    const auto other = signal(1, 2, 7000);
    const std::string takenUp = "La modification interrompue de cette dictée est reprise telle qu'elle était "
                                "après sa dernière étape terminée.";
    const std::string notTakenUp =
        "Une modification interrompue de cette dictée n'a pas pu être reprise ; ses "
        "enregistrements sont conservés dans : piste-dictee-";
    const std::string another =
        "Les enregistrements non enregistrés d'une autre dictée sont conservés dans : "
        "piste-dictee-";
    struct Case {
        const char* what;
        std::function<void()> between;
        std::string banner;       // none when nothing was left to take up
        test::Samples shown;      // the track the screen opens on
        test::Samples setAside{}; // kept as "piste-dictee-…", when not taken up
    };
    const std::vector<Case> cases = {
        {"closed without a choice", [] {}, takenUp, stored + added},
        {"save cut short after moving the track",
         [this] { std::filesystem::rename(doc("dictee.wav"), doc("1.wav")); }, "", stored + added},
        {"track rewritten after its last step",
         [&] { test::writeBytes(doc("dictee.wav"), test::Wave{.samples = other}.bytes()); }, notTakenUp,
         stored, other},
        {"no journal", [this] { std::filesystem::remove(doc("enregistreur.journal")); }, another, stored,
         stored + added},
        {"another dictation under the number",
         [&] {
             test::execute("delete from dictee");
             storeDictation("Autre", other);
         },
         another, other, stored + added},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::execute("delete from dictee");
        for (const auto& [name, contents] : test::filesIn(profile.documents())) {
            if (!name.starts_with("db_Quira")) {
                std::filesystem::remove(doc(name));
            }
        }
        ASSERT_EQ(storeDictation("B", stored), 1);
        open(false, 1);
        take(added);
        screen.reset();
        c.between();
        const auto banners = count("banner");
        open(false, 1);
        EXPECT_EQ(track("dictee.wav"), c.shown);
        EXPECT_EQ(screen->dureeRecord(), static_cast<double>(c.shown.size()) / test::kRate);
        ASSERT_EQ(count("banner"), banners + (c.banner.empty() ? 0 : 1));
        if (!c.banner.empty()) {
            EXPECT_THAT(lastBanner(), ::testing::StartsWith(c.banner));
        }
        if (!c.setAside.empty()) {
            EXPECT_EQ(track(wavStartingWith("piste-dictee-")), c.setAside);
        }
        // Saving now stores the state the screen shows, once.
        screen->interruptDictation();
        EXPECT_EQ(track("1.wav"), c.shown);
    }

    // A new dictation never takes up working files, however complete: they are another's.
    test::writeBytes(doc("dictee.wav"), "not a wave file");
    test::writeBytes(doc("dictee2.wav"), test::Wave{.samples = added}.bytes());
    open(true);
    EXPECT_EQ(screen->dureeRecord(), 0);
    EXPECT_EQ(test::readBytes(doc(wavStartingWith("piste-dictee-"))), "not a wave file");
    EXPECT_EQ(track(wavStartingWith("prise-")), added);
    take(1);
    EXPECT_EQ(screen->dureeRecord(), 1);
}

// Files under the number a new dictation is stored with belong to an older one (its row was
// deleted, or the database replaced): set aside, never sent with it, never recorded over.
// Working files of a save cut short after its record was written are that dictation's,
// whichever screen finds them; those of an edit never saved are only set aside.
TEST_F(AudioRecordControllerTest, SaveCutShortIsCompletedByTheNextScreen) {
    for (const bool saving : {true, false}) {
        SCOPED_TRACE(saving ? "enregistrement interrompu" : "modification interrompue");
        // What a save killed between its record and its files leaves behind.
        DicteeModel held;
        held.titre = saving ? "Interrompue" : "Modifiée";
        held.masterJobId = held.titre;
        held.brouillon = true;
        const auto id = DicteeRequest().insertDictee(held);
        const auto audio = signal(saving ? 1 : -1, 2);
        test::writeBytes(doc("dictee.wav"), test::Wave{.samples = audio}.bytes());
        RecorderJournal journal;
        journal.idDictee = id;
        journal.stored = true;
        journal.masterJobId = held.masterJobId;
        journal.saving = saving;
        journal.dictation = RecorderJournal::FileStamp::of(doc("dictee.wav"));
        ASSERT_TRUE(journal.write());

        open(true);
        const std::string stored = std::to_string(id) + ".wav";
        ASSERT_EQ(exists(stored), saving);
        if (saving) {
            EXPECT_EQ(track(stored), audio);
            EXPECT_THAT(lastBanner(), HasSubstr("a été terminé ; elle reste en brouillon : Interrompue"));
        } else {
            EXPECT_EQ(track(wavStartingWith("piste-dictee")), audio);
        }
        EXPECT_FALSE(exists("dictee.wav"));
        EXPECT_TRUE(DicteeRequest().selectDictee(id).brouillon);
    }
}

TEST_F(AudioRecordControllerTest, NewDictationNeverTakesFilesLeftUnderItsNumber) {
    const auto oldAudio = signal(1, 2, 500);
    const auto oldInstruction = signal(-1, 1, 500);
    test::writeBytes(doc("1.wav"), test::Wave{.samples = oldAudio}.bytes());
    test::writeBytes(doc("I1.wav"), test::Wave{.samples = oldInstruction}.bytes());
    profile.writeDocument("1.XML", "<ancien/>");
    profile.writeDocument("1-1.jpg", "ancienne photo");
    open(true);
    ASSERT_EQ(screen->idDictee(), 1);
    const std::string stem = wavStartingWith("orphelin-1-").substr(0, 26);
    EXPECT_THAT(stem, MatchesRegex("orphelin-1-[0-9]{8}-[0-9]{6}"));
    for (const auto& [name, contents] : std::vector<std::pair<std::string, std::string>>{
             {stem + ".XML", "<ancien/>"}, {stem + "-1.jpg", "ancienne photo"}}) {
        EXPECT_EQ(test::readBytes(doc(name)), contents) << name;
    }
    EXPECT_EQ(track(stem + ".wav"), oldAudio);
    EXPECT_EQ(track(stem + "-I.wav"), oldInstruction);
    EXPECT_THAT(lastBanner(),
                HasSubstr("Des fichiers d'une ancienne dictée portaient le numéro de la nouvelle"));

    // A picture taken on the side screen now is this dictation's own.
    profile.writeDocument("1-1.jpg", "nouvelle photo");
    take(signal(1, 1));
    screen->interruptDictation();
    EXPECT_EQ(track("1.wav"), signal(1, 1));
    EXPECT_FALSE(exists("I1.wav"));
    EXPECT_FALSE(exists("1.XML"));
    EXPECT_EQ(test::readBytes(doc("1-1.jpg")), "nouvelle photo");
    EXPECT_EQ(track(stem + ".wav"), oldAudio);

    // Stored under another number than expected: that number's files go aside, and the
    // pictures taken under the expected one follow the dictation.
    open(true);
    ASSERT_EQ(screen->idDictee(), 2);
    profile.writeDocument("2-1.jpg", "photo de la nouvelle");
    DicteeModel behind;
    behind.titre = "Entre-temps";
    ASSERT_EQ(DicteeRequest().insertDictee(behind), 2);
    test::writeBytes(doc("3.wav"), test::Wave{.samples = oldAudio}.bytes());
    profile.writeDocument("3-1.jpg", "photo d'une autre");
    take(signal(-1, 1));
    screen->interruptDictation();
    EXPECT_EQ(screen->idDictee(), 3);
    EXPECT_EQ(track("3.wav"), signal(-1, 1));
    EXPECT_EQ(test::readBytes(doc("3-1.jpg")), "photo de la nouvelle");
    EXPECT_FALSE(exists("2-1.jpg"));
    EXPECT_EQ(track(wavStartingWith("orphelin-3-")), oldAudio);
    EXPECT_EQ(test::readBytes(doc(wavStartingWith("orphelin-3-").substr(0, 26) + "-1.jpg")),
              "photo d'une autre");
}

// One recording screen per profile: a second one touches no file of the first.
TEST_F(AudioRecordControllerTest, SecondScreenIsRefusedAndTouchesNothing) {
    EXPECT_EQ(Screen::recorderUnavailable(), std::nullopt);
    open(true);
    take(signal(1, 1));
    auto second = std::make_unique<Screen>(application, std::nullopt, ParamWorkflow());
    second->viewDidLoad();
    EXPECT_FALSE(second->isOpen());
    EXPECT_EQ(lastBanner(),
              "Un enregistrement est déjà ouvert sur ce profil (dans l'application ou une autre "
              "commande). Terminez-le avant d'en ouvrir un autre.");
    EXPECT_EQ(count("popToRoot"), 1U);
    EXPECT_EQ(Screen::recorderUnavailable(), lastBanner());
    second->recordAction();
    second->performPlayerAction();
    EXPECT_FALSE(second->isRecording());
    EXPECT_EQ(second->saveDictation(false), std::nullopt);
    second->cancelDictation();
    EXPECT_EQ(track("dictee.wav"), signal(1, 1));
    EXPECT_EQ(test::rows("select count(*) from dictee"), test::Rows{{"0"}});

    second.reset();
    screen.reset();
    EXPECT_EQ(Screen::recorderUnavailable(), std::nullopt) << "released with the screen";
}

} // namespace
} // namespace orvaneh
