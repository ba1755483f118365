#!/usr/bin/env bash
# Installs what is missing, builds Quorrel and runs the whole test suite:
# first everything below the widgets (the measurement library, the image
# files and the headless command) built without the widget stack and run
# under the address and undefined-behaviour sanitizers, then a short fuzzing
# run of the image decoders (when clang's libFuzzer is there), then every
# test of the normal build. Widget tests run in real windows on a virtual X
# server. Warnings are errors here, as in CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

sanitize=${QUORREL_SANITIZE_BUILD_DIR:-$root/build-sanitize}
QUORREL_BUILD_DIR=$sanitize "$root/scripts/build.sh" -DQUORREL_BUILD_GUI=OFF -DQUORREL_SANITIZE=ON -DQUORREL_WERROR=ON
(cd "$sanitize" && ctest --output-on-failure -j"$(nproc)")

QUORREL_FUZZ_UNIT_TIMEOUT=60 bash "$root/scripts/fuzz.sh" all 6

"$root/scripts/build.sh" -DQUORREL_WERROR=ON
build=${QUORREL_BUILD_DIR:-$root/build}
cd "$build"
xvfb-run -a -s "-screen 0 1920x1200x24" ctest --output-on-failure -j"$(nproc)"
