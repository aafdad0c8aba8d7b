#!/usr/bin/env bash
# Starts Quillon. Without a display it runs the shipped example job in batch mode and prints
# the report instead.
set -euo pipefail
cd "$(dirname "$0")/.."
binary=build/release/quillon
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$binary" "$@"
fi
job=$(mktemp --suffix=.qjb)
trap 'rm -f "$job"' EXIT
sed "s|@EXAMPLES@|$PWD/examples|g" examples/example.qjb.in >"$job"
"$binary" --report "$job"
