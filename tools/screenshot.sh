#!/usr/bin/env bash
# Takes the pictures of the README and the help page: runs quillon_screenshot under a virtual X
# server with a Tree view job over examples/tree (or a small tree made here when the examples
# are missing). It saves the main window with its report and the location, exclusion and
# settings dialogs in docs/screenshots/, then prints a List In Details report of the same tree
# to printed-report.pdf there with margins of 25, 20, 35 and 15 mm (top, bottom, left, right)
# and turns its pages into printed-page-N.png.
# Builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
binary=build/release/quillon_screenshot
out=docs/screenshots
[ -x "$binary" ] || { echo "build $binary first (tools/build.sh)" >&2; exit 1; }
command -v pdftoppm >/dev/null || { echo "pdftoppm is missing (tools/setup.sh)" >&2; exit 1; }

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
# they are. The C locale measures margins in hundredths of a millimetre.
mkdir -p "$out"
pdf=$work/printed-report.pdf
XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data LC_ALL=C.UTF-8 \
    xvfb-run -a -s "-screen 0 1280x900x24 -dpi 96" \
    "$binary" "$out" "$job" "$pdf" 2500 2000 3500 1500
rm -f "$out"/printed-page-*.png
cp "$pdf" "$out/printed-report.pdf"
pdftoppm -png -r 60 "$pdf" "$out/printed-page"
ls "$out"
