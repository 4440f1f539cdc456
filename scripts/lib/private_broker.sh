# Sourced by the measuring scripts: start_private_broker WORK [CONF_LINE...]
# starts a mosquitto of our own on a free loopback port, with its
# configuration and log in WORK, waits until it listens, and sets `port`.
# The broker's process id is added to the caller's `pids` array, so the
# caller's clean-up ends it.
start_private_broker() {
  local work=$1; shift
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  {
    printf 'listener %s 127.0.0.1\nallow_anonymous true\nuser root\n' "$port"
    for line in "$@"; do printf '%s\n' "$line"; done
  } >"$work/mosquitto.conf"
  local mosquitto
  mosquitto=$(command -v mosquitto || echo /usr/sbin/mosquitto)
  "$mosquitto" -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
}
