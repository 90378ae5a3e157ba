#!/usr/bin/env bash
# Measures which lines of each parser the fuzz inputs reach: builds the fuzz-coverage preset
# (source-based coverage), replays each target's seeds, regressions and the inputs the last
# fuzzing run found (build/fuzz/corpus/TARGET), and prints llvm-cov's report for the target's
# parser files, then every line left unreached. scripts/fuzz-coverage.sh [TARGET|all]
set -euo pipefail
cd "$(dirname "$0")/.."

which=${1:-all}
mapfile -t targets < <(ls fuzz/entries | sed 's/\.cpp$//')
[ "$which" = all ] || targets=("$which")

tool() { command -v "$1-14" || command -v "$1"; }
profdata=$(tool llvm-profdata)
cov=$(tool llvm-cov)

cmake --preset fuzz-coverage >/dev/null
cmake --build --preset fuzz-coverage

sources() {
    case "$1" in
        flic) echo engine/media/mImageFlic.cpp engine/media/mImageFlicDecode.cpp \
            engine/core/InPlaceReader.cpp engine/core/InPlaceReader.h ;;
        riff) echo engine/core/mFileRiff.cpp engine/core/mFile.cpp ;;
        keyword) echo engine/core/mFileKeyword.cpp ;;
        palette) echo engine/graphics/mBitmapPalette.cpp ;;
        wave) echo engine/media/mAudioWAV.cpp engine/media/mAudioWAVPlayback.cpp ;;
        script) echo engine/sprite/mScript.cpp engine/sprite/mSpriteScriptCompile.cpp \
            engine/sprite/mSpriteScriptRun.cpp ;;
    esac
}

out=build/fuzz-coverage/profiles
mkdir -p "$out"
for target in "${targets[@]}"; do
    binary=build/fuzz-coverage/fuzz/fuzz_$target
    folders=()
    for folder in fuzz/corpus/$target fuzz/regressions/$target build/fuzz/corpus/$target; do
        [ -d "$folder" ] && folders+=("$folder")
    done
    rm -f "$out/$target".*.profraw
    LLVM_PROFILE_FILE="$out/$target.%p.profraw" "$binary" -runs=0 -max_len=1000000 -artifact_prefix="$out/" \
        "${folders[@]}" >"$out/$target.log" 2>&1
    "$profdata" merge -sparse "$out/$target".*.profraw -o "$out/$target.profdata"
    read -r -a files <<<"$(sources "$target")"
    echo "== $target: $(grep -o 'INITED.*' "$out/$target.log" | head -1)"
    "$cov" report "$binary" -instr-profile="$out/$target.profdata" "${files[@]}"
    for file in "${files[@]}"; do
        "$cov" show "$binary" -instr-profile="$out/$target.profdata" "$file" |
            awk -F'|' -v file="$file" '$2 ~ /^ *0 *$/ {
                code = $0; sub(/^[^|]*\|[^|]*\|/, "", code); print "  " file ":" $1 + 0 ":" code }'
    done
done
