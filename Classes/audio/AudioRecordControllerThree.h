#pragma once

#include "Classes/audio/AudioController.h"
#include "Classes/audio/PinCursor.h"
#include "Classes/audio/RecorderJournal.h"
#include "Classes/audio/VuMeterGrid.h"
#include "Classes/screens/Colors.h"
#include "Classes/screens/Geometry.h"
#include "Classes/workflow/ParamWorkflow.h"
#include "Platform/files/FileLock.h"
#include "Platform/media/AudioPlayer.h"
#include "Platform/media/AudioRecorder.h"
#include "Platform/media/AudioRecorderSettings.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/Timer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace orvaneh {

// The recording screen: records, plays back and edits the two tracks of one dictation (the
// dictation and the spoken instruction), each a WAV working file in the documents directory.
// Every take is inserted at the cursor; two markers delimit a passage to cut. Closing goes
// through the menu of AudioController, whose hooks this screen fills in.
//
// The opener sets the application's record flag (and idDictee for an existing dictation),
// calls setParamWorkflow, viewDidLoad, then viewWillAppear. The view draws view(), the markers
// and the state accessors, and forwards the controls to the handlers; changed() is signalled
// after every change. Takes, playback and seeks are driven by timers on RunLoop::main().
// Main run loop only. One recording screen at a time per profile, whatever the process: the
// screen holds a lock on "enregistreur.verrou" in the documents directory while it lives, and a
// second one is refused with a banner, goes back to the list and touches no file.
//
// Audio is never given up silently: an insertion or cut that fails leaves the track as it was,
// a take that cannot be inserted is kept as "prise-<date>.wav" in the documents directory,
// and a save that cannot write the record keeps the working files for a new attempt. After
// every complete step (opening, take, cut, record written) the state of the working files is
// written to a journal (RecorderJournal): reopening the same dictation after a crash takes up
// that state and says so; working files that do not match it, or belong to another dictation,
// are kept as "piste-…-<date>.wav". Files found under the identifier a new dictation is stored
// with ("N.wav", "IN.wav", "N.XML", "N-k.jpg") belong to an older one and are kept as
// "orphelin-N-<date>…"; so are the recordings of an unsent dictation that is abandoned. Each
// case is told to the user by a banner.
class AudioRecordControllerThree : public AudioController {
public:
    std::string screenName() const override { return "AudioRecordControllerThree"; }

    // Transport states (etatLecteur).
    static constexpr int kStandBy = 1;
    static constexpr int kRecording = 2;
    static constexpr int kPlayer = 3;

    static constexpr int kCutConfirmTag = 777;
    static constexpr double kDisplayInterval = 0.02;
    static constexpr double kSeekInterval = 0.2;
    static constexpr double kBlinkDuration = 1.0;
    static constexpr double kEndOfPlaybackMargin = 0.1;
    static constexpr Color kInstructionContainerColor = Color::fromRgb255(100, 165, 55);
    static constexpr Color kHighPriorityColor = Color::fromRgb255(240, 22, 15);
    // Hue 0.58, saturation 0.83, brightness 0.75.
    static constexpr Color kParameterBarTint = {0.1275, 0.4512, 0.75, 1};
    static constexpr Rect kDefaultSliderFrame = {20, 150, 280, 31};

    // What the view draws.
    struct View {
        std::string titleText;
        double titleAlpha = 1;
        Rect titleFrame{0, 0, 100, 44};
        std::string worktypeText; // lblTravailType
        std::string positionText; // lblTmpEcoule
        std::string durationText; // lblDureeDictee
        float sliderValue = 0;    // seconds, kept within minimum … maximum
        float sliderMinimum = 0;
        float sliderMaximum = 0;
        bool sliderEnabled = true;
        Rect sliderFrame = kDefaultSliderFrame;
        Color sliderThumbColor = Colors::RecorderProgressBarThumbColor;
        Color sliderTrackColor = Colors::RecorderProgressBarTrackColor;
        Color containerColor = Colors::RecorderProgressBarBackgroundColor;
        double containerBorderWidth = 0;
        Color containerBorderColor = Colors::Clear;
        Rect bandFrame{};
        double bandAlpha = 0;
        std::string recordImage = "record_btn_dic_off";
        std::string playPauseImage = "play_pause_btn_b";
        std::string rewindImage = "btn_retour_b";
        std::string forwardImage = "btn_avance_b";
        std::string trackImage = "btn_insdic_dic_on";
        std::string priorityImage = "priorite_moyenne";
        std::string pinButtonImage = "markerAdd";
        bool cutEnabled = true;
        bool pinButtonEnabled = true;
        bool scannerButtonVisible = false;
        bool backButtonHidden = false;
        bool navigationLeftButtonEnabled = true;
        Color tabStripColor = Colors::NavigationBarDefaultBackground;
        Color toolBarColor = Colors::NavigationBarDefaultBackground;
    };

    explicit AudioRecordControllerThree(ApplicationHost& application);
    ~AudioRecordControllerThree() override;

    void setParamWorkflow(const ParamWorkflow& paramWorkflow) { paramWorkflow_ = paramWorkflow; }
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
    // Side screens, shown through UserInterface::showScreen: "PicturesViewController" and
    // "QRCodeReader" with the dictation identifier, "ParamWorkflowDictee" with the title.
    void displayPictures();
    void displayParameter();
    void displayScanner();
    // The parameter editor's answer: unless cancelled, its set replaces the screen's.
    void applyParameterEditorAnswer(bool cancelled, const ParamWorkflow& paramWorkflow);
    // The code reader's text becomes the identification value.
    void applyScannerResult(const std::string& text);
    // Layout: the slider's frame, which the markers and the band follow.
    void setSliderFrame(const Rect& frame);

    // Steps of the engine, public for the view and the command line.
    void setEtatLecteur(int etat);
    void initPlayer();
    void recordDictee();
    void createNewDicteeIfNeeded();
    void updateCurrentTime();
    void stopRecordDictee();
    void mergeDicteeIfNeeded();
    // False when the take could not be inserted: the track is unchanged, the take set aside.
    bool insertInWaveFile();
    void playDictee();
    void stopPlayDictee();
    void audioPlayerDidFinishPlaying(bool successfully);
    void startRecordAnimation();
    void setBoutonPriorityColor();
    void setProgressBarContainerAppearance();
    void removeCursor();
    void audioSessionDefaultToSpeaker();
    // Moves the working files to the stored names; false (logged) when a move failed, the
    // working file then stays.
    bool saveDicteeFile();
    // Removes the working files and the journal.
    void deleteFileTempFile();

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
    static std::optional<std::string> recorderUnavailable();
    // False when the screen was refused because another one is open: it does nothing.
    bool isOpen() const { return !refused_; }
    // Leaving the screen of a stored dictation whose working files hold no edit (copies of the
    // stored tracks, untouched since): removes them and the journal, so that they are not
    // mistaken later for unsaved work. Files holding an edit stay, for the next opening to take
    // up. True when they were removed.
    bool discardUneditedWorkingFiles();

    // State.
    const View& view() const { return view_; }
    const PinCursor& curseurImV1() const { return curseurImV1_; }
    const PinCursor& curseurImV2() const { return curseurImV2_; }
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
    const AudioRecorderSettings& recordSetting() const { return recordSetting_; }
    // The player of the current track; null when its file is missing or unreadable.
    const AudioPlayer* player() const { return player_.get(); }
    bool isRecording() const;
    bool isPlaying() const;
    const VuMeterGrid& levelMeter() const { return levelMeter_; }
    // The working and stored paths of the current dictation.
    const std::string& baseDicteeFilePath() const { return baseDicteeFilePath_; }
    const std::string& baseInstFilePath() const { return baseInstFilePath_; }
    const std::string& finalDicteeFilePath() const { return finalDicteeFilePath_; }
    const std::string& finalInstFilePath() const { return finalInstFilePath_; }

    // The values shared by every instance of the screen.
    static float recordStartPosition() { return recordStartPosition_; }
    static float otherTrackPosition() { return otherTrackPosition_; }
    static bool firstTrackSwitch() { return firstTrackSwitch_; }
    static float seekStep() { return seekStep_; }
    static bool blinkOn() { return blinkOn_; }

private:
    static float recordStartPosition_;
    static float otherTrackPosition_;
    static bool firstTrackSwitch_;
    static float seekStep_;
    static bool blinkOn_;

    std::unique_ptr<AudioRecorder> recorderDict_;
    std::unique_ptr<AudioRecorder> recorderInstr_;
    std::unique_ptr<AudioPlayer> player_;
    AudioRecorderSettings recordSetting_;
    bool pushToTalkAndPlay_ = false;
    bool isDictee_ = true;
    bool hasNoRecord_ = true;
    int nivPriorite_ = 1;
    std::int64_t idDictee_ = 0;
    double dureeDictee_ = 0;
    double dureeInstruction_ = 0;
    double dureeRecord_ = 0;
    std::shared_ptr<Timer> timerRecord_;
    std::string baseDicteeFilePath_, finalDicteeFilePath_, tempDicteeFilePath_, tempInstFilePath_,
        baseInstFilePath_, finalInstFilePath_, tempFilePath_, outputFilePath_;
    int etatLecteur_ = kPlayer;
    std::string strPriorite_;
    std::shared_ptr<Timer> rewTimer_;
    std::shared_ptr<Timer> ffwTimer_;
    std::shared_ptr<Timer> animationTimer_;
    PinCursor curseurImV1_;
    PinCursor curseurImV2_;
    ParamWorkflow paramWorkflow_;
    VuMeterGrid levelMeter_;
    View view_;
    Observation becomeActiveObservation_;
    FileLock recorderLock_;
    bool refused_ = false;
    // What the journal says of the working files; its stamps are refreshed at each write.
    RecorderJournal journal_;

    void initDictee();
    // Copies the stored tracks into the working files that do not exist yet. When a copy
    // fails, removes what it made, closes the screen (refused) and tells why; false then.
    bool copyStoredTracks();
    // Working files of another dictation whose save was cut short after its record was written:
    // moves them to that dictation's stored names (it stays a draft) and says so. False when
    // the journal names no such save or the files are not exactly those it describes.
    bool completeInterruptedSave(const RecorderJournal& found);
    void openStoredTracks();
    bool takeRecorderLock();
    void setAsideFilesOfOlderDictation(std::int64_t identifier, bool withPictures);
    void recoverOrSetAsideWorkingFiles(const DicteeModel& record,
                                       const std::optional<RecorderJournal>& found);
    void setAsideWorkingFiles(const std::string& why);
    void setAsideLeftoverTake(const std::optional<RecorderJournal>& found);
    // Records the working files' state as the last complete step; with `edited`, a change of
    // the files since the last record counts as one edit.
    void writeJournal(bool edited);
    void refreshTitle();
    std::unique_ptr<AudioRecorder>& currentRecorder() { return isDictee_ ? recorderDict_ : recorderInstr_; }
    const std::string& currentWorkingPath() const {
        return isDictee_ ? baseDicteeFilePath_ : baseInstFilePath_;
    }
    double& currentTrackDuration() { return isDictee_ ? dureeDictee_ : dureeInstruction_; }
    AudioRecorderSettings settingsForTrack(bool dictation) const;
    void makeRecorders();
    void releaseRecorder(std::unique_ptr<AudioRecorder>& recorder);
    void releasePlayer();
    void endTakeIfRunning();
    void setSliderValue(double value);
    void setSliderRange(double minimum, double maximum);
    void setPlayerPosition(double seconds);
    void stopDisplayTimer();
    void startSeek(std::shared_ptr<Timer>& timer, double direction, const char* image);
    void seekTick(double direction);
    void updateCurrentTimeForPlayer();
    void animationDidComplete();
    double pixel(double value) const;
    void placeMarker(PinCursor& marker, const PinCursor& other);
    void removeMarker(PinCursor& marker);
    void setBarToCutToFirstPos(double first, double second);
    void bandFromRemainingMarker();
    void refreshPinButtonImage();
    void refreshEnabledControls();
    void cutBetweenMarkers();
    void removeCursorAndSetLabelAfterCut();
    bool replaceWorkingFile(const std::string& output, const std::string& working);
};

} // namespace orvaneh
