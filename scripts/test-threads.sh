#!/usr/bin/env bash
# Builds the network, transport and run-loop tests with ThreadSanitizer in build-tsan/ and runs
# them: a data race or a lock-order inversion fails the run, in the command-line processes they
# start as well. Only those programs are built (the desktop is left out).
# Extra arguments go to CMake. ORVANEH_TSAN_BUILD_DIR chooses another build directory.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORVANEH_TSAN_BUILD_DIR:-$root/build-tsan}"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DORVANEH_WERROR=ON -DORVANEH_TSAN=ON \
  -DORVANEH_DESKTOP=OFF $("$root/scripts/compiler-cache.sh") "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" --target network_tests transport_tests platform_tests
export TSAN_OPTIONS="second_deadlock_stack=1"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 1200 -L '^(network|transport)$'
ctest --output-on-failure -j"$(nproc)" --timeout 1200 -L '^platform$' \
  -R 'RunLoop|MainLoopObserver|NotificationCenter'
