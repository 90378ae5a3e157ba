#!/usr/bin/env bash
# What showing the savers costs, without a display and repeatably on a shared machine: each saver
# runs headless on its simulated clock with --present (stage, present queue and conversion into a
# screen picture of the screen's size, every frame) under valgrind's callgrind. The instructions
# of a short run are taken from those of a long one, so that start-up (reading and building the
# scene) drops out: what remains is the instructions per simulated second of running. Peak
# resident memory comes from a run without valgrind (/usr/bin/time).
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: bench/present-callgrind.sh [--sizes WxH,...] [--seconds S] [--scale N|auto]
                                  [--build DIR] [--profile N] [--keep DIR] [PROGRAM...]

  --sizes LIST    screen sizes, comma-separated (default 1920x1080,3840x2160)
  --seconds S     simulated seconds measured beyond the short run (default 30)
  --scale N|auto  the savers' pixel scale (default 1)
  --build DIR     build folder holding saver/ (default build/default)
  --profile N     after each case, the N functions of most instructions of their own
  --keep DIR      keep the callgrind files in DIR
  PROGRAM         lumivale-ideas and/or lumivale (default both)

Prints one line per case: screen, program, instructions per simulated second, peak resident MB.
EOF
}

root=$(cd "$(dirname "$0")/.." && pwd)
sizes=1920x1080,3840x2160
seconds=30
scale=1
build="$root/build/default"
profile=0
keep=""
programs=()
while (($#)); do
    case "$1" in
        --sizes) sizes=$2; shift ;;
        --seconds) seconds=$2; shift ;;
        --scale) scale=$2; shift ;;
        --build) build=$2; shift ;;
        --profile) profile=$2; shift ;;
        --keep) keep=$2; shift ;;
        -h | --help) usage; exit 0 ;;
        -*) usage >&2; exit 2 ;;
        *) programs+=("$1") ;;
    esac
    shift
done
[[ $seconds =~ ^[0-9]+$ ]] && ((seconds > 0)) || { echo "bad --seconds $seconds" >&2; exit 2; }
[[ $profile =~ ^[0-9]+$ ]] || { echo "bad --profile $profile" >&2; exit 2; }
((${#programs[@]})) || programs=(lumivale-ideas lumivale)
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The short run: long enough for every sprite to have been placed and drawn once.
short=5

# Instructions of one headless run of `duration` simulated seconds, all threads together.
instructions() {
    local program=$1 size=$2 duration=$3 out=$4
    valgrind --tool=callgrind --callgrind-out-file="$out" \
        "$build/saver/$program" --headless "$size" --present --scale "$scale" \
        --duration "$duration" >/dev/null 2>"$work/valgrind.stderr" || {
        echo "$program $size: the run failed: $(tail -n 3 "$work/valgrind.stderr")" >&2
        return 1
    }
    awk '/^(summary|totals):/ { print $2; exit }' "$out"
}

status=0
IFS=, read -r -a sizeList <<<"$sizes"
for size in "${sizeList[@]}"; do
    [[ $size =~ ^[0-9]+x[0-9]+$ ]] || { echo "bad size $size" >&2; exit 2; }
    for program in "${programs[@]}"; do
        name="$program-$size"
        first=$(instructions "$program" "$size" "$short" "$work/$name.short.out") || { status=1; continue; }
        total=$((short + seconds))
        second=$(instructions "$program" "$size" "$total" "$work/$name.out") || { status=1; continue; }
        /usr/bin/time -o "$work/time" -f "%M" "$build/saver/$program" --headless "$size" \
            --present --scale "$scale" --duration "$total" >/dev/null
        awk -v s="$size" -v p="$program" -v a="$first" -v b="$second" -v t="$seconds" \
            -v m="$(cat "$work/time")" \
            'BEGIN { printf "%-10s %-15s %14.0f instructions per simulated second %8.1f MB\n",
                     s, p, (b - a) / t, m / 1024 }'
        if ((profile > 0)); then
            callgrind_annotate "$work/$name.out" 2>/dev/null | sed 's/ \[[^]]*\]$//' |
                awk -v n="$profile" '/file:function/ { getline; listed = 1; next }
                                     listed && NF && shown < n { print "    " $0; shown++ }'
        fi
    done
done
[[ -n $keep ]] && mkdir -p "$keep" && cp "$work"/*.out "$keep"/
exit "$status"
