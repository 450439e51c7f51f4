#!/usr/bin/env bash
# Start of the desktop program `orvaneh` up to the first painted dictation list, with 10,000
# dictations in the outbox of the profile, against `orvaneh-cli dictation list` on the same
# profile, and both on an empty profile for reference. Each figure is the median of 5 new
# processes after one untimed run (the files are in the page cache: what a person restarting
# the program sees). Target: the list painted in under 300 ms.
# The desktop program prints the milliseconds from its start to the list's first painting
# (ORVANEH_EXIT_AFTER_FIRST_PAINT=1), then quits; it runs offscreen (QT_QPA_PLATFORM, or
# ORVANEH_BENCH_XVFB=1 for a virtual X server).
# Usage: benchmarks/desktop_cold_start_benchmark.sh [dictations]
#   ORVANEH_BENCH_BUILD_DIR: the build tree (default build-bench, configured and built here);
#   ORVANEH_BENCH_NO_BUILD=1: use the programs already built there.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORVANEH_BENCH_BUILD_DIR:-$root/build-bench}"
count="${1:-10000}"
runs=5
target_ms=300

if [ -z "${ORVANEH_BENCH_NO_BUILD:-}" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANEH_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j"$(nproc)" --target orvaneh orvaneh-cli >/dev/null
fi
cli="$build/bin/orvaneh-cli"
desktop="$build/bin/orvaneh"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# profile HOME COUNT: a started profile with a site and COUNT dictations in its
# outbox, written straight into its database in one transaction (drafts, so that the background
# sender started by the desktop program leaves them alone).
profile() {
  local home=$1 dictations=$2
  "$cli" --home "$home" start >/dev/null 2>&1
  # Without a site, the site's screen opens over the list.
  "$cli" --home "$home" site add --name Local --type 3 >/dev/null 2>&1
  python3 - "$home" "$dictations" <<'PY'
import pathlib, sqlite3, sys, time
home, count = pathlib.Path(sys.argv[1]), int(sys.argv[2])
database = next(home.rglob("*.sqlite"))
now = time.time()
with sqlite3.connect(database) as db:
    db.executemany(
        "insert into dictee(titre,date_heure,duree_dictee,duree_Instruction,auteur,contexte,secretaire,"
        "worktype,propriete,typedictee,indentValue,idSite,masterJobId,envoiEnCours,service,brouillon,"
        "tsTransfert) values(?,?,?,?,?,?,?,?,?,?,?,?,?,0,0,1,0)",
        ((f"Compte rendu de consultation {i}", now - (count - i) * 600.0, 60 + i % 600, i % 30, "jdupont",
          "Cardiologie", "mmartin", "Courrier", "Moyenne", "Dictée numérique", f"DOS-{100000 + i}", 1, "")
         for i in range(count)))
PY
}

median() { python3 -c "import statistics, sys; print(round(statistics.median(map(float, sys.argv[1:]))))" "$@"; }

# desktop HOME: one start; prints "FIRST_PAINT_MS WALL_MS".
desktop() {
  local start end painted
  local runner=(env QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}")
  if [ -n "${ORVANEH_BENCH_XVFB:-}" ]; then runner=(xvfb-run -a); fi
  start=$(date +%s%N)
  ORVANEH_EXIT_AFTER_FIRST_PAINT=1 timeout 60 "${runner[@]}" "$desktop" --home "$1" 2>"$work/desktop.err" >/dev/null
  end=$(date +%s%N)
  painted=$(sed -n 's/^Première image de la liste : \([0-9]*\) ms$/\1/p' "$work/desktop.err")
  if [ -z "$painted" ]; then
    echo "Le programme de bureau n'a pas peint la liste :" >&2
    cat "$work/desktop.err" >&2
    exit 1
  fi
  echo "$painted $(((end - start) / 1000000))"
}

# cli HOME: one `dictation list`; prints its wall milliseconds.
cli_list() {
  local start end
  start=$(date +%s%N)
  "$cli" --home "$1" dictation list >"$work/list.out" 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

printf '%-12s %22s %20s %26s\n' dictées "orvaneh : liste peinte" "orvaneh : total" "orvaneh-cli dictation list"
failed=0
for dictations in 0 "$count"; do
  home="$work/profile-$dictations"
  profile "$home" "$dictations"
  desktop "$home" >/dev/null
  cli_list "$home" >/dev/null
  painted=() walls=() lists=()
  for _ in $(seq $runs); do
    read -r p w < <(desktop "$home")
    painted+=("$p")
    walls+=("$w")
    lists+=("$(cli_list "$home")")
  done
  shown=$(grep -c 'Compte rendu' "$work/list.out" || true)
  [ "$shown" -eq "$dictations" ] || { echo "dictation list en montre $shown sur $dictations" >&2; exit 1; }
  p=$(median "${painted[@]}")
  printf '%-12s %19s ms %17s ms %23s ms\n' "$dictations" "$p" "$(median "${walls[@]}")" "$(median "${lists[@]}")"
  if [ "$p" -ge $target_ms ]; then failed=1; fi
done
echo "(médianes de $runs démarrages ; « liste peinte » : du début de main à la fin de la première peinture)"
if [ $failed -ne 0 ]; then
  echo "Objectif non atteint : liste peinte en moins de $target_ms ms."
  exit 1
fi
echo "Objectif atteint : liste peinte en moins de $target_ms ms."
