#include "Classes/audio/AudioRecordControllerThree.h"

#include "Classes/audio/DictationSaver.h"
#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/Pictures.h"
#include "Classes/core/Priority.h"
#include "Classes/core/Tools.h"
#include "Classes/core/siteRequest.h"
#include "Classes/screens/ApplicationHost.h"
#include "Classes/screens/NavigationController.h"
#include "Classes/screens/Notification.h"
#include "Classes/screens/PicturesViewController.h"
#include "Classes/workflow/ParamWorkflowDictee.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace orvaneh {

namespace {

std::string secondsText(double seconds) {
    return Tools::timeIntervalToString(seconds);
}

} // namespace

RecorderLayout AudioRecordControllerThree::View::layoutIn(Rect sliderFrame) const {
    // A take in progress stretches the slider, not the markers' scale.
    const double trackField = dictationTrack ? dictationDuration : instructionDuration;
    return RecorderLayout(sliderFrame, static_cast<double>(sliderMinimum),
                          std::max(static_cast<double>(sliderMaximum), trackField));
}

AudioRecordControllerThree::AudioRecordControllerThree(ApplicationHost& application,
                                                       std::optional<std::int64_t> idDictee,
                                                       ParamWorkflow paramWorkflow)
    : AudioController(application), opening_(idDictee),
      indicator_({[this] { return etatLecteur_ == kRecording; },
                  [this](double alpha) {
                      view_.tabStripColor = Colors::Red;
                      view_.titleAlpha = alpha;
                      changed();
                  },
                  [this] { setBoutonPriorityColor(); }}),
      paramWorkflow_(std::move(paramWorkflow)),
      optionBarre_(paramWorkflow_, application.navigation(), [this] {
          refreshTitle();
          changed();
      }) {}

AudioRecordControllerThree::~AudioRecordControllerThree() = default;

// ---------------------------------------------------------------------------------------------
// Lifecycle

void AudioRecordControllerThree::viewDidLoad() {
    markers_ = RecorderMarkers();
    view_.sliderThumbColor = Colors::RecorderProgressBarThumbColor;
    view_.sliderTrackColor = Colors::RecorderProgressBarTrackColor;

    recordStartPosition_ = 0;
    otherTrackPosition_ = 0;
    firstTrackSwitch_ = true;
    isDictee_ = true;
    setEtatLecteur(kPlayer);
    view_.backButtonHidden = true;

    if (!files_.reserve()) {
        const std::string why = recorderUnavailable().value_or("");
        Log::write("Écran d'enregistrement refusé : " + why);
        Notification::pushNotification(why);
        refuse();
        return;
    }
    initDictee();
    if (refused_) {
        return;
    }

    view_.durationText = secondsText(std::trunc(dureeDictee_));
    setBoutonPriorityColor();
    initPlayer();

    setSliderValue(dureeRecord_);
    transport_.setPosition(dureeRecord_);

    audioSessionDefaultToSpeaker();
    view_.scannerButtonVisible = optionBarre_.scannerAvailable();
    becomeActiveObservation_ = NotificationCenter::defaultCenter().addMainLoopObserver(
        "ApplicationBecomeActive", [this](const PostedNotification&) { startRecordAnimation(); });
    const auto failed = [this](const PostedNotification& notice) {
        const Json& info = notice.userInfo;
        const bool given = info.is_object() && info.contains("message") && info["message"].is_string();
        audioDeviceFailed(given ? info["message"].get<std::string>() : std::string());
    };
    deviceLostObservation_ = NotificationCenter::defaultCenter().addMainLoopObserver(
        MediaBackend::kDeviceLostNotification, failed);
    recordingFailedObservation_ = NotificationCenter::defaultCenter().addMainLoopObserver(
        MediaBackend::kRecordingFailedNotification, failed);
    changed();
}

void AudioRecordControllerThree::refuse() {
    refused_ = true;
    application().popToRoot();
    changed();
}

void AudioRecordControllerThree::initDictee() {
    hasNoRecord_ = !opening_.has_value();
    DicteeRequest request;
    idDictee_ = opening_ ? *opening_ : request.getLastId() + 1;
    std::optional<DicteeModel> record;
    if (opening_) {
        record = request.selectDictee(idDictee_);
    }
    bool resumed = false;
    if (!files_.open(idDictee_, record, resumed)) {
        // Without its working copy the screen would show an empty track, and saving would put
        // that over the stored recording: the dictation is not opened at all.
        refuse();
        return;
    }
    if (!record) {
        nivPriorite_ = paramWorkflow_.getParamPriorityNum();
        strPriorite_ = paramWorkflow_.priority;
        dureeDictee_ = 0;
        dureeInstruction_ = 0;
    } else {
        if (!record->titre.empty()) {
            Log::write("Enregs trouvés : " + record->titre);
        }
        if (ConfigurationManager::shouldDisplayParameterResumeBeforeRecord() && resumed) {
            nivPriorite_ = paramWorkflow_.getParamPriorityNum();
            strPriorite_ = paramWorkflow_.priority;
        } else {
            nivPriorite_ = record->getPrioriteNum();
        }
        dureeDictee_ = static_cast<double>(record->dureeDictee);
        dureeInstruction_ = static_cast<double>(record->dureeInstruction);
    }
    transport_.makeRecorders(files_.workingPath(true), files_.workingPath(false));
    transport_.levelMeter().setPlayer(nullptr);
}

void AudioRecordControllerThree::viewWillAppear() {
    pushToTalkAndPlay_ = ConfigurationManager::shouldPushToRecordAndPlay();
    refreshTitle();
    Log::write("first field " + paramWorkflow_.firstField);
    view_.toolBarColor = Colors::NavigationBarDefaultBackground;
    changed();
}

void AudioRecordControllerThree::refreshTitle() {
    if (paramWorkflow_.firstField.empty()) {
        paramWorkflow_.firstField = localized("DICTATION", "Dictée") + " " + std::to_string(idDictee_);
        view_.titleText = paramWorkflow_.firstField;
    } else {
        view_.titleText = paramWorkflow_.secondField + " / " + paramWorkflow_.firstField;
    }
    view_.worktypeText = paramWorkflow_.worktype;
}

void AudioRecordControllerThree::viewWillDisappear() {
    if (AudioPlayer* player = transport_.player()) {
        player->stop();
    }
    if (!isRecording()) {
        transport_.levelMeter().stop();
        transport_.stopDisplayTimer();
    }
    changed();
}

bool AudioRecordControllerThree::discardUneditedWorkingFiles() {
    if (refused_ || isRecording() || !files_.unedited()) {
        return false;
    }
    stopPlayDictee();
    transport_.stopDisplayTimer();
    files_.deleteFileTempFile();
    return true;
}

bool AudioRecordControllerThree::keepWorkAtSessionEnd() {
    if (refused_) {
        return false;
    }
    if (etatLecteur_ == kRecording) {
        recordAction();
    }
    if (discardUneditedWorkingFiles() || (hasNoRecord_ && !recordChoiceMenuShouldDisplaySendDictation())) {
        return false;
    }
    interruptDictation();
    return true;
}

bool AudioRecordControllerThree::viewShouldBackToParentView() {
    showRecordChoiceMenuWithTitle(std::nullopt);
    return false;
}

AudioRecordControllerThree::View AudioRecordControllerThree::view() const {
    View shown = view_;
    for (std::size_t i = 0; i < 2; ++i) {
        const PinCursor& marker = i == 0 ? markers_.first() : markers_.second();
        shown.markers[i] = {marker.controlState(), marker.controlSelected(),
                            static_cast<double>(marker.value()), marker.imageName()};
    }
    shown.band = markers_.band(static_cast<double>(view_.sliderMaximum));
    shown.pinButtonImage = markers_.buttonImage();
    shown.dictationDuration = dureeDictee_;
    shown.instructionDuration = dureeInstruction_;
    shown.trackDuration = dureeRecord_;
    shown.dictationTrack = isDictee_;
    shown.state = etatLecteur_;
    shown.levelLights = transport_.levelLights();
    return shown;
}

// ---------------------------------------------------------------------------------------------
// Transport state

void AudioRecordControllerThree::setEtatLecteur(int etat) {
    etatLecteur_ = etat;
    const bool armed = etat == kStandBy || etat == kRecording;
    view_.recordImage = isDictee_ ? (armed ? "record_btn_dic_on" : "record_btn_dic_off")
                                  : (armed ? "record_btn_ins_on" : "record_btn_ins_off");
    view_.playPauseImage = etat == kRecording ? "play_pause_btn_p" : "play_pause_btn_b";
    refreshEnabledControls();
    setProgressBarContainerAppearance();
    changed();
}

void AudioRecordControllerThree::refreshEnabledControls() {
    const bool enabled = etatLecteur_ != kRecording;
    view_.sliderEnabled = enabled;
    view_.cutEnabled = enabled;
    view_.pinButtonEnabled = enabled && currentTrackDuration() > 0;
}

void AudioRecordControllerThree::setProgressBarContainerAppearance() {
    view_.containerColor =
        isDictee_ ? Colors::RecorderProgressBarBackgroundColor : kInstructionContainerColor;
    if (etatLecteur_ == kRecording) {
        view_.containerBorderWidth = 2.0;
        view_.containerBorderColor = Colors::Red;
    } else {
        view_.containerBorderWidth = 0;
        view_.containerBorderColor = Colors::Clear;
    }
}

void AudioRecordControllerThree::recordAction() {
    switch (etatLecteur_) {
    case kPlayer:
        transport_.pause();
        setEtatLecteur(kStandBy);
        break;
    case kStandBy:
        setEtatLecteur(kPlayer);
        break;
    case kRecording:
        stopRecordDictee();
        setEtatLecteur(kPlayer);
        break;
    default:
        break;
    }
}

void AudioRecordControllerThree::pushRecordActionStart() {
    if (!pushToTalkAndPlay_ || etatLecteur_ == kRecording) {
        return;
    }
    setEtatLecteur(kStandBy);
    performPlayerAction();
}

void AudioRecordControllerThree::playerAction() {
    if (pushToTalkAndPlay_ && !isPlaying() && etatLecteur_ != kRecording) {
        return;
    }
    performPlayerAction();
}

void AudioRecordControllerThree::pushPlayerActionStart() {
    if (pushToTalkAndPlay_ && !isPlaying() && etatLecteur_ != kRecording) {
        performPlayerAction();
    }
}

void AudioRecordControllerThree::performPlayerAction() {
    switch (etatLecteur_) {
    case kStandBy:
        stopPlayDictee();
        setEtatLecteur(kRecording);
        recordDictee();
        break;
    case kRecording:
        stopRecordDictee();
        setEtatLecteur(kStandBy);
        break;
    case kPlayer:
        if (isPlaying()) {
            recordStartPosition_ = static_cast<float>(transport_.player()->currentTime());
            transport_.pause();
            view_.playPauseImage = "play_pause_btn_b";
        } else if (dureeRecord_ > 0) {
            playDictee();
            view_.playPauseImage = "play_pause_btn_p";
        }
        changed();
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Player

void AudioRecordControllerThree::initPlayer() {
    // A refused screen does not read the working files of the screen that is open.
    const double duration = transport_.openPlayer(refused_ ? std::string() : files_.workingPath(isDictee_));
    currentTrackDuration() = duration;
    dureeRecord_ = duration;
    setSliderRange(0, dureeRecord_);
    view_.durationText = secondsText(dureeRecord_);
    Log::write("Temps de la dictée : " + std::to_string(static_cast<long long>(dureeRecord_)));
    refreshEnabledControls();
    changed();
}

void AudioRecordControllerThree::setSliderValue(double value) {
    view_.sliderValue = std::clamp(static_cast<float>(value), view_.sliderMinimum,
                                   std::max(view_.sliderMinimum, view_.sliderMaximum));
}

void AudioRecordControllerThree::setSliderRange(double minimum, double maximum) {
    view_.sliderMinimum = static_cast<float>(minimum);
    view_.sliderMaximum = static_cast<float>(maximum);
    setSliderValue(view_.sliderValue);
}

void AudioRecordControllerThree::playDictee() {
    AudioPlayer* player = transport_.player();
    if (!player) {
        return;
    }
    player->setCurrentTime(static_cast<double>(view_.sliderValue));
    // Playing from the end starts again from the start.
    if (player->currentTime() == 0 || view_.sliderValue >= static_cast<float>(dureeRecord_)) {
        setSliderValue(0);
        player->setCurrentTime(0);
    }
    audioSessionDefaultToSpeaker();
    transport_.play([this](bool successfully) { audioPlayerDidFinishPlaying(successfully); });
    transport_.startDisplayTimer([this] { updateCurrentTime(); });
}

void AudioRecordControllerThree::stopPlayDictee() {
    transport_.stop();
}

void AudioRecordControllerThree::audioPlayerDidFinishPlaying(bool /*successfully*/) {
    setEtatLecteur(kPlayer);
    transport_.pause();
    view_.playPauseImage = "play_pause_btn_b";
    changed();
}

void AudioRecordControllerThree::updateCurrentTime() {
    if (const AudioRecorder* recording = transport_.recording()) {
        const double elapsed = recording->currentTime();
        dureeRecord_ = currentTrackDuration() + elapsed;
        setSliderRange(view_.sliderMinimum, dureeRecord_);
        setSliderValue(elapsed + static_cast<double>(recordStartPosition_));
        view_.positionText = secondsText(elapsed);
        view_.durationText = secondsText(dureeRecord_);
    } else if (isPlaying()) {
        setSliderValue(transport_.player()->currentTime());
        view_.positionText = secondsText(static_cast<double>(view_.sliderValue));
        if (dureeRecord_ - static_cast<double>(view_.sliderValue) < kEndOfPlaybackMargin) {
            transport_.pause();
            setSliderValue(dureeRecord_);
            view_.playPauseImage = "play_pause_btn_b";
        }
    } else {
        return;
    }
    changed();
}

void AudioRecordControllerThree::audioSessionDefaultToSpeaker() {
    std::string error;
    if (!MediaBackend::shared().audioSession().overrideOutputAudioPortToSpeaker(error)) {
        Log::write("error doing outputaudioportoverride - " + error);
    }
}

// ---------------------------------------------------------------------------------------------
// Takes

void AudioRecordControllerThree::recordDictee() {
    if (refused_) {
        setEtatLecteur(kStandBy);
        return;
    }
    view_.navigationLeftButtonEnabled = false;
    createNewDicteeIfNeeded();

    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(view_.sliderValue));
    Log::write(text);
    recordStartPosition_ = view_.sliderValue;

    if (!transport_.record(isDictee_)) {
        Log::write("L'enregistrement n'a pas pu démarrer");
        view_.navigationLeftButtonEnabled = true;
        setEtatLecteur(kStandBy);
        Notification::pushNotification(localized("AUDIO_RECORD_CONTROLLER_ENREGISTREMENT_IMPOSSIBLE",
                                                 "L'enregistrement n'a pas pu démarrer."));
        return;
    }
    startRecordAnimation();
    transport_.startDisplayTimer([this] { updateCurrentTime(); });
    changed();
}

void AudioRecordControllerThree::createNewDicteeIfNeeded() {
    const std::string& working = files_.workingPath(isDictee_);
    const AudioRecorderSettings settings =
        RecorderTransport::settingsForTrack(working, files_.workingPath(true));
    if (dureeRecord_ > 0) {
        AudioSession& session = MediaBackend::shared().audioSession();
        session.setCategory(AudioSession::Category::PlayAndRecord);
        session.setActive(true);
        transport_.replaceRecorder(isDictee_, files_.takePath(), settings);
        return;
    }
    // An empty track takes the take straight into its working file, which the recorder
    // replaces: a file there that no player could read is kept aside first.
    if (!transport_.player()) {
        files_.setAsideUnreadable(isDictee_);
    }
    const AudioRecorder* recorder = transport_.recorder(isDictee_);
    if (!recorder || recorder->settings().sampleRate != settings.sampleRate) {
        transport_.replaceRecorder(isDictee_, working, settings);
    }
}

void AudioRecordControllerThree::stopRecordDictee() {
    view_.navigationLeftButtonEnabled = true;
    const AudioRecorder* recorder = transport_.recorder(isDictee_);
    if (recorder && recorder->isRecording()) {
        updateCurrentTime();
    }
    if (const auto elapsed = transport_.stopRecording(isDictee_)) {
        view_.positionText =
            secondsText(isDictee_ ? *elapsed : *elapsed + static_cast<double>(recordStartPosition_));
    }
    lastEditError_ = recorder ? recorder->takeError() : 0;
    if (!files_.mergeTake(isDictee_, static_cast<double>(recordStartPosition_))) {
        lastEditError_ = files_.lastError();
    }
    files_.writeJournal(true);
    initPlayer();
    // The new player starts where the cursor stands, so that seeks start from there too.
    transport_.setPosition(static_cast<double>(view_.sliderValue));
}

void AudioRecordControllerThree::endTakeIfRunning() {
    if (isRecording() || etatLecteur_ == kRecording) {
        stopRecordDictee();
        setEtatLecteur(kPlayer);
    }
}

void AudioRecordControllerThree::audioDeviceFailed(const std::string& message) {
    if (refused_) {
        return;
    }
    Log::write("Périphérique audio en défaut pendant l'écran d'enregistrement : " + message);
    endTakeIfRunning();
    Notification::pushNotification(message.empty() ? localized("AUDIO_RECORD_CONTROLLER_DEVICE_LOST",
                                                               "Le périphérique audio n'est plus disponible.")
                                                   : message);
    changed();
}

// ---------------------------------------------------------------------------------------------
// Slider, seeks and track switch

void AudioRecordControllerThree::progressSliderMoved(float value) {
    if (etatLecteur_ == kRecording) {
        return;
    }
    if (etatLecteur_ != kPlayer) {
        setEtatLecteur(kPlayer);
    }
    // The player follows in every state, so that the position text tells the truth.
    transport_.setPosition(static_cast<double>(value));
    recordStartPosition_ = value;
    const AudioPlayer* player = transport_.player();
    view_.positionText = secondsText(player ? player->currentTime() : static_cast<double>(value));
    setSliderValue(static_cast<double>(value));
    updateCurrentTime();
    changed();
}

void AudioRecordControllerThree::startSeek(double direction, const char* image) {
    if (etatLecteur_ != kStandBy && etatLecteur_ != kPlayer) {
        return;
    }
    if (!isPlaying()) {
        transport_.setPosition(static_cast<double>(view_.sliderValue));
    }
    (direction < 0 ? view_.rewindImage : view_.forwardImage) = image;
    transport_.startSeek(
        direction, [this] { return dureeRecord_; }, [this] { updateCurrentTimeForPlayer(); });
    if (etatLecteur_ == kStandBy) {
        setEtatLecteur(kPlayer);
    }
    changed();
}

void AudioRecordControllerThree::updateCurrentTimeForPlayer() {
    const double position = transport_.player()->currentTime();
    view_.positionText = secondsText(position);
    setSliderValue(position);
    changed();
}

void AudioRecordControllerThree::rewindTouchDown() {
    startSeek(-1.0, "btn_retour_b");
}

void AudioRecordControllerThree::rewindTouchUp() {
    transport_.stopSeek(-1.0);
}

void AudioRecordControllerThree::fastForwardTouchDown() {
    startSeek(1.0, "btn_avance_b");
}

void AudioRecordControllerThree::fastForwardTouchUp() {
    transport_.stopSeek(1.0);
}

void AudioRecordControllerThree::changeDicteeOrInstruction() {
    if (etatLecteur_ != kStandBy && etatLecteur_ != kPlayer) {
        return;
    }
    dureeRecord_ = 0;
    view_.positionText = secondsText(static_cast<double>(otherTrackPosition_));
    const float leftPosition = view_.sliderValue;

    stopPlayDictee();
    // Markers belong to the track they were placed on.
    removeCursor();
    isDictee_ = !isDictee_;
    setEtatLecteur(etatLecteur_);
    view_.trackImage = isDictee_ ? "btn_insdic_dic_on" : "btn_insdic_ins_on";
    setProgressBarContainerAppearance();

    initPlayer();

    const double position = firstTrackSwitch_ ? dureeInstruction_ : static_cast<double>(otherTrackPosition_);
    firstTrackSwitch_ = false;
    transport_.setPosition(position);
    setSliderValue(position);
    otherTrackPosition_ = leftPosition;
    changed();
}

// ---------------------------------------------------------------------------------------------
// Markers and cut

void AudioRecordControllerThree::placeOrRemovePin() {
    if (currentTrackDuration() <= 0 || etatLecteur_ == kRecording) {
        return;
    }
    markers_.placeOrRemove(view_.sliderValue);
    changed();
}

void AudioRecordControllerThree::removeCursor() {
    markers_.removeAll();
    changed();
}

void AudioRecordControllerThree::touchPin(int which) {
    markers_.touch(which);
    changed();
}

void AudioRecordControllerThree::cutChunkDictation() {
    if (isPlaying() || isRecording() || !markers_.anyPlaced()) {
        return;
    }
    Tools::displayAlertViewWithConfirm(
        localized("AUDIO_RECORD_CONTROLLER_DELETE_CHUNK_CONFIRM", "Voulez-supprimer cette partie ?"), "",
        kCutConfirmTag, [answer = guarded([this](int button) {
                             if (button == 1) {
                                 cutBetweenMarkers();
                             }
                         })](int /*tag*/, int button) { answer(button); });
}

void AudioRecordControllerThree::cutBetweenMarkers() {
    // The screen may have changed while the question was up.
    const auto passage = markers_.band(static_cast<double>(view_.sliderMaximum));
    if (refused_ || isPlaying() || isRecording() || !passage) {
        return;
    }
    lastEditError_ = 0;
    if (files_.cut(isDictee_, passage->from, passage->to)) {
        removeCursorAndSetLabelAfterCut();
    } else {
        lastEditError_ = files_.lastError();
    }
}

void AudioRecordControllerThree::removeCursorAndSetLabelAfterCut() {
    initPlayer();
    removeCursor();
    view_.positionText = secondsText(static_cast<double>(view_.sliderValue));
    changed();
}

// ---------------------------------------------------------------------------------------------
// Priority, indicator and side screens

void AudioRecordControllerThree::setBoutonPriorityColor() {
    strPriorite_ = Priority::label(nivPriorite_);
    view_.priorityImage = Priority::image(nivPriorite_);
    view_.tabStripColor =
        nivPriorite_ == Priority::High ? kHighPriorityColor : Colors::NavigationBarDefaultBackground;
    changed();
}

void AudioRecordControllerThree::displayPriorite() {
    nivPriorite_ = nivPriorite_ == 1 ? 2 : 1;
    setBoutonPriorityColor();
    paramWorkflow_.priority = strPriorite_;
    changed();
}

void AudioRecordControllerThree::startRecordAnimation() {
    indicator_.start();
}

void AudioRecordControllerThree::displayPictures() {
    auto pictures = std::make_shared<PicturesViewController>();
    pictures->setDicteeId(static_cast<std::int32_t>(idDictee_));
    // Pictures changed during a send would never reach the office.
    pictures->setSendingProbe([&application = application()] { return application.dictationBeingSent(); });
    pictures->loadPictures();
    application().navigation().push(pictures);
}

void AudioRecordControllerThree::displayParameter() {
    auto editor = std::make_shared<ParamWorkflowDictee>(paramWorkflow_);
    std::weak_ptr<ParamWorkflowDictee> shown = editor;
    editor->setOnChangeCallback(
        [this, alive = std::weak_ptr<char>(alive_), shown](bool cancelled, const ParamWorkflow& parameters) {
            if (!alive.lock()) {
                return;
            }
            applyParameterEditorAnswer(cancelled, parameters);
            // Only the editor itself: dropping its changes has closed it already.
            NavigationController& navigation = application().navigation();
            if (const auto open = shown.lock(); open && navigation.presented() == open) {
                navigation.dismiss();
            }
        });
    editor->setServicesOpener(AbstractParamWorkflow::presentingOn(application().navigation()));
    // The code reader and the case-file search the option bar offers, over the editor.
    editor->setScannerOpener(
        ParamWorkflowDictee::presentingOn(application().navigation(), optionBarre_.scannerOpener()));
    editor->setCaseListOpener(
        ParamWorkflowDictee::presentingOn(application().navigation(), optionBarre_.caseListOpener()));
    editor->setLoginOpener(
        ParamWorkflowDictee::presentingOn(application().navigation(), optionBarre_.loginOpener()));
    application().navigation().present(editor);
}

void AudioRecordControllerThree::displayScanner() {
    optionBarre_.displayScanner();
}

void AudioRecordControllerThree::applyParameterEditorAnswer(bool cancelled,
                                                            const ParamWorkflow& paramWorkflow) {
    if (cancelled) {
        return;
    }
    paramWorkflow_ = paramWorkflow;
    refreshTitle();
    changed();
}

// ---------------------------------------------------------------------------------------------
// Saving and discarding

std::optional<DicteeModel> AudioRecordControllerThree::saveDictation(bool draft) {
    if (refused_) {
        return std::nullopt;
    }
    stopPlayDictee();
    endTakeIfRunning();

    {
        auto instruction = MediaBackend::shared().makePlayer(files_.workingPath(false));
        dureeInstruction_ = instruction ? instruction->duration() : 0.0;
    }
    paramWorkflow_.priority = strPriorite_;
    const DictationSaver::Outcome saved = DictationSaver::save(
        {hasNoRecord_, idDictee_, dureeDictee_, dureeInstruction_, draft}, paramWorkflow_, files_);
    if (saved.identifier >= 1) {
        // From now on the screen stands for the stored dictation: a further save updates it.
        hasNoRecord_ = false;
        idDictee_ = saved.identifier;
    }
    if (!saved.record) {
        notifySaveFailed(saved.diskError);
    }
    changed();
    return saved.record;
}

void AudioRecordControllerThree::cancelDictation() {
    if (refused_) {
        application().popToRoot();
        return;
    }
    if (isRecording()) {
        transport_.stopRecording(isDictee_);
    }
    stopPlayDictee();
    transport_.stopDisplayTimer();
    files_.deleteFileTempFile();
    if (idDictee_ >= 1) {
        // A new dictation has no record yet: the row under its future identifier is not its own.
        DicteeRequest request;
        const DicteeModel record = hasNoRecord_ ? DicteeModel() : request.selectDictee(idDictee_);
        if (record.idDictee != idDictee_ || record.envoi == 1) {
            Pictures::deletePicturesForDictation(idDictee_);
        } else {
            abandonStoredDictation(idDictee_);
        }
    }
    application().popToRoot();
}

bool AudioRecordControllerThree::recordChoiceMenuShouldDisplaySendDictation() {
    return dureeDictee_ > 0 || dureeInstruction_ > 0 || dureeRecord_ > 0;
}

void AudioRecordControllerThree::displayResumeAlertViewForDictee(
    const std::optional<DicteeModel>& /*record*/) {
    auto saved = saveDictation(true);
    if (!saved) {
        return;
    }
    AudioController::displayResumeAlertViewForDictee(saved);
}

void AudioRecordControllerThree::dictationStaysOpenAfterSave(const DicteeModel& record) {
    if (refused_ || record.idDictee < 1) {
        return;
    }
    hasNoRecord_ = false;
    idDictee_ = record.idDictee;
    if (!files_.reopenStored(idDictee_)) {
        refuse();
        return;
    }
    transport_.makeRecorders(files_.workingPath(true), files_.workingPath(false));
    const float position = view_.sliderValue;
    initPlayer();
    setSliderValue(static_cast<double>(position));
    transport_.setPosition(static_cast<double>(view_.sliderValue));
    changed();
}

} // namespace orvaneh
