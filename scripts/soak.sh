#!/usr/bin/env bash
# soak.sh [READINGS] [FAMILY] [SECONDS_INTERVAL]: runs zel-monitor against
# zel-sim until READINGS readings were filed (default 864000, a day at
# 100 ms), taking the simulator's pseudo-terminal away and back twice on the
# way. Every 5 s it samples resident memory, file size and processor time.
# Not part of CI: it runs for a long time. Needs a build in build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-864000}
family=${2:-tarvo5}
interval=${3:-0.001}
case "$family" in
  portables) instype=0 ;; tarvo5) instype=1 ;; amp) instype=2 ;; orvan) instype=3 ;;
  *) echo "family must be portables, tarvo5, amp or orvan"; exit 2 ;;
esac

work=$(mktemp -d /tmp/zel-soak.XXXXXX)
export ZEL_HOME="$work/program" XDG_CONFIG_HOME="$work/config"
mkdir -p "$ZEL_HOME" "$XDG_CONFIG_HOME/zel"
link="$work/tty"
printf '[Communication]\r\nPort=6\r\nBaudRate=115200\r\n[Devices]\r\nCOM6=%s\r\n' "$link" >"$ZEL_HOME/dax.ini"
printf '[COMMON]\r\nInsType=%s\r\nMinInt=0\r\nSecInt=%s\r\nThreshold1=100\r\nThreshold2=1000\r\nLostContactInterval=30\r\n' \
  "$instype" "$interval" >"$XDG_CONFIG_HOME/zel/Zel.ini"

sent_total=0
sim=""
start_sim() {
  "$root/build/zel-sim" "$family" --link "$link" --steady >/dev/null 2>"$work/sim.err" &
  sim=$!
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
}
stop_sim() {
  kill "$sim"; wait "$sim" || true
  local n
  n=$(sed -n 's/^zel-sim: \([0-9]*\) readings sent$/\1/p' "$work/sim.err" | tail -n 1)
  sent_total=$((sent_total + ${n:-0}))
}

start_sim
"$root/build/zel-monitor" --reopen-seconds 1 >"$work/events.log" &
mon=$!
ticks() { awk '{print $14 + $15}' "/proc/$mon/stat"; }
rss() { awk '/VmRSS/ {print $2}' "/proc/$mon/status"; }
filed() { echo $(( $(wc -l <"$ZEL_HOME/ZelTemp.csv") - 8 )); }
hz=$(getconf CLK_TCK)

sleep 2
t0=$(date +%s.%N); c0=$(ticks); rss0=$(rss)
echo "seconds readings rss_kib file_bytes"
flaps=0
while :; do
  sleep 5
  n=$(filed)
  printf '%7.0f %8d %7d %10d\n' "$(echo "$(date +%s.%N) - $t0" | bc)" "$n" "$(rss)" \
    "$(stat -c %s "$ZEL_HOME/ZelTemp.csv")"
  # The pseudo-terminal disappears and comes back at a third and two thirds.
  if [ "$flaps" -lt 2 ] && [ "$n" -ge $(( target * (flaps + 1) / 3 )) ]; then
    stop_sim; sleep 3; start_sim; flaps=$((flaps + 1))
  fi
  [ "$n" -ge "$target" ] && break
done
t1=$(date +%s.%N); c1=$(ticks); rss1=$(rss)
kill -TERM "$mon"; wait "$mon" || true
stop_sim
n=$(filed)
events=$(grep -c ' reading ' "$work/events.log" || true)
secs=$(echo "$t1 - $t0" | bc)
echo "readings sent by the simulator: $sent_total"
echo "readings filed in ZelTemp.csv:  $n"
echo "reading events reported:        $events"
echo "port lost / back:               $(grep -c ' port-lost ' "$work/events.log" || true) / $(grep -c ' port-back ' "$work/events.log" || true)"
echo "resident memory start / end:    ${rss0} KiB / ${rss1} KiB"
echo "processor share:                $(echo "scale=2; 100 * ($c1 - $c0) / $hz / $secs" | bc) % of one core over ${secs%.*} s"
echo "rate:                           $(echo "scale=0; $n / $secs" | bc) readings/s"
echo "folder kept: $work"
