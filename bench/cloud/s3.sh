#!/usr/bin/env bash
# S3 benchmark against the local Ceph gateway (scripts/ceph/gateway.sh): a generated object is
# uploaded by the stand-in's writer and by s3cmd, and downloaded by the prepare streams and by
# s3cmd. Prints seconds, MiB/s and peak RSS. Usage: bench/cloud/s3.sh [MiB; default 128]
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh

mib=${1:-128}
size=$((mib * 1024 * 1024))
build=build-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZRV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target cloudBench -j 2
bench="$build/bench/cloud/cloudBench"

work=$(mktemp -d)
cleanup() {
    scripts/ceph/gateway.sh stop "$work/gateway" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
scripts/ceph/gateway.sh start "$work/gateway" >/dev/null
set -a
. "$work/gateway/s3.env"
set +a
export AWS_ENDPOINT_URL=$ZRV_S3_ENDPOINT
bucket=$ZRV_S3_BUCKET
s3cmd=(s3cmd -c "$work/gateway/s3cmd.cfg" --no-progress)
mkdir -p "$work/downloads"
md5=$("$bench" generate "$work/object" "$size")

timed() { # prints "<seconds> <peak RSS KiB>" of a command
    /usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -1
}
read -r put_s put_kib < <("$bench" put "$bucket" ours "$work/object")
read -r s3cmd_put_s s3cmd_put_kib < <(timed "${s3cmd[@]}" put "$work/object" "s3://$bucket/theirs")
read -r simple_s simple_kib < <("$bench" simple "s3:$bucket" ours "$size" "$work/downloads" "$md5")
read -r multi_s multi_kib < <("$bench" multi "s3:$bucket" ours "$size" "$work/downloads" "$md5")
read -r s3cmd_get_s s3cmd_get_kib < <(timed "${s3cmd[@]}" get "s3://$bucket/theirs" "$work/downloads/copy")

awk -v mib="$mib" -v ps="$put_s" -v pk="$put_kib" -v cps="$s3cmd_put_s" -v cpk="$s3cmd_put_kib" \
    -v ss="$simple_s" -v sk="$simple_kib" -v ms="$multi_s" -v mk="$multi_kib" -v cgs="$s3cmd_get_s" -v cgk="$s3cmd_get_kib" '
function row(name, s, k) { printf "| %s | %.2f | %.1f | %.1f MiB |\n", name, s, mib / s, k / 1024 }
BEGIN {
    printf "%d MiB object, one-node Ceph gateway (memory store) on loopback\n\n", mib
    printf "| client | seconds | MiB/s | peak RSS |\n|---|---|---|---|\n"
    row("S3 writer (multipart, 8 MiB parts, 3 in flight)", ps, pk)
    row("s3cmd put", cps, cpk)
    row("CloudPrepareSimpleStream", ss, sk)
    row("CloudPrepareMultiStream", ms, mk)
    row("s3cmd get", cgs, cgk)
}'
