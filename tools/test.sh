#!/usr/bin/env bash
# Builds and runs every test under AddressSanitizer and UndefinedBehaviorSanitizer, runs each
# fuzzer briefly over its seed corpus, then builds the program as a plain release build (the
# command a packager types; any compiler warning fails) and checks what it installs.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/stage.sh
export QT_QPA_PLATFORM=offscreen
export CMAKE_GENERATOR=${CMAKE_GENERATOR:-Ninja}
jobs=$(nproc)

stage "sanitize build" bash tools/build.sh sanitize
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:suppressions=$PWD/tools/asan.supp
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
stage "tests (ASan+UBSan)" ctest --test-dir build/sanitize --output-on-failure -j"$jobs"
stage "fuzzers" bash tools/fuzz.sh build/sanitize 7

# After the README's first command (tools/build.sh program) this folder is already built, the
# same way and with warnings as errors: then nothing is left to compile here.
plain_build() {
    local log=build/plain.log
    mkdir -p build
    { cmake -S . -B build/plain -DCMAKE_BUILD_TYPE=Release && cmake --build build/plain; } 2>&1 | tee "$log"
    if grep -q "warning:" "$log"; then
        echo "test: the release build gave compiler warnings (above)" >&2
        return 1
    fi
}
stage "release build" plain_build
stage "install check" bash tools/check-install.sh build/plain
