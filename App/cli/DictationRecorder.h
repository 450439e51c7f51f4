#pragma once

#include "Classes/audio/AudioRecordControllerThree.h"
#include "Classes/workflow/ParamWorkflow.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/media/SimulatedMediaBackend.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/VirtualClock.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace orvaneh {

class OrvanehAppDelegate;

// Drives the recording screen's controller as a user would, for the command line. With files,
// the microphone is the simulated one, fed with WAV files, and time is virtual, so a take of an
// hour costs no more than the file copies. Live, the microphone is a real back-end's and time
// is the system's: a take lasts as long as the person speaks. One object per command; main
// thread only.
class DictationRecorder {
public:
    enum class Track { Dictation, Instruction };

    // Takes from WAV files (recordTake).
    DictationRecorder(OrvanehAppDelegate& application, std::ostream& err);
    // Takes from `microphone`'s input (startLiveTake … stopLiveTake); installed for the process.
    DictationRecorder(OrvanehAppDelegate& application, std::ostream& err,
                      std::shared_ptr<MediaBackend> microphone);
    ~DictationRecorder();
    DictationRecorder(const DictationRecorder&) = delete;
    DictationRecorder& operator=(const DictationRecorder&) = delete;

    // The sample rate the takes of a dictation must have: that of its stored recording, or
    // the "AudioSampleRate" setting for a new one (or one without recording).
    static double expectedSampleRate(std::optional<std::int64_t> idDictee);
    // Nothing when the file is a 16-bit PCM mono WAV file at `sampleRate`; otherwise a
    // French explanation naming the expected format.
    static std::optional<std::string> checkTakeFile(const std::string& path, double sampleRate);
    // For a usable take whose file ends before the audio its header announces: a French warning
    // naming both lengths. The take is recorded with the audio it holds.
    static std::optional<std::string> truncationWarning(const std::string& path);

    // Opens the screen as the dictation list does: on a new dictation (idDictee empty) or an
    // existing one, with the given parameters.
    // False when the screen refused to open (it told why, and touched no recording).
    bool open(std::optional<std::int64_t> idDictee, const ParamWorkflow& parameters);
    void selectTrack(Track track);
    // Moves the cursor of the current track.
    void moveCursor(double seconds);
    // Records the file as one take at the cursor. False (and told on `err`) when the track
    // did not grow by the take's length: the controller kept the track as it was.
    bool recordTake(const std::string& path);
    // A take from the microphone at the cursor: record button, then play button, as a person
    // does. False (and told on `err`) when it did not start: the screen is back to its player.
    bool startLiveTake();
    // Seconds heard so far by the running take, and its level in dB full scale (-160: silence),
    // as the screen's level meter reads them.
    double liveTakeElapsed() const;
    float liveTakeLevel() const;
    // The French message of an input lost (or a file no longer written) during the take: the
    // take stopped by itself and keeps what was heard until then.
    const std::optional<std::string>& liveTakeLost() const { return lost_; }
    // Ends the take and inserts it: the seconds added to the track, or nothing (told on `err`)
    // when the track did not grow.
    std::optional<double> stopLiveTake();
    // Places the two markers and cuts. The screen's confirmation is answered "Oui" when
    // `confirmed`, else asked through the user interface (on the terminal). False when the
    // track did not shrink.
    bool cut(double from, double to, bool confirmed);
    // Duration of the current track in seconds.
    double currentTrackDuration() const;

    // The closing menu's Send (with the summary confirmed when it is shown) or Interrupt.
    // The identifier of the stored dictation, or nothing when nothing was stored.
    std::optional<std::int64_t> send();
    std::optional<std::int64_t> interrupt();

private:
    OrvanehAppDelegate& application_;
    std::ostream& err_;
    // Only with files.
    std::shared_ptr<VirtualClock> clock_;
    std::shared_ptr<SimulatedMediaBackend> media_;
    std::unique_ptr<AudioRecordControllerThree> controller_;
    bool finished_ = false;
    Observation recordFinished_;
    double trackBeforeTake_ = 0;
    std::optional<std::string> lost_;
    Observation deviceLost_;
    Observation recordingFailed_;

    void observeRecordFinished();
    double currentTrackFileDuration() const;

    std::optional<std::int64_t> close(bool send);
};

} // namespace orvaneh
