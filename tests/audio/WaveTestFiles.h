#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvaneh::test {

using Samples = std::vector<std::int16_t>;
// (tag, body) pairs; odd bodies get their pad byte.
using Chunks = std::vector<std::pair<std::string, std::string>>;

// A PCM WAV file built field by field, so that each field can be made wrong on purpose. A
// byte rate left at 0 is the one matching the other fields.
struct Wave {
    Samples samples{}; // interleaved; with 8 bits, each one's high byte is stored
    std::uint32_t rate = 16000;
    std::uint16_t channels = 1;
    std::uint16_t bits = 16;
    std::uint32_t byteRate = 0;
    std::uint16_t blockAlign = 0; // 0: the one matching the other fields
    std::string fmtExtra{};       // after the 16 bytes every "fmt " body has
    Chunks beforeFmt{}, beforeData{}, afterData{};
    std::optional<std::uint32_t> dataSize{}; // the real size when unset
    bool withData = true;
    bool dataFirst = false; // "data" (after beforeFmt) before "fmt " and beforeData

    std::string bytes() const;
    std::size_t dataOffset() const; // of the "data" tag
};

// A "LIST" chunk like the phone's recorder writes, whose comment holds the word "data".
inline const std::pair<std::string, std::string> listMentioningData{
    "LIST", std::string("INFOICMT\x25\0\0\0dictation data recorded on the phone\0", 49)};

// `count` samples first, first + step, ...
Samples ramp(int first, std::size_t count, int step = 1);

// Tracks at 16 kHz: base tracks hold positive samples (sign 1), takes negative ones, each unlike
// its neighbours, so that a misplaced sample shows.
constexpr std::size_t kRate = 16000;
Samples signal(int sign, double seconds, std::size_t offset = 0);
// The samples from `from` to `to` seconds.
Samples part(const Samples& samples, double from, double to);
Samples operator+(Samples first, const Samples& second);

std::uint32_t le32(std::string_view bytes, std::size_t at);
void setLe32(std::string& bytes, std::size_t at, std::uint32_t value);

std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, std::string_view bytes);
// Name to contents of everything in the directory (a directory reads as empty), to see that
// nothing was left or changed.
std::map<std::string, std::string> filesIn(const std::filesystem::path& directory);

// The 16-bit samples from `offset` to the end, read independently of the code under test.
Samples samplesFrom(std::string_view bytes, std::size_t offset);
// The audio of a WAV file, found by walking its chunks; a test failure when there is none.
Samples audioOf(const std::filesystem::path& path);

} // namespace orvaneh::test
