#!/usr/bin/env bash
# Runs each fuzzer of a sanitize build for a few seconds over its seed corpus (with the
# dictionary of its input's format), and fails when one finds a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/sanitize}
seconds=${2:-10}
shopt -s nullglob
fuzzers=("$build"/fuzz/fuzz_*)
if [ ${#fuzzers[@]} -eq 0 ]; then
    echo "fuzz: no fuzzer in $build/fuzz" >&2
    exit 1
fi
for fuzzer in "${fuzzers[@]}"; do
    [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    corpus=$(mktemp -d)
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
    dict=()
    case "$name" in
    fuzz_rtf_* | fuzz_html_*) dict=(-dict=fuzz/dict/rtf.dict) ;;
    fuzz_pe_*) dict=(-dict=fuzz/dict/pe.dict) ;;
    esac
    echo "fuzz: $name for ${seconds}s"
    "$fuzzer" "${dict[@]}" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
        "$corpus" >"$corpus.log" 2>&1 || {
        tail -n 60 "$corpus.log"
        exit 1
    }
    grep 'cov:' "$corpus.log" | tail -n 1
    rm -rf "$corpus" "$corpus.log"
done
