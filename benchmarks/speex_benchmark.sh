#!/usr/bin/env bash
# Speex compression of a 10-minute 16 kHz dictation: SpeexEncoder against
# `speexenc -w --comp 3` on the same file, in the same run (target: at most 1.1 times as long).
# Both use wideband, complexity 3, the codec's default quality, constant bit rate and the
# high-pass filter, so their streams must match packet for packet, except the very last one:
# past the end of the input we encode silence where speexenc encodes its last frame again.
# That is checked too, on the audio speexdec decodes (all but the last frame identical).
# Usage: benchmarks/speex_benchmark.sh [minutes]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORVANEH_BENCH_BUILD_DIR:-$root/build-bench}"
minutes="${1:-10}"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANEH_BUILD_BENCHMARKS=ON \
  -DORVANEH_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target SpeexEncoderBenchmark >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Dictation-like: voiced band of noise, broken into syllables by a deep 3.5 Hz tremolo.
sox -n -r 16000 -b 16 -c 1 "$work/dictee.wav" synth "$((minutes * 60))" pinknoise \
  band -n 700 1400 tremolo 3.5 95 gain -n -6
echo "Entrée : $minutes min, 16 kHz mono, $(stat -c %s "$work/dictee.wav") octets"

ORVANEH_SPEEX_BENCH_INPUT="$work/dictee.wav" ORVANEH_SPEEX_BENCH_OUTPUT_DIR="$work" \
  "$build/bin/SpeexEncoderBenchmark" --benchmark_report_aggregates_only=true \
  --benchmark_enable_random_interleaving=true \
  --benchmark_out="$work/results.json" --benchmark_out_format=json

speexdec "$work/ours.spx" "$work/ours.wav" 2>/dev/null
speexdec "$work/reference.spx" "$work/reference.wav" 2>/dev/null
size="$(stat -c %s "$work/ours.wav")"
if [ "$size" = "$(stat -c %s "$work/reference.wav")" ] &&
  cmp -s -n "$((size - 640))" "$work/ours.wav" "$work/reference.wav"; then
  same="identique hormis la dernière trame"
else
  same="DIFFÉRENT"
fi

python3 - "$work/results.json" "$same" \
  "$(stat -c %s "$work/ours.spx")" "$(stat -c %s "$work/reference.spx")" <<'EOF'
import json, sys
results = json.load(open(sys.argv[1]))["benchmarks"]
median = {r["run_name"].split("/")[0]: r for r in results if r.get("aggregate_name") == "median"}
ours, reference = median["BM_SpeexEncoder"], median["BM_Speexenc"]
wall = ours["real_time"] / reference["real_time"]
cpu = ours["cpu_s"] / reference["cpu_s"]
print(f"SpeexEncoder : {ours['real_time']:.0f} ms écoulées, {ours['cpu_s']:.2f} s processeur "
      f"(médianes de 5), {sys.argv[3]} octets")
print(f"speexenc -w --comp 3 : {reference['real_time']:.0f} ms écoulées, {reference['cpu_s']:.2f} s processeur "
      f"(médianes de 5), {sys.argv[4]} octets")
verdict = lambda ratio: "atteint" if ratio <= 1.1 else "MANQUÉ"
print(f"Rapport, temps écoulé : {wall:.3f} (objectif ≤ 1,1 : {verdict(wall)})")
print(f"Rapport, temps processeur : {cpu:.3f} (objectif ≤ 1,1 : {verdict(cpu)})")
print(f"Audio décodé par speexdec : {sys.argv[2]}")
EOF
