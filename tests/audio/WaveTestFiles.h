#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvaneh::test {

// How a 16-bit PCM test file is laid out.
struct WaveLayout {
    using Chunks = std::vector<std::pair<std::string, std::string>>;
    WaveLayout(std::uint32_t rate = 16000, std::uint16_t channelCount = 1, Chunks before = {},
               Chunks after = {})
        : sampleRate(rate), channels(channelCount), extraChunks(std::move(before)),
          trailingChunks(std::move(after)) {}

    std::uint32_t sampleRate;
    std::uint16_t channels;
    // Chunks written between "fmt " and "data" (tag, body); odd bodies get their pad byte.
    Chunks extraChunks;
    // Chunks written after "data".
    Chunks trailingChunks;
};

// The bytes of a WAV file holding the samples (interleaved when there are two channels).
std::string waveBytes(const std::vector<std::int16_t>& samples, const WaveLayout& layout = {});
// Where the "data" tag of a file built with the layout is.
std::size_t dataOffsetOf(const WaveLayout& layout);

// A "LIST" chunk like the phone's recorder writes, whose comment holds the word "data".
std::pair<std::string, std::string> listChunkMentioningData();

// `count` samples first, first + step, ...
std::vector<std::int16_t> ramp(int first, std::size_t count, int step = 1);
// `samples` with `inserted` placed before sample `at`, or with [from, to) removed.
std::vector<std::int16_t> spliced(std::vector<std::int16_t> samples, std::size_t at,
                                  const std::vector<std::int16_t>& inserted);
std::vector<std::int16_t> without(std::vector<std::int16_t> samples, std::size_t from, std::size_t to);

std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, std::string_view bytes);

// An edited file read with its "data" tag at a known offset, independently of the code
// under test.
struct WaveContents {
    std::size_t length = 0;
    std::string beforeData; // every byte before the "data" tag
    std::string dataTag;
    std::uint32_t riffSize = 0;
    std::uint32_t dataSize = 0;
    std::vector<std::int16_t> samples; // everything after the data size field
};
WaveContents readWave(const std::filesystem::path& path, std::size_t dataOffset);

// Names in the directory, to see that nothing (output, hidden temporary file) was left.
std::vector<std::string> namesIn(const std::filesystem::path& directory);

} // namespace orvaneh::test
