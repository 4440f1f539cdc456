#!/usr/bin/env bash
# cpu_share.sh [FAMILY] [SECONDS] [INTERVAL]: zel with its window shown on a
# virtual display, polling a simulated instrument (default tarvo5 every 0.1 s
# for 60 s), and the share of one processor core it used while collecting.
# Set QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 to measure with screen-reader support.
# The instructions zel ran while collecting are counted too when perf can
# read them (a loaded machine changes the time, far less the count).
# Not part of CI. Needs a build in build-rel/ (or ZEL_BUILD=DIR, else
# build/), xvfb-run and xdotool.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
family=${1:-tarvo5}
seconds=${2:-60}
interval=${3:-0.1}
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
trap 'kill $sim $zel 2>/dev/null || true; rm -rf "$work"' EXIT
export ZEL_HOME="$work/program" XDG_CONFIG_HOME="$work/config"
mkdir -p "$ZEL_HOME" "$XDG_CONFIG_HOME/zel"
link="$work/tty"
printf '[Communication]\r\nPort=6\r\nBaudRate=9600\r\n[Devices]\r\nCOM6=%s\r\n' "$link" >"$ZEL_HOME/dax.ini"
printf '[COMMON]\r\nInsType=%s\r\nMinInt=0\r\nSecInt=%s\r\nThreshold1=100\r\nThreshold2=1000\r\n' \
  "$instype" "$interval" >"$XDG_CONFIG_HOME/zel/Zel.ini"
"$build/zel-sim" "$family" --link "$link" >/dev/null 2>&1 &
sim=$!
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
"$build/zel" >/dev/null 2>&1 &
zel=$!
sleep 3
# Start (F5) unless the family starts by itself.
if [ "$family" != amp ]; then
  win=$(xdotool search --sync --name '^Zel$' | head -n 1)
  xdotool windowfocus --sync "$win" key F5
fi
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$zel/stat"; }
lines() { wc -l <"$ZEL_HOME/ZelTemp.csv"; }
c0=$(ticks); l0=$(lines); t0=$(date +%s.%N)
counted="$work/instructions"
if ! perf stat -x, -e instructions -p "$zel" -o "$counted" -- sleep "$seconds" 2>/dev/null; then
  rm -f "$counted"
  sleep "$seconds"
fi
c1=$(ticks); l1=$(lines); t1=$(date +%s.%N)
hz=$(getconf CLK_TCK)
secs=$(echo "$t1 - $t0" | bc)
echo "readings: $((l1 - l0)) in ${secs%.*} s ($(echo "scale=2; ($l1 - $l0) / $secs" | bc)/s)"
echo "processor: $((c1 - c0)) ticks of $(echo "$secs * $hz" | bc | cut -d. -f1) = $(echo "scale=2; 100 * ($c1 - $c0) / $hz / $secs" | bc) % of one core"
echo "resident memory: $(awk '/VmRSS/ {print $2}' "/proc/$zel/status") KiB"
if [ -s "$counted" ]; then
  count=$(awk -F, '/instructions/ {print $1}' "$counted")
  case "$count" in
    ''|*[!0-9]*) ;;
    *) echo "instructions: $count ($((count / (l1 - l0 > 0 ? l1 - l0 : 1))) per reading)" ;;
  esac
fi
