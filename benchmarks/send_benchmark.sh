#!/usr/bin/env bash
# Sending: N pending one-minute dictations (50 by default) delivered by `orvaneh-cli send` to the
# FTP simulator and to the HTTPS simulator, against curl uploading the very same files in the
# same run (FTP: one `curl -T` over all the files; HTTPS: one `curl -F` request per job with the
# same multipart parts, chained with --next). Target: at most 1.3 times as long as curl.
# Usage: benchmarks/send_benchmark.sh [count]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORVANEH_BENCH_BUILD_DIR:-$root/build-bench}"
count="${1:-50}"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANEH_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target orvaneh-cli >/dev/null
cli="$build/bin/orvaneh-cli"

work="$(mktemp -d)"
source "$root/scripts/simulators.sh"
trap 'stop_simulators; rm -rf "$work"' EXIT

login='bench@cabinet'
password='p:ss@word'
start_simulator ftp office-ftp-server.py --root "$work/ftp" --login "$login" --password "$password"
start_simulator https office-https-server.py --store "$work/web" --login "$login" --password "$password"
ftp_port=$(simulator_value ftp PORT)
https_port=$(simulator_value https PORT)
ca=$(simulator_value https CA)

sox -n -r 16000 -b 16 -c 1 "$work/take.wav" synth 60 pinknoise band -n 700 1400 gain -n -6
/usr/bin/python3 -c "import sys; sys.path.insert(0, '$root/tools'); import office_catalogues as c; \
open('$work/Catalogue.xml', 'w').write(c.demo_catalogue(''))"

now() { date +%s.%N; }
since() { python3 -c "import sys; print(float(sys.argv[2]) - float(sys.argv[1]))" "$1" "$(now)"; }

# prepare HOME TYPE PORT: a profile with one default site and COUNT dictations waiting.
prepare() {
  local home=$1
  "$cli" --home "$home" start >/dev/null
  "$cli" --home "$home" settings set TrustedCertificatesFile "$ca" >/dev/null
  "$cli" --home "$home" site add --name Bench --type "$2" --address "127.0.0.1:$3" --login "$login" \
    --password "$password" --default >/dev/null
  "$cli" --home "$home" workflow import-file "$work/Catalogue.xml" >/dev/null
  for i in $(seq "$count"); do
    "$cli" --home "$home" dictation new --audio "$work/take.wav" --author jdupont --worktype Courrier \
      --title "Lettre $i" --send >/dev/null 2>&1
  done
}

echo "Entrée : $count dictées d'une minute (16 kHz mono, $(stat -c %s "$work/take.wav") octets chacune)"

prepare "$work/p-ftp" 1 "$ftp_port"
start=$(now)
"$cli" --home "$work/p-ftp" send >/dev/null 2>&1
ours_ftp=$(since "$start")
sent_ftp=$(ls "$work/ftp/import" | wc -l)
# curl uploads the files that arrived, again, into another directory of the same server.
files=$(cd "$work/ftp/import" && ls | sed "s|^|$work/ftp/import/|" | paste -sd, -)
start=$(now)
curl -sS --ftp-create-dirs --user "$login:$password" -T "{$files}" "ftp://127.0.0.1:$ftp_port/reference/"
curl_ftp=$(since "$start")

prepare "$work/p-web" 2 "$https_port"
start=$(now)
"$cli" --home "$work/p-web" send >/dev/null 2>&1
ours_web=$(since "$start")
jobs=$(ls "$work/web/jobs" | wc -l)
# The same multipart parts: each file under its full path as name and file name.
args=()
for job in $(ls "$work/web/jobs" | sort -n); do
  ((${#args[@]})) && args+=(--next)
  args+=(-sS -o /dev/null --cacert "$ca" --user "$login:$password")
  for file in "$work/web/jobs/$job"/*; do
    [[ $(basename "$file") == request.json ]] && continue
    args+=(-F "$file=@$file;filename=$file")
  done
  args+=("https://127.0.0.1:$https_port/Orvane.WebServices/Import/PostFile")
done
start=$(now)
curl "${args[@]}"
curl_web=$(since "$start")

python3 - "$ours_ftp" "$curl_ftp" "$sent_ftp" "$ours_web" "$curl_web" "$jobs" "$count" <<'PY'
import sys
ours_ftp, curl_ftp, files, ours_web, curl_web = map(float, sys.argv[1:6])
jobs, count = int(sys.argv[6]), int(sys.argv[7])
def line(name, ours, reference, what):
    ratio = ours / reference
    verdict = "atteint" if ratio <= 1.3 else "MANQUÉ"
    print(f"{name} : orvaneh-cli send {ours:.2f} s, curl {reference:.2f} s ({what}) ; "
          f"rapport {ratio:.2f} (objectif ≤ 1,3 : {verdict})")
line("FTP", ours_ftp, curl_ftp, f"{int(files)} fichiers pour {count} dictées")
line("HTTPS", ours_web, curl_web, f"{jobs} travaux sur {count}")
PY
