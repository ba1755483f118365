#!/usr/bin/env bash
# Times a study of 200 sample-sized scans in one quorrel-measure process
# against 200 single runs one after another, checks that both give the same
# reports, and prints the ratio beside its target (at most 0.6 on 2 cores).
# Not a test: the time depends on the machine and what else runs on it.
#
#   bash bench/study-speed.sh [build-dir] [jobs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
jobs=${2:-2}
measure=$build/tools/quorrel-measure
[ -x "$measure" ] || { echo "build quorrel-measure first: cmake --build $build --target quorrel-measure" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
count=0
while [ $count -lt 200 ]; do
    for sample in "$root"/samples/*.png; do
        [ $count -lt 200 ] || break
        name=$(printf 'scan-%03d' $count)
        cp "$sample" "$work/$name.png"
        cp "${sample%.png}.json" "$work/$name.json"
        count=$((count + 1))
    done
done

now() { date +%s.%N; }

start=$(now)
for scan in "$work"/*.png; do
    "$measure" "$scan" -o "${scan%.png}.single.txt" 2>/dev/null
done
single=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')

start=$(now)
"$measure" "$work"/*.png --jobs "$jobs" 2>/dev/null
study=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')

for scan in "$work"/*.png; do
    cmp -s "${scan%.png}.single.txt" "${scan%.png}.report.txt" || { echo "reports differ: $scan" >&2; exit 1; }
done
printf '200 single runs:          %6.2f s\n' "$single"
printf 'one study, --jobs %-2s     %6.2f s\n' "$jobs" "$study"
printf 'study / single runs:      %6.3f   (target at most 0.6 on 2 cores)\n' \
    "$(awk -v a="$study" -v b="$single" 'BEGIN { print a / b }')"
