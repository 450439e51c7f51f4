#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace orvaneh {

// Where the format and the audio of a RIFF/WAVE file lie. The chunk list is walked from byte
// 12, so a "LIST" chunk whose text holds "data" is stepped over; only when the walk breaks
// down (a chunk size running past the end before both chunks are seen) are the first
// occurrences of the tags searched for.
struct WaveHeader {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t byteRate = 0;
    // Bytes of one sample frame (all channels); never 0 in a header that was read.
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;

    std::uint64_t fmtOffset = 0;  // the "fmt " tag
    std::uint32_t fmtSize = 0;    // its declared body size
    std::uint64_t dataOffset = 0; // the "data" tag; its size field follows, then the audio
    // Audio bytes present: the declared size, or what the file holds when it is shorter (a
    // recording cut short keeps the audio it has).
    std::uint64_t audioSize = 0;
    // The size the "data" chunk announces.
    std::uint64_t declaredAudioSize = 0;
    std::uint64_t fileSize = 0;
    bool foundBySearch = false; // the chunk walk failed and the tags were searched for

    std::uint64_t audioOffset() const { return dataOffset + 8; }
    // Whole sample frames of the audio.
    std::uint64_t frameCount() const { return audioSize / blockAlign; }
    // The file ends before the audio its header announces (a copy or a recording cut short).
    // A writer that could not know the length announces 0xFFFFFFFF: that is no promise.
    bool isTruncated() const { return declaredAudioSize > audioSize && declaredAudioSize != 0xFFFFFFFFu; }
    // Same sample layout and rate: the audio of one can be spliced into the other.
    bool sameFormatAs(const WaveHeader& other) const;
    // Integer PCM, float or extensible: audio in frames of blockAlign bytes.
    bool isUncompressed() const;
    // For uncompressed audio, a French description of fields that contradict each other (frame
    // size against channels and sample size, byte rate against rate and frame size).
    std::optional<std::string> uncompressedContradiction() const;
    // "fmt " comes before "data" and the chunk list was walked: the bytes before the audio form
    // a header that can be copied as it is.
    bool headerIsCopyable() const { return !foundBySearch && fmtOffset < dataOffset; }

    // Reads the header through `descriptor` without moving its position. Nothing when the
    // file is not a regular file, cannot be read, is not RIFF/WAVE, has no usable "fmt " or
    // "data" chunk, or describes uncompressed audio with contradicting fields; `why` (if given)
    // then receives a French explanation. readFile never waits on a tube or a device.
    static std::optional<WaveHeader> read(int descriptor, std::string* why = nullptr);
    static std::optional<WaveHeader> readFile(const std::filesystem::path& path, std::string* why = nullptr);
};

} // namespace orvaneh
