#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: the end-to-end demonstration
# (simulated office servers, workflow import, a dictation recorded and sent by FTP and by web
# service). With a display and without --demo, it shows the demo profile's state instead.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
if [[ "${1:-}" == "--demo" || -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "$root/scripts/demo.sh"
fi
demo="${ORVANEH_DEMO_HOME:-$root/build/demo-profile}"
echo "Profil de démonstration : $demo"
"$root/build/bin/orvaneh-cli" --home "$demo" start
echo
echo "Réglages en vigueur :"
"$root/build/bin/orvaneh-cli" --home "$demo" settings list
