#!/usr/bin/env bash
# metrics_cost.sh [SECONDS] [RUNS]: what serving /metrics costs zel-monitor.
# A simulated Tarvo-5 sends 100 readings a second (unasked, besides the
# polls); each run collects SECONDS (default 30) once without [Metrics] and
# once with it while /metrics is fetched 10 times a second, and prints the
# share of one core each used, and whether every reading the monitor took is
# in the working file and in the scraped count. Prints the medians of RUNS
# (default 3) runs. Not part of CI; needs a build in build/ and curl.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
runs=${2:-3}
work=$(mktemp -d /tmp/zel-metrics-cost.XXXXXX)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
hz=$(getconf CLK_TCK)
port=$((20000 + RANDOM % 20000))

# one_run WITH_METRICS: prints "<percent of a core> <taken> <filed> <scraped>"
one_run() {
  local with=$1
  rm -rf "$work/run" && mkdir -p "$work/run/program" "$work/run/config/zel"
  export ZEL_HOME="$work/run/program" XDG_CONFIG_HOME="$work/run/config"
  local link="$work/run/tty"
  printf '[Communication]\r\nPort=6\r\nBaudRate=9600\r\n[Devices]\r\nCOM6=%s\r\n' "$link" >"$ZEL_HOME/dax.ini"
  printf '[COMMON]\r\nInsType=1\r\nMinInt=0\r\nSecInt=1\r\nThreshold1=100\r\nThreshold2=1000\r\n' \
    >"$XDG_CONFIG_HOME/zel/Zel.ini"
  [ "$with" = 1 ] && printf '[Metrics]\r\nListen=127.0.0.1:%s\r\n' "$port" >>"$XDG_CONFIG_HOME/zel/Zel.ini"
  "$root/build/zel-sim" tarvo5 --link "$link" --push-every 0.01 >/dev/null 2>&1 &
  local sim=$!
  pids=("$sim")
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  "$root/build/zel-monitor" >"$work/run/events" 2>&1 &
  local mon=$!
  pids+=("$mon")
  sleep 3
  local scraper=
  if [ "$with" = 1 ]; then
    (while :; do curl -s --noproxy '*' "http://127.0.0.1:$port/metrics" >"$work/run/scrape.tmp" &&
       mv "$work/run/scrape.tmp" "$work/run/scrape"; sleep 0.1; done) &
    scraper=$!
    pids+=("$scraper")
  fi
  local c0 c1 t0 t1
  c0=$(awk '{print $14 + $15}' "/proc/$mon/stat"); t0=$(date +%s.%N)
  sleep "$seconds"
  c1=$(awk '{print $14 + $15}' "/proc/$mon/stat"); t1=$(date +%s.%N)
  # Nothing more arrives: the last scrape and the file see every reading.
  kill -STOP "$sim"
  sleep 1.5
  local scraped=- taken filed
  filed=$(($(wc -l <"$ZEL_HOME/ZelTemp.csv") - 8))
  if [ -n "$scraper" ]; then
    scraped=$(awk '/^zel_readings_received_total/ {print $2}' "$work/run/scrape")
    kill "$scraper"; wait "$scraper" 2>/dev/null || true
  fi
  kill -KILL "$sim"; wait "$sim" 2>/dev/null || true
  kill -TERM "$mon"; wait "$mon" || true
  taken=$(sed -n 's/.* stop readings-taken=\([0-9]*\) .*/\1/p' "$work/run/events")
  echo "$(echo "scale=3; 100 * ($c1 - $c0) / $hz / ($t1 - $t0)" | bc) $taken $filed $scraped"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
without=(); with=()
for r in $(seq "$runs"); do
  read -r cpu taken filed _ < <(one_run 0)
  echo "run $r without metrics: ${cpu} % of a core, readings taken $taken, filed $filed"
  without+=("$cpu")
  read -r cpu taken filed scraped < <(one_run 1)
  echo "run $r with metrics:    ${cpu} % of a core, readings taken $taken, filed $filed, scraped $scraped"
  with+=("$cpu")
done
a=$(printf '%s\n' "${without[@]}" | median)
b=$(printf '%s\n' "${with[@]}" | median)
echo "median without: $a %, with: $b %, added: $(echo "$b - $a" | bc) % of one core"
