#pragma once

#include <functional>
#include <string>

namespace orvaneh {

// The process's audio session: microphone permission, category, activation and the
// loudspeaker override. Main run loop only, except where said.
class AudioSession {
public:
    enum class RecordPermission { Undetermined, Denied, Granted };
    enum class Category { Playback, PlayAndRecord };

    virtual ~AudioSession() = default;

    virtual RecordPermission recordPermission() const = 0;
    // Asks the user; `response` gets the answer, possibly on another thread.
    virtual void requestRecordPermission(std::function<void(bool granted)> response) = 0;
    virtual bool setCategory(Category category) = 0;
    virtual Category category() const = 0;
    virtual bool setActive(bool active) = 0;
    virtual bool isActive() const = 0;
    // Sends the output to the loudspeaker. False with `error` set on failure.
    virtual bool overrideOutputAudioPortToSpeaker(std::string& error) = 0;
};

} // namespace orvaneh
