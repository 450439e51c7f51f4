#include "App/cli/DictationRecorder.h"

#include "App/cli/DictationFormat.h"
#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/audio/WaveHeader.h"
#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/FileManagerHelper.h"
#include "Platform/files/SystemErrorText.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <ostream>
#include <sstream>

namespace orvaneh {

namespace {

// Half a sample at 8 kHz: two durations closer than this hold the same number of samples.
constexpr double kSampleTolerance = 1.0 / 16000.0;

std::string rateText(double rate) {
    std::ostringstream text;
    text << static_cast<long long>(std::llround(rate));
    return text.str();
}

double fileDuration(const std::string& path) {
    auto header = WaveHeader::readFile(path);
    if (!header || header->sampleRate == 0) {
        return 0;
    }
    return static_cast<double>(header->frameCount()) / header->sampleRate;
}

} // namespace

DictationRecorder::DictationRecorder(OrvanehAppDelegate& application, std::ostream& err)
    : application_(application), err_(err), clock_(VirtualClock::withSystemWallTime()),
      media_(std::make_shared<SimulatedMediaBackend>()) {
    // Virtual time for the run loop from now on: the takes last as long as their files without
    // any waiting. Dates stay the wall clock's: an hour-long take must not date its dictation
    // an hour ahead.
    Clock::install(clock_);
    RunLoop::resetMain(clock_);
    MediaBackend::install(media_);
    observeRecordFinished();
}

DictationRecorder::DictationRecorder(OrvanehAppDelegate& application, std::ostream& err,
                                     std::shared_ptr<MediaBackend> microphone)
    : application_(application), err_(err) {
    MediaBackend::install(std::move(microphone));
    observeRecordFinished();
    // The back-end has already stopped the take and kept what was heard: the message says so.
    const auto lost = [this](const PostedNotification& notice) {
        lost_ = notice.userInfo.value("message", std::string("L'enregistrement s'est arrêté."));
    };
    deviceLost_ =
        NotificationCenter::defaultCenter().addObserver(MediaBackend::kDeviceLostNotification, lost);
    recordingFailed_ =
        NotificationCenter::defaultCenter().addObserver(MediaBackend::kRecordingFailedNotification, lost);
}

void DictationRecorder::observeRecordFinished() {
    recordFinished_ = NotificationCenter::defaultCenter().addObserver(
        "RecordFinished", [this](const auto&) { finished_ = true; });
}

double DictationRecorder::currentTrackFileDuration() const {
    return fileDuration(controller_->isDictee() ? controller_->baseDicteeFilePath()
                                                : controller_->baseInstFilePath());
}

DictationRecorder::~DictationRecorder() {
    if (controller_) {
        controller_->viewWillDisappear();
        // An edit that failed or was refused leaves nothing behind for the next screen to set
        // aside as somebody's unsaved recordings.
        controller_->discardUneditedWorkingFiles();
    }
}

double DictationRecorder::expectedSampleRate(std::optional<std::int64_t> idDictee) {
    if (idDictee) {
        float byteRate = FileManagerHelper::getSampleRateForDictationAtPath(
            FileManagerHelper::getPathForFileName("/" + std::to_string(*idDictee) + ".wav"));
        if (byteRate > 0) {
            return byteRate / 2.0;
        }
    }
    return ConfigurationManager::getAudioSampleRate();
}

std::optional<std::string> DictationRecorder::checkTakeFile(const std::string& path, double sampleRate) {
    const std::string expected = "WAV PCM 16 bits mono à " + rateText(sampleRate) + " Hz";
    std::string why;
    auto header = WaveHeader::readFile(path, &why);
    if (!header) {
        return "le fichier « " + path + " » n'est pas utilisable (" + why +
               ") ; format attendu : " + expected + ".";
    }
    if (header->formatTag != 1 || header->bitsPerSample != 16 || header->channels != 1 ||
        std::fabs(header->sampleRate - sampleRate) > 0.5) {
        return "le fichier « " + path + " » est au format " + std::to_string(header->bitsPerSample) +
               " bits, " + std::to_string(header->channels) + " canal(aux), " +
               std::to_string(header->sampleRate) + " Hz" + (header->formatTag != 1 ? " (pas du PCM)" : "") +
               " ; format attendu : " + expected + ".";
    }
    return std::nullopt;
}

std::optional<std::string> DictationRecorder::truncationWarning(const std::string& path) {
    auto header = WaveHeader::readFile(path);
    if (!header || header->byteRate == 0 || header->blockAlign == 0) {
        return std::nullopt;
    }
    const auto seconds = [&](std::uint64_t bytes) {
        return static_cast<double>(bytes / header->blockAlign * header->blockAlign) / header->byteRate;
    };
    // A recorder stopped before it wrote its sizes leaves "no audio" in a header followed by all
    // of it; any chunk after the audio would make the file longer too, so only the empty case.
    const std::uint64_t after =
        header->fileSize - std::min(header->fileSize, header->audioOffset() + header->audioSize);
    if (header->declaredAudioSize == 0 && after >= header->blockAlign) {
        return "le fichier « " + path + " » semble inachevé : son en-tête annonce " +
               DictationFormat::duration(0) + " d'audio, mais " + DictationFormat::duration(seconds(after)) +
               " de données le suivent ; la prise est enregistrée vide (refaites le fichier, par exemple "
               "avec "
               "« sox fichier.wav -r 16000 -c 1 -b 16 prise.wav »).";
    }
    if (!header->isTruncated()) {
        return std::nullopt;
    }
    return "le fichier « " + path + " » est incomplet : son en-tête annonce " +
           DictationFormat::duration(seconds(header->declaredAudioSize)) + " d'audio, il n'en contient que " +
           DictationFormat::duration(seconds(header->audioSize)) +
           " ; la prise est enregistrée avec ce qu'il contient.";
}

bool DictationRecorder::open(std::optional<std::int64_t> idDictee, const ParamWorkflow& parameters) {
    controller_ = std::make_unique<AudioRecordControllerThree>(application_, idDictee, parameters);
    controller_->viewDidLoad();
    if (!controller_->isOpen()) {
        return false;
    }
    controller_->viewWillAppear();
    return true;
}

void DictationRecorder::selectTrack(Track track) {
    if ((track == Track::Instruction) == controller_->isDictee()) {
        controller_->changeDicteeOrInstruction();
    }
}

void DictationRecorder::moveCursor(double seconds) {
    controller_->progressSliderMoved(static_cast<float>(seconds));
}

double DictationRecorder::currentTrackDuration() const {
    return controller_->dureeRecord();
}

bool DictationRecorder::recordTake(const std::string& path) {
    const double before = currentTrackFileDuration();
    const double length = fileDuration(path);
    media_->setInput(SimulatedAudioInput::file(path));
    // Record button (stand-by), play button (the take starts), the take's length, play button
    // (the take ends and is inserted), record button (back to the player).
    controller_->recordAction();
    controller_->performPlayerAction();
    RunLoop::main().runFor(Seconds(length));
    controller_->performPlayerAction();
    controller_->recordAction();
    media_->setInput(SimulatedAudioInput::silence());

    const double after = currentTrackFileDuration();
    if (std::fabs(after - (before + length)) > kSampleTolerance) {
        err_ << withDiskCause("Erreur : la prise n'a pas été ajoutée à la piste",
                              controller_->lastEditError())
             << ", qui reste telle qu'elle était." << std::endl;
        return false;
    }
    return true;
}

bool DictationRecorder::startLiveTake() {
    lost_.reset();
    trackBeforeTake_ = currentTrackFileDuration();
    controller_->recordAction();
    controller_->performPlayerAction();
    if (controller_->etatLecteur() == AudioRecordControllerThree::kRecording && controller_->isRecording()) {
        return true;
    }
    // The screen is back in stand-by and told why in a banner; back to its player.
    if (controller_->etatLecteur() == AudioRecordControllerThree::kStandBy) {
        controller_->recordAction();
    }
    err_ << "Erreur : l'enregistrement au micro n'a pas pu démarrer ; rien n'a été enregistré." << std::endl;
    return false;
}

double DictationRecorder::liveTakeElapsed() const {
    const AudioRecorder* recorder = controller_->levelMeter().recorder();
    return recorder ? recorder->currentTime() : 0;
}

float DictationRecorder::liveTakeLevel() const {
    const AudioRecorder* recorder = controller_->levelMeter().recorder();
    return recorder ? recorder->averagePowerForChannel(0) : VuMeterGrid::kFloorDb;
}

std::optional<double> DictationRecorder::stopLiveTake() {
    if (controller_->etatLecteur() == AudioRecordControllerThree::kRecording) {
        // Play button (the take ends and is inserted), record button (back to the player).
        controller_->performPlayerAction();
        controller_->recordAction();
    }
    RunLoop::main().runPending();
    const double added = currentTrackFileDuration() - trackBeforeTake_;
    if (added < kSampleTolerance) {
        err_ << "Erreur : la prise est vide ; la piste reste telle qu'elle était." << std::endl;
        return std::nullopt;
    }
    return added;
}

bool DictationRecorder::cut(double from, double to, bool confirmed) {
    const double before = controller_->dureeRecord();
    controller_->progressSliderMoved(static_cast<float>(from));
    controller_->placeOrRemovePin();
    controller_->progressSliderMoved(static_cast<float>(to));
    controller_->placeOrRemovePin();
    // The confirmation "Voulez-supprimer cette partie ?": "Oui" given beforehand (--yes), else
    // the person's answer.
    if (confirmed) {
        UserInterface::shared().queueAnswer(1);
    }
    controller_->cutChunkDictation();
    if (controller_->dureeRecord() >= before - kSampleTolerance) {
        err_ << withDiskCause("Erreur : la coupure n'a pas été faite", controller_->lastEditError())
             << " ; la piste reste telle qu'elle était." << std::endl;
        return false;
    }
    return true;
}

std::optional<std::int64_t> DictationRecorder::send() {
    return close(true);
}

std::optional<std::int64_t> DictationRecorder::interrupt() {
    return close(false);
}

std::optional<std::int64_t> DictationRecorder::close(bool send) {
    finished_ = false;
    if (send) {
        // The summary, when the settings ask for it, is confirmed with "Envoyer".
        if (ConfigurationManager::shouldDisplayParameterResumeBeforeSend()) {
            UserInterface::shared().queueAnswer(1);
        }
        controller_->sendDictation();
    } else {
        controller_->interruptDictation();
    }
    RunLoop::main().runPending();
    if (!finished_ || controller_->idDictee() < 1) {
        return std::nullopt;
    }
    return controller_->idDictee();
}

} // namespace orvaneh
