#!/usr/bin/env bash
# Starts Quorrel on a virtual screen, waits until it has drawn, and saves a
# screenshot of the whole screen: scripts/screenshot.sh OUTPUT.png [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
output=$(realpath -m "${1:-quorrel.png}")
seconds=${2:-4}
build=${QUORREL_BUILD_DIR:-$root/build}
command -v import >/dev/null || { echo "ImageMagick's import is needed: apt-get install imagemagick" >&2; exit 1; }
[ -x "$build/app/quorrel" ] || "$root/scripts/build.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
xvfb-run -a -s "-screen 0 1920x1200x24" bash -c '
    "$0" & pid=$!
    sleep "$1"
    import -window root "$2"
    kill "$pid"; wait "$pid" 2>/dev/null || true' "$build/app/quorrel" "$seconds" "$output"
echo "$output"
