#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a fixed number of runs.
# Usage: scripts/fuzz.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-20000}
build=${KS_FUZZ_BUILD_DIR:-$root/build-fuzz}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKS_WERROR=ON -DKS_BUILD_FUZZ=ON -DKS_BUILD_TESTS=OFF -DKS_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz-all
for corpus in "$root"/fuzz/corpus/*/; do
  name=$(basename "$corpus")
  work=$(mktemp -d)
  cp -r "$corpus"/. "$work"/
  echo "fuzz $name: $runs runs"
  "$build/bin/fuzz-$name" -runs="$runs" -max_len=8192 "$work" >"$work.log" 2>&1 || { tail -40 "$work.log"; exit 1; }
  rm -rf "$work" "$work.log"
done
echo "fuzz: all targets clean"
