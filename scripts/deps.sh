#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need,
# and only those that are missing. With --compare instead only what
# scripts/compare_readdb.py needs besides a build: pandas, which neither the
# build nor the tests use.
set -euo pipefail
pkgs=(build-essential cmake ninja-build clang libclang-rt-14-dev clang-format
      qt6-base-dev qt6-serialport-dev qt6-multimedia-dev qt6-tools-dev qt6-l10n-tools
      qt6-translations-l10n
      libgtest-dev libgmock-dev libbenchmark-dev
      xvfb xauth imagemagick fonts-dejavu-core ccache desktop-file-utils
      pkg-config libmosquitto-dev mosquitto mosquitto-clients libsystemd-dev libboost-math-dev
      prometheus prometheus-cpp-dev prometheus-alertmanager libsqlite3-dev sqlite3
      libexpected-dev rapidjson-dev libfmt-dev xdotool)
if [ "${1:-}" = --compare ]; then
  pkgs=(python3-pandas)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
