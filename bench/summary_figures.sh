#!/usr/bin/env bash
# What the summaries of a scan add to a List In Details in batch mode: hyperfine over the
# report alone, with top and types, with duplicates (CRC32 only) and with all three, warm
# cache; then how many files the duplicates read in each pass, from the summary's own figures.
# Usage: bench/summary_figures.sh [build dir] [folder]   (default folder /usr)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
folder=${2:-/usr}
binary=$(realpath "$build/quillon")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data QT_QPA_PLATFORM=offscreen

hyperfine -N -w 1 -r 5 \
    "$binary --report $folder -o $scratch/plain.txt" \
    "$binary --report $folder --summary top,types -o $scratch/top.txt" \
    "$binary --report $folder --summary duplicates -o $scratch/dup.txt" \
    "$binary --report $folder --summary all -o $scratch/all.txt"
# The report's own lines are the same with and without the summaries.
lines=$(wc -l <"$scratch/plain.txt")
head -n $((lines - 4)) "$scratch/all.txt" | cmp -s - <(head -n $((lines - 4)) "$scratch/plain.txt") &&
    echo "report lines unchanged by the summaries" || echo "REPORT LINES DIFFER"
sed -n '/^Duplicates/,$p' "$scratch/all.txt" | grep -E 'group\(s\)|could not be read' || true
