#!/usr/bin/env bash
# Installs what is missing, builds Quorrel and runs the whole test suite.
# Widget tests run in a real window on a virtual X server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build=${QUORREL_BUILD_DIR:-$root/build}
cd "$build"
xvfb-run -a -s "-screen 0 1920x1200x24" ctest --output-on-failure -j"$(nproc)"
