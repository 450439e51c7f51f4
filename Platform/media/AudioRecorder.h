#pragma once

#include "Platform/media/AudioRecorderSettings.h"

#include <string>

namespace orvaneh {

// A recorder bound to one WAV file. record() starts a take that replaces the file's content;
// stop() ends it and leaves a complete WAV file (a "fmt " chunk, possibly other chunks, then
// "data"). Main run loop only.
class AudioRecorder {
public:
    virtual ~AudioRecorder() = default;

    virtual const std::string& path() const = 0;
    virtual const AudioRecorderSettings& settings() const = 0;
    // False when the file cannot be created.
    virtual bool prepareToRecord() = 0;
    virtual bool record() = 0;
    // Ends the take and finishes the file; nothing when not recording.
    virtual void stop() = 0;
    virtual bool isRecording() const = 0;
    // Seconds recorded by the current (or last) take.
    virtual double currentTime() const = 0;
    // The errno of the write that failed during the last take (ENOSPC: the disk is full): its
    // file then holds less than was heard, or nothing new. 0 when it was written whole.
    virtual int takeError() const = 0;

    // Metering: updateMeters() samples the input; averagePowerForChannel() is the average
    // power of the last update in dB full scale, -160 for silence or when metering is off.
    virtual void setMeteringEnabled(bool enabled) = 0;
    virtual void updateMeters() = 0;
    virtual float averagePowerForChannel(int channel) const = 0;
};

} // namespace orvaneh
