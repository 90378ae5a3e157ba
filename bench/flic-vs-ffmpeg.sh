#!/usr/bin/env bash
# FLIC decoding per frame, ours against ffmpeg on the same files in one run: every file of
# tests/data/flic and every flicgen pattern at 640x480 and 1920x1080. Both sides are measured
# in CPU time, not wall time, so that other work on the machine changes the result little:
# ours is the user time of `lumivale-play --bench` (under /usr/bin/time), ffmpeg's the utime
# its -benchmark reports; the ratio compares those. The system time of both (reading the file,
# mostly) is shown beside them. Each file is decoded round and round until about
# --megapixels of frames have been shown (at least --min-frames frames, at most --max-frames),
# so that starting up weighs little and the clock's 10 ms steps are small against the total.
# Each side runs --repeat times, the two alternating, and its fastest run counts: other work
# on a shared machine only ever adds time, to either side.
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: bench/flic-vs-ffmpeg.sh [--megapixels N] [--min-frames N] [--max-frames N]
                               [--pattern-frames N] [--repeat N] [--build DIR] [FILE...]

  --megapixels N      pixels to decode per file and side, in millions (default 4000)
  --min-frames N      fewest frames to decode per file and side (default 500)
  --max-frames N      most frames to decode per file and side (default 500000)
  --pattern-frames N  frames of each flicgen animation (default 30)
  --repeat N          runs per file and side, the fastest counting (default 3)
  --build DIR         build folder holding tools/ (default build/default)
  FILE                animations to measure (default: tests/data/flic and the flicgen patterns)

Prints one line per file: frames, our and ffmpeg's user microseconds per frame, the ratio
(ffmpeg's time over ours: above 1 we are faster) and both system times per frame. Exits 1 when a side fails on a file.
EOF
}

root=$(cd "$(dirname "$0")/.." && pwd)
megapixels=4000
minFrames=500
maxFrames=500000
patternFrames=30
repeat=3
build="$root/build/default"
files=()
while (($#)); do
    case "$1" in
        --megapixels) megapixels=$2; shift ;;
        --min-frames) minFrames=$2; shift ;;
        --max-frames) maxFrames=$2; shift ;;
        --pattern-frames) patternFrames=$2; shift ;;
        --repeat) repeat=$2; shift ;;
        --build) build=$2; shift ;;
        -h | --help) usage; exit 0 ;;
        -*) usage >&2; exit 2 ;;
        *) files+=("$1") ;;
    esac
    shift
done
for number in "$megapixels" "$minFrames" "$maxFrames" "$patternFrames" "$repeat"; do
    [[ $number =~ ^[0-9]+$ ]] && ((number > 0)) || { echo "bad number $number" >&2; exit 2; }
done
play="$build/tools/lumivale-play/lumivale-play"
flicgen="$build/tools/flicgen/flicgen"
for tool in "$play" "$flicgen" /usr/bin/time; do
    [[ -x $tool ]] || { echo "$(basename "$0"): $tool is missing" >&2; exit 2; }
done
command -v ffmpeg >/dev/null || { echo "$(basename "$0"): ffmpeg is missing" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ((${#files[@]} == 0)); then
    files=("$root"/tests/data/flic/*)
    for size in 640x480 1920x1080; do
        while read -r pattern; do
            file="$work/$pattern-$size.flc"
            "$flicgen" pattern "$pattern" "$file" --size "$size" --frames "$patternFrames"
            files+=("$file")
        done < <("$flicgen" list)
    done
fi

# Ours: user and system seconds and frames decoded, as "user system frames".
ours() {
    local file=$1 loops=$2
    /usr/bin/time -o "$work/time" -f "%U %S" "$play" --bench --loops "$loops" "$file" \
        >"$work/ours" 2>"$work/ours.stderr" || return 1
    read -r user system <"$work/time"
    read -r decoded _ <"$work/ours"
    echo "$user $system $decoded"
}

# ffmpeg's: utime, stime, frames put out and whether it refused frames, as
# "user system frames errors".
# Frames it refuses count neither in its frames nor in its exit status alone.
theirs() {
    local file=$1 loops=$2 utime stime decoded errors=0
    ffmpeg -nostdin -hide_banner -benchmark -stream_loop $((loops - 1)) -i "$file" -f null - \
        >/dev/null 2>"$work/ffmpeg" || true
    utime=$(grep -o 'utime=[0-9.]*' "$work/ffmpeg" | tail -n 1 | cut -d= -f2)
    stime=$(grep -o 'stime=[0-9.]*' "$work/ffmpeg" | tail -n 1 | cut -d= -f2)
    decoded=$(tr '\r' '\n' <"$work/ffmpeg" | grep -o 'frame= *[0-9]*' | tail -n 1 | tr -dc 0-9)
    [[ -n $utime && -n $stime && -n $decoded ]] && ((decoded > 0)) || return 1
    grep -q 'Error while decoding' "$work/ffmpeg" && errors=1
    echo "$utime $stime $decoded $errors"
}

# Of two results (user time first), the one with less user time; the first may be empty.
faster() {
    awk -v a="$1" -v b="$2" 'BEGIN { split(a, x, " "); split(b, y, " ")
        print (a == "" || y[1] < x[1]) ? b : a }'
}

printf "%-28s %9s %7s %10s %12s %7s %9s %11s\n" file size frames "ours us/f" "ffmpeg us/f" \
    ratio "ours sys" "ffmpeg sys"
status=0 refused=0
for file in "${files[@]}"; do
    name=$(basename "$file")
    # The player picks its reader by the extension, and .CEL is a picture format of its own,
    # while cels saved by animation programs hold FLIC data; both sides read the file under a
    # FLIC name, so that a file only one side decodes still fails.
    case ${name,,} in
        *.flc | *.fli) ;;
        *) ln -sf "$(realpath "$file")" "$work/${name%.*}.flc"; file="$work/${name%.*}.flc" ;;
    esac
    info=$("$play" --info "$file" 2>/dev/null) || { echo "$name: not an animation" >&2; status=1; continue; }
    count=$(awk '/^frames:/ { print $2 }' <<<"$info")
    size=$(awk '/^size:/ { print $2 }' <<<"$info")
    ((count > 0)) || { echo "$name: no frames" >&2; status=1; continue; }
    pixels=$((${size%x*} * ${size#*x}))
    frames=$((megapixels * 1000000 / pixels))
    frames=$((frames < minFrames ? minFrames : frames > maxFrames ? maxFrames : frames))
    loops=$(((frames + count - 1) / count))
    ourResult="" theirResult="" failed=0
    for ((run = 0; run < repeat; ++run)); do
        if ! result=$(ours "$file" "$loops"); then
            echo "$name: lumivale-play failed: $(tail -n 1 "$work/ours.stderr")" >&2; failed=1; break
        fi
        ourResult=$(faster "$ourResult" "$result")
        if ! result=$(theirs "$file" "$loops"); then
            echo "$name: ffmpeg put out no frames: $(tail -n 1 "$work/ffmpeg")" >&2; failed=1; break
        fi
        theirResult=$(faster "$theirResult" "$result")
    done
    ((failed)) && { status=1; continue; }
    read -r ourUser ourSystem ourFrames <<<"$ourResult"
    read -r theirUser theirSystem theirFrames theirErrors <<<"$theirResult"
    ((theirErrors)) && refused=1
    awk -v n="$name" -v s="$size" -v c="$ourFrames" -v ou="$ourUser" -v os="$ourSystem" \
        -v tu="$theirUser" -v ts="$theirSystem" -v tf="$theirFrames" -v e="$theirErrors" 'BEGIN {
            o = 1e6 * ou / c; t = 1e6 * tu / tf
            ratio = (o > 0 ? sprintf("%.2f", t / o) : "-") (e ? "*" : "")
            printf "%-28s %9s %7d %10.2f %12.2f %7s %9.2f %11.2f\n", n, s, c, o, t, ratio,
                1e6 * os / c, 1e6 * ts / tf
        }'
done
((refused)) && echo "* ffmpeg refused frames of this file: its time is over the frames it put out"
exit "$status"
