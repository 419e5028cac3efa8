#!/usr/bin/env bash
# Draws the PNG sizes of the application and file icons from their SVG
# sources in packaging/icons/ (needs rsvg-convert, Debian's librsvg2-bin).
# Run it after changing an SVG and commit the PNGs with it.
set -euo pipefail
icons=$(cd "$(dirname "$0")/../packaging/icons" && pwd)
for size in 16 24 32 48 64 128 256; do
  mkdir -p "$icons/$size"
  for name in kestrane application-x-kestrane-capture; do
    rsvg-convert -w "$size" -h "$size" "$icons/$name.svg" -o "$icons/$size/$name.png"
  done
done
