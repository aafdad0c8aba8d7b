#!/usr/bin/env bash
# Runs each fuzzer of a sanitize build for a few seconds over its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/sanitize}
seconds=${2:-10}
shopt -s nullglob
for fuzzer in "$build"/fuzz/fuzz_*; do
    [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    corpus=$(mktemp -d)
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
    echo "fuzz: $name for ${seconds}s"
    "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 "$corpus" >"$corpus.log" 2>&1 || {
        tail -n 60 "$corpus.log"
        exit 1
    }
    rm -rf "$corpus" "$corpus.log"
done
