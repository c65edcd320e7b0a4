#!/usr/bin/env bash
# Builds the benchmark in Release, generates the inputs once, and compares the library's chains
# with the reference command-line tools on the same inputs in the same run.
#   bench/run.sh            BENCH_SIZE_MIB (default 256) and BENCH_REPEAT (default 3) tune it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

size_mib=${BENCH_SIZE_MIB:-256}
repeat=${BENCH_REPEAT:-3}
build=build-release
data=$build/bench-data
out=$data/out
bench=$build/bench/zrvbench
inputs=(mixed random)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZRV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "${BENCH_JOBS:-2}" --target zrvbench zrvbenchgen >/dev/null
mkdir -p "$out"

original() { echo "$data/$1-$size_mib.bin"; }

for kind in "${inputs[@]}"; do
    [ -f "$(original "$kind")" ] || "$build/bench/zrvbenchgen" "$kind" "$size_mib" "$(original "$kind")"
done

# same <kind> <file>: the file must equal the original input.
same() {
    cmp -s "$2" "$(original "$1")" || { echo "MISMATCH: $2 differs from the $1 input" >&2; exit 1; }
}

# Compressed files that the decompression rows read, made (untimed) by both sides; each result is
# checked against the original, across sides where the format is shared.
for kind in "${inputs[@]}"; do
    in=$(original "$kind")
    "$bench" gzip-compress "$in" "$out/gzip-$kind.zrv" >/dev/null
    gzip -6 -c <"$in" >"$out/gzip-$kind.ref"
    "$bench" lz4-compress "$in" "$out/lz4-$kind.zrv" >/dev/null
    lz4 -q -1 -c <"$in" >"$out/lz4-$kind.ref"
    gzip -d -c "$out/gzip-$kind.zrv" >"$out/check" && same "$kind" "$out/check"
    "$bench" gzip-decompress "$out/gzip-$kind.ref" "$out/check" >/dev/null && same "$kind" "$out/check"
    "$bench" lz4-decompress "$out/lz4-$kind.zrv" "$out/check" >/dev/null && same "$kind" "$out/check"
done
rm -f "$out/check"

# timed <zrvbench arguments...>: prints "seconds rss_kib" of one run.
timed() {
    "$bench" "$@" | sed -E 's/.*seconds=([0-9.]+).*rss_kib=([0-9]+).*/\1 \2/'
}

# compare <chain> <kind> <chain input> <reference input> <reference command...>
# Ours and the reference run alternately, $repeat times each, writing to /dev/null; the best time
# and the largest peak RSS count. MiB/s counts the uncompressed bytes (the original input).
compare() {
    local chain=$1 kind=$2 ours_in=$3 ref_in=$4
    shift 4
    local ours="" ref="" ours_rss=0 ref_rss=0 seconds kib
    for ((run = 0; run < repeat; run++)); do
        read -r seconds kib < <(timed "$chain" "$ours_in" /dev/null)
        ours=$(awk -v a="$seconds" -v b="$ours" 'BEGIN { print (b == "" || a < b) ? a : b }')
        ((kib > ours_rss)) && ours_rss=$kib
        read -r seconds kib < <(timed exec "$ref_in" /dev/null "$@")
        ref=$(awk -v a="$seconds" -v b="$ref" 'BEGIN { print (b == "" || a < b) ? a : b }')
        ((kib > ref_rss)) && ref_rss=$kib
    done
    awk -v chain="$chain" -v kind="$kind" -v bytes="$(stat -c %s "$(original "$kind")")" -v ours="$ours" \
        -v ref="$ref" -v ours_rss="$ours_rss" -v ref_rss="$ref_rss" -v tool="$*" '
        BEGIN {
            a = bytes / 1048576 / ours; b = bytes / 1048576 / ref
            printf "| %-15s | %-6s | %7.1f | %-10s | %9.1f | %5.2f | %7.1f | %7.1f |\n",
                chain, kind, a, tool, b, a / b, ours_rss / 1024, ref_rss / 1024
        }'
}

echo "Inputs: $size_mib MiB each; best of $repeat alternating runs; MiB/s of uncompressed data."
echo
echo "| chain           | input  |   MiB/s | reference  | ref MiB/s | ratio | RSS MiB | ref RSS |"
echo "|-----------------|--------|--------:|------------|----------:|------:|--------:|--------:|"
for kind in "${inputs[@]}"; do
    in=$(original "$kind")
    compare gzip-compress "$kind" "$in" "$in" gzip -6 -c
    compare gzip-decompress "$kind" "$out/gzip-$kind.ref" "$out/gzip-$kind.ref" gzip -d -c
    compare lz4-compress "$kind" "$in" "$in" lz4 -1 -c
    compare lz4-decompress "$kind" "$out/lz4-$kind.zrv" "$out/lz4-$kind.ref" lz4 -d -c
done
echo
echo "Compressed sizes in bytes, ours / reference tool's:"
for kind in "${inputs[@]}"; do
    for format in gzip lz4; do
        echo "  $format $kind: $(stat -c %s "$out/$format-$kind.zrv") / $(stat -c %s "$out/$format-$kind.ref")"
    done
done
