#include "Classes/audio/RecorderTransport.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/FileManagerHelper.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>

namespace orvaneh {

namespace {

void invalidate(std::shared_ptr<Timer>& timer) {
    if (timer) {
        timer->invalidate();
        timer.reset();
    }
}

} // namespace

RecorderTransport::~RecorderTransport() {
    for (auto* timer : {&timerRecord_, &rewTimer_, &ffwTimer_}) {
        invalidate(*timer);
    }
    levelMeter_.stop();
    levelMeter_.setRecorder(nullptr);
    levelMeter_.setPlayer(nullptr);
}

AudioRecorderSettings RecorderTransport::settingsForTrack(const std::string& trackPath,
                                                          const std::string& dictationPath) {
    float byteRate = FileManagerHelper::getSampleRateForDictationAtPath(trackPath);
    if (byteRate <= 0) {
        byteRate = FileManagerHelper::getSampleRateForDictationAtPath(dictationPath);
    }
    AudioRecorderSettings settings;
    settings.formatId = "lpcm";
    // Two bytes a sample.
    settings.sampleRate = byteRate > 0 ? static_cast<double>(byteRate) / 2.0
                                       : static_cast<double>(ConfigurationManager::getAudioSampleRate());
    settings.numberOfChannels = 1;
    settings.encoderAudioQuality = 0;
    settings.encoderBitRate = 8;
    return settings;
}

void RecorderTransport::makeRecorders(const std::string& dictationPath, const std::string& instructionPath) {
    recordSetting_ = settingsForTrack(dictationPath, dictationPath);
    releaseRecorder(recorderDict_);
    releaseRecorder(recorderInstr_);
    MediaBackend& media = MediaBackend::shared();
    recorderDict_ = media.makeRecorder(dictationPath, recordSetting_);
    recorderInstr_ = media.makeRecorder(instructionPath, recordSetting_);
}

void RecorderTransport::replaceRecorder(bool dictation, const std::string& path,
                                        const AudioRecorderSettings& settings) {
    auto& recorder = recorderOf(dictation);
    releaseRecorder(recorder);
    recorder = MediaBackend::shared().makeRecorder(path, settings);
}

AudioRecorder* RecorderTransport::recording() const {
    for (const auto* recorder : {&recorderDict_, &recorderInstr_}) {
        if (*recorder && (*recorder)->isRecording()) {
            return recorder->get();
        }
    }
    return nullptr;
}

bool RecorderTransport::record(bool dictation) {
    AudioSession& session = MediaBackend::shared().audioSession();
    session.setCategory(AudioSession::Category::PlayAndRecord);
    session.setActive(true);
    AudioRecorder* recorder = recorderOf(dictation).get();
    if (!recorder || !recorder->prepareToRecord() || !recorder->record()) {
        session.setActive(false);
        return false;
    }
    levelMeter_.setRecorder(recorder);
    levelMeter_.start();
    return true;
}

std::optional<double> RecorderTransport::stopRecording(bool dictation) {
    std::optional<double> length;
    AudioRecorder* recorder = recorderOf(dictation).get();
    if (recorder && recorder->isRecording()) {
        length = recorder->currentTime();
        recorder->stop();
    }
    MediaBackend::shared().audioSession().setActive(false);
    stopDisplayTimer();
    levelMeter_.stop();
    return length;
}

void RecorderTransport::releaseRecorder(std::unique_ptr<AudioRecorder>& recorder) {
    if (recorder && levelMeter_.recorder() == recorder.get()) {
        levelMeter_.setRecorder(nullptr);
    }
    recorder.reset();
}

void RecorderTransport::releasePlayer() {
    if (player_ && levelMeter_.player() == player_.get()) {
        levelMeter_.setPlayer(nullptr);
    }
    player_.reset();
}

double RecorderTransport::openPlayer(const std::string& path) {
    releasePlayer();
    if (!path.empty()) {
        player_ = MediaBackend::shared().makePlayer(path);
    }
    if (player_) {
        player_->setVolume(1.0F);
    }
    levelMeter_.setPlayer(player_.get());
    return player_ ? player_->duration() : 0.0;
}

void RecorderTransport::setPosition(double seconds) {
    if (player_) {
        player_->setCurrentTime(seconds);
    }
}

void RecorderTransport::play(std::function<void(bool successfully)> finished) {
    if (!player_) {
        return;
    }
    levelMeter_.start();
    player_->play();
    player_->setDelegate(std::move(finished));
}

void RecorderTransport::pause() {
    if (player_) {
        player_->pause();
    }
    levelMeter_.stop();
    stopDisplayTimer();
}

void RecorderTransport::stop() {
    if (!player_) {
        return;
    }
    player_->stop();
    levelMeter_.stop();
    player_->setCurrentTime(0);
    // The display follows a take in progress.
    if (!isRecording()) {
        stopDisplayTimer();
    }
}

void RecorderTransport::startDisplayTimer(std::function<void()> tick) {
    stopDisplayTimer();
    timerRecord_ = RunLoop::main().scheduleTimer(Seconds(kDisplayInterval), true,
                                                 [tick = std::move(tick)](Timer&) { tick(); });
}

void RecorderTransport::stopDisplayTimer() {
    invalidate(timerRecord_);
}

void RecorderTransport::startSeek(double direction, std::function<double()> end,
                                  std::function<void()> moved) {
    seekStep_ = 1.0F;
    auto& timer = seekTimer(direction);
    invalidate(timer);
    timer = RunLoop::main().scheduleTimer(
        Seconds(kSeekInterval), true,
        [this, direction, end = std::move(end), moved = std::move(moved)](Timer&) {
            if (!player_) {
                return;
            }
            // Kept within the track: a position before the start or past the end means nothing.
            const double target = player_->currentTime() + direction * static_cast<double>(seekStep_);
            player_->setCurrentTime(std::clamp(target, 0.0, std::max(0.0, end())));
            seekStep_ *= kSeekGrowth;
            moved();
        });
}

std::array<RecorderTransport::LevelLight, VuMeterGrid::kLightCount> RecorderTransport::levelLights() const {
    const Color offBlue = levelMeter_.blueOff.value_or(VuMeterGrid::kDefaultBlueOff);
    const Color onBlue = levelMeter_.blueOn.value_or(VuMeterGrid::kDefaultBlueOn);
    const Color offRed = levelMeter_.redOff.value_or(offBlue);
    const Color onRed = levelMeter_.redOn.value_or(VuMeterGrid::kDefaultRedOn);
    std::array<LevelLight, VuMeterGrid::kLightCount> lights;
    for (int i = 0; i < VuMeterGrid::kLightCount; ++i) {
        const bool lit = i < levelMeter_.litCount();
        const bool blue = i < VuMeterGrid::kBlueLightCount;
        lights[static_cast<std::size_t>(i)] = {lit, blue ? (lit ? onBlue : offBlue) : (lit ? onRed : offRed)};
    }
    return lights;
}

void RecorderTransport::stopSeek(double direction) {
    invalidate(seekTimer(direction));
}

} // namespace orvaneh
