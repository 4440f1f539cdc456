#!/usr/bin/env bash
# soak.sh [SECONDS] [INTERVAL] [FAMILY]: two zel-monitor instances on one
# host (two program folders, the same station name, as two instruments of one
# site would be set up) against two zel-sim instruments and a loopback
# mosquitto. During the run the broker is restarted three times and each
# instrument's pseudo-terminal goes away and comes back twice. At the end
# every instance is stopped with SIGTERM and the counts are compared per
# instance: readings sent by its simulator, readings filed in its ZelTemp.csv,
# readings published (unique (run, seq) seen by a subscriber with a lasting
# session). Also resident memory and processor share, each in the first and
# the last quarter of the run (flat when they agree: memory within 2 MB), and
# the station's record: readings archived against readings filed, and bytes
# of ZelArchive.sqlite per reading. An hour at 10 readings/s:
# `scripts/soak.sh 3600 0.1`. Not part of CI. Needs a build in build-rel/
# (or ZEL_BUILD=DIR, else build/) and
# mosquitto.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
interval=${2:-0.05}
family=${3:-tarvo5}
build=${ZEL_BUILD:-$root/build-rel}
[ -x "$build/zel-monitor" ] || build=$root/build
case "$family" in
  portables) instype=0 ;; tarvo5) instype=1 ;; amp) instype=2 ;; orvan) instype=3 ;;
  *) echo "family must be portables, tarvo5, amp or orvan"; exit 2 ;;
esac

work=$(mktemp -d /tmp/zel-soak.XXXXXX)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$work/broker"
printf 'listener %s 127.0.0.1\nuser root\nallow_anonymous true\npersistence true\npersistence_location %s/\nmax_queued_messages 1000000\n' \
  "$port" "$work/broker" >"$work/mosquitto.conf"

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

broker=""
start_broker() {
  mosquitto -c "$work/mosquitto.conf" >>"$work/broker.log" 2>&1 &
  broker=$!
  pids+=("$broker")
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
}
start_broker
stdbuf -oL mosquitto_sub -h 127.0.0.1 -p "$port" -t 'zel/+/reading' -q 1 -c -i zel-soak-sub \
  >"$work/published.txt" 2>/dev/null &
sub=$!
pids+=("$sub")

declare -A sim mon
sim_args=()
[ "$family" = amp ] && sim_args=(--interval 1)
names=(north south)
start_sim() { # name
  local n=$1
  "$build/zel-sim" "$family" --link "$work/$n/tty" "${sim_args[@]}" \
    >/dev/null 2>>"$work/$n/sim.err" &
  sim[$n]=$!
  pids+=("${sim[$n]}")
  for _ in $(seq 50); do [ -e "$work/$n/tty" ] && break; sleep 0.1; done
}
stop_sim() { # name
  local n=$1
  kill "${sim[$n]}"; wait "${sim[$n]}" || true
}
for n in "${names[@]}"; do
  mkdir -p "$work/$n/program" "$work/$n/config/zel"
  printf '[Communication]\r\nPort=6\r\nBaudRate=115200\r\n[Devices]\r\nCOM6=%s\r\n' "$work/$n/tty" \
    >"$work/$n/program/dax.ini"
  printf '[COMMON]\r\nInsType=%s\r\nMinInt=0\r\nSecInt=%s\r\nLostContactInterval=30\r\n[MQTT]\r\nHost=127.0.0.1\r\nPort=%s\r\nStation=soak\r\n' \
    "$instype" "$interval" "$port" >"$work/$n/config/zel/Zel.ini"
  : >"$work/$n/sim.err"
  start_sim "$n"
  ZEL_HOME="$work/$n/program" XDG_CONFIG_HOME="$work/$n/config" \
    "$build/zel-monitor" --reopen-seconds 1 >"$work/$n/events.log" 2>&1 &
  mon[$n]=$!
  pids+=("${mon[$n]}")
done
. "$root/scripts/lib/cpu_time.sh"
ticks() { cpu_ms "$1"; }
rss() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }
hz=1000 # cpu_ms counts milliseconds
t0=$(date +%s.%N)
declare -A c0 samples
for n in "${names[@]}"; do c0[$n]=$(ticks "${mon[$n]}"); samples[$n]="0 ${c0[$n]} $(rss "${mon[$n]}")"; done

# Twelve steps: the broker goes down at 2, 5 and 8 (for 3 s each); north's
# port goes at 3 and 9, south's at 4 and 10 (for 2 s each).
step=$(echo "$seconds / 12" | bc -l)
for i in $(seq 1 12); do
  sleep "$step"
  # Time, processor ticks and resident memory after each step: the first
  # three steps are the first quarter, the last three the last.
  for n in "${names[@]}"; do
    samples[$n]+=$'\n'"$(echo "$(date +%s.%N) - $t0" | bc) $(ticks "${mon[$n]}") $(rss "${mon[$n]}")"
  done
  case $i in
    2 | 5 | 8) kill -TERM "$broker"; wait "$broker" || true; sleep 3; start_broker
               echo "$(date +%T) broker restarted" ;;
    3 | 9) stop_sim north; sleep 2; start_sim north; echo "$(date +%T) north port lost and back" ;;
    4 | 10) stop_sim south; sleep 2; start_sim south; echo "$(date +%T) south port lost and back" ;;
  esac
done
t1=$(date +%s.%N)
secs=$(echo "$t1 - $t0" | bc)
declare -A c1 mem
for n in "${names[@]}"; do c1[$n]=$(ticks "${mon[$n]}"); mem[$n]=$(rss "${mon[$n]}"); done
for n in "${names[@]}"; do kill -TERM "${mon[$n]}"; done
for n in "${names[@]}"; do wait "${mon[$n]}" || true; stop_sim "$n"; done
sleep 2
kill "$sub"; wait "$sub" 2>/dev/null || true

echo "run: ${secs%.*} s, interval $interval s, family $family, broker restarts 3, port losses 2 each"
for n in "${names[@]}"; do
  sent=$(sed -n 's/^zel-sim: \([0-9]*\) readings sent$/\1/p' "$work/$n/sim.err" | paste -sd+ | bc)
  filed=$(( $(tail -n +9 "$work/$n/program/ZelTemp.csv" | wc -l) ))
  run=$(grep -o 'run [0-9a-f]\{16\}' "$work/$n/events.log" | head -n 1 | cut -d' ' -f2)
  published=$(python3 -c '
import json, sys
seen = set()
for line in open(sys.argv[1]):
    try:
        o = json.loads(line)
    except ValueError:
        continue
    if o.get("run") == sys.argv[2]:
        seen.add(o["seq"])
print(len(seen))' "$work/published.txt" "$run")
  echo "$n: sent $sent, filed $filed, published $published (run $run)," \
    "stop: $(grep ' stop ' "$work/$n/events.log" | cut -d' ' -f3-4)," \
    "broker connections lost $(grep -c 'lost the connection' "$work/$n/events.log" || true)," \
    "rss ${mem[$n]} KiB, cpu $(echo "scale=1; 100 * (${c1[$n]} - ${c0[$n]}) / $hz / $secs" | bc) %"
  # Quarters: rows 0-3 and 9-12 of the samples (time, ticks, KiB).
  echo "${samples[$n]}" | awk -v hz="$hz" -v n="$n" '
    { t[NR-1] = $1; c[NR-1] = $2; m[NR-1] = $3 }
    END {
      m1 = (m[1] + m[2] + m[3]) / 3; m4 = (m[10] + m[11] + m[12]) / 3
      p1 = 100 * (c[3] - c[0]) / hz / (t[3] - t[0]); p4 = 100 * (c[12] - c[9]) / hz / (t[12] - t[9])
      printf "%s: rss first quarter %.0f KiB, last quarter %.0f KiB (%+.0f KiB, %s); cpu first quarter %.2f %%, last quarter %.2f %%\n",
        n, m1, m4, m4 - m1, (m4 - m1 < 2048 && m1 - m4 < 2048) ? "flat" : "NOT flat", p1, p4
    }'
  archived=$("$build/zel-archive" stats --home "$work/$n/program" 2>/dev/null |
    sed -n 's/^readings: \([0-9]*\).*/\1/p')
  bytes=$(cat "$work/$n/program"/ZelArchive.sqlite* 2>/dev/null | wc -c)
  echo "$n: archived ${archived:-?} of $filed filed, archive $bytes bytes," \
    "$( [ "${archived:-0}" -gt 0 ] && echo "scale=1; $bytes / $archived" | bc || echo '?') bytes per reading"
done
echo "folder kept: $work"
