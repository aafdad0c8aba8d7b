#!/usr/bin/env bash
# Takes the picture of the interactive web page: the example tree (examples/tree) with folder
# totals and the CRC32 column, opened in a headless Chromium filtered to ".mp3", saved as
# docs/screenshots/web-page-filtered.png. Builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
binary=build/release/quillon
out=docs/screenshots/web-page-filtered.png
[ -x "$binary" ] || { echo "build $binary first (tools/build.sh)" >&2; exit 1; }
chromium=$(command -v chromium || command -v chromium-browser || true)
[ -n "$chromium" ] || { echo "chromium is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config/Tessaly"
printf '[Settings]\nFolderTotals=1\n[Fields]\nCRC32=1\n' >"$work/config/Tessaly/Quillon.ini"
XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
    "$binary" --report "$PWD/examples/tree" --type sizes -o "$work/page.html" --format html
TZ=UTC "$chromium" --headless --no-sandbox --disable-gpu --hide-scrollbars \
    --user-data-dir="$work/profile" --window-size=900,330 --screenshot="$PWD/$out" \
    "file://$work/page.html#filter=.mp3" 2>/dev/null
echo "$out"
