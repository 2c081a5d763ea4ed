#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, but
# only when one of them is missing; `apt-get update` runs only in that case.
set -euo pipefail

packages=(
  cmake g++ make pkg-config ccache clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev libgmp-dev
  qt6-base-dev libgl-dev libcanberra-dev
  fonts-wqy-microhei sound-theme-freedesktop
  dpkg-dev file python3
  # the desktop suite: a virtual X server, and Xlib with XTEST for its driver
  xvfb libx11-dev libxtst-dev
)
if [ "${1:-}" = "--desktop" ]; then
  packages+=(xauth)
fi
# The receive benchmark of the real program (bench/app/receive_window_bench.py).
if [ "${1:-}" = "--bench" ]; then
  packages+=(xvfb xdotool xclip picocom python3 libx11-6 libxtst6)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
