#pragma once

#include <atomic>
#include <string>

namespace orvaneh {

// Compresses a WAV file (or raw 16-bit little-endian mono samples) into an Ogg Speex file:
// one Speex header packet, one comment packet, then one packet per codec frame, complexity 3,
// the codec's default quality at constant bit rate, high-pass filter on.
//
// The file is read and written frame by frame: memory does not grow with the recording.
// The output is written under a temporary name beside the destination and renamed at the
// end, so the destination exists only when it holds a complete stream.
class SpeexEncoder {
public:
    // `rate` chooses the mode: 8 narrowband, 32 ultra-wideband, anything else wideband.
    // True when the destination holds the whole stream. On a refusal, an error or a stop,
    // false, and no destination is left behind (not even one from an earlier run).
    bool encode(const std::string& source, const std::string& destination, int rate);

    // Asks the running encoding, from any thread, to end at its next frame or page. The flag
    // is shared by the whole process and cleared when an encoding starts: one at a time.
    void stop();

private:
    static std::atomic<bool> stopRequested;
};

} // namespace orvaneh
