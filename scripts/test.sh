#!/usr/bin/env bash
# The one test command: installs what is needed, builds, runs the whole suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export KS_BUILD_DIR=${KS_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" -DKS_BUILD_TESTS=ON -DKS_BUILD_BENCH=ON
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$KS_BUILD_DIR" --output-on-failure -j "$(nproc)" --timeout 300
# Short fuzz runs of every decoder, when clang is there to build them.
if command -v clang++ >/dev/null 2>&1; then
  "$root/scripts/fuzz.sh" 20000
fi
