#!/usr/bin/env bash
# Installs what is missing, builds the command line, and runs the main job: the end-to-end
# demonstration (simulated office servers, workflow import by FTP and by web service, dictations
# recorded and sent by FTP and by web service). There is no desktop application yet, so the demo
# runs whether or not a display is present.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/install-deps.sh"
# Only what the demo runs: the test programs are built by ./test.sh.
"$root/scripts/build.sh" --target orvaneh-cli
exec "$root/scripts/demo.sh"
