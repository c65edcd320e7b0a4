#!/usr/bin/env bash
# Generates the API reference from the installed public headers with Doxygen; any warning fails.
#   scripts/build-api-docs.sh INCLUDE-DIR OUTPUT-DIR
# INCLUDE-DIR is <prefix>/include/zrvStreams of an installed tree (scripts/ci-package.sh makes one).
set -euo pipefail
cd "$(dirname "$0")/.."

[ $# -eq 2 ] || { echo "usage: scripts/build-api-docs.sh INCLUDE-DIR OUTPUT-DIR" >&2; exit 2; }
mkdir -p "$2"
export ZRV_API_INPUT=$(cd "$1" && pwd) ZRV_API_OUTPUT=$(cd "$2" && pwd)
export ZRV_API_VERSION=$(sed -nE 's/^project\(zrvStreams VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
rm -f "$ZRV_API_OUTPUT/warnings.log"
doxygen docs/api/Doxyfile
if [ -s "$ZRV_API_OUTPUT/warnings.log" ]; then
    echo "API documentation: $(wc -l < "$ZRV_API_OUTPUT/warnings.log") warning lines:" >&2
    cat "$ZRV_API_OUTPUT/warnings.log" >&2
    exit 1
fi
echo "API documentation: $ZRV_API_OUTPUT/html/index.html"
