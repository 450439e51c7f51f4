#!/usr/bin/env bash
# Builds every test with AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitize/
# and runs them: a leak, an overflow or undefined behaviour fails the run.
# Extra arguments go to CMake. ORVANEH_SANITIZE_BUILD_DIR chooses another build directory.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORVANEH_SANITIZE_BUILD_DIR:-$root/build-sanitize}"
"$root/scripts/install-deps.sh"
# -O1 and line tables only: the sanitizers' reports keep their file:line, the build is much faster.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DORVANEH_WERROR=ON -DORVANEH_SANITIZE=ON \
  $("$root/scripts/compiler-cache.sh") "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
# The command-line processes the tests start inherit these, so their faults fail the tests too.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 1200
