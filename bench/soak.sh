#!/usr/bin/env bash
# Long runs of the savers: resident memory must stay flat and the choreography must keep going.
#
# Headless (default): the saver runs on its simulated clock; its memory is sampled each time its
# trace crosses an interval boundary. Under Xvfb: the saver draws into the root window of a
# private X server for real time and is sampled every real interval.
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: bench/soak.sh [--xvfb] [--duration SECONDS] [--size WxH] [--interval SECONDS]
                     [--max-growth KB] [--max-gap SECONDS] [--max-sprite-gap SECONDS]
                     [--build DIR] [--keep DIR] [PROGRAM...]

  --xvfb            run for real time under a private Xvfb (default: headless, simulated)
  --duration S      length of the run (default 86400 headless, 600 under Xvfb)
  --size WxH        screen size (default 1920x1080)
  --interval S      memory sample interval (default 3600 headless, 60 under Xvfb)
  --max-growth KB   allowed resident growth after the first interval (default 1024)
  --max-gap S       allowed pause between any two choreography actions (default 60)
  --max-sprite-gap S  allowed pause between two actions on one sprite (default 600, 120 Xvfb)
  --build DIR       build folder holding saver/ (default build/default)
  --keep DIR        keep traces, samples and standard error in DIR
  PROGRAM           lumivale-ideas and/or lumivale (default both, one after the other)

Prints a table of the samples and a verdict per program; exits 1 when any program fails.
EOF
}

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/xvfb-lib.sh"
xvfb=0
duration=""
size=1920x1080
interval=""
maxGrowth=1024
maxGap=60
maxSpriteGap=""
build="$root/build/default"
keep=""
programs=()
while (($#)); do
    case "$1" in
        --xvfb) xvfb=1 ;;
        --duration) duration=$2; shift ;;
        --size) size=$2; shift ;;
        --interval) interval=$2; shift ;;
        --max-growth) maxGrowth=$2; shift ;;
        --max-gap) maxGap=$2; shift ;;
        --max-sprite-gap) maxSpriteGap=$2; shift ;;
        --build) build=$2; shift ;;
        --keep) keep=$2; shift ;;
        -h | --help) usage; exit 0 ;;
        -*) usage >&2; exit 2 ;;
        *) programs+=("$1") ;;
    esac
    shift
done
if ((xvfb)); then
    duration=${duration:-600} interval=${interval:-60} maxSpriteGap=${maxSpriteGap:-120}
else
    duration=${duration:-86400} interval=${interval:-3600} maxSpriteGap=${maxSpriteGap:-600}
fi
((${#programs[@]})) || programs=(lumivale-ideas lumivale)
[[ $size =~ ^[0-9]+x[0-9]+$ ]] || { echo "soak: bad --size $size" >&2; exit 2; }
for number in "$duration" "$interval" "$maxGrowth" "$maxGap" "$maxSpriteGap"; do
    [[ $number =~ ^[0-9]+$ ]] && ((number > 0)) || { echo "soak: bad number $number" >&2; exit 2; }
done

work=$(mktemp -d)
xvfbPid=""
saverPid=""
cleanup() {
    [[ -n $saverPid ]] && kill "$saverPid" 2>/dev/null || true
    [[ -n $xvfbPid ]] && kill "$xvfbPid" 2>/dev/null || true
    if [[ -n $keep ]]; then
        mkdir -p "$keep" && find "$work" -maxdepth 1 -type f -exec cp {} "$keep"/ \; || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

rssOf() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null; }

# Headless: the saver's trace goes through a pipe; a sample is taken when the trace's time column
# first reaches each interval boundary, and once on the first line (the scene just built).
runHeadless() {
    local program=$1 name=$2 status=0
    mkfifo "$work/$name.pipe"
    "$program" --headless "$size" --duration "$duration" --trace \
        >"$work/$name.pipe" 2>"$work/$name.stderr" &
    saverPid=$!
    awk -v pid="$saverPid" -v step=$((interval * 1000)) -v trace="$work/$name.trace" '
        function sample(at,   line, file, rss) {
            file = "/proc/" pid "/status"
            while ((getline line < file) > 0)
                if (line ~ /^VmRSS:/) { split(line, field, " "); rss = field[2] }
            close(file)
            if (rss != "") print at, rss
        }
        BEGIN { due = step }
        {
            print > trace
            t = $1 + 0
            if (NR == 1) sample(0)
            while (t >= due) { sample(due); due += step }
        }' <"$work/$name.pipe" >"$work/$name.samples"
    rm "$work/$name.pipe"
    wait "$saverPid" || status=$?
    saverPid=""
    return "$status"
}

# Under Xvfb: the saver draws into the root window; a sample every real interval.
runXvfb() {
    local program=$1 name=$2 k status=0
    execOnXvfb "$program" -root --trace >"$work/$name.trace" 2>"$work/$name.stderr" &
    saverPid=$!
    local start=$SECONDS
    until grep -q ' place ' "$work/$name.trace" 2>/dev/null; do
        kill -0 "$saverPid" 2>/dev/null || break
        sleep 0.1
    done
    : >"$work/$name.samples"
    echo "0 $(rssOf "$saverPid")" >>"$work/$name.samples"
    for ((k = 1; k * interval <= duration; k++)); do
        sleep $((start + k * interval - SECONDS > 0 ? start + k * interval - SECONDS : 0))
        kill -0 "$saverPid" 2>/dev/null || break
        echo "$((k * interval * 1000)) $(rssOf "$saverPid")" >>"$work/$name.samples"
    done
    kill -TERM "$saverPid" 2>/dev/null && terminated=1
    wait "$saverPid" || status=$?
    saverPid=""
    return "$status"
}

# The samples table and the trace checks; prints the verdict and exits 1 on a failure.
judge() {
    local name=$1
    awk -v step=$((interval * 1000)) -v endMs=$((duration * 1000)) -v maxGrowth="$maxGrowth" \
        -v maxGap=$((maxGap * 1000)) -v maxSpriteGap=$((maxSpriteGap * 1000)) '
        function fail(text) { failures = failures "  FAIL " text "\n" }
        FNR == NR { at[++samples] = $1; rss[samples] = $2; next }
        {
            t = $1 + 0; action = $2; index_ = $3
            if (NF < 3 || (action == "place" && NF != 6) || (action != "place" && NF != 3) ||
                (action != "place" && action != "pause" && action != "resume")) {
                fail("malformed trace line " FNR ": " $0); next
            }
            if (FNR == 1) t0 = t
            if (t < last) fail("time goes backwards at line " FNR ": " last " then " t)
            # The scene is built at once; what follows a second later is the choreography.
            if (t >= t0 + 1000) {
                if (seenChoreography && t - last > globalGap) globalGap = t - last
                seenChoreography = 1
                bucket = int((t - t0) / step)
                if (bucket == 0) { followed[index_] = 1; if (index_ + 0 > top) top = index_ + 0 }
                count[index_, bucket]++
                if (index_ in lastOf && t - lastOf[index_] > spriteGap[index_])
                    spriteGap[index_] = t - lastOf[index_]
                actions[bucket]++
            }
            if (action == "pause") {
                if (paused[index_]) fail("sprite " index_ " paused twice, line " FNR)
                paused[index_] = 1
            } else if (action == "resume") {
                if (!paused[index_]) fail("sprite " index_ " resumed while running, line " FNR)
                paused[index_] = 0
            }
            lastOf[index_] = t; last = t; lines++
        }
        END {
            printf "  %10s %10s %12s %10s\n", "at (s)", "RSS (KB)", "growth (KB)", "actions"
            for (i = 1; i <= samples; i++) {
                if (at[i] >= step && base == "") base = rss[i]
                if (base != "" && rss[i] > peak) peak = rss[i]
                b = int(at[i] / step) - 1
                shown = base == "" ? "-" : rss[i] - base
                done = b >= 0 ? actions[b] + 0 : 0
                printf "  %10d %10d %12s %10d\n", at[i] / 1000, rss[i], shown, done
            }
            if (base == "") fail("no memory sample after the first interval")
            else {
                growth = peak - base
                printf "  RSS first interval %d KB, max %d KB, growth %d KB (limit %d)\n",
                    base, peak, growth, maxGrowth
                if (growth >= maxGrowth) fail("resident memory grew by " growth " KB")
            }
            full = int((endMs - t0) / step)
            for (s = 0; s <= top; s++) {
                if (!(s in followed)) continue
                n = ""
                for (b = 0; b < full; b++)
                    if (n == "" || count[s, b] < n) n = count[s, b] + 0
                gap = spriteGap[s]
                if (endMs - lastOf[s] > gap) gap = endMs - lastOf[s]
                printf "  sprite %s: fewest actions in an interval %d, longest pause %.1f s\n",
                    s, n, gap / 1000
                if (n == 0) fail("sprite " s " stalls: an interval without actions")
                if (gap > maxSpriteGap) fail("sprite " s " waits " gap / 1000 " s")
            }
            printf "  %d trace lines, longest pause between actions %.1f s (limit %d)\n",
                lines, globalGap / 1000, maxGap / 1000
            if (!seenChoreography) fail("no choreography in the trace")
            if (globalGap > maxGap) fail("the choreography waits " globalGap / 1000 " s")
            if (failures != "") { printf "%s  verdict: FAIL\n", failures; exit 1 }
            print "  verdict: PASS"
        }' "$work/$name.samples" "$work/$name.trace"
}

failed=0
((xvfb)) && startXvfb "$size"
for name in "${programs[@]}"; do
    program="$build/saver/$name"
    [[ -x $program ]] || { echo "soak: $program is not built" >&2; failed=1; continue; }
    if ((xvfb)); then mode="Xvfb, real time"; else mode="headless, simulated"; fi
    echo "$name: $size, $duration s $mode, a sample every $interval s"
    began=$(date +%s)
    status=0 terminated=0
    if ((xvfb)); then runXvfb "$program" "$name" || status=$?; else
        runHeadless "$program" "$name" || status=$?
    fi
    echo "  real time $(($(date +%s) - began)) s, exit status $status"
    verdict=0
    judge "$name" || verdict=1
    # A saver asked to end by SIGTERM shuts down cleanly and then ends by that signal, as hacks
    # do: status 128 + 15, and only while it was still running when the signal went out.
    if ((terminated && status == 128 + 15)); then
        echo "  ended by SIGTERM as asked"
    elif ((status != 0)); then
        echo "  FAIL the saver ended with status $status"; verdict=1
    fi
    if grep -q -e 'lumivale: ' -e Sanitizer -e 'runtime error' "$work/$name.stderr"; then
        echo "  FAIL reports on standard error:"
        head -n 5 "$work/$name.stderr" | sed 's/^/    /'
        verdict=1
    fi
    ((verdict == 0)) || failed=1
done
exit "$failed"
