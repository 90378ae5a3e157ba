#!/usr/bin/env bash
# What the savers cost on a real X screen: each draws into the root window of a private Xvfb for
# a fixed wall time, measured by /usr/bin/time: CPU of the saver's process (user and system, in
# per cent of one core) and its peak resident memory. XScreenSaver's popsquares runs beside them
# when it is installed. Wall-clock figures: on a machine shared with other work they vary by
# run; the X server's own CPU is not counted.
#
# Beside each figure stands the machine's floor for it: how often the program went to sleep
# (its voluntary context switches a second), and what a process that does nothing but sleep
# and wake as often costs, measured the same way right after. On a virtual machine a wake can
# cost tens of microseconds, and the floor is then a large part of the figure.
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: bench/present-xvfb.sh [--seconds S] [--sizes WxH,...] [--build DIR] [--scene-dir DIR]
                             [--scale N|auto] [PROGRAM...]

  --seconds S      wall time of each case (default 20)
  --sizes LIST     screen sizes, comma-separated (default 1920x1080,3840x2160)
  --build DIR      build folder holding saver/ (default build/default)
  --scene-dir DIR  passed on to the savers
  --scale N|auto   passed on to the savers (default: theirs)
  PROGRAM          lumivale-ideas, lumivale, popsquares (default all three; popsquares only
                   when installed)

Prints one line per case: screen, program, CPU %, peak resident MB, sleeps a second and the
CPU % of a process that only sleeps and wakes as often (bench/wake-floor, from --build).
EOF
}

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/xvfb-lib.sh"
seconds=20
sizes=1920x1080,3840x2160
build="$root/build/default"
saverArgs=()
programs=()
while (($#)); do
    case "$1" in
        --seconds) seconds=$2; shift ;;
        --sizes) sizes=$2; shift ;;
        --build) build=$2; shift ;;
        --scene-dir) saverArgs+=(--scene-dir "$2"); shift ;;
        --scale) saverArgs+=(--scale "$2"); shift ;;
        -h | --help) usage; exit 0 ;;
        -*) usage >&2; exit 2 ;;
        *) programs+=("$1") ;;
    esac
    shift
done
[[ $seconds =~ ^[0-9]+$ ]] && ((seconds > 0)) || { echo "bad --seconds $seconds" >&2; exit 2; }
popsquares=/usr/libexec/xscreensaver/popsquares
floorProgram="$build/bench/wake-floor"
[[ -x $floorProgram ]] || { echo "no $floorProgram: build the benchmarks first" >&2; exit 2; }
if ((${#programs[@]} == 0)); then
    programs=(lumivale-ideas lumivale)
    [[ -x $popsquares ]] && programs+=(popsquares)
fi

work=$(mktemp -d)
xvfbPid=""
cleanup() {
    [[ -n $xvfbPid ]] && kill "$xvfbPid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

stopXvfb() {
    kill "$xvfbPid" 2>/dev/null || true
    wait "$xvfbPid" 2>/dev/null || true
    xvfbPid=""
}

# One case: the program on the root window for the wall time, ended by SIGTERM as a screen-saver
# daemon ends it.
measure() {
    local size=$1 name=$2 command
    case "$name" in
        popsquares) command=("$popsquares" -root) ;;
        *) command=("$build/saver/$name" -root "${saverArgs[@]}") ;;
    esac
    onXvfb /usr/bin/time -o "$work/time" -f "%U %S %e %M %w" \
        timeout -s TERM "$seconds" "${command[@]}" >/dev/null 2>"$work/stderr" || true
    # The last line: time first says that the run ended by the signal.
    read -r user system elapsed peakKb sleeps < <(tail -n 1 "$work/time") || {
        echo "$size $name: no measurement ($(tail -n 1 "$work/stderr"))" >&2
        return 1
    }
    local rate floor
    rate=$(awk -v w="$sleeps" -v e="$elapsed" 'BEGIN { printf "%.1f", w / e }')
    floor=$(sleepCost "$rate")
    awk -v s="$size" -v n="$name" -v u="$user" -v y="$system" -v e="$elapsed" -v m="$peakKb" \
        -v r="$rate" -v f="$floor" \
        'BEGIN { printf "%-10s %-15s %6.2f %% of a core %8.1f MB %6.0f sleeps/s, floor %s %%\n",
                 s, n, 100 * (u + y) / e, m / 1024, r, f }'
}

# CPU % of the wake-floor program sleeping and waking `rate` times a second for the wall time.
sleepCost() {
    /usr/bin/time -o "$work/floor" -f "%U %S %e" "$floorProgram" "$1" "$seconds" 2>/dev/null || {
        echo "-"
        return
    }
    awk '{ printf "%.2f", 100 * ($1 + $2) / $3 }' "$work/floor"
}

status=0
IFS=, read -r -a sizeList <<<"$sizes"
for size in "${sizeList[@]}"; do
    [[ $size =~ ^[0-9]+x[0-9]+$ ]] || { echo "bad size $size" >&2; exit 2; }
    startXvfb "$size"
    for name in "${programs[@]}"; do
        measure "$size" "$name" || status=1
    done
    stopXvfb
done
exit "$status"
