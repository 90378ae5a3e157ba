#!/usr/bin/env bash
# Sets up the machine, builds, and runs Lumivale.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh default
echo "Built so far (build/default):"
find build/default -maxdepth 3 -type f -executable -not -name '*.so*' -not -path '*/CMakeFiles/*' | sort
