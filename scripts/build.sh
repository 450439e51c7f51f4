#!/usr/bin/env bash
# Configures and builds the project in build/ (Release with debug information).
# Usage: scripts/build.sh [--target NAME]... [extra CMake options...]
# Without --target everything is built (every test program included).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORVANEH_BUILD_DIR:-$root/build}"
targets=()
options=()
while (($#)); do
  if [[ "$1" == "--target" && $# -ge 2 ]]; then
    targets+=(--target "$2")
    shift 2
  else
    options+=("$1")
    shift
  fi
done
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANEH_WERROR=ON $("$root/scripts/compiler-cache.sh") \
  "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
