#!/usr/bin/env bash
# cpu_share_monitor.sh [SECONDS] [RUNS] [PERIOD]: the share of one processor
# core zel-monitor uses while a simulated Tarvo-5 sends it a reading every
# PERIOD seconds unasked (default 0.01: 100 readings a second; zel-monitor
# itself polls no faster than every 0.1 s, here every second) and it
# publishes each reading with QoS 1 to a private mosquitto on 127.0.0.1. Each run collects SECONDS (default 30);
# prints every run and the median of RUNS (default 3), and checks that every
# reading filed also reached a subscriber.
# With INSTRUCTIONS=1 one more run counts zel-monitor's instructions per
# reading under callgrind (counters zeroed when the measured SECONDS begin
# and dumped when they end, so the start-up is not counted); it runs slower there, which
# changes nothing in what it does per reading.
# Not part of CI. Needs a Release build in build-rel/ (or ZEL_BUILD=DIR),
# mosquitto and mosquitto_sub (and valgrind for INSTRUCTIONS=1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
runs=${2:-3}
period=${3:-0.01}
build=${ZEL_BUILD:-$root/build-rel}
[ -x "$build/zel-monitor" ] || build=$root/build
work=$(mktemp -d /tmp/zel-cpu-monitor.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
. "$root/scripts/lib/cpu_time.sh"
. "$root/scripts/lib/private_broker.sh"
start_private_broker "$work"

# one_run [callgrind]: prints "<percent of a core> <readings per second>
# <filed> <delivered> <instructions per reading, or 0>"
one_run() {
  local counting=${1:-}
  rm -rf "$work/run" && mkdir -p "$work/run/program" "$work/run/config/zel"
  export ZEL_HOME="$work/run/program" XDG_CONFIG_HOME="$work/run/config"
  local link="$work/run/tty"
  printf '[Communication]\r\nPort=6\r\nBaudRate=9600\r\n[Devices]\r\nCOM6=%s\r\n' "$link" >"$ZEL_HOME/dax.ini"
  printf '[COMMON]\r\nInsType=1\r\nMinInt=0\r\nSecInt=1\r\nThreshold1=100\r\nThreshold2=1000\r\n[MQTT]\r\nHost=127.0.0.1\r\nPort=%s\r\nStation=bench\r\n' \
    "$port" >"$XDG_CONFIG_HOME/zel/Zel.ini"
  stdbuf -oL mosquitto_sub -h 127.0.0.1 -p "$port" -q 1 -t zel/bench/reading >"$work/run/sub.txt" &
  local sub=$!
  pids+=("$sub")
  "$build/zel-sim" tarvo5 --link "$link" --push-every "$period" >/dev/null 2>&1 &
  local sim=$!
  pids+=("$sim")
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  local launch=()
  [ -n "$counting" ] && launch=(valgrind -q --tool=callgrind
                                --callgrind-out-file="$work/run/callgrind.out")
  "${launch[@]}" "$build/zel-monitor" >"$work/run/events" 2>&1 &
  local mon=$!
  pids+=("$mon")
  sleep 3
  # Under callgrind the start takes far longer: collection is on once
  # readings are being filed.
  for _ in $(seq 120); do
    [ -z "$counting" ] && break
    [ -e "$ZEL_HOME/ZelTemp.csv" ] && [ "$(wc -l <"$ZEL_HOME/ZelTemp.csv")" -gt 50 ] && break
    sleep 1
  done
  local c0 c1 t0 t1 l0 l1
  [ -n "$counting" ] && callgrind_control -z "$mon" >/dev/null 2>&1
  c0=$(cpu_ms "$mon"); l0=$(wc -l <"$ZEL_HOME/ZelTemp.csv"); t0=$(date +%s.%N)
  sleep "$seconds"
  c1=$(cpu_ms "$mon"); l1=$(wc -l <"$ZEL_HOME/ZelTemp.csv"); t1=$(date +%s.%N)
  [ -n "$counting" ] && callgrind_control -d "$mon" >/dev/null 2>&1
  kill -TERM "$mon"; wait "$mon" 2>/dev/null || true
  sleep 1
  kill "$sub" "$sim" 2>/dev/null || true
  wait "$sub" "$sim" 2>/dev/null || true
  local filed delivered
  filed=$(($(wc -l <"$ZEL_HOME/ZelTemp.csv") - 8))
  delivered=$(wc -l <"$work/run/sub.txt")
  local per_reading=0
  if [ -n "$counting" ]; then
    local total
    # The first numbered dump is the window's; the one at exit is not.
    local window
    window=$(ls "$work"/run/callgrind.out.* | sort -V | head -1)
    total=$(awk '/^summary:/ {print $2; exit}' "$window")
    per_reading=$((total / (l1 - l0)))
  fi
  echo "$(share_percent "$c0" "$c1" "$t0" "$t1")" \
    "$(echo "scale=1; ($l1 - $l0) / ($t1 - $t0)" | bc)" "$filed" "$delivered" "$per_reading"
}

shares=()
for r in $(seq "$runs"); do
  read -r cpu rate filed delivered _ < <(one_run)
  echo "run $r: ${cpu} % of a core at ${rate} readings/s; filed $filed, delivered $delivered"
  shares+=("$cpu")
done
echo "median: $(printf '%s\n' "${shares[@]}" | median) % of one core"
if [ "${INSTRUCTIONS:-}" = 1 ]; then
  read -r _ rate filed delivered per_reading < <(one_run callgrind)
  echo "under callgrind: $per_reading instructions per reading at ${rate} readings/s;" \
    "filed $filed, delivered $delivered"
fi
