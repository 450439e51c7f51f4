// A WAV file from outside (a track or a take) read by the chunk walk and the player's reader,
// then edited as the recorder edits it: a take inserted at the cursor, a passage cut between the
// two markers. An edit either refuses (and leaves no output) or writes a file that reads back
// with the audio it should hold, never a crash or an unreadable file.
//
// Input: flags, three times, the length of the take, the track, then the take. Flag 1 inserts
// the track into itself (a take of the same format, which the fuzzer would seldom make).
#include "Classes/audio/WaveHeader.h"
#include "Classes/core/FileManagerHelper.h"
#include "Platform/log/Log.h"
#include "Platform/media/PcmWaveReader.h"
#include "tests/fuzz/FuzzInput.h"

#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <unistd.h>
#include <vector>

using namespace orvaneh;
namespace fs = std::filesystem;

namespace {

fs::path directory;

void cleanUp() {
    std::error_code error;
    fs::remove_all(directory, error);
}

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void write(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A time as the slider may give it, including the odd ones.
double seconds(std::uint16_t raw) {
    switch (raw) {
    case 0xFFFF:
        return std::numeric_limits<double>::quiet_NaN();
    case 0xFFFE:
        return std::numeric_limits<double>::infinity();
    case 0xFFFD:
        return -1;
    case 0xFFFC:
        return 1e300;
    default:
        return raw / 1000.0;
    }
}

// The frame a time falls on: the nearest one, no further than the last whole frame.
std::uint64_t frameBytes(double time, const WaveHeader& wave) {
    if (!(time > 0)) {
        return 0;
    }
    const double frame = std::round(time * wave.byteRate / wave.blockAlign);
    const std::uint64_t frames = wave.frameCount();
    return (frame < static_cast<double>(frames) ? static_cast<std::uint64_t>(frame) : frames) *
           wave.blockAlign;
}

std::string audioOf(const std::string& file, const WaveHeader& wave) {
    return file.substr(wave.audioOffset(), wave.audioSize);
}

// What every output must be: a WAV file of the track's format whose sizes tell its length
// exactly, that the player opens when it opened the track, holding `audio`.
void checkOutput(const fs::path& output, const WaveHeader& track, bool playerReadsTrack,
                 const std::string& audio) {
    std::string why;
    const auto written = WaveHeader::readFile(output, &why);
    check(written.has_value());
    check(written->sameFormatAs(track));
    check(!written->foundBySearch && written->headerIsCopyable());
    check(written->declaredAudioSize == written->audioSize);
    check(written->audioOffset() + written->audioSize == written->fileSize);
    const std::string bytes = read(output);
    check(audioOf(bytes, *written) == audio);
    const auto player = PcmWaveReader::open(output);
    check(!playerReadsTrack || player.has_value());
    if (player) {
        check(player->frameCount() == written->frameCount());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Log::setEchoToStderr(false);
    // In memory when the system offers it: every run writes and reads back a few files.
    std::error_code error;
    const fs::path base =
        fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
    directory = base / ("fuzz-wave-" + std::to_string(::getpid()));
    fs::create_directories(directory);
    std::atexit(cleanUp);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const std::uint8_t flags = input.byte();
    const double cursor = seconds(input.u16());
    const double firstMarker = seconds(input.u16());
    const double secondMarker = seconds(input.u16());
    const std::uint16_t takeLength = input.u16();
    const std::string trackBytes(
        input.bytes(input.remaining() - std::min<std::size_t>(takeLength, input.remaining())));
    const std::string takeBytes((flags & 1) != 0 ? trackBytes : std::string(input.rest()));

    const fs::path trackPath = directory / "dictee.wav";
    const fs::path takePath = directory / "dictee2.wav";
    const fs::path outputPath = directory / "temp3.wav";
    write(trackPath, trackBytes);
    write(takePath, takeBytes);
    std::error_code error;
    fs::remove(outputPath, error);

    const auto track = WaveHeader::readFile(trackPath);
    const auto take = WaveHeader::readFile(takePath);
    const auto player = PcmWaveReader::open(trackPath);
    if (player) {
        std::vector<std::int16_t> samples;
        player->readFrames(player->frameCount() > 4 ? player->frameCount() - 4 : 0, 8, samples);
        check(samples.size() <= 8 * static_cast<std::size_t>(player->channels()));
        (void)player->duration();
    }
    if (track) {
        check(track->blockAlign != 0 && track->audioOffset() + track->audioSize <= track->fileSize);
    }

    // Insertion of the take at the cursor.
    const bool inserted = FileManagerHelper::insertWaveFile(takePath, trackPath, outputPath, cursor);
    check(read(trackPath) == trackBytes && read(takePath) == takeBytes); // inputs are only read
    if (inserted) {
        check(track && take && track->isUncompressed() && take->sameFormatAs(*track));
        const std::string trackAudio = audioOf(trackBytes, *track);
        const std::uint64_t at = frameBytes(cursor, *track);
        const std::string takeAudio =
            audioOf(takeBytes, *take).substr(0, take->frameCount() * take->blockAlign);
        checkOutput(outputPath, *track, player.has_value(),
                    trackAudio.substr(0, at) + takeAudio + trackAudio.substr(at));
    } else {
        check(!fs::exists(outputPath));
    }
    fs::remove(outputPath, error);

    // Cut between the two markers.
    const bool cut =
        FileManagerHelper::deleteChunkBetweenPos1(firstMarker, secondMarker, trackPath, outputPath);
    check(read(trackPath) == trackBytes);
    if (cut) {
        check(track && track->isUncompressed());
        const std::string trackAudio = audioOf(trackBytes, *track);
        auto bound = [&](double time) {
            const std::uint64_t position = frameBytes(time, *track);
            return position == track->frameCount() * track->blockAlign ? track->audioSize : position;
        };
        const std::uint64_t from = std::min(bound(firstMarker), bound(secondMarker));
        const std::uint64_t to = std::max(bound(firstMarker), bound(secondMarker));
        checkOutput(outputPath, *track, player.has_value(),
                    trackAudio.substr(0, from) + trackAudio.substr(to));
    } else {
        check(!fs::exists(outputPath));
    }
    return 0;
}
