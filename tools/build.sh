#!/usr/bin/env bash
# Configures and builds one flavour of the project, with warnings as errors: release (default:
# the program, tests and benchmarks), sanitize (clang with ASan and UBSan: the program, tests,
# benchmarks and fuzzers) or program (the program alone, as a packager builds it, into
# build/plain: what the README's first command starts) or tsan (clang with ThreadSanitizer:
# the scan tests alone, where the walk's threads are, into build/tsan).
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
case "$flavour" in
program)
    # The packager's configuration (tools/test.sh builds it again in the same folder, then
    # finds nothing left to do) plus warnings as errors.
    cmake -S . -B build/plain -G "${CMAKE_GENERATOR:-Ninja}" -DCMAKE_BUILD_TYPE=Release \
        -DQUILLON_WERROR=ON >/dev/null
    cmake --build build/plain
    ;;
release)
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DQUILLON_WERROR=ON -DQUILLON_TESTS=ON -DQUILLON_BENCH=ON >/dev/null
    cmake --build build/release
    ;;
sanitize)
    # clang, so the same build also gives the libFuzzer targets; -O1 and line tables only
    # keep the build short while the sanitizers' reports still name files and lines.
    CC=clang CXX=clang++ cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" -DQUILLON_SANITIZE=ON -DQUILLON_FUZZ=ON \
        -DQUILLON_WERROR=ON -DQUILLON_TESTS=ON -DQUILLON_BENCH=ON >/dev/null
    cmake --build build/sanitize
    ;;
tsan)
    CC=clang CXX=clang++ cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" -DQUILLON_TSAN=ON \
        -DQUILLON_WERROR=ON -DQUILLON_TESTS=ON >/dev/null
    cmake --build build/tsan --target test_scan
    ;;
*)
    echo "usage: $0 [release|sanitize|program|tsan]" >&2
    exit 2
    ;;
esac
