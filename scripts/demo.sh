#!/usr/bin/env bash
# Builds the library and its tools in Release mode and runs the demonstration on built-in defaults.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZRV_BUILD_TESTS=OFF >/dev/null
cmake --build build-release
build-release/tools/zrvdemo
