#pragma once

#include "support/ChildProcess.h"

#include <filesystem>
#include <optional>
#include <string>

namespace orvaneh::test {

// A PulseAudio server of the test's own, stopped (and reaped) with the object: its own runtime
// directory and socket under `directory`, a null sink as the default output and, when asked, a
// pipe source (microphone(), fed by a ToneMicrophone) as the default input. ready() is false
// where no server can start (no pulseaudio installed): the test skips then.
class PrivatePulseServer {
public:
    PrivatePulseServer(const std::filesystem::path& directory, bool withMicrophone);
    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    bool ready() const { return ready_; }
    std::filesystem::path socket() const { return directory_ / "native"; }
    std::filesystem::path microphone() const { return directory_ / "microphone"; }
    // For PULSE_SERVER or PulseMediaBackend.
    std::string address() const { return "unix:" + socket().string(); }
    std::string log() const;

    // SIGKILL: the server vanishes as a crashed one does.
    void stop(int signal);

    static constexpr const char* kSkipMessage =
        "Aucun serveur PulseAudio n'a pu démarrer / no PulseAudio server could be started";

private:
    bool accepts() const;

    std::filesystem::path directory_;
    std::optional<ChildProcess> server_;
    bool ready_ = false;
};

} // namespace orvaneh::test
