#!/usr/bin/env bash
# Fuzzes one target for a given time. Usage: fuzz/run.sh TARGET SECONDS [libFuzzer options...]
# The build directory is $ZRV_FUZZ_BUILD_DIR, build-fuzz by default.
# Inputs the fuzzer finds go to <build-dir>/corpus/TARGET, crashing inputs to
# <build-dir>/artifacts/TARGET/; once fixed, a crashing input is kept in fuzz/regressions/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."
target=$1
seconds=$2
shift 2
build_dir=${ZRV_FUZZ_BUILD_DIR:-build-fuzz}
fuzz/build.sh "$build_dir" "$target"

mkdir -p "$build_dir/corpus/$target" "$build_dir/artifacts/$target"
corpora=("$build_dir/corpus/$target" "fuzz/corpus/$target")
[ -d "fuzz/regressions/$target" ] && corpora+=("fuzz/regressions/$target")
# A smaller quarantine keeps the resident size close to what the reader itself holds.
export ASAN_OPTIONS="quarantine_size_mb=64${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
exec "$build_dir/fuzz/$target" -rss_limit_mb=512 -malloc_limit_mb=128 -timeout=10 \
    -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build_dir/artifacts/$target/" "$@" "${corpora[@]}"
