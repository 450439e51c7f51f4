// What the recorder's edits cost on a long dictation: a 1-minute take inserted in the middle
// of a 60-minute 16 kHz mono track, and 1 minute cut out of it, against `cp` of a file of
// the output's size in the same run. The counter peak_rss_MiB is the process's high-water
// mark. ORVANEH_WAVE_BENCH_MINUTES sets the track's length, ORVANEH_WAVE_BENCH_DIR where the
// files go (default: the system's temporary directory).
#include "Classes/core/FileManagerHelper.h"
#include "Platform/log/Log.h"

#include <array>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using orvaneh::FileManagerHelper;
namespace fs = std::filesystem;

constexpr std::uint32_t kSampleRate = 16000;
constexpr std::uint64_t kBytesPerMinute = 60ULL * kSampleRate * 2;

void putLe(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// A canonical 16-bit mono WAV file of `audioBytes` of noise, written through a small buffer
// so that making the track does not weigh on the memory figure.
void writeTrack(const fs::path& path, std::uint64_t audioBytes, std::uint32_t seed) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write("RIFF", 4);
    putLe(out, static_cast<std::uint32_t>(36 + audioBytes), 4);
    out.write("WAVEfmt ", 8);
    putLe(out, 16, 4);
    putLe(out, 1, 2);
    putLe(out, 1, 2);
    putLe(out, kSampleRate, 4);
    putLe(out, kSampleRate * 2, 4);
    putLe(out, 2, 2);
    putLe(out, 16, 2);
    out.write("data", 4);
    putLe(out, static_cast<std::uint32_t>(audioBytes), 4);
    std::array<char, 64 * 1024> block{};
    std::uint32_t state = seed;
    for (std::uint64_t left = audioBytes; left > 0;) {
        for (auto& byte : block) {
            state = state * 1664525U + 1013904223U;
            byte = static_cast<char>(state >> 24);
        }
        const auto count = static_cast<std::streamsize>(std::min<std::uint64_t>(left, block.size()));
        out.write(block.data(), count);
        left -= static_cast<std::uint64_t>(count);
    }
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

struct Files {
    fs::path directory;
    fs::path track, take, output, copyOfInsertSize, copyOfCutSize, copyTarget;
    double trackMinutes = 60;

    Files() {
        if (const char* minutes = std::getenv("ORVANEH_WAVE_BENCH_MINUTES")) {
            trackMinutes = std::stod(minutes);
        }
        const char* where = std::getenv("ORVANEH_WAVE_BENCH_DIR");
        directory = fs::path(where != nullptr ? where : fs::temp_directory_path().string()) /
                    ("orvaneh-wave-bench-" + std::to_string(::getpid()));
        fs::create_directories(directory);
        track = directory / "dictee.wav";
        take = directory / "dictee2.wav";
        output = directory / "temp3.wav";
        copyOfInsertSize = directory / "same-size-as-insert.wav";
        copyOfCutSize = directory / "same-size-as-cut.wav";
        copyTarget = directory / "copy.wav";
        const auto trackBytes = static_cast<std::uint64_t>(trackMinutes * kBytesPerMinute);
        writeTrack(track, trackBytes, 1);
        writeTrack(take, kBytesPerMinute, 2);
        writeTrack(copyOfInsertSize, trackBytes + kBytesPerMinute, 3);
        writeTrack(copyOfCutSize, trackBytes > kBytesPerMinute ? trackBytes - kBytesPerMinute : 0, 4);
        // The edits log nothing on success; keep a failure's line off the figures anyway.
        orvaneh::Log::setEchoToStderr(false);
    }
    ~Files() {
        std::error_code error;
        fs::remove_all(directory, error);
    }
};

Files& files() {
    static Files instance;
    return instance;
}

double peakMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// Each measured operation writes a file that does not exist yet, as in the recorder.
void removeBetween(benchmark::State& state, const fs::path& path) {
    state.PauseTiming();
    fs::remove(path);
    state.ResumeTiming();
}

void BM_InsertTakeInTheMiddle(benchmark::State& state) {
    auto& f = files();
    for (auto _ : state) {
        removeBetween(state, f.output);
        if (!FileManagerHelper::insertWaveFile(f.take.string(), f.track.string(), f.output.string(),
                                               f.trackMinutes * 30.0)) {
            state.SkipWithError("insertion failed");
            break;
        }
    }
    if (state.error_occurred()) {
        return;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(f.output)));
    state.counters["peak_rss_MiB"] = peakMiB();
}

void BM_CutOneMinute(benchmark::State& state) {
    auto& f = files();
    const double from = f.trackMinutes * 30.0;
    for (auto _ : state) {
        removeBetween(state, f.output);
        if (!FileManagerHelper::deleteChunkBetweenPos1(from, from + 60.0, f.track.string(),
                                                       f.output.string())) {
            state.SkipWithError("cut failed");
            break;
        }
    }
    if (state.error_occurred()) {
        return;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(f.output)));
    state.counters["peak_rss_MiB"] = peakMiB();
}

// The reference: the system's cp, started as the recorder's edit would be timed, end to end.
void copyWithCp(benchmark::State& state, const fs::path& source) {
    auto& f = files();
    const std::string from = source.string();
    const std::string to = f.copyTarget.string();
    for (auto _ : state) {
        removeBetween(state, f.copyTarget);
        const pid_t child = ::fork();
        if (child == 0) {
            ::execl("/bin/cp", "cp", from.c_str(), to.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("cp failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(source)));
}

void BM_CpOfInsertionSize(benchmark::State& state) {
    copyWithCp(state, files().copyOfInsertSize);
}

void BM_CpOfCutSize(benchmark::State& state) {
    copyWithCp(state, files().copyOfCutSize);
}

BENCHMARK(BM_InsertTakeInTheMiddle)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CpOfInsertionSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CutOneMinute)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CpOfCutSize)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
