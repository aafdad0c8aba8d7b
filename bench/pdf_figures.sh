#!/usr/bin/env bash
# PDF output of large reports in batch mode (one run each, warm cache): time, peak memory and
# pages of `quillon --report JOB -o OUT.pdf` for Tree view reports of about 170,000, 220,000
# and 1,050,000 lines, the page text checked against the plain-text report, and how long
# Ctrl+C takes to stop the largest one while it prints.
# Usage: bench/pdf_figures.sh [build dir] [tree dir]   (trees are made once, then reused)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
trees=${2:-/tmp/quillon_bench}
binary=$(realpath "$build/quillon")
python3 bench/make_shapes.py flat "$trees/flat170k" 170000
python3 bench/make_shapes.py flat "$trees/flat220k" 220000
python3 bench/make_shapes.py spread "$trees/spread"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data QT_QPA_PLATFORM=offscreen

printf '%-10s %9s %8s %9s %9s %8s  %s\n' tree lines pages seconds "CPU s" "peak MB" \
    "text as report"
for shape in flat170k flat220k spread; do
    printf 'Option2\r\nName\r\nAsc\r\nCourier New\r\n10\r\n%s,Yes,*.*,All Levels,3\r\n' \
        "$trees/$shape" >"$scratch/$shape.qjb"
    "$binary" --report "$scratch/$shape.qjb" -o "$scratch/$shape.txt" 2>/dev/null
    /usr/bin/time -f '%e %M %U %S' -o "$scratch/time" \
        "$binary" --report "$scratch/$shape.qjb" -o "$scratch/$shape.pdf" 2>/dev/null
    read -r seconds peak user system <"$scratch/time"
    pages=$(pdfinfo "$scratch/$shape.pdf" | awk '/^Pages:/ { print $2 }')
    pdftotext -layout "$scratch/$shape.pdf" - | tr -d '\f' | awk 'NF { $1 = $1; print }' \
        >"$scratch/printed"
    awk 'NF { $1 = $1; print }' "$scratch/$shape.txt" >"$scratch/expected"
    same=$(cmp -s "$scratch/printed" "$scratch/expected" && echo yes || echo NO)
    cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.1f", u + s }')
    printf '%-10s %9d %8d %9s %9s %8d  %s\n' "$shape" "$(wc -l <"$scratch/$shape.txt")" "$pages" \
        "$seconds" "$cpu" $((peak / 1024)) "$same"
    rm -f "$scratch/$shape.pdf" "$scratch/printed" "$scratch/expected"
done

# Ctrl+C once the PDF's temporary file is open in the output folder: seconds to the exit.
echo old >"$scratch/keep.pdf"
"$binary" --report "$scratch/spread.qjb" -o "$scratch/keep.pdf" 2>/dev/null &
pid=$!
until ls -l "/proc/$pid/fd" 2>/dev/null | grep -q "$scratch/#.*(deleted)"; do sleep 0.05; done
sleep 2
start=$(date +%s.%N)
kill -INT "$pid"
status=0
wait "$pid" || status=$?
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" -v st="$status" -v kept="$(cat "$scratch/keep.pdf")" \
    'BEGIN { printf "Ctrl+C while printing: exit %d after %.2f s, old file \"%s\"\n", st, e - s, kept }'
