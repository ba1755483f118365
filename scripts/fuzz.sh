#!/usr/bin/env bash
# Builds the image decoding fuzz targets with clang's libFuzzer and runs one
# of them, or each in turn, for a given time:
#
#   bash scripts/fuzz.sh FORMAT SECONDS     FORMAT: png, jpg, jp2, bmp, tga, tif, dcm or all
#
# "all" gives each format SECONDS. One process at low priority; an input
# that takes longer than 10 s (QUORREL_FUZZ_UNIT_TIMEOUT) counts as a hang. New inputs collect in
# fuzz/corpus-run/FORMAT (not kept in git), the seeds are fuzz/corpus/FORMAT.
# A crash, hang or leak stops the run with exit code 1 and leaves the input
# in $QUORREL_FUZZ_BUILD_DIR/findings/FORMAT/ (default build-fuzz/); keep it
# under tests/data/fuzz-regressions/ once fixed. Without clang or libFuzzer
# the script says so and exits 0, so CI can call it unconditionally.
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: $0 png|jpg|jp2|bmp|tga|tif|dcm|all SECONDS" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORREL_FUZZ_BUILD_DIR:-$root/build-fuzz}
# Seconds one input may take before it counts as a hang. A tiny run-length
# file may legitimately describe millions of pixels, which takes a few
# seconds under the sanitizers on a busy machine.
unit_timeout=${QUORREL_FUZZ_UNIT_TIMEOUT:-10}
seconds=$2
case $1 in
    all) formats=(png jpg jp2 bmp tga tif dcm) ;;
    png | jpg | jp2 | bmp | tga | tif | dcm) formats=("$1") ;;
    *) echo "unknown format $1" >&2; exit 2 ;;
esac

if ! command -v clang++ >/dev/null 2>&1; then
    echo "clang++ not found: fuzzing skipped"
    exit 0
fi
mkdir -p "$build"
if ! cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >"$build/configure.log" 2>&1; then
    # Only a missing libFuzzer runtime is the machine's lack; anything else
    # is a fault of the fuzz build and must not pass for a skipped run.
    if grep -q "libFuzzer runtime is not" "$build/configure.log"; then
        echo "clang has no libFuzzer runtime: fuzzing skipped"
        exit 0
    fi
    echo "fuzz targets cannot be configured: $build/configure.log" >&2
    exit 1
fi
targets=()
for format in "${formats[@]}"; do
    targets+=(--target "imageio_fuzz_$format")
done
cmake --build "$build" "${targets[@]}" -j2 >/dev/null

status=0
for format in "${formats[@]}"; do
    corpus=$root/fuzz/corpus-run/$format
    findings=$build/findings/$format
    logs=$build/logs/$format
    mkdir -p "$corpus" "$findings" "$logs"
    echo "== $format for $seconds s"
    # -jobs=1 -workers=1: a single child process whose output goes to fuzz-0.log.
    if ! (cd "$logs" && nice -n 19 "$build/imageio_fuzz_$format" \
            -max_total_time="$seconds" -timeout="$unit_timeout" -rss_limit_mb=2048 -print_final_stats=1 \
            -jobs=1 -workers=1 -artifact_prefix="$findings/" \
            "$corpus" "$root/fuzz/corpus/$format" >/dev/null 2>&1); then
        status=1
    fi
    grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)" \
        "$logs/fuzz-0.log" || true
    if grep -qE "^(==[0-9]+==ERROR|SUMMARY: |.*ALARM: working on the last Unit)" "$logs/fuzz-0.log"; then
        status=1
    fi
done
exit $status
