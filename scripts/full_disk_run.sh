#!/usr/bin/env bash
# full_disk_run.sh [SECONDS] [INTERVAL]: runs zel-monitor against zel-sim and a
# loopback mosquitto with the program folder on a 64 KiB tmpfs, fills that
# disk a third of the way in and frees it at two thirds, then stops
# everything and counts: readings sent by the simulator, readings in
# ZelTemp.csv (unique lines, and lines filed more than once) and readings
# published (unique (run, seq) pairs seen by a subscriber).
# Needs root (the tmpfs lives in a private mount namespace) and a build in
# build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${ZEL_FULL_DISK_NS:-}" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "full_disk_run.sh: needs root for its tmpfs"; exit 2; }
  exec unshare -m --propagation private env ZEL_FULL_DISK_NS=1 "$0" "$@"
fi
seconds=${1:-30}
interval=${2:-0.1}

work=$(mktemp -d /tmp/zel-full-disk.XXXXXX)
prog="$work/program"
mkdir -p "$prog" "$work/config/zel"
mount -t tmpfs -o size=64k,mode=0777 tmpfs "$prog"
export ZEL_HOME="$prog" XDG_CONFIG_HOME="$work/config"
link="$work/tty"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf '[Communication]\r\nPort=6\r\nBaudRate=115200\r\n[Devices]\r\nCOM6=%s\r\n' "$link" >"$prog/dax.ini"
printf '[COMMON]\r\nInsType=1\r\nMinInt=0\r\nSecInt=%s\r\nLostContactInterval=30\r\n[MQTT]\r\nHost=127.0.0.1\r\nPort=%s\r\nStation=fulldisk\r\n' \
  "$interval" "$port" >"$XDG_CONFIG_HOME/zel/Zel.ini"
printf 'listener %s 127.0.0.1\nallow_anonymous true\nmax_queued_messages 1000000\n' "$port" >"$work/mosquitto.conf"

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

mosquitto -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
mosquitto_sub -h 127.0.0.1 -p "$port" -t zel/fulldisk/reading -q 1 >"$work/published.txt" &
sub=$!
pids+=($sub)
"$root/build/zel-sim" tarvo5 --link "$link" >/dev/null 2>"$work/sim.err" &
sim=$!
pids+=($sim)
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
"$root/build/zel-monitor" --reopen-seconds 1 >"$work/events.log" 2>&1 &
mon=$!
pids+=($mon)

sleep "$(echo "$seconds / 3" | bc -l)"
# Every free byte of the little disk goes to a filler file.
dd if=/dev/zero of="$prog/.filler" bs=4k status=none 2>/dev/null || true
dd if=/dev/zero of="$prog/.filler" bs=1 oflag=append conv=notrunc status=none 2>/dev/null || true
echo "disk filled at $(date +%T): $(df -k --output=avail "$prog" | tail -n 1) KiB free"
sleep "$(echo "$seconds / 3" | bc -l)"
rm -f "$prog/.filler"
echo "disk freed at $(date +%T)"
sleep "$(echo "$seconds / 3" | bc -l)"

kill -TERM "$mon"; wait "$mon" || true
kill -TERM "$sim"; wait "$sim" || true
sleep 1
kill "$sub" 2>/dev/null || true; wait "$sub" 2>/dev/null || true

sent=$(sed -n 's/^zel-sim: \([0-9]*\) readings sent$/\1/p' "$work/sim.err" | tail -n 1)
tail -n +9 "$prog/ZelTemp.csv" | tr -d '\r' >"$work/filed.txt"
lines=$(wc -l <"$work/filed.txt")
unique=$(sort -u "$work/filed.txt" | wc -l)
published=$(wc -l <"$work/published.txt")
unique_pub=$(python3 -c '
import json, sys
seen = set()
for line in open(sys.argv[1]):
    o = json.loads(line)
    seen.add((o.get("run"), o["seq"]))
print(len(seen))' "$work/published.txt")
echo "readings sent by the simulator:   ${sent:-?}"
echo "readings filed once in ZelTemp:   $unique (lines $lines, duplicates $((lines - unique)))"
echo "readings published (unique):      $unique_pub (messages $published)"
echo "monitor: $(grep ' stop ' "$work/events.log" | cut -d' ' -f2-)"
grep -E ' (error|mqtt) ' "$work/events.log" | cut -d' ' -f2- | sort | uniq -c | head -n 10
cp "$prog/ZelTemp.csv" "$work/ZelTemp.csv"; umount "$prog"
echo "folder kept: $work"
