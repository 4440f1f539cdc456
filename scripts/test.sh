#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build,
# the same tests under AddressSanitizer + UndefinedBehaviorSanitizer, and the
# fuzz targets for a bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
export QT_QPA_PLATFORM=offscreen

passed=0
failed=0
# Runs ctest in a build folder and adds its counts to the totals.
run_ctest() {
  local dir=$1; shift
  local log
  log=$(mktemp)
  set +e
  (cd "$dir" && env "$@" ctest --output-on-failure -j 2 --timeout 300) 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  local line
  line=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" "$log" | tail -n 1)
  rm -f "$log"
  if [ -n "$line" ]; then
    local total bad
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
  if [ "$rc" -ne 0 ]; then
    echo "tests: $passed passed, $((failed > 0 ? failed : 1)) failed"
    exit "$rc"
  fi
}

echo "== build and test"
scripts/build.sh build
run_ctest build QT_QPA_PLATFORM=offscreen

echo "== build and test under ASan + UBSan"
scripts/build.sh build-asan -DZEL_SANITIZE=ON -DZEL_BENCH=OFF
run_ctest build-asan QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== fuzz"
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DZEL_FUZZ=ON
fuzz_seconds=${ZEL_FUZZ_SECONDS:-60}
targets=()
for t in build-fuzz/fuzz_*; do
  [ -f "$t" ] && [ -x "$t" ] && targets+=("$t")
done
per=$(( fuzz_seconds / ${#targets[@]} + 1 ))
for t in "${targets[@]}"; do
  name=$(basename "$t")
  mkdir -p "build-fuzz/corpus-$name"
  echo "-- $name for ${per}s"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
  if "$t" -max_total_time="$per" -max_len=4096 -print_final_stats=0 "build-fuzz/corpus-$name" \
    "${seeds[@]}" 2>build-fuzz/"$name".log; then
    passed=$((passed + 1))
  else
    tail -n 60 build-fuzz/"$name".log
    failed=$((failed + 1))
  fi
done
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
