#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvaneh {

// Writes a 16-bit PCM WAV file under its own name as the samples come (RIFF, "fmt ", "data"),
// for live recording: each append goes to the file at once, and the RIFF and "data" sizes are
// rewritten every `refreshSeconds` of audio, so that after a crash the file is a valid WAV
// holding all but the last moments. Memory stays flat whatever the length. Unlike
// PcmWaveWriter, a failed take leaves what was written in place: a partial dictation is worth
// more than none. Not thread-safe: the owner serialises the calls.
class InPlaceWaveWriter {
public:
    InPlaceWaveWriter() = default;
    // Finishes the file when still open.
    ~InPlaceWaveWriter();
    InPlaceWaveWriter(const InPlaceWaveWriter&) = delete;
    InPlaceWaveWriter& operator=(const InPlaceWaveWriter&) = delete;

    // Creates or empties the file and writes a header for no audio. False with `error` (French)
    // when the format is unusable or the file cannot be opened.
    bool create(const std::string& path, int channels, int sampleRate, double refreshSeconds = 1.0,
                std::string* error = nullptr);
    // Adds interleaved samples (whole frames); false once a write has failed (later appends
    // are dropped, the file keeps what came before).
    bool append(const std::int16_t* samples, std::size_t count);
    // The same number of zero samples (a gap in the input).
    bool appendSilence(std::size_t count);
    // Rewrites the sizes for what has been written so far.
    bool refreshHeader();
    // Writes the final sizes and closes the file. False with `error` (French) when a write
    // failed since create() or the audio outgrew a WAV file (the sizes then say what fits).
    bool finish(std::string* error = nullptr);

    // The errno of what failed since create() (ENOSPC for a full disk, EFBIG for audio that
    // outgrew a WAV file); 0 while nothing has.
    int error() const { return error_; }
    bool isOpen() const { return descriptor_ >= 0; }
    const std::string& path() const { return path_; }
    // Frames written so far.
    std::uint64_t frames() const { return dataBytes_ / blockAlign_; }

private:
    bool write(const void* bytes, std::size_t count);

    std::string path_;
    int descriptor_ = -1;
    std::uint32_t blockAlign_ = 2;
    std::uint64_t dataBytes_ = 0;
    std::uint64_t refreshBytes_ = 0;
    std::uint64_t unrefreshed_ = 0;
    int error_ = 0;
};

} // namespace orvaneh
