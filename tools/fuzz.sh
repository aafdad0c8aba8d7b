#!/usr/bin/env bash
# Runs each fuzzer of a sanitize build for a few seconds over its seed corpus, as many at once
# as there are cores.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/sanitize}
seconds=${2:-10}

fuzz_one() {
    local fuzzer=$1 name corpus
    name=$(basename "$fuzzer")
    corpus=$(mktemp -d)
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
    echo "fuzz: $name for ${seconds}s"
    if ! "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 "$corpus" >"$corpus.log" 2>&1; then
        tail -n 60 "$corpus.log"
        echo "fuzz: $name failed" >&2
        return 1
    fi
    rm -rf "$corpus" "$corpus.log"
}

shopt -s nullglob
running=()
failed=0
for fuzzer in "$build"/fuzz/fuzz_*; do
    [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
    fuzz_one "$fuzzer" &
    running+=($!)
    if [ ${#running[@]} -ge "$(nproc)" ]; then
        wait "${running[0]}" || failed=1
        running=("${running[@]:1}")
    fi
done
for pid in "${running[@]}"; do
    wait "$pid" || failed=1
done
exit "$failed"
