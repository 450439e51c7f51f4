#!/usr/bin/env bash
# The WAV edits on a 60-minute 16 kHz track against cp of a file of the output's size, and
# the peak memory of the edits on a 60-minute and a 1-minute track.
# Usage: benchmarks/wave_edit_benchmark.sh   (ORVANEH_BENCH_BUILD_DIR, ORVANEH_WAVE_BENCH_DIR honoured)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORVANEH_BENCH_BUILD_DIR:-$root/build-bench}"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANEH_BUILD_BENCHMARKS=ON \
      -DORVANEH_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target WaveEditBenchmark >/dev/null
program="$build/bin/WaveEditBenchmark"
results="$(mktemp)"
trap 'rm -f "$results"' EXIT

# Repetitions interleaved at random, so that a busy moment of the machine falls on both sides.
echo "== Timing: 60-minute track, 1-minute take (median of 10 runs)"
ORVANEH_WAVE_BENCH_MINUTES=60 "$program" --benchmark_repetitions=10 --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true \
    --benchmark_out="$results" --benchmark_out_format=json

echo
echo "== Peak memory of a process that makes the files and edits them once (/usr/bin/time)"
for minutes in 1 60; do
    peak=$( { ORVANEH_WAVE_BENCH_MINUTES=$minutes /usr/bin/time -f '%M' "$program" \
                  --benchmark_filter='Insert|Cut' --benchmark_min_time=0.001 >/dev/null; } 2>&1 | tail -1)
    printf '%2d-minute track: %s KiB\n' "$minutes" "$peak"
done

echo
echo "== Against cp (target: at most 1.3)"
python3 - "$results" <<'PY'
import json, sys
medians = {b["run_name"].split("/")[0]: b["real_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]
           if b.get("aggregate_name") == "median"}
for edit, copy in (("BM_InsertTakeInTheMiddle", "BM_CpOfInsertionSize"), ("BM_CutOneMinute", "BM_CpOfCutSize")):
    print(f"{edit}: {medians[edit]:.1f} ms, cp {medians[copy]:.1f} ms, ratio {medians[edit] / medians[copy]:.2f}")
PY
