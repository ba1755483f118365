#!/usr/bin/env bash
# Installs what is missing, builds and starts Quorrel.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build=${QUORREL_BUILD_DIR:-$root/build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found. To run Quorrel without a screen: xvfb-run -a -s '-screen 0 1920x1200x24' $build/app/quorrel" >&2
    exit 1
fi
exec "$build/app/quorrel" "$@"
