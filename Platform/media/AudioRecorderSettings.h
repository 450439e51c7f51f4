#pragma once

#include <string>

namespace orvaneh {

// What a recorder writes: always 16-bit signed little-endian PCM; the rate and channel count
// are the recorder's settings. The quality and bit-rate entries are carried for back-ends
// that compress; linear PCM ignores them.
struct AudioRecorderSettings {
    std::string formatId = "lpcm";
    double sampleRate = 16000;
    int numberOfChannels = 1;
    int encoderAudioQuality = 0;
    int encoderBitRate = 8;
};

} // namespace orvaneh
