#pragma once

#include "Platform/media/AudioSession.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace orvaneh {

struct SimulatedMediaState;

// The simulated back-end's session. A permission request is answered from a short-lived
// thread of its own, as on the phone, with the back-end's configured answer, which also
// becomes the permission state. The destructor waits for those threads.
class SimulatedAudioSession final : public AudioSession {
public:
    explicit SimulatedAudioSession(std::shared_ptr<SimulatedMediaState> state);
    ~SimulatedAudioSession() override;
    SimulatedAudioSession(const SimulatedAudioSession&) = delete;
    SimulatedAudioSession& operator=(const SimulatedAudioSession&) = delete;

    RecordPermission recordPermission() const override;
    void requestRecordPermission(std::function<void(bool granted)> response) override;
    bool setCategory(Category category) override;
    Category category() const override { return category_; }
    bool setActive(bool active) override;
    bool isActive() const override { return active_; }
    bool overrideOutputAudioPortToSpeaker(std::string& error) override;

private:
    std::shared_ptr<SimulatedMediaState> state_;
    Category category_ = Category::Playback;
    bool active_ = false;
    std::mutex requestsMutex_;
    std::vector<std::thread> requests_;
};

} // namespace orvaneh
