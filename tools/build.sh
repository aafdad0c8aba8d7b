#!/usr/bin/env bash
# Configures and builds one flavour of the project: release (default) or sanitize.
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
case "$flavour" in
release)
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
    cmake --build build/release
    ;;
sanitize)
    # clang, so the same build also gives the libFuzzer targets.
    CC=clang CXX=clang++ cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DQUILLON_SANITIZE=ON -DQUILLON_FUZZ=ON \
        -DQUILLON_BENCH=OFF >/dev/null
    cmake --build build/sanitize
    ;;
*)
    echo "usage: $0 [release|sanitize]" >&2
    exit 2
    ;;
esac
