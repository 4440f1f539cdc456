#!/usr/bin/env bash
# receive_instructions.sh [BUILD_DIR] [BATCH]: instructions per byte of the
# receive path for each instrument family, counted by callgrind in
# bench_receive (build it Release: cmake -B build-rel -DCMAKE_BUILD_TYPE=Release,
# target bench_receive). Only the passes over the byte stream are counted
# (feedStream); the first pass, which also pays for caches being filled, is
# taken out by counting one run of one pass and one of four and dividing the
# difference by three passes. Unlike times, the counts do not depend on what
# else the machine runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-rel}
batch=${2:-1}
bench="$build/bench_receive"
[ -x "$bench" ] || { echo "no $bench: build the bench_receive target first" >&2; exit 2; }
work=$(mktemp -d /tmp/zel-rx-ir.XXXXXX)
trap 'rm -rf "$work"' EXIT

# count FAMILY PASSES: the instructions feedStream executed in PASSES passes.
count() {
  valgrind -q --tool=callgrind --callgrind-out-file="$work/$1.$2" --toggle-collect='*feedStream*' \
    "$bench" --benchmark_filter="BM_Receive$1/batch:$batch\$" --benchmark_min_time=0 \
    --benchmark_repetitions="$2" --benchmark_format=json >"$work/$1.$2.json" 2>/dev/null
  sed -n 's/^totals: //p' "$work/$1.$2"
}

printf '%-10s %12s %14s\n' family bytes/pass instr/byte
for family in Tarvo5 Portables Amp Orvan; do
  one=$(count "$family" 1)
  four=$(count "$family" 4)
  bytes=$(sed -n 's/.*"stream_bytes": \([0-9.e+]*\).*/\1/p' "$work/$family.1.json" | head -1)
  python3 -c "import sys; b=float('$bytes'); print('%-10s %12d %14.1f' % ('$family', b, ($four - $one) / 3 / b))"
done
