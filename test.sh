#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
# Three passes, each building only what it needs: every test under AddressSanitizer and
# UndefinedBehaviorSanitizer (build-sanitize/), the network, transport and run-loop tests under
# ThreadSanitizer (build-tsan/), then every fuzz harness for 20 s (build-fuzz/;
# ORVANEH_FUZZ_SECONDS changes it).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/install-deps.sh"
pass() {
  local started=$SECONDS
  "$@"
  echo "== $(basename "$1") : $((SECONDS - started)) s"
}
pass "$root/scripts/test-sanitized.sh"
pass "$root/scripts/test-threads.sh"
pass "$root/scripts/fuzz.sh" "${ORVANEH_FUZZ_SECONDS:-20}"
