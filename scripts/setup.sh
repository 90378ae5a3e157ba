#!/usr/bin/env bash
# Installs what building and testing Lumivale needs on Debian, where it is missing.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config libsdl2-dev libpng-dev
          libx11-dev libxext-dev libgtest-dev libgmock-dev libbenchmark-dev ffmpeg xvfb xauth
          x11-utils x11-apps xdotool python3
          # An independent decoder for multi-page DCX pictures.
          imagemagick
          # The integration test under the real screen-saver daemon, and the package check.
          xscreensaver lintian
          # The fuzz targets and their coverage measure: clang with its sanitizer and fuzzer
          # runtimes, and llvm-profdata and llvm-cov.
          clang libclang-rt-14-dev llvm)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
