#!/usr/bin/env bash
# Checks that the folders form layers that only point down: every project include names a file of
# the including file's own folder or of a lower layer, and only the platform's backend folders
# include the system's or SDL's headers within the engine. Prints each include that breaks this
# and exits 1 if there is one. scripts/check-layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# The folder a path belongs to, as the layer table knows it: the backend folders of the platform
# are folders of their own; everything under tests/, bench/, fuzz/ or tools/ is one folder.
folder() {
    case "$1" in
        engine/*) dirname "$1" ;;
        saver/host/*) echo saver/host ;;
        saver/*) echo saver ;;
        tools/* | tests/* | bench/* | fuzz/*) echo "${1%%/*}" ;;
        *) echo "" ;;
    esac
}

# Lower ranks lie below higher ones; two folders of the same rank (media and stage, the platform
# backends) stand side by side and may not include each other. The tests replay the fuzz inputs
# through the fuzz bodies, so fuzz lies below them.
rank() {
    case "$1" in
        engine/base) echo 0 ;;
        engine/platform) echo 10 ;;
        engine/platform/*) echo 15 ;;
        engine/core) echo 20 ;;
        engine/graphics) echo 30 ;;
        engine/media | engine/stage) echo 40 ;;
        engine/sprite) echo 50 ;;
        saver/host) echo 60 ;;
        saver) echo 70 ;;
        tools) echo 80 ;;
        fuzz) echo 85 ;;
        tests | bench) echo 90 ;;
        *) echo -1 ;;
    esac
}

# The sources of a checkout, or of an unpacked release without one; build folders left out.
sources() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files -co --exclude-standard -- '*.h' '*.cpp'
    else
        find engine saver tools tests bench fuzz \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort
    fi
}

status=0
while IFS= read -r file; do
    from=$(folder "$file")
    fromRank=$(rank "$from")
    if [ "$fromRank" -lt 0 ]; then
        echo "$file: not in a known layer"
        status=1
        continue
    fi
    while IFS= read -r included; do
        to=$(folder "$included")
        [ "$to" = "$from" ] && continue
        toRank=$(rank "$to")
        if [ "$toRank" -lt 0 ] || [ "$toRank" -ge "$fromRank" ]; then
            echo "$file: includes $included ($from may not stand on ${to:-an unknown folder})"
            status=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
    case "$from" in
        engine/platform/*) ;;
        engine/*)
            if grep -Hn -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(SDL|X11/|png\.h|unistd\.h|fcntl\.h|sys/|pthread\.h)' "$file"; then
                status=1
            fi
            ;;
    esac
done < <(sources)
exit $status
