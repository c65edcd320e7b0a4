#!/usr/bin/env bash
# Builds the benchmark in Release, generates the inputs once, and compares the library's chains
# with the reference command-line tools on the same inputs in the same run.
#   bench/run.sh            the environment variables in bench/README.md tune it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

size_mib=${BENCH_SIZE_MIB:-256}
cores=$(nproc)
repeat=${BENCH_REPEAT:-3}
sections=" ${BENCH_SECTIONS:-compression crypto containers blocklevel} "
build=build-release
data=$build/bench-data
out=$data/out
bench=$PWD/$build/bench/zrvbench
inputs=(mixed random)
# The library's debug and info lines would only clutter the table.
export QT_LOGGING_RULES="TXK.debug=false;TXK.info=false"

# The key, IV and HMAC key of the encryption chains (bench/cryptochains.cpp), given to openssl.
aes=(-aes-256-cbc -K 000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f -iv a0a1a2a3a4a5a6a7a8a9aaabacadaeaf)
mac=(dgst -sha256 -hmac "zrvbench hmac key" -binary)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZRV_BUILD_TESTS=OFF -DZRV_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "${BENCH_JOBS:-2}" --target zrvbench zrvbenchgen >/dev/null
mkdir -p "$out"

original() { echo "$data/$1-$size_mib.bin"; }

# section <name>: whether the run includes it.
section() {
    [[ $sections == *" $1 "* ]]
}

for kind in "${inputs[@]}"; do
    [ -f "$(original "$kind")" ] || "$build/bench/zrvbenchgen" "$kind" "$size_mib" "$(original "$kind")"
done

# same <kind> <file>: the file must equal the original input.
same() {
    cmp -s "$2" "$(original "$1")" || { echo "MISMATCH: $2 differs from the $1 input" >&2; exit 1; }
}

# measure <zrvbench arguments...>: one run; sets seconds, cpu (user + system seconds) and kib
# (its peak RSS), or ends the benchmark when the run fails.
measure() {
    local line
    line=$("$bench" "$@") || { echo "FAILED: zrvbench $*" >&2; exit 1; }
    read -r seconds cpu kib < <(sed -E 's/.*seconds=([0-9.]+) cpu=([0-9.]+).*rss_kib=([0-9]+).*/\1 \2 \3/' <<<"$line")
}

# least <a> <b>: the smaller of two numbers, b possibly empty.
least() {
    awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'
}

# compare <chain> <kind> <chain input> <reference input> <reference command...>
# Ours and the reference run alternately, $repeat times each, writing to /dev/null; the best wall
# and CPU times and the largest peak RSS count. MiB/s counts the uncompressed bytes (the original
# input) per second of wall time; the CPU ratio compares the CPU times (the reference's over
# ours). The reference column shows $label when set (pipelines), else the command. With $jobs set
# (worker counts, such as "1 $cores"), ours runs once per count (ZRVBENCH_WORKERS) in every round
# and gets a row for each.
compare() {
    local chain=$1 kind=$2 ours_in=$3 ref_in=$4
    shift 4
    local counts=(${jobs:-1}) n
    local -A ours=() ours_cpu=() ours_rss=()
    local ref="" ref_cpu="" ref_rss=0
    for ((run = 0; run < repeat; run++)); do
        for n in "${counts[@]}"; do
            ZRVBENCH_WORKERS=$n measure "$chain" "$ours_in" /dev/null
            ours[$n]=$(least "$seconds" "${ours[$n]:-}")
            ours_cpu[$n]=$(least "$cpu" "${ours_cpu[$n]:-}")
            ((kib > ${ours_rss[$n]:-0})) && ours_rss[$n]=$kib
        done
        measure exec "$ref_in" /dev/null "$@"
        ref=$(least "$seconds" "$ref")
        ref_cpu=$(least "$cpu" "$ref_cpu")
        ((kib > ref_rss)) && ref_rss=$kib
    done
    for n in "${counts[@]}"; do
        awk -v chain="$chain" -v kind="$kind" -v jobs="$n" -v bytes="$(stat -c %s "$(original "$kind")")" \
            -v ours="${ours[$n]}" -v ref="$ref" -v ours_cpu="${ours_cpu[$n]}" -v ref_cpu="$ref_cpu" \
            -v ours_rss="${ours_rss[$n]}" -v ref_rss="$ref_rss" -v tool="${label:-$*}" '
            BEGIN {
                a = bytes / 1048576 / ours; b = bytes / 1048576 / ref
                printf "| %-21s | %-6s | %4d | %7.1f | %-28s | %9.1f | %5.2f | %9.2f | %7.1f | %7.1f |\n",
                    chain, kind, jobs, a, tool, b, a / b, ref_cpu / ours_cpu, ours_rss / 1024, ref_rss / 1024
            }'
    done
}

table_head() {
    echo "| chain                 | input  | jobs |   MiB/s | reference                    | ref MiB/s | ratio | CPU ratio | RSS MiB | ref RSS |"
    echo "|-----------------------|--------|-----:|--------:|------------------------------|----------:|------:|----------:|--------:|--------:|"
}

echo "Inputs: $size_mib MiB each; best of $repeat alternating runs; MiB/s of uncompressed data per second"
echo "of wall time; ratio: ours over the reference's; CPU ratio: the reference's CPU time (user + system, all"
echo "its processes) over ours, which the load of the shared machine distorts far less; RSS is the peak"
echo "resident memory (of a pipeline: the sum of its processes' peaks). jobs: the workers our chain was"
echo "given (ZRVBENCH_WORKERS); 1 is the single-threaded path."
echo "Machine: $(nproc) cores, shared; load average at the start: $(uptime | sed 's/.*load average: //')"
echo

if section compression; then
    # Compressed files that the decompression rows read, made (untimed) by both sides; each result
    # is checked against the original, across sides where the format is shared.
    for kind in "${inputs[@]}"; do
        in=$(original "$kind")
        "$bench" gzip-compress "$in" "$out/gzip-$kind.zrv" >/dev/null
        ZRVBENCH_WORKERS=$cores "$bench" gzip-compress "$in" "$out/gzip-$kind.parallel" >/dev/null
        ZRVBENCH_WORKERS=$cores "$bench" lz4-compress "$in" "$out/lz4-$kind.parallel" >/dev/null
        gzip -6 -c <"$in" >"$out/gzip-$kind.ref"
        "$bench" lz4-compress "$in" "$out/lz4-$kind.zrv" >/dev/null
        lz4 -q -1 -c <"$in" >"$out/lz4-$kind.ref"
        gzip -d -c "$out/gzip-$kind.zrv" >"$out/check" && same "$kind" "$out/check"
        gzip -d -c "$out/gzip-$kind.parallel" >"$out/check" && same "$kind" "$out/check"
        "$bench" gzip-decompress "$out/gzip-$kind.parallel" "$out/check" >/dev/null && same "$kind" "$out/check"
        cmp -s "$out/lz4-$kind.parallel" "$out/lz4-$kind.zrv" ||
            { echo "MISMATCH: LZ4 with $cores workers differs from one worker" >&2; exit 1; }
        "$bench" gzip-decompress "$out/gzip-$kind.ref" "$out/check" >/dev/null && same "$kind" "$out/check"
        "$bench" lz4-decompress "$out/lz4-$kind.zrv" "$out/check" >/dev/null && same "$kind" "$out/check"
    done
    rm -f "$out/check"

    echo "Compression:"
    echo
    table_head
    for kind in "${inputs[@]}"; do
        in=$(original "$kind")
        jobs="1 $cores" compare gzip-compress "$kind" "$in" "$in" gzip -6 -c
        compare gzip-decompress "$kind" "$out/gzip-$kind.ref" "$out/gzip-$kind.ref" gzip -d -c
        jobs="1 $cores" compare lz4-compress "$kind" "$in" "$in" lz4 -1 -c
        compare lz4-decompress "$kind" "$out/lz4-$kind.zrv" "$out/lz4-$kind.ref" lz4 -d -c
    done
    echo
    echo "Compressed sizes in bytes, ours / reference tool's:"
    for kind in "${inputs[@]}"; do
        for format in gzip lz4; do
            echo "  $format $kind: $(stat -c %s "$out/$format-$kind.zrv") / $(stat -c %s "$out/$format-$kind.ref")"
        done
        echo "  gzip $kind, $cores workers: $(stat -c %s "$out/gzip-$kind.parallel")"
    done
    echo
fi

# Encryption and the containers do not depend on content: the mixed input only.
in=$(original mixed)

if section crypto; then
    # Both sides must make the same bytes: ciphertext, and the trailer equal to openssl's HMAC.
    "$bench" aes256-encrypt "$in" "$out/aes-mixed.zrv" >/dev/null
    openssl enc "${aes[@]}" <"$in" >"$out/aes-mixed.ref"
    cmp -s "$out/aes-mixed.zrv" "$out/aes-mixed.ref" || { echo "MISMATCH: ciphertexts differ" >&2; exit 1; }
    "$bench" aes256-decrypt "$out/aes-mixed.ref" "$out/check" >/dev/null && same mixed "$out/check"
    "$bench" hmac-seal "$in" "$out/sealed-mixed.zrv" >/dev/null
    openssl "${mac[@]}" <"$in" >"$out/hmac-mixed.ref"
    tail -c 32 "$out/sealed-mixed.zrv" | cmp -s - "$out/hmac-mixed.ref" ||
        { echo "MISMATCH: the HMAC trailer differs from openssl's" >&2; exit 1; }
    "$bench" hmac-check "$out/sealed-mixed.zrv" "$out/check" >/dev/null && same mixed "$out/check"
    rm -f "$out/check" "$out/aes-mixed.zrv"

    echo "Encryption and integrity (AES-256-CBC, HMAC-SHA-256; same key, IV and output as openssl):"
    echo
    table_head
    label="openssl enc" compare aes256-encrypt mixed "$in" "$in" openssl enc "${aes[@]}"
    label="openssl enc -d" compare aes256-decrypt mixed "$out/aes-mixed.ref" "$out/aes-mixed.ref" openssl enc -d "${aes[@]}"
    jobs="1 $cores" label="openssl dgst -hmac" compare hmac-seal mixed "$in" "$in" openssl "${mac[@]}"
    jobs="1 $cores" label="openssl dgst -hmac" compare hmac-check mixed "$out/sealed-mixed.zrv" "$out/sealed-mixed.zrv" openssl "${mac[@]}"
    echo
fi

if section containers; then
    # The reference pipelines' own results for the unpacking rows; our containers for ours. Every
    # container made here is unpacked and checked against the input.
    section compression || gzip -6 -c <"$in" >"$out/gzip-mixed.ref"
    section crypto || openssl enc "${aes[@]}" <"$in" >"$out/aes-mixed.ref"
    openssl enc "${aes[@]}" <"$out/gzip-mixed.ref" >"$out/gzip-aes-mixed.ref"
    for variant in gzip-aes256 aes256 gzip; do
        "$bench" "v2-pack-$variant" "$in" "$out/v2-$variant-mixed.zrv" >/dev/null
        "$bench" "v2-unpack-$variant" "$out/v2-$variant-mixed.zrv" "$out/check" >/dev/null && same mixed "$out/check"
        ZRVBENCH_WORKERS=$cores "$bench" "v2-pack-$variant" "$in" "$out/v2-$variant-mixed.parallel" >/dev/null
        ZRVBENCH_WORKERS=$cores "$bench" "v2-unpack-$variant" "$out/v2-$variant-mixed.parallel" "$out/check" \
            >/dev/null && same mixed "$out/check"
    done
    rm -f "$out/check"

    echo "Version 2 containers against pipelines of the tools, one process per stage ('tee >dgst': the HMAC"
    echo "is computed by openssl dgst in a further process fed by tee):"
    echo
    table_head
    jobs="1 $cores"
    label="gzip | enc | tee >dgst" compare v2-pack-gzip-aes256 mixed "$in" "$in" \
        gzip -6 -c '|' openssl enc "${aes[@]}" '|' tee /dev/fd/3 '3>' openssl "${mac[@]}"
    label="tee >dgst | enc -d | gzip -d" compare v2-unpack-gzip-aes256 mixed \
        "$out/v2-gzip-aes256-mixed.zrv" "$out/gzip-aes-mixed.ref" \
        tee /dev/fd/3 '|' openssl enc -d "${aes[@]}" '|' gzip -d -c '3>' openssl "${mac[@]}"
    label="enc | tee >dgst" compare v2-pack-aes256 mixed "$in" "$in" \
        openssl enc "${aes[@]}" '|' tee /dev/fd/3 '3>' openssl "${mac[@]}"
    label="tee >dgst | enc -d" compare v2-unpack-aes256 mixed "$out/v2-aes256-mixed.zrv" "$out/aes-mixed.ref" \
        tee /dev/fd/3 '|' openssl enc -d "${aes[@]}" '3>' openssl "${mac[@]}"
    compare v2-pack-gzip mixed "$in" "$in" gzip -6 -c
    compare v2-unpack-gzip mixed "$out/v2-gzip-mixed.zrv" "$out/gzip-mixed.ref" gzip -d -c
    unset jobs
    echo
    echo "Container sizes in bytes, ours / the pipeline's output:"
    echo "  gzip + AES-256: $(stat -c %s "$out/v2-gzip-aes256-mixed.zrv") / $(stat -c %s "$out/gzip-aes-mixed.ref") + 32"
    echo "  AES-256: $(stat -c %s "$out/v2-aes256-mixed.zrv") / $(stat -c %s "$out/aes-mixed.ref") + 32"
    echo "  gzip: $(stat -c %s "$out/v2-gzip-mixed.zrv") / $(stat -c %s "$out/gzip-mixed.ref")"
    echo
fi

if section blocklevel; then
    source bench/blocklevel.sh
fi
echo "Load average at the end: $(uptime | sed 's/.*load average: //')"
