#!/usr/bin/env bash
# Installs what is missing, builds what it runs, and runs it: on a desktop (a display is there:
# $DISPLAY or $WAYLAND_DISPLAY) the application orvaneh on the user's profile; otherwise, or with
# --demo, the end-to-end demonstration (simulated office servers, workflow import by FTP and by
# web service, dictations recorded and sent by FTP and by web service).
# Usage: ./run.sh [--demo]; any other argument goes to orvaneh (e.g. --home DIR).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
demo=0
if [[ "${1:-}" == "--demo" ]]; then
  demo=1
  shift
elif [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  demo=1
fi
"$root/scripts/install-deps.sh"
if ((demo)); then
  # Only what the demo runs: the test programs are built by ./test.sh.
  "$root/scripts/build.sh" --target orvaneh-cli
  exec "$root/scripts/demo.sh"
fi
"$root/scripts/build.sh" --target orvaneh
exec "${ORVANEH_BUILD_DIR:-$root/build}/bin/orvaneh" "$@"
