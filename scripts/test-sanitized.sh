#!/usr/bin/env bash
# Builds every test with AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitize/
# and runs them: a leak, an overflow or undefined behaviour fails the run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORVANEH_SANITIZE_BUILD_DIR:-$root/build-sanitize}"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANEH_WERROR=ON \
  -DORVANEH_SANITIZE=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
# The command-line processes the tests start inherit these, so their faults fail the tests too.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 1200
