#include "Classes/audio/AudioRecordControllerThree.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/FileManagerHelper.h"
#include "Classes/core/Pictures.h"
#include "Classes/core/Priority.h"
#include "Classes/core/Tools.h"
#include "Classes/core/siteRequest.h"
#include "Classes/screens/ApplicationHost.h"
#include "Classes/screens/Notification.h"
#include "Platform/files/SystemErrorText.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

namespace orvaneh {

namespace fs = std::filesystem;

float AudioRecordControllerThree::recordStartPosition_ = 0;
float AudioRecordControllerThree::otherTrackPosition_ = 0;
bool AudioRecordControllerThree::firstTrackSwitch_ = true;
float AudioRecordControllerThree::seekStep_ = 1.0F;
bool AudioRecordControllerThree::blinkOn_ = false;

namespace {

bool fileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_regular_file(path, error);
}

std::string recorderLockPath() {
    return FileManagerHelper::getPathForFileName("/enregistreur.verrou");
}

std::string storedDictationPath(std::int64_t id) {
    return FileManagerHelper::getPathForFileName("/" + std::to_string(id) + ".wav");
}

std::string storedInstructionPath(std::int64_t id) {
    return FileManagerHelper::getPathForFileName("/I" + std::to_string(id) + ".wav");
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

// Copies without ever replacing an existing destination, through `via` renamed at the end: a
// copy cut short never stands as the destination.
// A track is as the journal left it when its working file is still the one recorded beside an
// unchanged stored file, or was already moved to its stored name by a save cut short.
bool trackAsJournaled(const RecorderJournal::FileStamp& working, const RecorderJournal::FileStamp& stored,
                      const std::string& workingPath, const std::string& storedPath) {
    const auto now = RecorderJournal::FileStamp::of(workingPath);
    const auto storedNow = RecorderJournal::FileStamp::of(storedPath);
    return (now == working && storedNow == stored) || (!now.present && storedNow == working);
}

// Nothing when the copy was made or not needed; otherwise why it failed, in French.
std::optional<std::string> copyIfAbsent(const std::string& source, const std::string& destination,
                                        const std::string& via) {
    if (!fileExists(source) || fileExists(destination)) {
        return std::nullopt;
    }
    std::error_code error;
    fs::copy_file(source, via, fs::copy_options::overwrite_existing, error);
    if (!error) {
        fs::rename(via, destination, error);
    }
    if (!error) {
        return std::nullopt;
    }
    Tools::deleteFileAtPath(via);
    Log::write("Copie impossible de « " + source + " » vers « " + destination + " » : " + error.message());
    // The kernel's copy reports a full disk as an I/O error: say what the user can act on.
    std::error_code ignored;
    const auto space = fs::space(fs::path(via).parent_path(), ignored);
    if (!ignored && space.available < fs::file_size(source, ignored) && !ignored) {
        return systemErrorText(ENOSPC);
    }
    return systemErrorText(error.value());
}

// Moves an audio file out of the recorder's way under a dated name of the documents
// directory. The new name (without directory), or nothing when the move failed.
std::optional<std::string> setAudioAside(const std::string& path, const std::string& prefix) {
    const std::string stem = prefix + "-" + Tools::getDateStrForFormat("yyyyMMdd-HHmmss");
    std::string name = stem + ".wav";
    for (int n = 2; fileExists(FileManagerHelper::getPathForFileName("/" + name)); ++n) {
        name = stem + "-" + std::to_string(n) + ".wav";
    }
    std::error_code error;
    fs::rename(path, FileManagerHelper::getPathForFileName("/" + name), error);
    if (error) {
        Log::write("Impossible de mettre de côté « " + path + " » : " + error.message());
        return std::nullopt;
    }
    Log::write("Enregistrement mis de côté : « " + path + " » devient « " + name + " »");
    return name;
}

std::string secondsText(double seconds) {
    return Tools::timeIntervalToString(seconds);
}

} // namespace

AudioRecordControllerThree::AudioRecordControllerThree(ApplicationHost& application)
    : AudioController(application), recorderLock_(recorderLockPath()) {}

AudioRecordControllerThree::~AudioRecordControllerThree() {
    for (auto* timer : {&timerRecord_, &rewTimer_, &ffwTimer_, &animationTimer_}) {
        if (*timer) {
            (*timer)->invalidate();
        }
    }
    levelMeter_.stop();
    levelMeter_.setRecorder(nullptr);
    levelMeter_.setPlayer(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Lifecycle

void AudioRecordControllerThree::viewDidLoad() {
    view_.bandAlpha = 0;
    curseurImV1_ = PinCursor();
    curseurImV2_ = PinCursor();
    view_.sliderThumbColor = Colors::RecorderProgressBarThumbColor;
    view_.sliderTrackColor = Colors::RecorderProgressBarTrackColor;

    recordStartPosition_ = 0;
    otherTrackPosition_ = 0;
    firstTrackSwitch_ = true;
    isDictee_ = true;
    setEtatLecteur(kPlayer);

    baseDicteeFilePath_ = FileManagerHelper::getPathForFileName("/dictee.wav");
    baseInstFilePath_ = FileManagerHelper::getPathForFileName("/instruction.wav");
    tempDicteeFilePath_ = FileManagerHelper::getPathForFileName("/dicteeTemp.wav");
    tempInstFilePath_ = FileManagerHelper::getPathForFileName("/instTemp.wav");
    tempFilePath_ = FileManagerHelper::getPathForFileName("/dictee2.wav");
    outputFilePath_ = FileManagerHelper::getPathForFileName("/temp3.wav");
    view_.backButtonHidden = true;

    refused_ = !takeRecorderLock();
    if (refused_) {
        changed();
        return;
    }
    initDictee();
    if (refused_) {
        changed();
        return;
    }

    view_.durationText = secondsText(std::trunc(dureeDictee_));
    setBoutonPriorityColor();
    initPlayer();

    setSliderValue(dureeRecord_);
    setPlayerPosition(dureeRecord_);

    audioSessionDefaultToSpeaker();
    view_.scannerButtonVisible = ConfigurationManager::shouldDisplayScanner();
    becomeActiveObservation_ = NotificationCenter::defaultCenter().addMainLoopObserver(
        "ApplicationBecomeActive", [this](const PostedNotification&) { startRecordAnimation(); });
    changed();
}

std::optional<std::string> AudioRecordControllerThree::recorderUnavailable() {
    FileLock probe(recorderLockPath());
    std::string error;
    switch (probe.tryLock(&error)) {
    case FileLock::Result::Acquired:
        return std::nullopt;
    case FileLock::Result::HeldElsewhere:
        return localized("AUDIO_RECORD_CONTROLLER_ENREGISTREUR_OCCUPE",
                         "Un enregistrement est déjà ouvert sur ce profil (dans l'application ou une autre "
                         "commande). Terminez-le avant d'en ouvrir un autre.");
    case FileLock::Result::Failed:
        break;
    }
    return localized("AUDIO_RECORD_CONTROLLER_VERROU_IMPOSSIBLE",
                     "L'enregistreur n'a pas pu être réservé : ") +
           error;
}

bool AudioRecordControllerThree::takeRecorderLock() {
    // Two screens on one profile would record into the same working files.
    if (recorderLock_.tryLock() == FileLock::Result::Acquired) {
        return true;
    }
    const std::string why = recorderUnavailable().value_or("");
    Log::write("Écran d'enregistrement refusé : " + why);
    Notification::pushNotification(why);
    application().popToRoot();
    return false;
}

void AudioRecordControllerThree::initDictee() {
    hasNoRecord_ = application().record();
    DicteeRequest request;
    idDictee_ = hasNoRecord_ ? request.getLastId() + 1 : application().idDictee();
    const DicteeModel record = hasNoRecord_ ? DicteeModel() : request.selectDictee(idDictee_);
    finalDicteeFilePath_ = storedDictationPath(idDictee_);
    finalInstFilePath_ = storedInstructionPath(idDictee_);
    if (hasNoRecord_) {
        // The pictures of the side screens are taken under this identifier from now on;
        // whatever is there already belongs to an older dictation.
        setAsideFilesOfOlderDictation(idDictee_, true);
    }
    const auto found = RecorderJournal::read();
    recoverOrSetAsideWorkingFiles(record, found);
    setAsideLeftoverTake(found);
    // An edit's output left by an interrupted step is never a state of a track, and the
    // opening copies of earlier versions are only copies of stored tracks.
    for (const std::string* leftover : {&outputFilePath_, &tempDicteeFilePath_, &tempInstFilePath_}) {
        Tools::deleteFileAtPath(*leftover);
    }

    if (hasNoRecord_) {
        nivPriorite_ = paramWorkflow_.getParamPriorityNum();
        strPriorite_ = paramWorkflow_.priority;
        dureeDictee_ = 0;
        dureeInstruction_ = 0;
    } else {
        const bool resumed = fileExists(baseDicteeFilePath_);
        if (!copyStoredTracks()) {
            return;
        }
        if (!record.titre.empty()) {
            Log::write("Enregs trouvés : " + record.titre);
        }
        if (ConfigurationManager::shouldDisplayParameterResumeBeforeRecord() && resumed) {
            nivPriorite_ = paramWorkflow_.getParamPriorityNum();
            strPriorite_ = paramWorkflow_.priority;
        } else {
            nivPriorite_ = record.getPrioriteNum();
        }
        dureeDictee_ = static_cast<double>(record.dureeDictee);
        dureeInstruction_ = static_cast<double>(record.dureeInstruction);
    }
    journal_.idDictee = idDictee_;
    journal_.stored = !hasNoRecord_;
    journal_.masterJobId = record.masterJobId;
    journal_.storedDictation = RecorderJournal::FileStamp::of(finalDicteeFilePath_);
    journal_.storedInstruction = RecorderJournal::FileStamp::of(finalInstFilePath_);
    writeJournal(false);

    makeRecorders();
    levelMeter_.setPlayer(nullptr);
}

bool AudioRecordControllerThree::copyStoredTracks() {
    const bool hadDictation = fileExists(baseDicteeFilePath_);
    const bool hadInstruction = fileExists(baseInstFilePath_);
    auto problem = copyIfAbsent(finalDicteeFilePath_, baseDicteeFilePath_, outputFilePath_);
    if (!problem) {
        problem = copyIfAbsent(finalInstFilePath_, baseInstFilePath_, outputFilePath_);
    }
    if (!problem) {
        return true;
    }
    // Without its working copy the screen would show an empty track, and saving would put
    // that over the stored recording: the dictation is not opened at all.
    if (!hadDictation) {
        Tools::deleteFileAtPath(baseDicteeFilePath_);
    }
    if (!hadInstruction) {
        Tools::deleteFileAtPath(baseInstFilePath_);
    }
    refused_ = true;
    recorderLock_.unlock();
    const std::string text =
        localized(
            "AUDIO_RECORD_CONTROLLER_OUVERTURE_IMPOSSIBLE",
            "La dictée ne peut pas être ouverte : la copie de travail de ses enregistrements n'a pas pu "
            "être faite (") +
        *problem + "). Elle reste telle qu'elle était.";
    Log::write(text);
    Notification::pushNotification(text);
    application().popToRoot();
    return false;
}

void AudioRecordControllerThree::setAsideFilesOfOlderDictation(std::int64_t identifier, bool withPictures) {
    const auto names = FileManagerHelper::setAsideFilesOfIdentifier(
        identifier, "fichiers d'une dictée précédente sous l'identifiant d'une nouvelle dictée",
        withPictures);
    if (!names.empty()) {
        Notification::pushNotification(
            localized("AUDIO_RECORD_CONTROLLER_ORPHELINS_CONSERVES",
                      "Des fichiers d'une ancienne dictée portaient le numéro de la nouvelle ; ils sont "
                      "conservés à part, sans être envoyés : ") +
            joined(names));
    }
}

// Working files found at the opening are this dictation's last complete state when the
// journal says so: taken up (and said when they hold edits). Anything else is set aside.
void AudioRecordControllerThree::recoverOrSetAsideWorkingFiles(const DicteeModel& record,
                                                               const std::optional<RecorderJournal>& found) {
    journal_.steps = 0;
    if (!fileExists(baseDicteeFilePath_) && !fileExists(baseInstFilePath_)) {
        return;
    }
    const bool thisDictation = found && !hasNoRecord_ && found->stored && found->idDictee == idDictee_ &&
                               record.idDictee == idDictee_ && found->masterJobId == record.masterJobId;
    if (thisDictation &&
        trackAsJournaled(found->dictation, found->storedDictation, baseDicteeFilePath_,
                         finalDicteeFilePath_) &&
        trackAsJournaled(found->instruction, found->storedInstruction, baseInstFilePath_,
                         finalInstFilePath_)) {
        journal_.steps = found->steps;
        if (found->steps > 0) {
            Log::write("Modification interrompue de la dictée " + std::to_string(idDictee_) + " reprise (" +
                       std::to_string(found->steps) + " étape(s) terminée(s))");
            Notification::pushNotification(localized(
                "AUDIO_RECORD_CONTROLLER_MODIFICATION_REPRISE",
                "La modification interrompue de cette dictée est reprise telle qu'elle était après sa "
                "dernière étape terminée."));
        }
        return;
    }
    if (!thisDictation && found && completeInterruptedSave(*found)) {
        return;
    }
    setAsideWorkingFiles(
        thisDictation ? localized("AUDIO_RECORD_CONTROLLER_MODIFICATION_NON_REPRISE",
                                  "Une modification interrompue de cette dictée n'a pas pu être reprise ; "
                                  "ses enregistrements sont conservés dans : ")
                      : localized("AUDIO_RECORD_CONTROLLER_PISTES_CONSERVEES",
                                  "Les enregistrements non enregistrés d'une autre dictée sont "
                                  "conservés dans : "));
}

bool AudioRecordControllerThree::completeInterruptedSave(const RecorderJournal& found) {
    if (!found.saving || !found.stored || found.idDictee == idDictee_) {
        return false;
    }
    const DicteeModel owner = DicteeRequest().selectDictee(found.idDictee);
    const std::string storedDictation = storedDictationPath(found.idDictee);
    const std::string storedInstruction = storedInstructionPath(found.idDictee);
    if (owner.idDictee != found.idDictee || owner.masterJobId != found.masterJobId ||
        !trackAsJournaled(found.dictation, found.storedDictation, baseDicteeFilePath_, storedDictation) ||
        !trackAsJournaled(found.instruction, found.storedInstruction, baseInstFilePath_, storedInstruction)) {
        return false;
    }
    for (const auto& [working, stored] : {std::pair{&baseDicteeFilePath_, &storedDictation},
                                          std::pair{&baseInstFilePath_, &storedInstruction}}) {
        std::error_code error;
        if (fileExists(*working)) {
            fs::rename(*working, *stored, error);
        }
        if (error) {
            Log::write("L'enregistrement interrompu de la dictée " + std::to_string(found.idDictee) +
                       " n'a pas pu être terminé : " + error.message());
            return false;
        }
    }
    // The record stays held back: whether it was to be sent or kept is the user's to say again.
    Log::write("Enregistrement interrompu de la dictée " + std::to_string(found.idDictee) + " terminé");
    Notification::pushNotification(
        localized("AUDIO_RECORD_CONTROLLER_ENREGISTREMENT_TERMINE",
                  "L'enregistrement interrompu d'une dictée a été terminé ; elle reste en brouillon : ") +
        (owner.titre.empty() ? std::to_string(found.idDictee) : owner.titre));
    return true;
}

void AudioRecordControllerThree::setAsideWorkingFiles(const std::string& why) {
    std::vector<std::string> names;
    for (const auto& [working, prefix] : {std::pair{&baseDicteeFilePath_, "piste-dictee"},
                                          std::pair{&baseInstFilePath_, "piste-instruction"}}) {
        if (fileExists(*working)) {
            if (auto name = setAudioAside(*working, prefix)) {
                names.push_back(*name);
            }
        }
    }
    Notification::pushNotification(why + joined(names));
}

void AudioRecordControllerThree::setAsideLeftoverTake(const std::optional<RecorderJournal>& found) {
    if (!fileExists(tempFilePath_)) {
        return;
    }
    if (found && found->insertedTake.present &&
        RecorderJournal::FileStamp::of(tempFilePath_) == found->insertedTake) {
        // Already spliced into the state the journal names: kept once, not twice.
        Tools::deleteFileAtPath(tempFilePath_);
        return;
    }
    // A take the screen never got to insert (it was closed during the take).
    if (auto name = setAudioAside(tempFilePath_, "prise")) {
        Notification::pushNotification(
            localized("AUDIO_RECORD_CONTROLLER_PRISE_CONSERVEE",
                      "Une prise non insérée lors d'une séance précédente est conservée dans le fichier ") +
            *name);
    }
}

void AudioRecordControllerThree::writeJournal(bool edited) {
    if (refused_) {
        return;
    }
    const auto dictation = RecorderJournal::FileStamp::of(baseDicteeFilePath_);
    const auto instruction = RecorderJournal::FileStamp::of(baseInstFilePath_);
    if (edited && (dictation != journal_.dictation || instruction != journal_.instruction)) {
        ++journal_.steps;
    }
    journal_.dictation = dictation;
    journal_.instruction = instruction;
    journal_.write();
}

AudioRecorderSettings AudioRecordControllerThree::settingsForTrack(bool dictation) const {
    // The rate of the audio already there, so that the take can be spliced into it: the
    // track's, else the dictation's, else the setting.
    float byteRate = FileManagerHelper::getSampleRateForDictationAtPath(dictation ? baseDicteeFilePath_
                                                                                  : baseInstFilePath_);
    if (byteRate <= 0) {
        byteRate = FileManagerHelper::getSampleRateForDictationAtPath(baseDicteeFilePath_);
    }
    AudioRecorderSettings settings;
    settings.formatId = "lpcm";
    settings.sampleRate = byteRate > 0 ? static_cast<double>(byteRate) / 2.0
                                       : static_cast<double>(ConfigurationManager::getAudioSampleRate());
    settings.numberOfChannels = 1;
    settings.encoderAudioQuality = 0;
    settings.encoderBitRate = 8;
    return settings;
}

void AudioRecordControllerThree::makeRecorders() {
    recordSetting_ = settingsForTrack(true);
    releaseRecorder(recorderDict_);
    releaseRecorder(recorderInstr_);
    MediaBackend& media = MediaBackend::shared();
    recorderDict_ = media.makeRecorder(baseDicteeFilePath_, recordSetting_);
    recorderInstr_ = media.makeRecorder(baseInstFilePath_, recordSetting_);
}

void AudioRecordControllerThree::releaseRecorder(std::unique_ptr<AudioRecorder>& recorder) {
    if (recorder && levelMeter_.recorder() == recorder.get()) {
        levelMeter_.setRecorder(nullptr);
    }
    recorder.reset();
}

void AudioRecordControllerThree::releasePlayer() {
    if (player_ && levelMeter_.player() == player_.get()) {
        levelMeter_.setPlayer(nullptr);
    }
    player_.reset();
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
    if (player_) {
        player_->stop();
    }
    if (!isRecording()) {
        levelMeter_.stop();
        stopDisplayTimer();
    }
    changed();
}

bool AudioRecordControllerThree::discardUneditedWorkingFiles() {
    if (refused_ || hasNoRecord_ || isRecording() || journal_.steps != 0 || journal_.saving ||
        RecorderJournal::FileStamp::of(baseDicteeFilePath_) != journal_.dictation ||
        RecorderJournal::FileStamp::of(baseInstFilePath_) != journal_.instruction) {
        return false;
    }
    stopPlayDictee();
    stopDisplayTimer();
    deleteFileTempFile();
    return true;
}

bool AudioRecordControllerThree::viewShouldBackToParentView() {
    showRecordChoiceMenuWithTitle(std::nullopt);
    return false;
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

bool AudioRecordControllerThree::isRecording() const {
    return (recorderDict_ && recorderDict_->isRecording()) ||
           (recorderInstr_ && recorderInstr_->isRecording());
}

bool AudioRecordControllerThree::isPlaying() const {
    return player_ && player_->isPlaying();
}

void AudioRecordControllerThree::recordAction() {
    switch (etatLecteur_) {
    case kPlayer:
        if (player_) {
            player_->pause();
        }
        levelMeter_.stop();
        stopDisplayTimer();
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
            recordStartPosition_ = static_cast<float>(player_->currentTime());
            player_->pause();
            levelMeter_.stop();
            stopDisplayTimer();
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
    releasePlayer();
    // A refused screen does not read the working files of the screen that is open.
    if (!refused_) {
        player_ = MediaBackend::shared().makePlayer(currentWorkingPath());
    }
    const double duration = player_ ? player_->duration() : 0.0;
    if (player_) {
        player_->setVolume(1.0F);
    }
    currentTrackDuration() = duration;
    dureeRecord_ = duration;
    levelMeter_.setPlayer(player_.get());
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

void AudioRecordControllerThree::setPlayerPosition(double seconds) {
    if (player_) {
        player_->setCurrentTime(seconds);
    }
}

void AudioRecordControllerThree::stopDisplayTimer() {
    if (timerRecord_) {
        timerRecord_->invalidate();
        timerRecord_.reset();
    }
}

void AudioRecordControllerThree::playDictee() {
    if (!player_) {
        return;
    }
    player_->setCurrentTime(static_cast<double>(view_.sliderValue));
    // Playing from the end starts again from the start.
    if (player_->currentTime() == 0 || view_.sliderValue >= static_cast<float>(dureeRecord_)) {
        setSliderValue(0);
        player_->setCurrentTime(0);
    }
    audioSessionDefaultToSpeaker();
    levelMeter_.start();
    player_->play();
    player_->setDelegate([this](bool successfully) { audioPlayerDidFinishPlaying(successfully); });
    stopDisplayTimer();
    timerRecord_ = RunLoop::main().scheduleTimer(Seconds(kDisplayInterval), true,
                                                 [this](Timer&) { updateCurrentTime(); });
}

void AudioRecordControllerThree::stopPlayDictee() {
    if (!player_) {
        return;
    }
    player_->stop();
    levelMeter_.stop();
    player_->setCurrentTime(0);
    if (!isRecording()) {
        stopDisplayTimer();
    }
}

void AudioRecordControllerThree::audioPlayerDidFinishPlaying(bool /*successfully*/) {
    setEtatLecteur(kPlayer);
    levelMeter_.stop();
    if (player_) {
        player_->pause();
    }
    stopDisplayTimer();
    view_.playPauseImage = "play_pause_btn_b";
    changed();
}

void AudioRecordControllerThree::updateCurrentTime() {
    AudioRecorder* recording = nullptr;
    if (recorderDict_ && recorderDict_->isRecording()) {
        recording = recorderDict_.get();
    } else if (recorderInstr_ && recorderInstr_->isRecording()) {
        recording = recorderInstr_.get();
    }
    if (recording) {
        const double elapsed = recording->currentTime();
        dureeRecord_ = currentTrackDuration() + elapsed;
        setSliderRange(view_.sliderMinimum, dureeRecord_);
        setSliderValue(elapsed + static_cast<double>(recordStartPosition_));
        view_.positionText = secondsText(elapsed);
        view_.durationText = secondsText(dureeRecord_);
    } else if (isPlaying()) {
        setSliderValue(player_->currentTime());
        view_.positionText = secondsText(static_cast<double>(view_.sliderValue));
        if (dureeRecord_ - static_cast<double>(view_.sliderValue) < kEndOfPlaybackMargin) {
            player_->pause();
            levelMeter_.stop();
            stopDisplayTimer();
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

    AudioSession& session = MediaBackend::shared().audioSession();
    session.setCategory(AudioSession::Category::PlayAndRecord);
    session.setActive(true);

    AudioRecorder* recorder = currentRecorder().get();
    if (!recorder || !recorder->prepareToRecord() || !recorder->record()) {
        Log::write("L'enregistrement n'a pas pu démarrer");
        session.setActive(false);
        view_.navigationLeftButtonEnabled = true;
        setEtatLecteur(kStandBy);
        Notification::pushNotification(localized("AUDIO_RECORD_CONTROLLER_ENREGISTREMENT_IMPOSSIBLE",
                                                 "L'enregistrement n'a pas pu démarrer."));
        return;
    }
    levelMeter_.setRecorder(recorder);
    levelMeter_.start();

    startRecordAnimation();
    stopDisplayTimer();
    timerRecord_ = RunLoop::main().scheduleTimer(Seconds(kDisplayInterval), true,
                                                 [this](Timer&) { updateCurrentTime(); });
    changed();
}

void AudioRecordControllerThree::createNewDicteeIfNeeded() {
    const AudioRecorderSettings settings = settingsForTrack(isDictee_);
    auto& recorder = currentRecorder();
    if (dureeRecord_ > 0) {
        AudioSession& session = MediaBackend::shared().audioSession();
        session.setCategory(AudioSession::Category::PlayAndRecord);
        session.setActive(true);
        releaseRecorder(recorder);
        recorder = MediaBackend::shared().makeRecorder(tempFilePath_, settings);
        return;
    }
    // An empty track takes the take straight into its working file, which the recorder
    // replaces: a file there that no player could read is kept aside first.
    if (!player_ && fileExists(currentWorkingPath())) {
        if (auto name =
                setAudioAside(currentWorkingPath(), isDictee_ ? "piste-dictee" : "piste-instruction")) {
            Notification::pushNotification(localized("AUDIO_RECORD_CONTROLLER_PISTE_ILLISIBLE",
                                                     "La piste était illisible ; elle est conservée dans le "
                                                     "fichier ") +
                                           *name);
        }
    }
    if (!recorder || recorder->settings().sampleRate != settings.sampleRate) {
        releaseRecorder(recorder);
        recorder = MediaBackend::shared().makeRecorder(currentWorkingPath(), settings);
    }
}

void AudioRecordControllerThree::stopRecordDictee() {
    view_.navigationLeftButtonEnabled = true;
    AudioRecorder* recorder = currentRecorder().get();
    if (recorder && recorder->isRecording()) {
        updateCurrentTime();
        const double elapsed = recorder->currentTime();
        view_.positionText =
            secondsText(isDictee_ ? elapsed : elapsed + static_cast<double>(recordStartPosition_));
        recorder->stop();
    }
    MediaBackend::shared().audioSession().setActive(false);
    stopDisplayTimer();
    levelMeter_.stop();
    mergeDicteeIfNeeded();
    writeJournal(true);
    initPlayer();
    // The new player starts where the cursor stands, so that seeks start from there too.
    setPlayerPosition(static_cast<double>(view_.sliderValue));
}

void AudioRecordControllerThree::endTakeIfRunning() {
    if (isRecording() || etatLecteur_ == kRecording) {
        stopRecordDictee();
        setEtatLecteur(kPlayer);
    }
}

void AudioRecordControllerThree::mergeDicteeIfNeeded() {
    if (fileExists(tempFilePath_) && insertInWaveFile()) {
        Tools::deleteFileAtPath(tempFilePath_);
    }
}

bool AudioRecordControllerThree::replaceWorkingFile(const std::string& output, const std::string& working) {
    // One rename: the track is never without a file, whatever happens in between.
    std::error_code error;
    fs::rename(output, working, error);
    if (error) {
        Log::write("Impossible de remplacer « " + working + " » : " + error.message());
        Tools::deleteFileAtPath(output);
        return false;
    }
    return true;
}

bool AudioRecordControllerThree::insertInWaveFile() {
    const std::string& working = currentWorkingPath();
    bool inserted = FileManagerHelper::insertWaveFile(tempFilePath_, working, outputFilePath_,
                                                      static_cast<double>(recordStartPosition_));
    inserted = inserted && replaceWorkingFile(outputFilePath_, working);
    if (inserted) {
        // Until the take file is removed, the journal knows it is already in the track.
        journal_.insertedTake = RecorderJournal::FileStamp::of(tempFilePath_);
        writeJournal(true);
        return true;
    }
    std::string message = localized("AUDIO_RECORD_CONTROLLER_INSERTION_IMPOSSIBLE",
                                    "La prise n'a pas pu être insérée dans la piste, qui reste inchangée.");
    if (auto name = setAudioAside(tempFilePath_, "prise")) {
        message += " " +
                   localized("AUDIO_RECORD_CONTROLLER_PRISE_CONSERVEE_DANS",
                             "La prise est conservée dans le fichier ") +
                   *name;
    }
    Notification::pushNotification(message);
    return false;
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
    setPlayerPosition(static_cast<double>(value));
    recordStartPosition_ = value;
    view_.positionText = secondsText(player_ ? player_->currentTime() : static_cast<double>(value));
    setSliderValue(static_cast<double>(value));
    updateCurrentTime();
    changed();
}

void AudioRecordControllerThree::startSeek(std::shared_ptr<Timer>& timer, double direction,
                                           const char* image) {
    if (etatLecteur_ != kStandBy && etatLecteur_ != kPlayer) {
        return;
    }
    seekStep_ = 1.0F;
    if (!isPlaying()) {
        setPlayerPosition(static_cast<double>(view_.sliderValue));
    }
    (direction < 0 ? view_.rewindImage : view_.forwardImage) = image;
    if (timer) {
        timer->invalidate();
    }
    timer = RunLoop::main().scheduleTimer(Seconds(kSeekInterval), true,
                                          [this, direction](Timer&) { seekTick(direction); });
    if (etatLecteur_ == kStandBy) {
        setEtatLecteur(kPlayer);
    }
    changed();
}

void AudioRecordControllerThree::seekTick(double direction) {
    if (!player_) {
        return;
    }
    // Kept within the track: a position before the start or past the end means nothing.
    const double target = player_->currentTime() + direction * static_cast<double>(seekStep_);
    player_->setCurrentTime(std::clamp(target, 0.0, std::max(0.0, dureeRecord_)));
    seekStep_ *= 1.1F;
    updateCurrentTimeForPlayer();
}

void AudioRecordControllerThree::updateCurrentTimeForPlayer() {
    view_.positionText = secondsText(player_->currentTime());
    setSliderValue(player_->currentTime());
    changed();
}

void AudioRecordControllerThree::rewindTouchDown() {
    startSeek(rewTimer_, -1.0, "btn_retour_b");
}

void AudioRecordControllerThree::rewindTouchUp() {
    if (rewTimer_) {
        rewTimer_->invalidate();
        rewTimer_.reset();
    }
}

void AudioRecordControllerThree::fastForwardTouchDown() {
    startSeek(ffwTimer_, 1.0, "btn_avance_b");
}

void AudioRecordControllerThree::fastForwardTouchUp() {
    if (ffwTimer_) {
        ffwTimer_->invalidate();
        ffwTimer_.reset();
    }
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
    setPlayerPosition(position);
    setSliderValue(position);
    otherTrackPosition_ = leftPosition;
    changed();
}

// ---------------------------------------------------------------------------------------------
// Markers and cut

double AudioRecordControllerThree::pixel(double value) const {
    const Rect& slider = view_.sliderFrame;
    const double minimum = static_cast<double>(view_.sliderMinimum);
    const double maximum =
        std::max(static_cast<double>(view_.sliderMaximum), isDictee_ ? dureeDictee_ : dureeInstruction_);
    if (maximum - minimum <= 0) {
        return slider.x;
    }
    return slider.x + slider.width * (value - minimum) / (maximum - minimum);
}

void AudioRecordControllerThree::placeOrRemovePin() {
    if (currentTrackDuration() <= 0 || etatLecteur_ == kRecording) {
        return;
    }
    if (!curseurImV1_.controlState() && !curseurImV2_.controlSelected()) {
        placeMarker(curseurImV1_, curseurImV2_);
    } else if (!curseurImV2_.controlState() && !curseurImV1_.controlSelected()) {
        placeMarker(curseurImV2_, curseurImV1_);
    } else if (curseurImV1_.controlSelected()) {
        removeMarker(curseurImV1_);
    } else if (curseurImV2_.controlSelected()) {
        removeMarker(curseurImV2_);
    } else {
        removeCursor();
    }
    refreshPinButtonImage();
    changed();
}

void AudioRecordControllerThree::placeMarker(PinCursor& marker, const PinCursor& other) {
    const Rect& slider = view_.sliderFrame;
    const double h = std::trunc((slider.height - PinCursor::kSize) * 0.5);
    marker.setValue(view_.sliderValue);
    marker.setState(true);
    marker.setControlSelected(false);
    marker.setFrame({pixel(static_cast<double>(marker.value())) - 10, slider.y + h - 1, PinCursor::kSize,
                     PinCursor::kSize});
    // An unplaced marker stands for the end of the track, as in the cut.
    const float end = other.controlState() ? other.value() : view_.sliderMaximum;
    setBarToCutToFirstPos(static_cast<double>(marker.value()), static_cast<double>(end));
}

void AudioRecordControllerThree::removeMarker(PinCursor& marker) {
    marker.setState(false);
    bandFromRemainingMarker();
}

void AudioRecordControllerThree::bandFromRemainingMarker() {
    const PinCursor* remaining = curseurImV1_.controlState()   ? &curseurImV1_
                                 : curseurImV2_.controlState() ? &curseurImV2_
                                                               : nullptr;
    if (remaining) {
        setBarToCutToFirstPos(static_cast<double>(remaining->value()),
                              static_cast<double>(view_.sliderMaximum));
    } else {
        view_.bandAlpha = 0;
    }
}

void AudioRecordControllerThree::removeCursor() {
    curseurImV1_.setState(false);
    curseurImV2_.setState(false);
    view_.pinButtonImage = "markerAdd";
    view_.bandAlpha = 0;
    changed();
}

void AudioRecordControllerThree::setBarToCutToFirstPos(double first, double second) {
    const Rect& slider = view_.sliderFrame;
    const double x1 = std::trunc(pixel(first));
    const double x2 = std::trunc(pixel(second));
    view_.bandFrame = {std::min(x1, x2),
                       slider.y + 7 + std::trunc((slider.height - PinCursor::kSize) * 0.5) - 1,
                       std::abs(x2 - x1), 9};
    view_.bandAlpha = 0.7;
}

void AudioRecordControllerThree::refreshPinButtonImage() {
    const bool onePinFree = !curseurImV1_.controlState() || !curseurImV2_.controlState();
    view_.pinButtonImage = onePinFree ? "markerAdd" : "markerDelete";
}

void AudioRecordControllerThree::touchPin(int which) {
    PinCursor& touched = which == 2 ? curseurImV2_ : curseurImV1_;
    PinCursor& other = which == 2 ? curseurImV1_ : curseurImV2_;
    touched.select();
    if (touched.controlSelected() && other.controlSelected()) {
        other.setControlSelected(false);
    }
    view_.pinButtonImage = touched.controlSelected() ? "markerDelete" : "markerAdd";
    changed();
}

void AudioRecordControllerThree::setSliderFrame(const Rect& frame) {
    view_.sliderFrame = frame;
    // The markers and the band are laid out over the slider.
    const double h = std::trunc((frame.height - PinCursor::kSize) * 0.5);
    for (PinCursor* marker : {&curseurImV1_, &curseurImV2_}) {
        marker->setFrame({pixel(static_cast<double>(marker->value())) - 10, frame.y + h - 1, PinCursor::kSize,
                          PinCursor::kSize});
    }
    if (curseurImV1_.controlState() && curseurImV2_.controlState()) {
        setBarToCutToFirstPos(static_cast<double>(curseurImV1_.value()),
                              static_cast<double>(curseurImV2_.value()));
    } else if (view_.bandAlpha > 0) {
        bandFromRemainingMarker();
    }
    changed();
}

void AudioRecordControllerThree::cutChunkDictation() {
    if (isPlaying() || isRecording() || (!curseurImV1_.controlState() && !curseurImV2_.controlState())) {
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
    if (refused_ || isPlaying() || isRecording() ||
        (!curseurImV1_.controlState() && !curseurImV2_.controlState())) {
        return;
    }
    const float end = view_.sliderMaximum;
    const double first = static_cast<double>(curseurImV1_.controlState() ? curseurImV1_.value() : end);
    const double second = static_cast<double>(curseurImV2_.controlState() ? curseurImV2_.value() : end);
    const std::string& working = currentWorkingPath();
    if (!FileManagerHelper::deleteChunkBetweenPos1(first, second, working, outputFilePath_) ||
        !replaceWorkingFile(outputFilePath_, working)) {
        Notification::pushNotification(
            localized("AUDIO_RECORD_CONTROLLER_COUPE_IMPOSSIBLE",
                      "La coupe n'a pas pu être faite ; la piste reste inchangée."));
        return;
    }
    writeJournal(true);
    removeCursorAndSetLabelAfterCut();
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
    if (etatLecteur_ != kRecording && !blinkOn_) {
        return;
    }
    view_.tabStripColor = Colors::Red;
    view_.titleAlpha = blinkOn_ ? 1.0 : 0.0;
    // A new animation interrupts the one running, which then does not complete.
    if (animationTimer_) {
        animationTimer_->invalidate();
    }
    animationTimer_ = RunLoop::main().scheduleTimer(Seconds(kBlinkDuration), false,
                                                    [this](Timer&) { animationDidComplete(); });
    changed();
}

void AudioRecordControllerThree::animationDidComplete() {
    animationTimer_.reset();
    if (etatLecteur_ != kRecording && blinkOn_) {
        setBoutonPriorityColor();
        return;
    }
    blinkOn_ = !blinkOn_;
    startRecordAnimation();
}

void AudioRecordControllerThree::displayPictures() {
    UserInterface::shared().showScreen("PicturesViewController", std::to_string(idDictee_));
}

void AudioRecordControllerThree::displayParameter() {
    UserInterface::shared().showScreen("ParamWorkflowDictee", paramWorkflow_.firstField);
}

void AudioRecordControllerThree::displayScanner() {
    UserInterface::shared().showScreen("QRCodeReader", std::to_string(idDictee_));
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

void AudioRecordControllerThree::applyScannerResult(const std::string& text) {
    paramWorkflow_.secondField = text;
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
        auto instruction = MediaBackend::shared().makePlayer(baseInstFilePath_);
        dureeInstruction_ = instruction ? instruction->duration() : 0.0;
    }
    paramWorkflow_.priority = strPriorite_;
    const std::int32_t idSite =
        ConfigurationManager::shouldLinkDictationToSite() ? siteRequest().selectDefaultSite().idSite : -1;

    // The row is held back from the sender (a draft) until the recordings are in place, and
    // only then written as chosen: a save cut short never leaves a dictation that goes out with
    // another version's recordings, or without any.
    DicteeRequest request;
    const std::string firstFieldBefore = paramWorkflow_.firstField;
    DicteeModel record;
    std::int64_t identifier = 0;
    bool newRow = true;
    if (hasNoRecord_) {
        record.idSite = idSite;
        paramWorkflow_.setToDicteeModel(record);
        record.dureeDictee = static_cast<std::int64_t>(dureeDictee_);
        record.dureeInstruction = static_cast<std::int64_t>(dureeInstruction_);
        record.envoi = 0;
        record.masterJobId = Tools::generateUUID();
        record.brouillon = true;
        record.tsTransfert = static_cast<std::int64_t>(Tools::unixTsInSeconds());
        identifier = request.insertDictee(record);
        record.idDictee = identifier;
    } else {
        record = request.selectDictee(idDictee_);
        record.idSite = idSite;
        record.dureeDictee = static_cast<std::int64_t>(dureeDictee_);
        record.dureeInstruction = static_cast<std::int64_t>(dureeInstruction_);
        paramWorkflow_.setToDicteeModel(record);
        record.brouillon = true;
        if (record.envoi == 1) {
            // A sent dictation stays as it was sent; the edit becomes a dictation of its own.
            paramWorkflow_.firstField = paramWorkflow_.firstField + "-1";
            record.titre = paramWorkflow_.firstField;
            record.masterJobId = Tools::generateUUID();
            record.envoi = 0;
            identifier = request.insertDictee(record);
            record.idDictee = identifier;
        } else {
            if (record.masterJobId.empty()) {
                record.masterJobId = Tools::generateUUID();
            }
            record.envoi = 0;
            record.titre = paramWorkflow_.firstField;
            identifier = record.idDictee == idDictee_ && request.holdBackForSave(idDictee_) ? idDictee_ : 0;
            newRow = false;
        }
    }

    if (identifier < 1) {
        // Nothing is stored under identifier 0: the working files stay for a new attempt.
        paramWorkflow_.firstField = firstFieldBefore;
        Log::write("La dictée n'a pas pu être enregistrée ; les fichiers de travail sont conservés");
        notifySaveFailed();
        changed();
        return std::nullopt;
    }

    if (newRow) {
        // The pictures taken on the side screens of a new dictation are its own when it got
        // the identifier it expected; anything else under its identifier is an older one's.
        const bool ownPictures = hasNoRecord_ && identifier == idDictee_;
        setAsideFilesOfOlderDictation(identifier, !ownPictures);
        if (hasNoRecord_ && identifier != idDictee_) {
            Pictures::renumberPictures(idDictee_, identifier);
        }
    }
    finalDicteeFilePath_ = storedDictationPath(identifier);
    finalInstFilePath_ = storedInstructionPath(identifier);
    Log::write("id de la dictée : " + std::to_string(identifier));
    Log::write("Le chemin du fichier : " + finalDicteeFilePath_);
    // From now on the screen stands for the stored dictation: a further save updates it.
    hasNoRecord_ = false;
    idDictee_ = identifier;
    // Should the moves below be cut short, the next visit of this dictation takes up its files.
    journal_.idDictee = identifier;
    journal_.stored = true;
    journal_.masterJobId = record.masterJobId;
    journal_.storedDictation = RecorderJournal::FileStamp::of(finalDicteeFilePath_);
    journal_.storedInstruction = RecorderJournal::FileStamp::of(finalInstFilePath_);
    journal_.saving = true;
    writeJournal(false);
    if (!saveDicteeFile()) {
        // Editing goes on: these files are not a save in progress until the user saves again.
        journal_.saving = false;
        writeJournal(false);
        notifySaveFailed();
        changed();
        return std::nullopt;
    }
    record.brouillon = draft;
    if (request.updateDictee(record) < 1 || (!newRow && !request.reopenAfterEdit(identifier))) {
        // The recordings are stored; the dictation stays a draft until it is saved again.
        Log::write("La dictée " + std::to_string(identifier) +
                   " est enregistrée mais reste en brouillon : sa fiche n'a pas pu être mise à jour");
        notifySaveFailed();
        changed();
        return std::nullopt;
    }
    deleteFileTempFile();
    changed();
    return record;
}

bool AudioRecordControllerThree::saveDicteeFile() {
    struct Track {
        const std::string& working;
        const std::string& stored;
        const char* missing;
    };
    bool saved = true;
    for (const Track& track :
         {Track{baseDicteeFilePath_, finalDicteeFilePath_, "Le fichier \"Dictée\" n'existe pas !"},
          Track{baseInstFilePath_, finalInstFilePath_, "Le fichier \"Instruction\" n'existe pas !"}}) {
        if (!fileExists(track.working)) {
            Log::write(track.missing);
            continue;
        }
        // A rename replaces the stored file in one step.
        std::error_code error;
        fs::rename(track.working, track.stored, error);
        if (error) {
            Log::write("Impossible d'enregistrer « " + track.working + " » sous « " + track.stored +
                       " » : " + error.message());
            saved = false;
        }
    }
    return saved;
}

void AudioRecordControllerThree::deleteFileTempFile() {
    for (const std::string* path : {&baseDicteeFilePath_, &baseInstFilePath_, &tempDicteeFilePath_,
                                    &tempInstFilePath_, &tempFilePath_}) {
        if (fileExists(*path)) {
            Tools::deleteFileAtPath(*path);
        }
    }
    // Last: a journal without working files names nothing.
    RecorderJournal::remove();
}

void AudioRecordControllerThree::cancelDictation() {
    if (refused_) {
        application().popToRoot();
        return;
    }
    if (isRecording()) {
        currentRecorder()->stop();
        MediaBackend::shared().audioSession().setActive(false);
    }
    stopPlayDictee();
    stopDisplayTimer();
    deleteFileTempFile();
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
    openStoredTracks();
}

void AudioRecordControllerThree::openStoredTracks() {
    finalDicteeFilePath_ = storedDictationPath(idDictee_);
    finalInstFilePath_ = storedInstructionPath(idDictee_);
    if (!copyStoredTracks()) {
        changed();
        return;
    }
    journal_ = RecorderJournal();
    journal_.idDictee = idDictee_;
    journal_.stored = true;
    journal_.masterJobId = DicteeRequest().selectDictee(idDictee_).masterJobId;
    journal_.storedDictation = RecorderJournal::FileStamp::of(finalDicteeFilePath_);
    journal_.storedInstruction = RecorderJournal::FileStamp::of(finalInstFilePath_);
    writeJournal(false);
    makeRecorders();
    const float position = view_.sliderValue;
    initPlayer();
    setSliderValue(static_cast<double>(position));
    setPlayerPosition(static_cast<double>(view_.sliderValue));
    changed();
}

} // namespace orvaneh
