#pragma once

#include "Platform/files/TemporaryFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvaneh {

// Writes a 16-bit PCM WAV file as a stream of samples: RIFF, "fmt ", an optional "FLLR" chunk
// of zero bytes, then "data". The samples go to a hidden temporary beside the file, renamed
// over it by finish(), so the file is whole or untouched. Memory stays that of one buffer.
class PcmWaveWriter {
public:
    // Starts the file; `fillerBytes` of zero bytes in a "FLLR" chunk (none when 0). False with
    // `error` (French) when the temporary cannot be made.
    bool create(const std::string& path, int channels, int sampleRate, std::size_t fillerBytes,
                std::string* error = nullptr);
    // Adds interleaved samples (whole frames).
    bool append(const std::int16_t* samples, std::size_t count);
    // Writes the sizes and puts the file in place. False with `error` (French) when anything
    // failed since create(), when the audio does not fit in a WAV file, or when the rename fails;
    // then nothing is left but what was under the name before.
    bool finish(std::string* error = nullptr);
    // The errno of what failed since create() (ENOSPC for a full disk, EFBIG for audio too long
    // for a WAV file); 0 while nothing has.
    int error() const { return error_; }

private:
    bool flush();
    bool fail(std::string* error, const std::string& what, int errorNumber);

    std::string path_;
    TemporaryFile file_;
    std::vector<char> buffer_;
    std::uint64_t dataOffset_ = 0;
    std::uint64_t written_ = 0;
    int error_ = 0;
};

} // namespace orvaneh
