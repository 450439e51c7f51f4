#pragma once

#include "Classes/audio/VuMeterGrid.h"
#include "Classes/screens/Geometry.h"
#include "Platform/media/AudioPlayer.h"
#include "Platform/media/AudioRecorder.h"
#include "Platform/media/AudioRecorderSettings.h"
#include "Platform/runloop/Timer.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvaneh {

// The recording screen's audio devices and clocks: one recorder per track, the player of the
// current track, the level meter following whichever runs, the display refresh and the
// accelerating seeks. It does what it is told; which track, where the cursor stands and what
// the screen shows are the screen's. Timers run on RunLoop::main(). Main run loop only.
class RecorderTransport {
public:
    static constexpr double kDisplayInterval = 0.02;
    static constexpr double kSeekInterval = 0.2;
    static constexpr float kSeekGrowth = 1.1F;

    struct LevelLight {
        bool lit = false;
        Color color;
    };

    RecorderTransport() = default;
    ~RecorderTransport();
    RecorderTransport(const RecorderTransport&) = delete;
    RecorderTransport& operator=(const RecorderTransport&) = delete;

    // 16-bit mono PCM at the rate of the audio already there, so that a take can be spliced
    // into it: the track's, else the dictation's, else the "AudioSampleRate" setting.
    static AudioRecorderSettings settingsForTrack(const std::string& trackPath,
                                                  const std::string& dictationPath);
    // A recorder per track on its working file, both with the dictation's settings.
    void makeRecorders(const std::string& dictationPath, const std::string& instructionPath);
    const AudioRecorderSettings& recordSetting() const { return recordSetting_; }
    // The track's recorder becomes one on `path` with `settings`.
    void replaceRecorder(bool dictation, const std::string& path, const AudioRecorderSettings& settings);
    const AudioRecorder* recorder(bool dictation) const {
        return (dictation ? recorderDict_ : recorderInstr_).get();
    }
    // The recorder taking a take now, or none.
    AudioRecorder* recording() const;
    bool isRecording() const { return recording() != nullptr; }
    // Starts a take on the track's recorder in a play-and-record session, metered. False (the
    // session let go) when it could not start.
    bool record(bool dictation);
    // Ends the take of the track, if any, and lets the session go; the take's length then.
    std::optional<double> stopRecording(bool dictation);

    // A player on `path` at full volume, metered; none when the file is missing or
    // unreadable. Its duration, 0 without one.
    double openPlayer(const std::string& path);
    AudioPlayer* player() const { return player_.get(); }
    bool isPlaying() const { return player_ && player_->isPlaying(); }
    // Nothing without a player.
    void setPosition(double seconds);
    // Plays from the player's position, metered; `finished` hears the end of the file.
    void play(std::function<void(bool successfully)> finished);
    // Pauses or stops playback and the meter; stop() rewinds to the start.
    void pause();
    void stop();

    // `tick` every kDisplayInterval until stopped (or restarted).
    void startDisplayTimer(std::function<void()> tick);
    void stopDisplayTimer();

    // Moves the player by `direction` × the step every kSeekInterval, the step starting at one
    // second and growing by kSeekGrowth each time, kept within 0 … end(); `moved` follows each
    // move. A press shorter than the interval does not move.
    void startSeek(double direction, std::function<double()> end, std::function<void()> moved);
    void stopSeek(double direction);
    float seekStep() const { return seekStep_; }

    // The meter's lights, left to right, as last painted (all off before any painting).
    std::array<LevelLight, VuMeterGrid::kLightCount> levelLights() const;
    VuMeterGrid& levelMeter() { return levelMeter_; }
    const VuMeterGrid& levelMeter() const { return levelMeter_; }

private:
    std::unique_ptr<AudioRecorder> recorderDict_;
    std::unique_ptr<AudioRecorder> recorderInstr_;
    std::unique_ptr<AudioPlayer> player_;
    AudioRecorderSettings recordSetting_;
    VuMeterGrid levelMeter_;
    std::shared_ptr<Timer> timerRecord_;
    std::shared_ptr<Timer> rewTimer_;
    std::shared_ptr<Timer> ffwTimer_;
    float seekStep_ = 1.0F;

    std::unique_ptr<AudioRecorder>& recorderOf(bool dictation) {
        return dictation ? recorderDict_ : recorderInstr_;
    }
    void releaseRecorder(std::unique_ptr<AudioRecorder>& recorder);
    void releasePlayer();
    std::shared_ptr<Timer>& seekTimer(double direction) { return direction < 0 ? rewTimer_ : ffwTimer_; }
};

} // namespace orvaneh
