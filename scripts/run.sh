#!/usr/bin/env bash
# Builds kesu if needed and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build > /dev/null
cmake --build build -j "$(nproc)" --target kesu
exec build/app/kesu "$@"
