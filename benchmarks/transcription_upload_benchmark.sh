#!/usr/bin/env bash
# Upload of one long dictation (60 minutes by default: a 115 MB WAV, 16 kHz 16-bit mono) to the
# transcription service's simulator by `orvaneh-cli send` (chunks of 65,537 bytes, one SOAP call
# each), against curl posting the very same bytes in ONE FileUploadSendChunk call to the same
# simulator, in the same run. Then where the client's time goes: the envelope of a chunk
# (SoapChunkBenchmark), the simulator's own work per chunk, the round trips.
# Usage: benchmarks/transcription_upload_benchmark.sh [runs] [minutes]   (3 runs of 60 minutes)
# Builds orvaneh-cli and SoapChunkBenchmark (Release) in $ORVANEH_BENCH_BUILD_DIR (build-bench).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORVANEH_BENCH_BUILD_DIR:-$root/build-bench}"
runs="${1:-3}"
minutes="${2:-60}"

"$root/scripts/install-deps.sh" strace
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DORVANEH_BUILD_BENCHMARKS=ON -DORVANEH_BUILD_TESTS=OFF \
  -DORVANEH_DESKTOP=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target orvaneh-cli SoapChunkBenchmark >/dev/null
cli="$build/bin/orvaneh-cli"

work="$(mktemp -d)"
source "$root/scripts/simulators.sh"
trap 'stop_simulators; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
py=/usr/bin/python3 # the simulator's interpreter (spyne), imported below to time its own work

login='bench@cabinet'
password='p:ss@word'
start_simulator soap transcription-soap-server.py --store "$work/store" --login "$login" --password "$password"
port=$(simulator_value soap PORT)
ca=$(simulator_value soap CA)
store=$(simulator_value soap STORE)
url="https://127.0.0.1:$port/DataTransfertService.asmx"

sox -n -r 16000 -b 16 -c 1 "$work/take.wav" synth $((minutes * 60)) pinknoise band -n 700 1400 gain -n -6
# The demo workflow, with the service as a typist a dictation can be given to.
$py -c "import sys; sys.path.insert(0, '$root/tools'); import office_catalogues as c; \
open('$work/Catalogue.xml', 'w').write(c.demo_catalogue('').replace('</LoginUserInfos>', \
'<LoginUserInfo><Role>Secretaire</Role><LoginName>Velmora</LoginName><DisplayName>Velmora</DisplayName>' \
'<LoginId>900</LoginId></LoginUserInfo></LoginUserInfos>', 1))"

now() { date +%s.%N; }
since() { $py -c "import sys; print(float(sys.argv[2]) - float(sys.argv[1]))" "$1" "$(now)"; }

home="$work/profile"
"$cli" --home "$home" start >/dev/null
"$cli" --home "$home" settings set TrustedCertificatesFile "$ca" >/dev/null
"$cli" --home "$home" settings set SendToVelmora true >/dev/null
"$cli" --home "$home" workflow import-file "$work/Catalogue.xml" >/dev/null
printf '%s' "$password" | "$cli" --home "$home" site add --name Transcription --type 6 \
  --address "127.0.0.1:$port" --login "$login" --password-stdin --default >/dev/null

# --- orvaneh-cli send, one new dictation per run
ours=()
cpu=() # orvaneh-cli's own processor time (user + system)
chunk_calls=()
recording=""
for run in $(seq "$runs"); do
  id=$("$cli" --home "$home" dictation new --audio "$work/take.wav" --author jdupont --worktype Courrier \
    --typist Velmora --title "Heure $run" --send --json | $py -c "import json, sys; print(json.load(sys.stdin)['idDictee'])")
  recording=$(find "$home" -name "$id.wav" -print -quit)
  before_calls=$(grep -c '^FileUploadSendChunk ' "$store/calls.log" 2>/dev/null || true)
  before_jobs=$(ls "$store/jobs")
  start=$(now)
  /usr/bin/time -f '%U %S' -o "$work/cpu.txt" "$cli" --home "$home" send "$id" --now >"$work/send.out" 2>&1 || {
    cat "$work/send.out" >&2
    echo "orvaneh-cli send a échoué (essai $run)." >&2
    exit 1
  }
  ours+=("$(since "$start")")
  cpu+=("$(awk '{print $1 + $2}' "$work/cpu.txt")")
  chunk_calls+=($(($(grep -c '^FileUploadSendChunk ' "$store/calls.log") - before_calls)))
  "$cli" --home "$home" dictation list --sent --json | $py -c "
import json, sys
sys.exit(0 if any(d['idDictee'] == $id for d in json.load(sys.stdin)) else 'dictée $id non marquée envoyée')"
  job=$(comm -13 <(echo "$before_jobs") <(ls "$store/jobs") | sed -n 's/\.wav$//p')
  [[ -n $job ]] || { echo "Aucun travail .wav livré au simulateur (essai $run)." >&2; exit 1; }
  cmp "$recording" "$store/jobs/$job.wav"
done
size=$(stat -c %s "$recording")

# Connections opened per call: one short dictation sent under strace (not timed).
sox -n -r 16000 -b 16 -c 1 "$work/short.wav" synth 120 pinknoise gain -n -6
id=$("$cli" --home "$home" dictation new --audio "$work/short.wav" --author jdupont --worktype Courrier \
  --typist Velmora --title "Contrôle" --send --json | $py -c "import json, sys; print(json.load(sys.stdin)['idDictee'])")
before_calls=$(grep -c . "$store/calls.log")
strace -f -qq -e trace=connect -o "$work/connect.trace" "$cli" --home "$home" send "$id" --now >/dev/null 2>&1
traced_calls=$(($(grep -c . "$store/calls.log") - before_calls))
traced_connections=$(grep -c "sin_port=htons($port)" "$work/connect.trace" || true)

# --- curl: the same bytes in one call (log-in and init through curl too; envelopes not timed)
envelope() { # OPERATION TOKEN BODY-XML: a whole envelope in the shape the client writes
  printf '<?xml version="1.0"?>\n<soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/" '
  printf 'xmlns:WSVelmora="https://ws.velmora.fr/"><soap:Header><WSVelmora:SecurityHeader>'
  printf '<WSVelmora:Username>%s</WSVelmora:Username><WSVelmora:Password>%s</WSVelmora:Password>' "$login" "$password"
  [[ -n $2 ]] && printf '<WSVelmora:AuthenticatedToken>%s</WSVelmora:AuthenticatedToken>' "$2"
  printf '</WSVelmora:SecurityHeader></soap:Header><soap:Body><WSVelmora:%s>%s</WSVelmora:%s>' "$1" "$3" "$1"
  printf '</soap:Body></soap:Envelope>'
}
soap() { # OPERATION FILE: posts FILE, prints the answer's <OPERATION>Result text
  curl -sS --cacert "$ca" -H 'Expect:' -H 'Content-Type: text/xml; charset=utf-8' \
    -H "SOAPAction: https://ws.velmora.fr/$1" --data-binary @"$2" -o "$work/answer.xml" "$url"
  sed -n "s|.*<[A-Za-z0-9]*:*$1Result>\([^<]*\)</.*|\1|p" "$work/answer.xml"
}
base64 -w0 "$recording" >"$work/data.b64"
hash=$(openssl dgst -sha1 -binary "$recording" | base64)
reference=()
for run in $(seq "$runs"); do
  envelope Authenticate "" "" >"$work/call.xml"
  token=$(soap Authenticate "$work/call.xml")
  envelope FileUploadLumetraInit "$token" "<WSVelmora:masterJobId>reference-$run</WSVelmora:masterJobId>\
<WSVelmora:xmlfile>&lt;ExportJobType/&gt;</WSVelmora:xmlfile>\
<WSVelmora:soundfileextension>wav</WSVelmora:soundfileextension>" >"$work/call.xml"
  file_id=$(soap FileUploadLumetraInit "$work/call.xml")
  envelope FileUploadSendChunk "$token" "<WSVelmora:fileID>$file_id</WSVelmora:fileID><WSVelmora:Data>@DATA@" |
    sed 's|@DATA@.*||' >"$work/chunk.xml"
  envelope FileUploadSendChunk "$token" "@DATA@</WSVelmora:Data>" | sed -n 's|.*@DATA@||p' >"$work/tail.xml"
  cat "$work/data.b64" "$work/tail.xml" >>"$work/chunk.xml"
  start=$(now)
  accepted=$(soap FileUploadSendChunk "$work/chunk.xml")
  reference+=("$(since "$start")")
  [[ $accepted == true ]] || { echo "curl : le morceau unique est refusé ($(head -c 300 "$work/answer.xml"))" >&2; exit 1; }
  envelope FileUploadLumetraFinished "$token" "<WSVelmora:masterJobId>reference-$run</WSVelmora:masterJobId>\
<WSVelmora:ClientHash>$hash</WSVelmora:ClientHash>" >"$work/call.xml"
  [[ $(soap FileUploadLumetraFinished "$work/call.xml") == true ]]
  cmp "$recording" "$store/jobs/reference-$run.wav"
done
rm -f "$work/data.b64" "$work/chunk.xml"

# --- (a) the client's work per chunk
"$build/bin/SoapChunkBenchmark" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_format=json --benchmark_out="$work/chunk.json" --benchmark_out_format=json >/dev/null

# --- (b) the simulator's own time per chunk (its WSGI application called in-process, no TLS or
# HTTP), and (c) loopback round trips to the running simulator: an empty call and a chunk, on one
# kept-alive connection and on a new connection each time.
$py - "$root/tools/transcription-soap-server.py" "$recording" "$work/inproc" "$port" "$ca" "$login" "$password" \
  >"$work/peer.txt" <<'PY'
import base64, http.client, importlib.util, io, re, ssl, statistics, sys, time
simulator_path, recording, directory, port, ca, login, password = sys.argv[1:8]
spec = importlib.util.spec_from_file_location("simulator", simulator_path)
simulator = importlib.util.module_from_spec(spec)
spec.loader.exec_module(simulator)
COUNT = 300

def envelope(operation, body="", token=None, secret=None):
    header = "<W:Username>%s</W:Username>" % login
    header += "<W:Password>%s</W:Password>" % secret if secret else ""
    header += "<W:AuthenticatedToken>%s</W:AuthenticatedToken>" % token if token else ""
    return ('<?xml version="1.0"?><soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/" '
            'xmlns:W="https://ws.velmora.fr/"><soap:Header><W:SecurityHeader>%s</W:SecurityHeader></soap:Header>'
            '<soap:Body><W:%s>%s</W:%s></soap:Body></soap:Envelope>' % (header, operation, body, operation)).encode()

def chunk_envelope(token, file_id, number, data):
    return envelope("FileUploadSendChunk", "<W:fileID>%s</W:fileID><W:ChunkID>%d</W:ChunkID><W:Data>%s</W:Data>"
                    % (file_id, number, base64.b64encode(data).decode()), token)

def init_body(job):
    return ("<W:masterJobId>%s</W:masterJobId><W:xmlfile>&lt;ExportJobType/&gt;</W:xmlfile>"
            "<W:soundfileextension>wav</W:soundfileextension>" % job)

def result(answer, operation):
    match = re.search(rb"<(?:\w+:)?%sResult>([^<]*)<" % operation.encode(), answer)
    assert match, answer[:300]
    return match.group(1).decode()

chunks = []
with open(recording, "rb") as source:
    size = source.seek(0, 2)
    for number in range(COUNT):  # round the file again if it is short
        source.seek(number * 65537 % max(size - 65537, 1))
        chunks.append(source.read(65537))

# (b) in-process
state = simulator.ServiceState(directory, login, password, None, {}, False)
state.tokens.add("t")
application = simulator.make_application(state)
file_id = state.start_upload("job", job="inproc", extension="wav", xml="<ExportJobType/>")
times = []
for number, data in enumerate(chunks):
    body = chunk_envelope("t", file_id, number, data)
    environ = {"REQUEST_METHOD": "POST", "PATH_INFO": "/DataTransfertService.asmx", "QUERY_STRING": "",
               "CONTENT_LENGTH": str(len(body)), "CONTENT_TYPE": "text/xml; charset=utf-8",
               "SERVER_NAME": "127.0.0.1", "SERVER_PORT": "443", "SERVER_PROTOCOL": "HTTP/1.1",
               "wsgi.version": (1, 0), "wsgi.url_scheme": "https", "wsgi.input": io.BytesIO(body),
               "wsgi.errors": sys.stderr, "wsgi.multithread": True, "wsgi.multiprocess": False,
               "wsgi.run_once": False}
    start = time.perf_counter()
    answer = b"".join(application(environ, lambda status, headers, exc_info=None: None))
    times.append(time.perf_counter() - start)
    assert result(answer, "FileUploadSendChunk") == "true"
print("server_chunk_ms %.3f" % (statistics.median(times) * 1000))

# (c) over the network
context = ssl.create_default_context(cafile=ca)

def post(connection, operation, body):
    connection.request("POST", "/DataTransfertService.asmx", body,
                       {"Content-Type": "text/xml; charset=utf-8", "SOAPAction": "https://ws.velmora.fr/" + operation})
    return connection.getresponse().read()

def connect():
    return http.client.HTTPSConnection("127.0.0.1", int(port), context=context)

def median_ms(new_connections, operation, bodies):
    times = []
    connection = connect()
    for body in bodies:
        if new_connections:
            connection.close()
            connection = connect()
        start = time.perf_counter()
        answer = post(connection, operation, body)
        times.append(time.perf_counter() - start)
        assert operation != "FileUploadSendChunk" or result(answer, operation) == "true", answer[:300]
    connection.close()
    return statistics.median(times) * 1000

connection = connect()
token = result(post(connection, "Authenticate", envelope("Authenticate", secret=password)), "Authenticate")
files = [result(post(connection, "FileUploadLumetraInit", envelope("FileUploadLumetraInit", init_body("sonde-%d" % n),
                                                                     token)), "FileUploadLumetraInit")
         for n in range(2)]
connection.close()
alive = [envelope("AreYouAlive")] * COUNT
print("call_kept_ms %.3f" % median_ms(False, "AreYouAlive", alive))
print("call_new_ms %.3f" % median_ms(True, "AreYouAlive", alive))
for name, new_connections, file_id in (("chunk_kept_ms", False, files[0]), ("chunk_new_ms", True, files[1])):
    bodies = [chunk_envelope(token, file_id, number, data) for number, data in enumerate(chunks)]
    print("%s %.3f" % (name, median_ms(new_connections, "FileUploadSendChunk", bodies)))
PY

# (c) the same empty call from curl (libcurl and OpenSSL, as the client): 300 calls in one process,
# on one connection, then with a new connection each (the server closes after each answer).
envelope AreYouAlive "" "" >"$work/call.xml"
for mode in kept new; do
  args=()
  for _ in $(seq 300); do
    ((${#args[@]})) && args+=(--next)
    args+=(-sS -o /dev/null --cacert "$ca" -H 'Content-Type: text/xml; charset=utf-8' --data-binary @"$work/call.xml")
    [[ $mode == new ]] && args+=(-H 'Connection: close')
    args+=("$url")
  done
  start=$(now)
  curl "${args[@]}"
  echo "curl_call_${mode}_ms $(since "$start" | awk '{print $1 / 300 * 1000}')" >>"$work/peer.txt"
done

# --- the table
$py - "$work/chunk.json" "$work/peer.txt" "$size" "$minutes" "${ours[*]}" "${reference[*]}" \
  "${chunk_calls[*]}" "${cpu[*]}" "$traced_calls" "$traced_connections" <<'PY'
import json, statistics, sys
chunk_json, peer_txt, size, minutes = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
ours, reference = [list(map(float, a.split())) for a in sys.argv[5:7]]
calls = list(map(int, sys.argv[7].split()))
cpu = list(map(float, sys.argv[8].split()))
traced_calls, traced_connections = int(sys.argv[9]), int(sys.argv[10])
peer = {key: float(value) for key, value in (line.split() for line in open(peer_txt))}
bench = {b["run_name"]: b["cpu_time"] for b in json.load(open(chunk_json))["benchmarks"]
         if b.get("aggregate_name") == "median"}
median = statistics.median
t_ours, t_ref, n = median(ours), median(reference), median(calls)
per_call = traced_connections / traced_calls if traced_calls else 0
# Round trips as the client makes them: a new connection per call when it keeps none.
latency = peer["curl_call_new_ms"] if per_call > 0.5 else peer["curl_call_kept_ms"]
a_ms = bench["BM_ChunkCallPreparation"] / 1000
explained = n * (a_ms + peer["server_chunk_ms"] + latency) / 1000
rows = [
    ("orvaneh-cli send (médiane de %d)" % len(ours), "%.2f s" % t_ours, ", ".join("%.2f" % t for t in ours)),
    ("curl, un seul appel (médiane de %d)" % len(reference), "%.2f s" % t_ref, ", ".join("%.2f" % t for t in reference)),
    ("rapport orvaneh / curl", "%.1f" % (t_ours / t_ref), ""),
    ("morceaux par seconde", "%.0f" % (n / t_ours), "%d appels FileUploadSendChunk" % n),
    ("connexions par appel", "%.2f" % per_call,
     "%d connexions pour %d appels (strace, dictée de 2 min)" % (traced_connections, traced_calls)),
    ("(a) Base64 d'un morceau", "%.0f µs" % (bench["BM_ChunkBase64"]), "SoapValue::binary().encoded()"),
    ("(a) enveloppe d'un morceau", "%.0f µs" % (bench["BM_ChunkEnvelope"]), "Operation::envelope()"),
    ("(a) préparation d'un appel", "%.0f µs" % (bench["BM_ChunkCallPreparation"]),
     "× %d = %.2f s" % (n, n * a_ms / 1000)),
    ("(b) simulateur, par morceau", "%.1f ms" % peer["server_chunk_ms"],
     "× %d = %.2f s (dans le processus, sans TLS ni HTTP)" % (n, n * peer["server_chunk_ms"] / 1000)),
    ("(c) appel vide par Python, connexion gardée", "%.1f ms" % peer["call_kept_ms"], "AreYouAlive"),
    ("(c) appel vide par Python, nouvelle connexion", "%.1f ms" % peer["call_new_ms"], "TCP + TLS à chaque appel"),
    ("(c) appel vide par curl, connexion gardée", "%.1f ms" % peer["curl_call_kept_ms"], "300 appels, un processus"),
    ("(c) appel vide par curl, nouvelle connexion", "%.1f ms" % peer["curl_call_new_ms"], "Connection: close"),
    ("(c) allers-retours", "%.2f s" % (n * latency / 1000), "%d appels × %.1f ms (curl)" % (n, latency)),
    ("morceau par Python, connexion gardée", "%.1f ms" % peer["chunk_kept_ms"],
     "× %d = %.2f s" % (n, n * peer["chunk_kept_ms"] / 1000)),
    ("morceau par Python, nouvelle connexion", "%.1f ms" % peer["chunk_new_ms"],
     "× %d = %.2f s" % (n, n * peer["chunk_new_ms"] / 1000)),
    ("orvaneh-cli, par morceau", "%.1f ms" % (t_ours / n * 1000), "tout compris"),
    ("processeur d'orvaneh-cli, par morceau", "%.1f ms" % (median(cpu) / n * 1000),
     "user + sys : %.2f s (médiane)" % median(cpu)),
    ("(a) + (b) + (c)", "%.2f s" % explained, "%.0f %% du temps d'orvaneh-cli send" % (100 * explained / t_ours)),
]
print("Entrée : une dictée de %d minutes, %s octets (WAV 16 kHz, 16 bits, mono)" % (minutes, format(size, ",").replace(",", " ")))
width = max(len(r[0]) for r in rows)
for name, value, note in rows:
    print("%-*s  %10s  %s" % (width, name, value, note))
PY
