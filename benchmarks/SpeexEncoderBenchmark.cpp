// What compressing a dictation costs before it can be sent, against the Speex project's own
// encoder with the same settings (wideband, complexity 3, default quality, constant bit rate)
// on the same file. speex_benchmark.sh prepares the input and compares the two.
//
// Input: ORVANEH_SPEEX_BENCH_INPUT (a WAV file). Outputs are written to
// ORVANEH_SPEEX_BENCH_OUTPUT_DIR as ours.spx and reference.spx, kept for comparison.
// Besides wall time, each reports "cpu_s", the processor time of the encoding itself (for
// speexenc, its child process's), which a busy machine disturbs much less.
#include "Classes/audio/SpeexEncoder.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// User and system time used so far by this process, or by its finished children.
double processorSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool prepared(benchmark::State& state, std::string& input, std::filesystem::path& outputs) {
    input = environment("ORVANEH_SPEEX_BENCH_INPUT");
    outputs = environment("ORVANEH_SPEEX_BENCH_OUTPUT_DIR");
    if (input.empty() || outputs.empty()) {
        state.SkipWithError("ORVANEH_SPEEX_BENCH_INPUT and ORVANEH_SPEEX_BENCH_OUTPUT_DIR are needed "
                            "(run benchmarks/speex_benchmark.sh)");
        return false;
    }
    return true;
}

void BM_SpeexEncoder(benchmark::State& state) {
    std::string input;
    std::filesystem::path outputs;
    if (!prepared(state, input, outputs)) {
        return;
    }
    const std::string destination = (outputs / "ours.spx").string();
    orvaneh::SpeexEncoder encoder;
    const double before = processorSeconds(RUSAGE_SELF);
    for (auto _ : state) {
        if (!encoder.encode(input, destination, 16)) {
            state.SkipWithError("encoding failed");
            return;
        }
    }
    state.counters["cpu_s"] = processorSeconds(RUSAGE_SELF) - before;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(input)));
}
BENCHMARK(BM_SpeexEncoder)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void BM_Speexenc(benchmark::State& state) {
    std::string input;
    std::filesystem::path outputs;
    if (!prepared(state, input, outputs)) {
        return;
    }
    const std::string command =
        "speexenc -w --comp 3 '" + input + "' '" + (outputs / "reference.spx").string() + "' 2>/dev/null";
    const double before = processorSeconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("speexenc failed");
            return;
        }
    }
    state.counters["cpu_s"] = processorSeconds(RUSAGE_CHILDREN) - before;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(input)));
}
BENCHMARK(BM_Speexenc)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

} // namespace
