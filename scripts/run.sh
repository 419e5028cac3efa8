#!/usr/bin/env bash
# Installs what is needed, builds the program (scripts/build.sh) and starts it with the simulated probe
# beside it. Extra arguments go to the program (e.g. a capture file to open).
# The probe's traffic is chosen with KS_SIM_SCENARIO (modem, modbus, random,
# full); see docs/simulated-probe.md.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_BUILD_DIR:-$root/build}

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "run.sh: no display: DISPLAY and WAYLAND_DISPLAY are not set, so the window cannot be shown." >&2
  if command -v xvfb-run >/dev/null 2>&1; then
    echo "run.sh: to run it on a virtual display instead: xvfb-run -a $0 $*" >&2
  else
    echo "run.sh: run it from a desktop session, or install xvfb and use: xvfb-run -a $0" >&2
  fi
  exit 1
fi

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
if [[ ! -f "$build/bin/libCorvane.so" ]]; then
  echo "run.sh: the simulated probe ($build/bin/libCorvane.so) was not built." >&2
  exit 1
fi
exec "$build/bin/kestrane" "$@"
