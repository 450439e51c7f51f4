#!/usr/bin/env bash
# Configures and builds the project in build/ (Release with debug information).
# Usage: scripts/build.sh [extra CMake options...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORVANEH_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANEH_WERROR=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
