#!/usr/bin/env bash
# Reports from a saved listing against the scan they come from (one run each, warm cache):
# time of the layout of the scan against reading the listing and laying it out, peak memory of
# each process, and merging two listings against reading them.
# Usage: bench/from_listing_figures.sh [TREE] [build dir]   (default /tmp/quillon_bench/spread)
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${1:-/tmp/quillon_bench/spread}
build=${2:-build/release}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
"$build/bench/bench_from_listing" scan "$tree" "$scratch"
# A second machine's listing of the same tree, under another name.
sed "s|\"$tree|\"$tree-b|g" "$scratch/listing.json" >"$scratch/listing-b.json"
# Listings are read long after they were written: the kernel writing back the half gigabyte
# just written while a step runs would be timed with it (up to 1.5 times a merge's CPU).
sync
"$build/bench/bench_from_listing" listing "$scratch"
cmp "$scratch/scan.dmp" "$scratch/listing.dmp" && echo "the two reports are the same bytes"
"$build/bench/bench_from_listing" merge "$scratch"
