#!/usr/bin/env bash
# Installs what is missing, builds Quorvix and starts the desktop program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUORVIX_BUILD_DIR:-$root/build}"

"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorvix quorvix-convert -j"$(nproc)"
exec "$build/src/gui/quorvix" "$@"
