#!/usr/bin/env bash
# screenshots.sh [FOLDER]: saves the documentation's pictures of every window
# (default docs/screenshots), drawn offscreen by the *Screenshots programs of
# the test binaries. Needs a build in build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=$(realpath -m "${1:-$root/docs/screenshots}")
mkdir -p "$folder"
cmake --build "$root/build" --target test_ui test_graph >/dev/null
for t in test_ui test_graph; do
  ZEL_SCREENSHOT_DIR="$folder" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 ZEL_SILENT=1 \
    "$root/build/$t" --gtest_filter='*Screenshots.*' --gtest_brief=1
done
echo "pictures in $folder"
