#!/usr/bin/env bash
# Builds the fuzz harnesses (tests/fuzz) with clang in build-fuzz/ and runs each for SECONDS
# (default 60) from a copy of its seed corpus. Any input that crashed, hung, leaked or ran out of
# memory is kept in build-fuzz/findings/<harness>/; the script then fails.
#   scripts/fuzz.sh [SECONDS]
# FUZZ_JOBS sets the build's parallel jobs (2), FUZZ_HARNESSES the harnesses to run (all).
set -euo pipefail

seconds="${1:-60}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || ((seconds == 0)); then
  echo "usage : scripts/fuzz.sh [SECONDES]" >&2
  exit 2
fi
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"

"$root/scripts/install-deps.sh" clang libfuzzer-14-dev libclang-rt-14-dev

# shellcheck disable=SC2046 # the cache's options are words
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DORVANEH_FUZZ=ON -DORVANEH_DESKTOP=OFF -DORVANEH_BUILD_TESTS=OFF -DORVANEH_PULSE=OFF -DORVANEH_SECRETS=OFF \
  $("$root/scripts/compiler-cache.sh") >/dev/null
cmake --build "$build" --target fuzz_harnesses -j"${FUZZ_JOBS:-2}"

if [[ -n "${FUZZ_HARNESSES:-}" ]]; then
  read -r -a harnesses <<<"$FUZZ_HARNESSES"
else
  harnesses=()
  for directory in "$root"/tests/fuzz/corpus/*/; do
    harnesses+=("$(basename "$directory")")
  done
fi

mkdir -p "$build/logs"
failed=0
for harness in "${harnesses[@]}"; do
  program="$build/bin/fuzz_$harness"
  corpus="$build/corpus/$harness"
  findings="$build/findings/$harness"
  log="$build/logs/$harness.log"
  # The corpus grows while fuzzing: a copy, so that the repository stays as it is.
  rm -rf "$corpus"
  mkdir -p "$corpus" "$findings"
  cp -R "$root/tests/fuzz/corpus/$harness/." "$corpus/"
  options=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1
           -artifact_prefix="$findings/")
  if [[ -f "$root/tests/fuzz/$harness.dict" ]]; then
    options+=(-dict="$root/tests/fuzz/$harness.dict")
  fi
  status=0
  "$program" "${options[@]}" "$corpus" >"$log" 2>&1 || status=$?
  executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  found="$(find "$findings" -type f | wc -l)"
  if ((status != 0 || found > 0)); then
    failed=1
    printf '%-18s %12s exécutions  ÉCHEC (code %d, %d entrée(s) dans %s, journal %s)\n' \
      "$harness" "${executions:-?}" "$status" "$found" "$findings" "$log"
  else
    printf '%-18s %12s exécutions  ok\n' "$harness" "${executions:-?}"
  fi
done
exit "$failed"
