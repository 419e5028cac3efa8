#!/usr/bin/env bash
# Builds the project (scripts/build.sh) and lists the sample capture with
# ks-convert. Extra arguments go to ks-convert, e.g. --counters or --csv.
# Usage: scripts/convert-sample.sh [ks-convert options]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_BUILD_DIR:-$root/build}
KS_BUILD_DIR=$build "$root/scripts/build.sh"
exec "$build/bin/ks-convert" "$@" "$root/samples/modem-session.ksf"
