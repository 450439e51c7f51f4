#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvaneh {

// A 16-bit PCM WAV file held whole in memory, for the simulated recorders and players.
// Samples are interleaved frame by frame.
class PcmWaveFile {
public:
    PcmWaveFile() = default;
    PcmWaveFile(int channels, int sampleRate, std::vector<std::int16_t> samples);

    int channels() const { return channels_; }
    int sampleRate() const { return sampleRate_; }
    const std::vector<std::int16_t>& samples() const { return samples_; }
    std::size_t frameCount() const;
    double duration() const;
    std::int16_t sample(std::size_t frame, int channel) const;

    // The "fmt " and "data" chunks are found by walking the RIFF chunks, wherever they are;
    // other chunks are skipped (with their pad byte when odd-sized) and a data chunk longer
    // than the file gives the frames present. Nothing when the file cannot be read or is not
    // 16-bit PCM.
    static std::optional<PcmWaveFile> read(const std::filesystem::path& path);
    static std::optional<PcmWaveFile> parse(std::string_view bytes);

    // RIFF, "fmt ", a "FLLR" chunk of `fillerBytes` zero bytes (none when 0), then "data".
    // Empty when the samples do not fit in a RIFF file.
    std::string encode(std::size_t fillerBytes = 0) const;
    // Writes encode(fillerBytes) whole or not at all (temporary file beside `path`, then
    // renamed). False with `error` (French) on failure.
    bool write(const std::filesystem::path& path, std::size_t fillerBytes,
               std::string* error = nullptr) const;

private:
    int channels_ = 1;
    int sampleRate_ = 16000;
    std::vector<std::int16_t> samples_;
};

} // namespace orvaneh
