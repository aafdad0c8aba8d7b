#!/usr/bin/env bash
# Takes the picture of the main window for the README: runs the built program under a virtual
# X server with a Tree view job over examples/tree (or a small tree made here when the examples
# are missing), scans, and saves docs/screenshots/main-window.png. Builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
binary=build/release/quillon
out=docs/screenshots/main-window.png
[ -x "$binary" ] || { echo "build $binary first (tools/build.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=$PWD/examples/tree
if [ ! -d "$tree" ]; then
    tree=$work/tree
    mkdir -p "$tree/Music/Live" "$tree/Photos/2023" "$tree/Documents"
    printf 'x%.0s' {1..3000} >"$tree/Music/song one.mp3"
    printf 'x%.0s' {1..1200} >"$tree/Music/Live/encore.mp3"
    printf 'x%.0s' {1..800} >"$tree/Photos/2023/beach.jpg"
    printf 'x%.0s' {1..400} >"$tree/Documents/notes & plans.txt"
    printf 'x%.0s' {1..100} >"$tree/readme.txt"
fi
job=$work/screenshot.qjb
printf 'Option2\r\nName\r\nAsc\r\nLiberation Mono\r\n10\r\n%s,Yes,*.*,All Levels,3\r\n' "$tree" >"$job"

# A private settings and data folder, so the user's own default job and window size stay as
# they are.
mkdir -p "$(dirname "$out")"
XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
    QUILLON_SCREENSHOT=$PWD/$out QUILLON_SCREENSHOT_JOB=$job \
    xvfb-run -a -s "-screen 0 1280x900x24 -dpi 96" "$binary"
echo "wrote $out"
