#!/usr/bin/env bash
# full_disk_zel.sh [SECONDS_FULL]: runs zel (offscreen) against a Tarvo-5
# simulator that pushes 50 readings a second, with the program folder on a
# 1 MiB tmpfs that fills up for SECONDS_FULL (default 3; 0: never) and is
# then freed.
# Prints readings sent (by the simulator, all and those after zel first spoke
# to it), readings filed in ZelTemp.csv and lines cut short.
# Needs root (a private mount namespace) and a build in build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
full=${1:-3}
if [ "$(id -u)" -ne 0 ]; then
  echo "full_disk_zel.sh: needs root for its private tmpfs" >&2
  exit 2
fi
if [ -z "${ZEL_FULL_DISK_INSIDE:-}" ]; then
  exec env ZEL_FULL_DISK_INSIDE=1 unshare -m --propagation private "$0" "$@"
fi

work=$(mktemp -d /tmp/zel-full.XXXXXX)
mkdir -p "$work/program"
mount -t tmpfs -o size=1m tmpfs "$work/program"
export ZEL_HOME="$work/program" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen ZEL_SILENT=1
mkdir -p "$XDG_CONFIG_HOME/zel"
link="$work/tty"
printf '[Communication]\r\nPort=6\r\nBaudRate=115200\r\n[Devices]\r\nCOM6=%s\r\n' "$link" >"$ZEL_HOME/dax.ini"
printf '[COMMON]\r\nInsType=1\r\nMinInt=0\r\nSecInt=1\r\n' >"$XDG_CONFIG_HOME/zel/Zel.ini"

"$root/build/zel-sim" tarvo5 --link "$link" --push-every 0.02 --verbose >/dev/null 2>"$work/sim.err" &
sim=$!
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
"$root/build/zel" >"$work/zel.log" 2>&1 &
zel=$!
sleep 3
if [ "$full" != 0 ]; then
  # Every free page but the working file's own last one goes to a filler.
  dd if=/dev/zero of="$ZEL_HOME/filler" bs=4k 2>/dev/null || true
  dd if=/dev/zero of="$ZEL_HOME/filler2" bs=1 2>/dev/null || true
  at_full=$(( $(wc -l <"$ZEL_HOME/ZelTemp.csv") - 8 ))
  sleep "$full"
  at_free=$(( $(wc -l <"$ZEL_HOME/ZelTemp.csv") - 8 ))
  echo "filed when the disk was full: $at_full, when it was freed: $at_free"
  rm -f "$ZEL_HOME/filler" "$ZEL_HOME/filler2"
fi
sleep 3
kill "$sim"
wait "$sim" || true
sleep 1
kill "$zel"
wait "$zel" || true

sent=$(sed -n 's/^zel-sim: \([0-9]*\) readings sent$/\1/p' "$work/sim.err" | tail -n 1)
# Readings pushed before zel had opened the port and sent its first request
# never reached a listener, as on a real line.
heard=$(awk '/^zel-sim: rx /{on=1} on && /\(unasked\)$/{n++} END{print n+0}' "$work/sim.err")
filed=$(( $(wc -l <"$ZEL_HOME/ZelTemp.csv") - 8 ))
cut=$(tail -n +9 "$ZEL_HOME/ZelTemp.csv" | awk -F, 'NF != 7' | wc -l)
echo "readings sent:  ${sent:-?} (${heard} after zel first spoke to the instrument)"
echo "readings filed: $filed"
echo "lines cut:      $cut"
umount "$work/program"
rm -rf "$work"
