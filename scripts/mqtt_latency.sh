#!/usr/bin/env bash
# mqtt_latency.sh [SECONDS] [PERIOD]: a simulated Tarvo-5 sending a reading
# unasked every PERIOD seconds (default 0.01, for 60 s) to zel-monitor, which
# polls no faster than its shortest interval and publishes to a private
# mosquitto on loopback; reports readings per second, the median and 99th
# percentile delay from a reading's arrival in zel-monitor ("received") to a
# subscriber, and zel-monitor's share of one processor core.
# Not part of CI. Needs a build in build/, mosquitto, mosquitto_sub, python3.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
interval=${2:-0.01}
work=$(mktemp -d /tmp/zel-mqtt.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
. "$root/scripts/lib/private_broker.sh"
start_private_broker "$work"

export ZEL_HOME="$work/program" XDG_CONFIG_HOME="$work/config"
mkdir -p "$ZEL_HOME" "$XDG_CONFIG_HOME/zel"
link="$work/tty"
printf '[Communication]\r\nPort=6\r\nBaudRate=9600\r\n[Devices]\r\nCOM6=%s\r\n' "$link" >"$ZEL_HOME/dax.ini"
printf '[COMMON]\r\nInsType=1\r\nMinInt=0\r\nSecInt=1\r\nThreshold1=100\r\nThreshold2=1000\r\n[MQTT]\r\nHost=127.0.0.1\r\nPort=%s\r\nStation=bench\r\n' \
  "$port" >"$XDG_CONFIG_HOME/zel/Zel.ini"

stdbuf -oL mosquitto_sub -h 127.0.0.1 -p "$port" -q 1 -t zel/bench/reading -F '%U %p' >"$work/sub.txt" &
pids+=($!)
"$root/build/zel-sim" tarvo5 --link "$link" --push-every "$interval" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
"$root/build/zel-monitor" >"$work/monitor.log" 2>&1 &
monitor=$!
pids+=($monitor)
sleep 3
ticks() { awk '{print $14 + $15}' "/proc/$monitor/stat"; }
c0=$(ticks); t0=$(date +%s.%N)
sleep "$seconds"
c1=$(ticks); t1=$(date +%s.%N)
kill -TERM "$monitor"
wait "$monitor" || true
sleep 0.5
hz=$(getconf CLK_TCK)
python3 - "$work/sub.txt" "$t0" "$t1" "$c0" "$c1" "$hz" <<'EOF'
import json, sys
from datetime import datetime
path, t0, t1, c0, c1, hz = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5]), int(sys.argv[6])
delays, seqs = [], []
for line in open(path):
    stamp, _, body = line.partition(' ')
    msg = json.loads(body)
    received = datetime.fromisoformat(msg["received"]).timestamp()
    if t0 <= received <= t1:
        delays.append((float(stamp) - received) * 1000)
    seqs.append(msg["seq"])
delays.sort()
n = len(delays)
secs = t1 - t0
print(f"readings: {n} in {secs:.0f} s ({n / secs:.1f}/s); all {len(seqs)} arrived in order, once: {seqs == list(range(1, len(seqs) + 1))}")
if n:
    print(f"delay arrival -> subscriber: median {delays[n // 2]:.2f} ms, 99th percentile {delays[min(n - 1, int(n * 0.99))]:.2f} ms, max {delays[-1]:.2f} ms")
print(f"zel-monitor processor: {100 * (c1 - c0) / hz / secs:.1f} % of one core")
EOF
