#!/usr/bin/env bash
# Configures and builds into build/ (or $KS_BUILD_DIR). Extra arguments go to cmake.
# Compiles go through ccache when it is installed (a rebuild then costs little).
# Warnings are errors here (KS_WERROR); a later -DKS_WERROR=OFF argument wins.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_BUILD_DIR:-$root/build}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DKS_WERROR=ON "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
