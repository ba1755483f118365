#!/usr/bin/env bash
# Plants one-line faults, one at a time, into a copy of the source tree and
# runs the test suite against each: a fault the suite does not notice is a
# gap in the tests. A developer's tool, run by hand:
#
#   bash scripts/plant-faults.sh              every fault of scripts/planted-faults.txt
#   bash scripts/plant-faults.sh PATTERN      only the faults whose line matches PATTERN,
#                                             an extended regular expression ('^(view|ui)/')
#
# The faults are listed in scripts/planted-faults.txt, one a line:
#   FILE @@ ORIGINAL TEXT @@ REPLACEMENT
# where ORIGINAL TEXT occurs exactly once in FILE (\n in either text stands
# for a line break). Lines starting with # and blank lines are skipped.
#
# The source tree is never touched: its tracked files are copied to
# build-faults/source (or $QUORREL_FAULT_DIR/source), built once into
# build-faults/build, and each fault is written into the copy, rebuilt
# (only what depends on the file), tested with ctest -j2, and undone, also
# when the run is interrupted. Needs python3 and xvfb-run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list=$root/scripts/planted-faults.txt
work=${QUORREL_FAULT_DIR:-$root/build-faults}
source=$work/source
build=$work/build
filter=${1:-}
timeout=${QUORREL_FAULT_TEST_TIMEOUT:-300}
"$root/scripts/setup.sh" >/dev/null

# Copies the tracked files whose content differs, so that a second run
# rebuilds only what changed since the first, and removes from the copy the
# files the tree no longer has (a test file left behind would be built).
mkdir -p "$source" "$build"
git -C "$root" ls-files -z | python3 -c '
import os, shutil, sys
root, copy = sys.argv[1], sys.argv[2]
names = [name for name in sys.stdin.read().split("\0") if name and os.path.isfile(os.path.join(root, name))]
kept = set(names)
for folder, _, files in os.walk(copy):
    for file in files:
        relative = os.path.relpath(os.path.join(folder, file), copy)
        if relative not in kept:
            os.remove(os.path.join(copy, relative))
for name in names:
    src, dst = os.path.join(root, name), os.path.join(copy, name)
    with open(src, "rb") as f:
        data = f.read()
    if os.path.exists(dst):
        with open(dst, "rb") as f:
            if f.read() == data:
                continue
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    shutil.copy(src, dst)
' "$root" "$source"

# The suite runs in a session of its own, ended with it: an X server that
# outlived its xvfb-run after a failing run, or a program a stopped test
# started, would otherwise be left behind, one for each fault.
run_suite() {
    local status=0 session
    rm -f "$work/session"
    setsid -w bash -c 'echo $$ >"$1/session" && cd "$2" && exec xvfb-run -a -s "-screen 0 1920x1200x24" \
        ctest -j2 --timeout "$3" --stop-on-failure --output-on-failure -E "^format_check$"' \
        _ "$work" "$build" "$timeout" >"$work/last-test.log" 2>&1 || status=$?
    session=$(cat "$work/session" 2>/dev/null || true)
    [ -n "$session" ] && pkill -KILL -s "$session" 2>/dev/null || true
    return "$status"
}

# The list is read from a copy, so that editing it does not upset a run.
cp "$list" "$work/faults.txt"

echo "building the unchanged copy in $build"
cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >"$work/last-build.log" 2>&1 || { echo "the unchanged tree does not build: $work/last-build.log" >&2; exit 1; }
run_suite || { echo "the unchanged tree fails its tests: $work/last-test.log" >&2; exit 1; }

# Plants or undoes one fault in the copy: plant FILE ORIGINAL REPLACEMENT.
plant() {
    python3 - "$source/$1" "$2" "$3" <<'EOF'
import sys
path, old, new = (sys.argv[1],) + tuple(a.replace("\\n", "\n") for a in sys.argv[2:4])
text = open(path, encoding="utf-8").read()
if text.count(old) != 1:
    sys.exit(f"{path}: the original text occurs {text.count(old)} times")
open(path, "w", encoding="utf-8").write(text.replace(old, new))
EOF
}

# The file as it was before the fault, kept beside the copy; restoring it
# gives it a new time, so that the next build compiles it again.
planted_file=
restore() {
    if [ -n "$planted_file" ]; then
        cat "$work/unplanted" >"$source/$planted_file"
        planted_file=
    fi
}
trap 'restore; exit 130' INT TERM
trap restore EXIT

caught=0
survived=0
broken=0
survivors=()
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in '' | '#'*) continue ;; esac
    [ -n "$filter" ] && ! [[ "$line" =~ $filter ]] && continue
    file=${line%% @@ *}
    rest=${line#* @@ }
    original=${rest%% @@ *}
    replacement=${rest#* @@ }
    if [ "$file" = "$line" ] || [ "$original" = "$rest" ]; then
        echo "MALFORMED  $line"
        broken=$((broken + 1))
        continue
    fi
    [ -f "$source/$file" ] && cp "$source/$file" "$work/unplanted" || { echo "NO FILE    $file"; broken=$((broken + 1)); continue; }
    planted_file=$file
    if ! plant "$file" "$original" "$replacement"; then
        restore
        broken=$((broken + 1))
        continue
    fi
    # A fault that does not compile says nothing about the tests.
    if ! cmake --build "$build" -j2 >"$work/last-build.log" 2>&1; then
        echo "NO BUILD   $file: $original"
        broken=$((broken + 1))
    elif run_suite; then
        echo "SURVIVED   $file: $original -> $replacement"
        survived=$((survived + 1))
        survivors+=("$file: $original -> $replacement")
    else
        failed=$(grep -oE '^[[:space:]]*[0-9]+ - [^ ]+' "$work/last-test.log" | awk '{print $3}' | sort -u | tr '\n' ' ' || true)
        echo "caught     $file: $original  (by ${failed:-a failing test})"
        caught=$((caught + 1))
    fi
    restore
done <"$work/faults.txt"

# The copy is as the source again; bring the build back in step for the next run.
cmake --build "$build" -j2 >"$work/last-build.log" 2>&1 || true
total=$((caught + survived))
echo
echo "caught $caught of $total planted faults${total:+ ($((total ? 100 * caught / total : 0)) %)}; $broken did not plant or build"
for survivor in "${survivors[@]+"${survivors[@]}"}"; do
    echo "  survived: $survivor"
done
