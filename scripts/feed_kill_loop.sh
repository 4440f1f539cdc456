#!/usr/bin/env bash
# feed_kill_loop.sh [CYCLES] [PERIOD]: zel-monitor collects from a simulated
# Tarvo-5 (a reading unasked every PERIOD seconds, default 0.01) and publishes
# to a private mosquitto on loopback; it is killed with SIGKILL at a random
# moment CYCLES times (default 300), then runs once more and stops cleanly.
# Prints the readings filed (complete lines of ZelTemp.csv), the readings
# published (distinct run and seq), seq numbers given to two readings, gaps
# in seq, readings published that differ from the file's line of their
# place, and how many came back from the working file after a kill.
# Not part of CI. Needs a build in build/, mosquitto, mosquitto_sub, python3.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cycles=${1:-300}
period=${2:-0.01}
work=$(mktemp -d /tmp/zel-kill.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
. "$root/scripts/lib/private_broker.sh"
start_private_broker "$work" "max_queued_messages 1000000"

export ZEL_HOME="$work/program" XDG_CONFIG_HOME="$work/config"
mkdir -p "$ZEL_HOME" "$XDG_CONFIG_HOME/zel"
link="$work/tty"
printf '[Communication]\r\nPort=6\r\nBaudRate=9600\r\n[Devices]\r\nCOM6=%s\r\n' "$link" >"$ZEL_HOME/dax.ini"
printf '[COMMON]\r\nInsType=1\r\nMinInt=0\r\nSecInt=0.1\r\nThreshold1=5\r\nThreshold2=50\r\n[MQTT]\r\nHost=127.0.0.1\r\nPort=%s\r\nStation=kill\r\n' \
  "$port" >"$XDG_CONFIG_HOME/zel/Zel.ini"

# A lasting session (QoS 1, clean session off) with its own id.
stdbuf -oL mosquitto_sub -h 127.0.0.1 -p "$port" -q 1 -c -i zel-kill-loop -t zel/kill/reading \
  >"$work/sub.txt" &
pids+=($!)
"$root/build/zel-sim" tarvo5 --link "$link" --push-every "$period" >/dev/null 2>&1 &
sim=$!
pids+=($sim)
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done

for i in $(seq "$cycles"); do
  "$root/build/zel-monitor" >>"$work/monitor.log" 2>&1 &
  monitor=$!
  # Somewhere from its start-up to a hundred readings in.
  ms=$((RANDOM % 1400 + 100))
  sleep "$((ms / 1000)).$(printf '%03d' $((ms % 1000)))"
  kill -9 "$monitor" 2>/dev/null || true
  wait "$monitor" 2>/dev/null || true
  if [ $((i % 50)) -eq 0 ]; then echo "cycle $i" >&2; fi
done
"$root/build/zel-monitor" >>"$work/monitor.log" 2>&1 &
monitor=$!
sleep 2
kill "$sim"
sleep 1
kill -TERM "$monitor"
wait "$monitor" || echo "zel-monitor exit code $?" >&2
sleep 2

python3 - "$work/sub.txt" "$ZEL_HOME/ZelTemp.csv" "$cycles" <<'EOF'
import json, sys
sub, csv, cycles = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(csv, 'rb').read().split(b'\r\n')
lines = [l.decode() for l in data[8:-1] if l.strip()]  # the last piece is torn or empty
by_seq, reused, pairs = {}, 0, set()
for raw in open(sub):
    m = json.loads(raw)
    key = (m.get("run"), m["seq"])
    if key in pairs:
        continue
    pairs.add(key)
    if m["seq"] in by_seq:
        reused += 1
    else:
        by_seq[m["seq"]] = m
seqs = sorted(by_seq)
gaps = sum(1 for a, b in zip([0] + seqs, seqs) if b != a + 1)
differ = 0
for i, s in enumerate(seqs):
    fields = lines[i].split(',') if i < len(lines) else None
    # The file writes the value as the instrument shows it; the message
    # carries the number it came as.
    if not fields or abs(float(fields[2]) - by_seq[s]["value"]) > 1e-6 * abs(float(fields[2])) \
            or fields[3].strip() != by_seq[s]["units"]:
        if differ < 3:
            print("differs:", s, lines[i] if fields else None, json.dumps(by_seq[s]), file=sys.stderr)
        differ += 1
recovered = sum(1 for m in by_seq.values() if m.get("recovered"))
print(f"cycles: {cycles}")
print(f"filed: {len(lines)}")
print(f"published-unique: {len(pairs)}")
print(f"seq-reused: {reused}")
print(f"seq-gaps: {gaps}")
print(f"published-differing-from-file: {differ}")
print(f"recovered-from-working-file: {recovered}")
ok = len(lines) == len(pairs) and reused == 0 and gaps == 0 and differ == 0
print("result:", "filed = published unique, no seq reused" if ok else "MISMATCH")
sys.exit(0 if ok else 1)
EOF
