#!/usr/bin/env bash
# Builds kesu if needed and starts it.
#
# On a machine without serial hardware it also starts the bundled device simulator on a
# pseudo-terminal and maps it as COM97 through a temporary port directory, so that the assistant
# lists a working port at once. Without a display it explains how to see the window instead of
# failing obscurely.
set -euo pipefail
cd "$(dirname "$0")/.."

# A display is needed unless Qt was told to use another platform (offscreen, vnc, ...).
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
kesu: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).
To see the window, either
  - run it under a virtual X server:   xvfb-run -a -s "-screen 0 1024x768x24" scripts/run.sh
    (then look at it with a screenshot tool or a VNC server attached to that display), or
  - let Qt serve the window over VNC:  QT_QPA_PLATFORM=vnc:size=1024x768:port=5900 scripts/run.sh
    and connect a VNC viewer to localhost:5900.
MSG
  exit 1
fi

scripts/deps.sh --desktop
cmake -S . -B build > /dev/null
cmake --build build -j "$(nproc)" --target kesu kesu-device

# A serial device counts as present when a USB or ACM serial device exists, or when the user's
# own port directory maps any COM port.
user_port_dir="${KESU_PORT_DIR:-$HOME/.config/kesu/ports}"
has_device=no
if compgen -G "/dev/ttyUSB*" > /dev/null || compgen -G "/dev/ttyACM*" > /dev/null; then
  has_device=yes
elif [ -d "$user_port_dir" ] && compgen -G "$user_port_dir/COM*" > /dev/null; then
  has_device=yes
fi

device_pid=""
port_dir=""
cleanup() {
  if [ -n "$device_pid" ]; then kill "$device_pid" 2> /dev/null || true; wait "$device_pid" 2> /dev/null || true; fi
  if [ -n "$port_dir" ]; then rm -rf "$port_dir"; fi
}
trap cleanup EXIT

if [ "$has_device" = no ]; then
  port_dir=$(mktemp -d -t kesu-ports.XXXXXX)
  build/app/kesu-device "$port_dir/COM97" &
  device_pid=$!
  for _ in $(seq 50); do
    [ -L "$port_dir/COM97" ] && break
    sleep 0.1
  done
  if [ ! -L "$port_dir/COM97" ]; then
    echo "kesu: the device simulator did not start" >&2
    exit 1
  fi
  echo "kesu: no serial device found; a simulated device (echo, and an answer to the default"
  echo "      hex request) is connected as COM97 through the port directory $port_dir"
  export KESU_PORT_DIR="$port_dir"
fi

build/app/kesu "$@"
