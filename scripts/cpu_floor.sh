#!/usr/bin/env bash
# cpu_floor.sh [SECONDS] [RUNS]: the share of one processor core that
# window_floor (bench/window_floor: one large label whose last digit changes
# ten times a second, nothing else) uses on a virtual display like the one
# cpu_share.sh gives zel; prints every run and the median of RUNS (default
# 3) of SECONDS each (default 20). What a window costs at that rate for being
# woken, painting and showing its pixels alone, on this machine: zel's
# figure from cpu_share.sh is read against it.
# INSTRUCTIONS=1: one more run counts the instructions per new text under
# callgrind (counters zeroed after the start-up).
# Not part of CI. Needs a build in build-rel/ (or ZEL_BUILD=DIR, else
# build/), xvfb-run (and valgrind for INSTRUCTIONS=1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
runs=${2:-3}
build=${ZEL_BUILD:-$root/build-rel}
[ -x "$build/window_floor" ] || build=$root/build
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s '-screen 0 1280x900x24' "$0" "$@"
fi
. "$root/scripts/lib/cpu_time.sh"
work=$(mktemp -d /tmp/zel-floor.XXXXXX)
floor=""
trap 'kill $floor 2>/dev/null || true; rm -rf "$work"' EXIT

shares=()
for r in $(seq "$runs"); do
  "$build/window_floor" >/dev/null 2>&1 &
  floor=$!
  sleep 3
  c0=$(cpu_ms "$floor"); t0=$(date +%s.%N)
  sleep "$seconds"
  c1=$(cpu_ms "$floor"); t1=$(date +%s.%N)
  kill "$floor"; wait "$floor" 2>/dev/null || true
  share=$(share_percent "$c0" "$c1" "$t0" "$t1")
  echo "run $r: $share % of a core"
  shares+=("$share")
done
echo "median: $(printf '%s\n' "${shares[@]}" | median) % of one core"
if [ "${INSTRUCTIONS:-}" = 1 ]; then
  valgrind -q --tool=callgrind --callgrind-out-file="$work/callgrind.out" \
    "$build/window_floor" >/dev/null 2>&1 &
  floor=$!
  sleep 8
  callgrind_control -z "$floor" >/dev/null 2>&1
  sleep "$seconds"
  callgrind_control -d "$floor" >/dev/null 2>&1
  sleep 1
  kill "$floor"; wait "$floor" 2>/dev/null || true
  dump=$(ls "$work"/callgrind.out.* | sort -V | head -1)
  awk -v n="$((seconds * 10))" '/^summary:/ {printf "under callgrind: %d instructions per new text\n", $2 / n; exit}' "$dump"
fi
