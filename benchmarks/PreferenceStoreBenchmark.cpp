// What one preference write costs: every write replaces the file atomically and flushes it,
// so this bounds how often the sender and the screens may write.
#include "Platform/preferences/PreferenceStore.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

void BM_PersistedWrite(benchmark::State& state) {
    auto directory = std::filesystem::temp_directory_path() / ("orvaneh-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
    orvaneh::PreferenceStore store(directory / "preferences.json");
    for (int key = 0; key < state.range(0); ++key) {
        store.setString("cle" + std::to_string(key), "valeur");
    }
    std::int64_t counter = 0;
    for (auto _ : state) {
        store.setInteger("compteur", ++counter);
    }
    std::filesystem::remove_all(directory);
}
BENCHMARK(BM_PersistedWrite)->Arg(16)->Arg(256);

void BM_NaturalRead(benchmark::State& state) {
    orvaneh::PreferenceStore store;
    store.setString("OptionMaxDate", "30");
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.integerForKey("OptionMaxDate"));
    }
}
BENCHMARK(BM_NaturalRead);

} // namespace
