#pragma once

#include "Classes/audio/AudioController.h"
#include "Classes/audio/OptionBarreDictationViewController.h"
#include "Classes/audio/PinCursor.h"
#include "Classes/audio/RecorderLayout.h"
#include "Classes/audio/RecorderMarkers.h"
#include "Classes/audio/RecorderTrackFiles.h"
#include "Classes/audio/RecorderTransport.h"
#include "Classes/audio/RecordingIndicator.h"
#include "Classes/audio/VuMeterGrid.h"
#include "Classes/screens/Colors.h"
#include "Classes/screens/Geometry.h"
#include "Classes/workflow/ParamWorkflow.h"
#include "Platform/media/AudioPlayer.h"
#include "Platform/media/AudioRecorderSettings.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/Timer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace orvaneh {

// The recording screen: records, plays back and edits the two tracks of one dictation (the
// dictation and the spoken instruction). Every take is inserted at the cursor; two markers
// delimit a passage to cut. Closing goes through the menu of AudioController, whose hooks this
// screen fills in. It keeps the lifecycle, the transport state, the handlers and what the view
// shows; the files of the tracks are RecorderTrackFiles', the markers RecorderMarkers', the
// devices and timers RecorderTransport's.
//
// The opener gives the dictation (none for a new one) and its parameters, calls viewDidLoad,
// then viewWillAppear. The view draws view() (times and ranges, laid out over its own slider
// with RecorderLayout) and forwards the controls to the handlers; changed() is signalled after
// every change. Takes, playback and seeks are driven by timers on RunLoop::main(). Main run
// loop only. One recording screen at a time per profile, whatever the process: a second one is
// refused with a banner, goes back to the list and touches no file.
class AudioRecordControllerThree : public AudioController {
public:
    std::string screenName() const override { return "AudioRecordControllerThree"; }

    // Transport states (etatLecteur).
    static constexpr int kStandBy = 1;
    static constexpr int kRecording = 2;
    static constexpr int kPlayer = 3;

    static constexpr int kCutConfirmTag = 777;
    static constexpr double kEndOfPlaybackMargin = 0.1;
    static constexpr Color kInstructionContainerColor = Color::fromRgb255(100, 165, 55);
    static constexpr Color kHighPriorityColor = Color::fromRgb255(240, 22, 15);
    // Hue 0.58, saturation 0.83, brightness 0.75.
    static constexpr Color kParameterBarTint = {0.1275, 0.4512, 0.75, 1};

    // What the view draws. Positions are seconds on the current track; RecorderLayout turns
    // them into frames over the view's own slider.
    struct View {
        struct Marker {
            bool placed = false;
            bool selected = false;
            double value = 0; // seconds
            std::string image = PinCursor::kImageUnselected;
        };

        std::string titleText;
        double titleAlpha = 1;
        Rect titleFrame{0, 0, 100, 44};
        std::string worktypeText; // lblTravailType
        std::string positionText; // lblTmpEcoule
        std::string durationText; // lblDureeDictee
        float sliderValue = 0;    // the cursor, kept within minimum … maximum
        float sliderMinimum = 0;
        float sliderMaximum = 0;
        bool sliderEnabled = true;
        Color sliderThumbColor = Colors::RecorderProgressBarThumbColor;
        Color sliderTrackColor = Colors::RecorderProgressBarTrackColor;
        Color containerColor = Colors::RecorderProgressBarBackgroundColor;
        double containerBorderWidth = 0;
        Color containerBorderColor = Colors::Clear;
        std::array<Marker, 2> markers;
        // The passage a cut would remove, shown as a band; none without a placed marker.
        std::optional<RecorderMarkers::Range> band;
        double dictationDuration = 0;
        double instructionDuration = 0;
        // The current track's, growing during a take.
        double trackDuration = 0;
        bool dictationTrack = true;
        int state = kPlayer;
        // The level meter, left to right.
        std::array<RecorderTransport::LevelLight, VuMeterGrid::kLightCount> levelLights;
        std::string recordImage = "record_btn_dic_off";
        std::string playPauseImage = "play_pause_btn_b";
        std::string rewindImage = "btn_retour_b";
        std::string forwardImage = "btn_avance_b";
        std::string trackImage = "btn_insdic_dic_on";
        std::string priorityImage = "priorite_moyenne";
        std::string pinButtonImage = RecorderMarkers::kAddImage;
        bool cutEnabled = true;
        bool pinButtonEnabled = true;
        bool scannerButtonVisible = false;
        bool backButtonHidden = false;
        bool navigationLeftButtonEnabled = true;
        Color tabStripColor = Colors::NavigationBarDefaultBackground;
        Color toolBarColor = Colors::NavigationBarDefaultBackground;

        // The slider's pieces for a slider drawn at `sliderFrame`.
        RecorderLayout layoutIn(Rect sliderFrame) const;
    };

    // On dictation `idDictee`, or on a new one without it, with its workflow parameters.
    AudioRecordControllerThree(ApplicationHost& application, std::optional<std::int64_t> idDictee,
                               ParamWorkflow paramWorkflow);
    ~AudioRecordControllerThree() override;

    const ParamWorkflow& paramWorkflow() const { return paramWorkflow_; }

    // Lifecycle.
    void viewDidLoad();
    void viewWillAppear();
    void viewWillDisappear();
    // The back button: shows the closing menu and keeps the screen.
    bool viewShouldBackToParentView() override;

    // Handlers of the controls (release unless named "…Start" or "…Down").
    void recordAction();
    void pushRecordActionStart();
    void playerAction();
    void pushPlayerActionStart();
    void performPlayerAction();
    void changeDicteeOrInstruction();
    void progressSliderMoved(float value);
    void rewindTouchDown();
    void rewindTouchUp();
    void fastForwardTouchDown();
    void fastForwardTouchUp();
    void placeOrRemovePin();
    // 1 or 2.
    void touchPin(int which);
    // Asks for confirmation (tag kCutConfirmTag, "Oui" = 1), then cuts the passage.
    void cutChunkDictation();
    void displayPriorite();
    // Pushes the pictures screen of this dictation (for a new one, the identifier it will get).
    void displayPictures();
    // Presents the parameter screen on this screen's parameters; its answer is applied and
    // closes it. The service picker it asks for is presented over it.
    void displayParameter();
    // The code reader, through the option bar: its text becomes the identification value.
    void displayScanner();
    // The parameter editor's answer: unless cancelled, its set replaces the screen's.
    void applyParameterEditorAnswer(bool cancelled, const ParamWorkflow& paramWorkflow);
    // The option bar under the title: title editor, code reader, case-file search. The
    // application gives it the openers of the reader and the case-file screens.
    OptionBarreDictationViewController& optionBarreController() { return optionBarre_; }
    const OptionBarreDictationViewController& optionBarreController() const { return optionBarre_; }

    // Steps of the engine, public for the view and the command line.
    void setEtatLecteur(int etat);
    void initPlayer();
    void recordDictee();
    void createNewDicteeIfNeeded();
    void updateCurrentTime();
    void stopRecordDictee();
    void playDictee();
    void stopPlayDictee();
    void audioPlayerDidFinishPlaying(bool successfully);
    void startRecordAnimation();
    void setBoutonPriorityColor();
    void setProgressBarContainerAppearance();
    void removeCursor();
    void audioSessionDefaultToSpeaker();
    // The input or output went away, or the take's file can no longer be written
    // (MediaBackend's notices): a take in progress ends as a stopped take would, keeping what was
    // heard, and the notice's French text is shown in a banner.
    void audioDeviceFailed(const std::string& message);

    // Hooks of AudioController.
    // Ends playback and any take, then stores the record (new; existing; or, for a sent
    // dictation, a new "-1" copy with a new job id) and moves the tracks to their stored names.
    // Nothing when the record cannot be written: the working files stay and a banner says so.
    // After a save the screen stands for the saved dictation.
    std::optional<DicteeModel> saveDictation(bool draft) override;
    void cancelDictation() override;
    bool recordChoiceMenuShouldDisplaySendDictation() override;
    void displayResumeAlertViewForDictee(const std::optional<DicteeModel>& record) override;
    // Reopens the saved dictation's stored tracks as working copies, keeping the cursor.
    void dictationStaysOpenAfterSave(const DicteeModel& record) override;

    // Why no recording screen can open on this profile now (another one is open, here or in
    // another process), in French; nothing when one can.
    static std::optional<std::string> recorderUnavailable() { return RecorderTrackFiles::unavailable(); }
    // False when the screen was refused because another one is open: it does nothing.
    bool isOpen() const { return !refused_; }
    // Leaving the screen of a stored dictation whose working files hold no edit (copies of the
    // stored tracks, untouched since): removes them and the journal, so that they are not
    // mistaken later for unsaved work. Files holding an edit stay, for the next opening to take
    // up. True when they were removed.
    bool discardUneditedWorkingFiles();
    // The session ends (the window closes, the system asks the program to stop) and no one is
    // there to answer a question: a take in progress stops as the stop button stops it (the take
    // goes in at the cursor), then unsaved work is stored as a draft as "Interrompre la dictée"
    // stores it. Untouched working copies of a stored dictation are removed; a new dictation
    // with nothing recorded is left as it is. True when there was work to store (the log and a
    // banner say when its record could not be written).
    bool keepWorkAtSessionEnd();

    // State.
    View view() const;
    const PinCursor& curseurImV1() const { return markers_.first(); }
    const PinCursor& curseurImV2() const { return markers_.second(); }
    int etatLecteur() const { return etatLecteur_; }
    bool isDictee() const { return isDictee_; }
    bool hasNoRecord() const { return hasNoRecord_; }
    std::int64_t idDictee() const { return idDictee_; }
    int nivPriorite() const { return nivPriorite_; }
    const std::string& strPriorite() const { return strPriorite_; }
    double dureeDictee() const { return dureeDictee_; }
    double dureeInstruction() const { return dureeInstruction_; }
    double dureeRecord() const { return dureeRecord_; }
    bool pushToTalkAndPlay() const { return pushToTalkAndPlay_; }
    const AudioRecorderSettings& recordSetting() const { return transport_.recordSetting(); }
    // The player of the current track; null when its file is missing or unreadable.
    const AudioPlayer* player() const { return transport_.player(); }
    bool isRecording() const { return transport_.isRecording(); }
    // The errno of a fault behind the last take or cut that failed (ENOSPC: the disk is full),
    // for the message that says so; 0 when it succeeded or the disk was not the cause.
    int lastEditError() const { return lastEditError_; }
    bool isPlaying() const { return transport_.isPlaying(); }
    const VuMeterGrid& levelMeter() const { return transport_.levelMeter(); }
    // The working and stored paths of the current dictation.
    const std::string& baseDicteeFilePath() const { return files_.workingPath(true); }
    const std::string& baseInstFilePath() const { return files_.workingPath(false); }
    const std::string& finalDicteeFilePath() const { return files_.storedPath(true); }
    const std::string& finalInstFilePath() const { return files_.storedPath(false); }

    // Where the current take goes in (set when a take starts, playback pauses or the slider
    // moves), the cursor left on the other track, whether the tracks were never switched since
    // the opening, the seek step, and the phase of the recording indicator.
    float recordStartPosition() const { return recordStartPosition_; }
    float otherTrackPosition() const { return otherTrackPosition_; }
    bool firstTrackSwitch() const { return firstTrackSwitch_; }
    float seekStep() const { return transport_.seekStep(); }
    bool blinkOn() const { return indicator_.blinkOn(); }

private:
    float recordStartPosition_ = 0;
    float otherTrackPosition_ = 0;
    bool firstTrackSwitch_ = true;

    std::optional<std::int64_t> opening_;
    RecorderTrackFiles files_;
    RecorderTransport transport_;
    RecorderMarkers markers_;
    RecordingIndicator indicator_;
    bool pushToTalkAndPlay_ = false;
    bool isDictee_ = true;
    bool hasNoRecord_ = true;
    int nivPriorite_ = 1;
    std::int64_t idDictee_ = 0;
    double dureeDictee_ = 0;
    double dureeInstruction_ = 0;
    double dureeRecord_ = 0;
    int etatLecteur_ = kPlayer;
    int lastEditError_ = 0;
    std::string strPriorite_;
    ParamWorkflow paramWorkflow_;
    // Edits paramWorkflow_ in place: declared after it.
    OptionBarreDictationViewController optionBarre_;
    View view_;
    Observation becomeActiveObservation_;
    Observation deviceLostObservation_;
    Observation recordingFailedObservation_;
    bool refused_ = false;
    // Lets the answers of the side screens know this screen is still there.
    std::shared_ptr<char> alive_ = std::make_shared<char>();

    void initDictee();
    void refuse();
    void refreshTitle();
    double& currentTrackDuration() { return isDictee_ ? dureeDictee_ : dureeInstruction_; }
    void endTakeIfRunning();
    void setSliderValue(double value);
    void setSliderRange(double minimum, double maximum);
    void startSeek(double direction, const char* image);
    void updateCurrentTimeForPlayer();
    void refreshEnabledControls();
    void cutBetweenMarkers();
    void removeCursorAndSetLabelAfterCut();
};

} // namespace orvaneh
