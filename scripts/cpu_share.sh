#!/usr/bin/env bash
# cpu_share.sh [FAMILY] [SECONDS] [INTERVAL] [RUNS]: zel with its window shown
# on a virtual display, polling a simulated instrument (default tarvo5 every
# 0.1 s), and the share of one processor core it used while collecting
# SECONDS (default 60); prints every run and the median of RUNS (default 3).
# GRAPH=1: the graph window is opened once readings come (Utility > Graph)
# and follows them on line.
# INSTRUCTIONS=1: one more run counts zel's instructions per reading under
# callgrind (counters zeroed when the measured SECONDS begin and dumped when
# they end); the machine's load changes the time, not the count.
# CALLGRIND_KEEP=FILE keeps that run's profile for callgrind_annotate.
# Set QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 to measure with screen-reader support.
# Not part of CI. Needs a build in build-rel/ (or ZEL_BUILD=DIR, else
# build/), xvfb-run and xdotool (and valgrind for INSTRUCTIONS=1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
family=${1:-tarvo5}
seconds=${2:-60}
interval=${3:-0.1}
runs=${4:-3}
build=${ZEL_BUILD:-$root/build-rel}
[ -x "$build/zel" ] || build=$root/build
case "$family" in
  portables) instype=0 ;; tarvo5) instype=1 ;; amp) instype=2 ;; orvan) instype=3 ;;
  *) echo "family must be portables, tarvo5, amp or orvan"; exit 2 ;;
esac
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s '-screen 0 1280x900x24' "$0" "$@"
fi
work=$(mktemp -d /tmp/zel-cpu.XXXXXX)
sim="" zel=""
trap 'kill $sim $zel 2>/dev/null || true; rm -rf "$work"' EXIT
. "$root/scripts/lib/cpu_time.sh"

# one_run [callgrind]: prints "<percent of a core> <readings> <seconds>
# <resident KiB> <instructions per reading, or 0>"
one_run() {
  local counting=${1:-}
  rm -rf "$work/run" && mkdir -p "$work/run/program" "$work/run/config/zel"
  export ZEL_HOME="$work/run/program" XDG_CONFIG_HOME="$work/run/config"
  local link="$work/run/tty"
  printf '[Communication]\r\nPort=6\r\nBaudRate=9600\r\n[Devices]\r\nCOM6=%s\r\n' "$link" >"$ZEL_HOME/dax.ini"
  printf '[COMMON]\r\nInsType=%s\r\nMinInt=0\r\nSecInt=%s\r\nThreshold1=100\r\nThreshold2=1000\r\n' \
    "$instype" "$interval" >"$XDG_CONFIG_HOME/zel/Zel.ini"
  "$build/zel-sim" "$family" --link "$link" >/dev/null 2>&1 &
  sim=$!
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  local launch=()
  [ -n "$counting" ] && launch=(valgrind -q --tool=callgrind
                                --callgrind-out-file="$work/run/callgrind.out")
  "${launch[@]}" "$build/zel" >/dev/null 2>&1 &
  zel=$!
  local win
  win=$(xdotool search --sync --onlyvisible --name '^Zel$' | head -n 1)
  sleep 2
  # Start (F5) unless the family starts by itself.
  [ "$family" != amp ] && xdotool windowfocus --sync "$win" key F5
  lines() { if [ -e "$ZEL_HOME/ZelTemp.csv" ]; then wc -l <"$ZEL_HOME/ZelTemp.csv"; else echo 0; fi; }
  for _ in $(seq 300); do [ "$(lines)" -gt 20 ] && break; sleep 0.5; done
  if [ "${GRAPH:-}" = 1 ]; then
    xdotool windowfocus --sync "$win" key alt+u g
    # Opened while collecting, the graph follows the readings on line.
    xdotool search --sync --name '^Graph' >/dev/null
  fi
  sleep 2
  ticks() { cpu_ms "$zel"; }
  local c0 c1 t0 t1 l0 l1
  [ -n "$counting" ] && callgrind_control -z "$zel" >/dev/null 2>&1
  c0=$(ticks); l0=$(lines); t0=$(date +%s.%N)
  sleep "$seconds"
  c1=$(ticks); l1=$(lines); t1=$(date +%s.%N)
  [ -n "$counting" ] && callgrind_control -d "$zel" >/dev/null 2>&1
  local rss
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$zel/status")
  local per_reading=0
  if [ -n "$counting" ]; then
    local dump total
    dump=$(ls "$work"/run/callgrind.out.* | sort -V | head -1)
    total=$(awk '/^summary:/ {print $2; exit}' "$dump")
    per_reading=$((total / (l1 - l0 > 0 ? l1 - l0 : 1)))
    [ -n "${CALLGRIND_KEEP:-}" ] && cp "$dump" "$CALLGRIND_KEEP"
  fi
  kill "$zel" "$sim" 2>/dev/null || true
  wait "$zel" "$sim" 2>/dev/null || true
  echo "$(share_percent "$c0" "$c1" "$t0" "$t1")" \
    "$((l1 - l0))" "$(echo "$t1 - $t0" | bc)" "$rss" "$per_reading"
}

shares=()
for r in $(seq "$runs"); do
  read -r cpu readings secs rss _ < <(one_run)
  echo "run $r: ${cpu} % of a core; $readings readings in ${secs%.*} s; resident ${rss} KiB"
  shares+=("$cpu")
done
echo "median: $(printf '%s\n' "${shares[@]}" | median) % of one core"
if [ "${INSTRUCTIONS:-}" = 1 ]; then
  read -r _ readings secs _ per_reading < <(one_run callgrind)
  echo "under callgrind: $per_reading instructions per reading ($readings readings in ${secs%.*} s)"
fi
