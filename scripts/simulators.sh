# Sourced by the demo and the benchmarks: starts the office simulators of tools/ in the
# background. Needs $work (a directory for their output); stops them when the shell exits.
simulator_pids=()
stop_simulators() {
  for pid in "${simulator_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap stop_simulators EXIT

# start_simulator NAME SCRIPT ARGS...: starts tools/SCRIPT and waits for its "PORT n" line; the
# lines it printed are kept in $work/NAME.out, its log in $work/NAME.log.
start_simulator() {
  local name=$1 script=$2
  shift 2
  local fifo="$work/$name.fifo" line fd
  rm -f "$fifo"
  mkfifo "$fifo"
  # Debian's interpreter: the simulators need python3-pyftpdlib.
  /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/../tools/$script" "$@" --quiet >"$fifo" 2>"$work/$name.log" &
  simulator_pids+=($!)
  exec {fd}<"$fifo"
  : >"$work/$name.out"
  while IFS= read -r -t 30 line <&"$fd"; do
    echo "$line" >>"$work/$name.out"
    [[ $line == PORT* ]] && break
  done
  exec {fd}<&-
  if ! grep -q '^PORT ' "$work/$name.out"; then
    echo "Le simulateur $name n'a pas démarré (voir $work/$name.log)." >&2
    return 1
  fi
}

# simulator_value NAME KEY: a value the simulator printed ("PORT", "CA", "ROOT", "STORE").
simulator_value() { sed -n "s/^$2 //p" "$work/$1.out"; }
