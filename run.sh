#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job on a demo profile.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
demo="${ORVANEH_DEMO_HOME:-$root/build/demo-profile}"
echo "Profil de démonstration : $demo"
"$root/build/bin/orvaneh-cli" --home "$demo" start
echo
echo "Réglages en vigueur :"
"$root/build/bin/orvaneh-cli" --home "$demo" settings list
