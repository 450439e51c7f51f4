#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace orvaneh {

// A 16-bit PCM WAV file read in place: its format and the position of its frames, which are
// read on demand, so that an hour of audio costs no more memory than a second. The file stays
// open with the reader: what was found in its header is what is read, even if the name is
// replaced meanwhile. Copies share the open file.
class PcmWaveReader {
public:
    // The "fmt " and "data" chunks are found by walking the RIFF chunks, wherever they are;
    // other chunks are skipped (with their pad byte when odd-sized) and a data chunk longer
    // than the file gives the frames present. Nothing when the file is not a regular file,
    // cannot be read or is not 16-bit PCM; never waits on a tube or a device.
    static std::optional<PcmWaveReader> open(const std::filesystem::path& path);

    int channels() const { return channels_; }
    int sampleRate() const { return sampleRate_; }
    std::size_t frameCount() const { return frameCount_; }
    double duration() const;

    // The interleaved samples of up to `count` frames from `first`, into `samples` (resized to
    // what could be read: fewer past the end or on a read error).
    void readFrames(std::size_t first, std::size_t count, std::vector<std::int16_t>& samples) const;

private:
    struct File;
    std::shared_ptr<const File> file_;
    int channels_ = 1;
    int sampleRate_ = 16000;
    std::uint64_t audioOffset_ = 0;
    std::size_t frameCount_ = 0;
};

} // namespace orvaneh
