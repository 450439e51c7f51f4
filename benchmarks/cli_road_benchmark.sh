#!/usr/bin/env bash
# The command-line road on a 60-minute 16 kHz mono track, each step a real orvaneh-cli process
# on a fresh profile: `dictation new` with the whole track, an insertion of a 5-second take at
# 30:00, then a cut of one minute; wall time and peak memory of each against cp of the track in
# the same run (median of 3). Targets: peak RSS under 64 MiB, each edit at most 5 times as long as cp.
# Usage: benchmarks/cli_road_benchmark.sh [minutes]   (ORVANEH_BENCH_BUILD_DIR honoured)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORVANEH_BENCH_BUILD_DIR:-$root/build-bench}"
minutes="${1:-60}"

"$root/scripts/install-deps.sh"
if [ ! -x /usr/bin/time ]; then
  if [ "$(id -u)" -eq 0 ]; then apt-get install -y -q time >/dev/null; else sudo apt-get install -y -q time >/dev/null; fi
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANEH_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target orvaneh-cli >/dev/null
cli="$build/bin/orvaneh-cli"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
home="$work/profile"
sox -n -r 16000 -b 16 -c 1 "$work/track.wav" synth "$((minutes * 60))" pinknoise gain -n -6
sox -n -r 16000 -b 16 -c 1 "$work/take.wav" synth 5 sine 440 gain -n -12
/usr/bin/python3 -c "import sys; sys.path.insert(0, '$root/tools'); import office_catalogues as c; \
open('$work/Catalogue.xml', 'w').write(c.demo_catalogue(''))"
"$cli" --home "$home" start >/dev/null
"$cli" --home "$home" workflow import-file "$work/Catalogue.xml" >/dev/null

# measure NAME COMMAND...: runs the command (after a sync, so that the previous step's writeback
# does not fall on it) and keeps its wall seconds and peak RSS in KiB; the largest peak and the
# median time over the runs of a name go into the table. The output is in $work/NAME.out.
declare -A times peak
measure() {
  local name=$1 seconds kib
  shift
  sync
  /usr/bin/time -f '%e %M' -o "$work/$name.time" "$@" >"$work/$name.out" 2>"$work/$name.err" || {
    echo "échec de l'étape $name :" >&2
    cat "$work/$name.err" >&2
    exit 1
  }
  read -r seconds kib <"$work/$name.time"
  times[$name]="${times[$name]:-} $seconds"
  if [ "$kib" -gt "${peak[$name]:-0}" ]; then peak[$name]=$kib; fi
}
median() { python3 -c "import statistics, sys; print(statistics.median(map(float, sys.argv[1:])))" $1; }

runs=3
for _ in $(seq $runs); do
  measure cp cp "$work/track.wav" "$work/copy.wav"
  rm -f "$work/copy.wav"
  # For reading the figures: an edit leaves its track on disk (the rename over the stored file
  # and the database's commit make the kernel write it back), which cp alone does not wait for.
  measure cp+sync sh -c "cp '$work/track.wav' '$work/copy.wav' && sync '$work/copy.wav'"
  rm -f "$work/copy.wav"
done
measure new "$cli" --home "$home" dictation new --audio "$work/track.wav" --author jdupont \
  --worktype Courrier --title "Banc d'essai"
id=$(tr -d '[:space:]' <"$work/new.out")
# Each run inserts 5 s at the middle, then cuts the minute before it.
for _ in $(seq $runs); do
  measure insert "$cli" --home "$home" dictation edit "$id" --at $((minutes * 30)) --take "$work/take.wav"
  measure cut "$cli" --home "$home" dictation edit "$id" --cut $((minutes * 30 - 60)) $((minutes * 30))
done

expected=$(((minutes * 60 + runs * (5 - 60)) * 16000 * 2))
stored=$(sox --i -s "$home/Documents/$id.wav")
echo "Piste de $minutes min ($(stat -c %s "$work/track.wav") octets) ; échantillons à la fin : $stored" \
  "(attendus : $((expected / 2)))"
printf '%-8s %10s %14s %10s\n' étape "temps (s)" "mémoire (MiB)" "× cp"
echo "(temps : médiane de $runs passages, sauf new ; mémoire : pic de résidence)"
failed=0
for step in cp cp+sync new insert cut; do
  wall=$(median "${times[$step]}")
  ratio=$(python3 -c "print(f'{max($wall, 0.01) / max($(median "${times[cp]}"), 0.01):.1f}')")
  mib=$(python3 -c "print(f'{${peak[$step]} / 1024:.1f}')")
  printf '%-8s %10s %14s %10s\n' "$step" "$wall" "$mib" "$ratio"
  if [ "${step#cp}" = "$step" ] && [ "${peak[$step]}" -ge $((64 * 1024)) ]; then failed=1; fi
  if [ "$step" = insert ] || [ "$step" = cut ]; then
    python3 -c "import sys; sys.exit(0 if float('$ratio') <= 5 else 1)" || failed=1
  fi
done
[ "$stored" -eq $((expected / 2)) ] || failed=1
if [ $failed -ne 0 ]; then
  echo "Objectifs non atteints (mémoire < 64 MiB, édition ≤ 5 × cp)."
  exit 1
fi
echo "Objectifs atteints (mémoire < 64 MiB, édition ≤ 5 × cp)."
