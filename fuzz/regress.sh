#!/usr/bin/env bash
# Builds the fuzz targets and runs each once over every input of its seed corpus and of its
# kept crash inputs. Usage: fuzz/regress.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-fuzz}
fuzz/build.sh "$build_dir"

failed=()
for corpus in fuzz/corpus/*/; do
    target=$(basename "$corpus")
    mapfile -t inputs < <(find "$corpus" "fuzz/regressions/$target" -type f 2>/dev/null | sort)
    echo "fuzz target $target: ${#inputs[@]} inputs"
    if ! "$build_dir/fuzz/$target" -rss_limit_mb=512 -malloc_limit_mb=128 -timeout=10 \
        "${inputs[@]}" >"$build_dir/$target.log" 2>&1; then
        tail -n 40 "$build_dir/$target.log"
        failed+=("$target")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz regressions failed in: ${failed[*]}"
    exit 1
fi
echo "fuzz regressions clean"
