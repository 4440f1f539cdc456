#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build,
# the same tests under AddressSanitizer + UndefinedBehaviorSanitizer, and the
# fuzz targets for a bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
export QT_QPA_PLATFORM=offscreen

echo "== build and test"
scripts/build.sh build
(cd build && ctest --output-on-failure -j 2 --timeout 120)

echo "== build and test under ASan + UBSan"
scripts/build.sh build-asan -DZEL_SANITIZE=ON -DZEL_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j 2 --timeout 300)

echo "== fuzz"
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DZEL_FUZZ=ON
fuzz_seconds=${ZEL_FUZZ_SECONDS:-60}
targets=(build-fuzz/fuzz_*)
per=$(( fuzz_seconds / ${#targets[@]} + 1 ))
for t in "${targets[@]}"; do
  [ -x "$t" ] || continue
  name=$(basename "$t")
  mkdir -p "build-fuzz/corpus-$name"
  echo "-- $name for ${per}s"
  "$t" -max_total_time="$per" -max_len=4096 -print_final_stats=0 "build-fuzz/corpus-$name" \
    fuzz/corpus/"$name" 2>build-fuzz/"$name".log || { tail -n 60 build-fuzz/"$name".log; exit 1; }
done
echo "fuzz: no crash"
