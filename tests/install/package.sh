#!/usr/bin/env bash
# The Debian package of a build: made by CPack with its dependencies computed from the
# programs, and free of lintian errors. tests/install/package.sh BUILD_DIR
set -euo pipefail
build=$1
if ! command -v lintian >/dev/null || ! command -v dpkg-shlibdeps >/dev/null; then
    echo "skipped: lintian or dpkg-shlibdeps is not installed (scripts/setup.sh installs them)"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >/dev/null
deb=$(ls "$work"/lumivale_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libsdl2 libpng16 libx11 libxext6 libc6; do
    [[ $depends == *"$library"* ]] || { echo "no dependency on $library"; exit 1; }
done
lintian --fail-on error --tag-display-limit 0 "$deb"
