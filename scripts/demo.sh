#!/usr/bin/env bash
# Installs what is missing, builds, and starts zel talking to a simulated
# Tarvo-5 on a pseudo-terminal, in a throw-away program folder so nothing of
# the user's settings or data is touched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
scripts/build.sh build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "zel is a desktop program and no display was found (DISPLAY is not set)."
  echo "Run the demo on a virtual display instead:"
  echo "    xvfb-run -a -s '-screen 0 1280x900x24' $0"
  exit 2
fi

home=$(mktemp -d /tmp/zel-demo.XXXXXX)
export ZEL_HOME="$home/program"
export XDG_CONFIG_HOME="$home/config"
mkdir -p "$ZEL_HOME" "$XDG_CONFIG_HOME/zel"
family=${ZEL_DEMO_FAMILY:-tarvo5}
case "$family" in
  portables) instype=0 ;;
  tarvo5) instype=1 ;;
  amp) instype=2 ;;
  orvan) instype=3 ;;
  *) echo "ZEL_DEMO_FAMILY must be portables, tarvo5, amp or orvan"; exit 2 ;;
esac
link="$home/ttySIM"
printf '[Communication]\r\nPort=6\r\nBaudRate=9600\r\n[Devices]\r\nCOM6=%s\r\n' "$link" >"$ZEL_HOME/dax.ini"
printf '[COMMON]\r\nInsType=%s\r\nMinInt=00\r\nSecInt=02\r\n' "$instype" >"$XDG_CONFIG_HOME/zel/Zel.ini"

build/zel-sim "$family" --link "$link" --push-every 0 &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -rf "$home"' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
echo "Simulated $family on $link; program folder $ZEL_HOME"
build/zel "$@"
