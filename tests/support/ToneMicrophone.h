#pragma once

#include <atomic>
#include <filesystem>
#include <thread>

namespace orvaneh::test {

// Says a 440 Hz tone (16-bit mono at 16 kHz) into a PulseAudio pipe source, 20 ms at a time in
// real time, from a thread of its own, until destroyed or the server goes.
class ToneMicrophone {
public:
    static constexpr double kFrequency = 440;
    static constexpr int kRate = 16000;

    explicit ToneMicrophone(const std::filesystem::path& fifo);
    ~ToneMicrophone();
    ToneMicrophone(const ToneMicrophone&) = delete;
    ToneMicrophone& operator=(const ToneMicrophone&) = delete;

private:
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace orvaneh::test
