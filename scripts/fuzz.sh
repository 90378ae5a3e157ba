#!/usr/bin/env bash
# Builds the fuzz preset and runs the fuzz targets, two at a time, for SECONDS each (60 unless
# given): scripts/fuzz.sh [TARGET|all] [SECONDS]. TARGET is one of fuzz/entries/ (flic, riff, ...).
# Each target starts from its seeds fuzz/corpus/TARGET and its kept regressions
# fuzz/regressions/TARGET, with its dictionary; the inputs it finds new go to
# build/fuzz/corpus/TARGET, never into the committed corpus. Inputs that crash, break a contract,
# leak or time out go to fuzz/findings/TARGET/. Prints the executions and the final cov/ft of
# every target; exits 1 when anything was found.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t all < <(ls fuzz/entries | sed 's/\.cpp$//')
which=${1:-all}
seconds=${2:-60}
if [ "$which" = all ]; then
    targets=("${all[@]}")
elif [[ " ${all[*]} " == *" $which "* ]]; then
    targets=("$which")
else
    echo "usage: scripts/fuzz.sh [$(IFS="|"; echo "${all[*]}")|all] [SECONDS]" >&2
    exit 2
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

# Targets without a dictionary of their own read RIFF forms (the palette resource, sounds),
# except scripts, which are keyword text.
dictionary() {
    if [ -f "fuzz/$1.dict" ]; then
        echo "fuzz/$1.dict"
    elif [ "$1" = script ]; then
        echo fuzz/keyword.dict
    else
        echo fuzz/riff.dict
    fi
}
# Room for a file past one default-sized buffer (8192 bytes), where refills happen; pictures
# get room for a DCX page table and two buffers of pages behind it.
longest() {
    case "$1" in
        flic | keyword | script) echo 10000 ;;
        pcx | dcx | bmp) echo 16384 ;;
        *) echo 4096 ;;
    esac
}

logs=build/fuzz/logs
mkdir -p "$logs"

run() {
    local target=$1 scratch=build/fuzz/corpus/$1 findings=fuzz/findings/$1
    mkdir -p "$scratch" "$findings"
    nice build/fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$(longest "$target")" -dict="$(dictionary "$target")" \
        -artifact_prefix="$findings/" -print_final_stats=1 \
        "$scratch" "fuzz/corpus/$target" "fuzz/regressions/$target" >"$logs/$target.log" 2>&1
}

found=0
summary() {
    local target=$1 status=$2 log=$logs/$1.log
    local runs cov
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1 || true)
    local artifacts
    artifacts=$(find "fuzz/findings/$target" -type f -newer "$logs/.start" | wc -l)
    echo "$target: ${runs:-?} executions, ${cov:-no coverage line}, $artifacts new finding(s)"
    if [ "$status" -ne 0 ] || [ "$artifacts" -ne 0 ]; then
        found=1
        echo "  see $log" && grep -E 'ERROR|contract broken|SUMMARY|Test unit written' "$log" | head -5 | sed 's/^/  /'
        find "fuzz/findings/$target" -type f -newer "$logs/.start" | sed 's/^/  found: /'
    fi
}

touch "$logs/.start"
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    pair=("${targets[@]:i:2}")
    pids=()
    for target in "${pair[@]}"; do
        run "$target" &
        pids+=($!)
    done
    for k in "${!pair[@]}"; do
        status=0
        wait "${pids[$k]}" || status=$?
        summary "${pair[$k]}" "$status"
    done
done
exit $found
