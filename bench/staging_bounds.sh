#!/usr/bin/env bash
# Time and peak memory of the staging file's reader (RTF) on its hostile shapes
# (bench/hostile_staging.py), each read three ways by bench_staging_read: converted to text and
# to RTF as batch mode converts a report, and built into a text document as the window shows one.
#   bench/staging_bounds.sh [BUILD] [MB]   default build/release, 40 MB shapes
set -euo pipefail
cd "$(dirname "$0")/.."
reader=$(realpath "${1:-build/release}")/bench/bench_staging_read
mb=${2:-40}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 bench/hostile_staging.py "$work" "$mb"
export QT_QPA_PLATFORM=offscreen

echo "| input          | text time | text peak | rtf time | rtf peak | pane time | pane peak | exit | message"
for shape in good deep open word param line runs fonts colours unicode surrogates binary bins; do
    row=$(printf '| %-14s' "$shape.rtf")
    status=0
    for mode in text rtf pane; do
        set +e
        /usr/bin/time -f "%e %M" -o "$work/time" "$reader" "$mode" "$work/$shape.rtf" \
            >/dev/null 2>"$work/err"
        status=$?
        set -e
        read -r seconds kb < <(tail -n 1 "$work/time")
        row+=$(printf ' | %7s s | %6d MB' "$seconds" $((kb / 1024)))
    done
    printf '%s | %4d | %s\n' "$row" "$status" "$(grep -v XDG_RUNTIME "$work/err" | head -n 1 | cut -c1-90)"
done
