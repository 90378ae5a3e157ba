#!/usr/bin/env bash
# The install tree of a build: every program, scene, settings description, desktop entry and
# man page in its place; moved elsewhere as a whole, the savers still find their scenes, run
# from bin/ and from libexec/xscreensaver/ in a folder without scene files.
# tests/install/install-tree.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
mv "$work/prefix" "$work/moved"
root=$work/moved

status=0
for file in bin/lumivale-ideas bin/lumivale bin/lumivale-play bin/flicgen \
    libexec/xscreensaver/lumivale-ideas libexec/xscreensaver/lumivale \
    share/xscreensaver/config/lumivale-ideas.xml share/xscreensaver/config/lumivale.xml \
    share/applications/screensavers/lumivale-ideas.desktop \
    share/applications/screensavers/lumivale.desktop \
    share/man/man6/lumivale-ideas.6.gz share/man/man6/lumivale.6.gz \
    share/man/man1/lumivale-play.1.gz share/man/man1/flicgen.1.gz \
    share/lumivale/scenes/ideas/Lvfin6.flc share/lumivale/scenes/lumivale/SSaver11.flc; do
    [ -f "$root/$file" ] || { echo "not installed: $file"; status=1; }
done

# The settings dialog reads the description and the options from the XML.
for xml in "$root"/share/xscreensaver/config/*.xml; do
    python3 - "$xml" <<'PY' || status=1
import sys, xml.etree.ElementTree as tree
saver = tree.parse(sys.argv[1]).getroot()
args = [e.get("arg-set", "") for e in saver.iter() if e.get("arg-set")]
ok = saver.tag == "screensaver" and saver.findtext("_description", "").strip() \
    and "--fps" in args and any(a.startswith("--scale") for a in args)
if not ok:
    print(sys.argv[1] + ": no description, --fps or --scale")
    sys.exit(1)
PY
done

cd "$work"
for program in bin/lumivale-ideas libexec/xscreensaver/lumivale-ideas bin/lumivale \
    libexec/xscreensaver/lumivale; do
    if ! env -u DISPLAY -u WAYLAND_DISPLAY "$root/$program" --headless 320x200 --duration 0.1 \
        --snapshot "$work/shot.png" >/dev/null; then
        echo "$program did not run from the moved install tree"
        status=1
    fi
    [ -s "$work/shot.png" ] || { echo "$program wrote no snapshot"; status=1; }
    rm -f "$work/shot.png"
done
exit $status
