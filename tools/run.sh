#!/usr/bin/env bash
# Starts Quillon. Without a display it runs the shipped example job in batch mode and prints
# the report instead.
set -euo pipefail
cd "$(dirname "$0")/.."
# The program of the latest build: tools/build.sh program (the README's first command) or
# tools/build.sh (release).
binary=build/plain/quillon
if [ build/release/quillon -nt "$binary" ]; then
    binary=build/release/quillon
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$binary" "$@"
fi
job=$(mktemp --suffix=.qjb)
trap 'rm -f "$job"' EXIT
sed "s|@EXAMPLES@|$PWD/examples|g" examples/example.qjb.in >"$job"
"$binary" --report "$job"
