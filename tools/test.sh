#!/usr/bin/env bash
# Builds and runs every test: once in a release build, once under AddressSanitizer and
# UndefinedBehaviorSanitizer (with the fuzzers run briefly over their seed corpora).
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

bash tools/build.sh release
(cd build/release && ctest --output-on-failure -j"$jobs")

bash tools/build.sh sanitize
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build/sanitize && ctest --output-on-failure -j"$jobs")
bash tools/fuzz.sh build/sanitize 10
