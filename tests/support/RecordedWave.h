#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace orvaneh::test {

// A mono 16-bit WAV file as a recorder wrote it to disk, read independently of the code under
// test: read() fails the test when the header disagrees with itself or claims more than the
// file holds.
struct RecordedWave {
    unsigned channels = 0;
    unsigned rate = 0;
    std::vector<std::int16_t> samples;

    static RecordedWave read(const std::filesystem::path& path);
    double seconds() const { return rate == 0 ? 0 : static_cast<double>(samples.size()) / channels / rate; }
    // The frequency of a steady tone from its upward zero crossings; 0 without one.
    double frequency() const;
};

} // namespace orvaneh::test
