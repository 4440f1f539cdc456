#!/usr/bin/env bash
# measure_orvan_100ms.sh [SECONDS]: runs the built zel against zel-sim orvan
# with the 100 ms interval ("SecInt" 0.1) on a virtual display, starts on-line
# collection with F5, and after SECONDS (default 40) reports the readings per
# second that reached the working file (10 asked for) and the share of one
# processor core that zel used meanwhile. Needs build/zel, build/zel-sim,
# xvfb-run and xdotool. Not part of the test suite: the numbers depend on the
# machine and on what else runs on it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-40}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s '-screen 0 1280x900x24' "$0" "$@"
fi
command -v xdotool >/dev/null || { echo "xdotool is needed (apt-get install xdotool)"; exit 2; }

home=$(mktemp -d /tmp/zel-orvan100.XXXXXX)
export ZEL_HOME="$home/program"
export XDG_CONFIG_HOME="$home/config"
mkdir -p "$ZEL_HOME" "$XDG_CONFIG_HOME/zel"
link="$home/ttySIM"
printf '[Communication]\r\nPort=6\r\nBaudRate=9600\r\n[Devices]\r\nCOM6=%s\r\n' "$link" >"$ZEL_HOME/dax.ini"
printf '[COMMON]\r\nInsType=3\r\nMinInt=0\r\nSecInt=0.1\r\nTimeFormat=0\r\nAudioAlarm=0\r\n' \
  >"$XDG_CONFIG_HOME/zel/Zel.ini"

sim=""
zel=""
cleanup() {
  [ -n "$zel" ] && kill "$zel" 2>/dev/null || true
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

"$root/build/zel-sim" orvan --link "$link" --steady >/dev/null &
sim=$!
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done

"$root/build/zel" >"$home/zel.log" 2>&1 &
zel=$!
window=$(xdotool search --sync --onlyvisible --name '^Zel$' | head -1)
sleep 2 # the "G11" answer enables Start
xdotool windowfocus --sync "$window" key --clearmodifiers F5

file="$ZEL_HOME/ZelTemp.csv"
for _ in $(seq 50); do [ -s "$file" ] && break; sleep 0.1; done
sleep 1 # past the start

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
lines() { wc -l <"$file"; }
hz=$(getconf CLK_TCK)
t0=$(date +%s.%N); z0=$(ticks "$zel"); s0=$(ticks "$sim"); n0=$(lines)
sleep "$seconds"
t1=$(date +%s.%N); z1=$(ticks "$zel"); s1=$(ticks "$sim"); n1=$(lines)

awk -v t0="$t0" -v t1="$t1" -v z0="$z0" -v z1="$z1" -v s0="$s0" -v s1="$s1" \
    -v n0="$n0" -v n1="$n1" -v hz="$hz" 'BEGIN {
  dt = t1 - t0
  printf "measured for %.1f s\n", dt
  printf "readings per second: %.2f (10 asked for)\n", (n1 - n0) / dt
  printf "zel CPU: %.1f %% of one core\n", 100 * (z1 - z0) / hz / dt
  printf "zel-sim CPU: %.1f %% of one core\n", 100 * (s1 - s0) / hz / dt
}'
echo "last reading lines:"
tail -n 3 "$file"
