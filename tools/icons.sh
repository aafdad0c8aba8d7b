#!/usr/bin/env bash
# Renders the program icon resources/icons/quillon.svg to the PNG sizes that the install puts
# in the hicolor theme (packaging/icons/). Run after changing the drawing; needs rsvg-convert
# (package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" resources/icons/quillon.svg -o "packaging/icons/$size.png"
done
