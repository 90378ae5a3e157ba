#!/usr/bin/env bash
# Sets up the machine, builds, and runs Lumivale Ideas: in a window on a desktop, or without a
# display headless for 10 simulated seconds, writing a snapshot whose path it prints.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh default
saver=build/default/saver/lumivale-ideas
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$saver" --window 800x600
fi
exec "$saver" --headless 640x480 --duration 10 --snapshot "$PWD/build/lumivale-ideas-snapshot.png"
