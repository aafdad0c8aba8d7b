#!/usr/bin/env bash
# Figures of whole reports in batch mode (one run each, warm cache):
#   1. quillon --report, Tree view with file size, over >= 150,000 entries, against
#      `tree -a -s --noreport DIR` on the same tree;
#   2. the same report over 1,000,000 files written as HTML and as plain text: peak memory.
# Usage: bench/report_figures.sh [build dir]   (trees are made once under /tmp)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
binary=$build/quillon
small=/tmp/quillon_fig_150k
large=/tmp/quillon_fig_1m
python3 bench/make_tree.py "$small" 150000 100
python3 bench/make_tree.py "$large" 1000000 1000

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data

job() { # job file for a tree in Tree view with file size
    printf 'Option3\r\nName\r\nAsc\r\nCourier New\r\n10\r\n%s,Yes,*.*,All Levels,3\r\n' "$1" >"$2"
}
measure() { # prints "seconds peak-kB" of a command
    /usr/bin/time -f '%e %M' -o "$scratch/time" "$@" >/dev/null 2>&1 || true
    cat "$scratch/time"
}

job "$small" "$scratch/small.qjb"
job "$large" "$scratch/large.qjb"
entries=$(find "$small" | wc -l)
find "$small" "$large" >/dev/null # warm the cache
"$binary" --report "$scratch/small.qjb" -o "$scratch/warm.txt" >/dev/null 2>&1

read -r q_s q_m < <(measure "$binary" --report "$scratch/small.qjb" -o "$scratch/small.txt")
read -r t_s t_m < <(measure tree -a -s --noreport "$small")
echo "Tree view with file size, $entries entries:"
echo "  quillon --report (text)  ${q_s}s  peak ${q_m} kB"
echo "  tree -a -s --noreport    ${t_s}s  peak ${t_m} kB"
awk -v q="$q_s" -v t="$t_s" 'BEGIN { if (t > 0) printf "  ratio %.2fx\n", q / t }'

read -r h_s h_m < <(measure "$binary" --report "$scratch/large.qjb" -o "$scratch/large.htm")
read -r p_s p_m < <(measure "$binary" --report "$scratch/large.qjb" -o "$scratch/large.txt")
echo "Tree view with file size, 1,000,000 files:"
echo "  HTML        ${h_s}s  peak $((h_m / 1024)) MB"
echo "  plain text  ${p_s}s  peak $((p_m / 1024)) MB"
