#!/usr/bin/env bash
# Renders the PNG sizes of the application icon from its SVG drawing. Run it
# by hand after changing the drawing and commit the PNGs; the build does not
# need it. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
id=org.example.Banterly
for n in 16 24 32 48 64 128 256; do
  mkdir -p "${n}x${n}"
  rsvg-convert -w "$n" -h "$n" -o "${n}x${n}/$id.png" "$id.svg"
done
