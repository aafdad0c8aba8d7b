#!/usr/bin/env bash
# Runs each fuzzer of a sanitize build for a few seconds over its seed corpus (with the
# dictionary of its input's format), as many at once as there are cores, and fails when one
# finds a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/sanitize}
seconds=${2:-10}

fuzz_one() {
    local fuzzer=$1 name corpus
    name=$(basename "$fuzzer")
    corpus=$(mktemp -d)
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
    local dict=()
    case "$name" in
    fuzz_rtf_* | fuzz_html_*) dict=(-dict=fuzz/dict/rtf.dict) ;;
    fuzz_pe_*) dict=(-dict=fuzz/dict/pe.dict) ;;
    esac
    echo "fuzz: $name for ${seconds}s"
    # A fixed seed makes a short run repeatable: the same inputs in CI as on the developer's
    # machine (FUZZ_SEED=0 lets libFuzzer pick one for a longer hunt).
    if ! "$fuzzer" "${dict[@]}" -seed="${FUZZ_SEED:-1}" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
        "$corpus" >"$corpus.log" 2>&1; then
        tail -n 60 "$corpus.log"
        echo "fuzz: $name failed" >&2
        return 1
    fi
    echo "fuzz: $name $(grep 'cov:' "$corpus.log" | tail -n 1)"
    rm -rf "$corpus" "$corpus.log"
}

shopt -s nullglob
fuzzers=("$build"/fuzz/fuzz_*)
if [ ${#fuzzers[@]} -eq 0 ]; then
    echo "fuzz: no fuzzer in $build/fuzz" >&2
    exit 1
fi
running=()
failed=0
for fuzzer in "${fuzzers[@]}"; do
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
