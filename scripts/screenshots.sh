#!/usr/bin/env bash
# Takes the pictures of the desktop application's screens shown in the README: the desktop test
# programs run under a virtual X server and, given ORVANEH_CAPTURE_DIR, save their screens there
# as PNG files, which are then made smaller (pngquant, when it can without loss of legibility).
# Builds the desktop tests in build/ (or $ORVANEH_BUILD_DIR). Exits non-zero if a test fails.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORVANEH_BUILD_DIR:-$root/build}"
captures="$root/docs/screenshots"
"$root/scripts/install-deps.sh" pngquant

targets=()
for source in "$root"/tests/desktop/*Test.cpp; do
  targets+=(--target "desktop_$(basename "$source" .cpp)")
done
"$root/scripts/build.sh" "${targets[@]}"

mkdir -p "$captures"
failed=()
for ((index = 1; index < ${#targets[@]}; index += 2)); do
  program="${targets[index]}"
  echo "== $program"
  if ! ORVANEH_CAPTURE_DIR="$captures" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" "$build/bin/$program" >"$build/$program.captures.log" 2>&1; then
    failed+=("$program")
    tail -n 20 "$build/$program.captures.log"
  fi
done

shopt -s nullglob
pictures=("$captures"/*.png)
if ((${#pictures[@]})); then
  # Screens are flat colours: 256 colours keep them sharp at a third of the size or less.
  pngquant --force --skip-if-larger --strip --quality 80-100 --ext .png "${pictures[@]}" || true
  ls -l "${pictures[@]}"
fi
if ((${#failed[@]})); then
  echo "Échec : ${failed[*]} (journal dans $build/<programme>.captures.log)" >&2
  exit 1
fi
