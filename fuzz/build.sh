#!/usr/bin/env bash
# Builds the fuzz targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer).
# Usage: fuzz/build.sh [build-dir] [cmake targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build_dir=${1:-build-fuzz}
shift || true
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZRV_FUZZ=ON \
    -DZRV_BUILD_TESTS=OFF -DZRV_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" ${1:+--target "$@"}
