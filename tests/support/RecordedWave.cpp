#include "support/RecordedWave.h"

#include "Platform/files/AtomicFile.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace orvaneh::test {

namespace {

unsigned readLe(const std::string& bytes, std::size_t at, int count) {
    unsigned value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

} // namespace

RecordedWave RecordedWave::read(const std::filesystem::path& path) {
    const std::string bytes = AtomicFile::read(path).value_or("");
    RecordedWave wave;
    if (bytes.size() < 44) {
        ADD_FAILURE() << "no WAV header in " << path;
        return wave;
    }
    EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(8, 8) + bytes.substr(36, 4), "RIFFWAVEfmt data");
    EXPECT_EQ(readLe(bytes, 20, 2), 1u);  // PCM
    EXPECT_EQ(readLe(bytes, 34, 2), 16u); // 16 bits
    wave.channels = readLe(bytes, 22, 2);
    wave.rate = readLe(bytes, 24, 4);
    const unsigned size = readLe(bytes, 40, 4);
    EXPECT_EQ(readLe(bytes, 4, 4), size + 36);
    EXPECT_LE(size + 44, bytes.size());
    for (std::size_t i = 0; 44 + 2 * i + 1 < 44 + std::min<std::size_t>(size, bytes.size() - 44); ++i) {
        wave.samples.push_back(static_cast<std::int16_t>(readLe(bytes, 44 + 2 * i, 2)));
    }
    return wave;
}

double RecordedWave::frequency() const {
    int crossings = 0;
    std::size_t first = 0;
    std::size_t last = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            if (crossings++ == 0) {
                first = i;
            }
            last = i;
        }
    }
    return crossings < 2 ? 0
                         : (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first);
}

} // namespace orvaneh::test
