#!/usr/bin/env bash
# zrv against the local Ceph gateway (scripts/ceph/gateway.sh): a backup of a generated image
# straight to S3 against a backup to a directory plus `s3cmd sync` up, and a restore from S3
# against `s3cmd sync` down plus a local restore. Prints seconds, MiB/s and peak RSS of each.
# Usage: bench/cloud/zrv-s3.sh [MiB; default 1024]
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh

mib=${1:-1024}
build=build-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZRV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target zrv -j 2
zrv=$PWD/$build/tools/zrv

work=$(mktemp -d)
cleanup() {
    scripts/ceph/gateway.sh stop "$work/gateway" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
# Deleted objects wait for the gateway's garbage collection: room for both runs' repositories.
ZRV_S3_STORE_BYTES=$(((3 * mib + 1024) * 1024 * 1024)) scripts/ceph/gateway.sh start "$work/gateway" >/dev/null
set -a
. "$work/gateway/s3.env"
set +a
export AWS_ENDPOINT_URL=$ZRV_S3_ENDPOINT ZRV_PASSWORD=bench
bucket=$ZRV_S3_BUCKET
s3cmd=(s3cmd -c "$work/gateway/s3cmd.cfg" --no-progress)

# A disk-like image: random data (stored as it is) with a quarter of zero blocks.
head -c $((mib * 1024 * 1024)) < <(openssl enc -aes-128-ctr -pass pass:zrv -nosalt -pbkdf2 </dev/zero 2>/dev/null) \
    >"$work/image"
for ((offset = 0; offset < mib * 1024 * 1024; offset += 16 * 1024 * 1024)); do
    dd if=/dev/zero of="$work/image" bs=1M count=4 seek=$((offset / 1048576)) conv=notrunc status=none
done
sum=$(md5sum <"$work/image")

timed() { # prints "<seconds> <peak RSS KiB>" of a command
    /usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -1
}
same() {
    [ "$(md5sum <"$1")" = "$sum" ] || { echo "zrv-s3.sh: $1 differs from the image" >&2; exit 1; }
    rm -f "$1"
}

"$zrv" init -q s3://"$bucket"/direct
"$zrv" init -q "$work/repo"
read -r direct_s direct_kib < <(timed "$zrv" backup -q "$work/image" s3://"$bucket"/direct)
read -r local_s local_kib < <(timed "$zrv" backup -q "$work/image" "$work/repo")
read -r up_s up_kib < <(timed "${s3cmd[@]}" sync "$work/repo/" s3://"$bucket"/synced/)
read -r get_s get_kib < <(timed "$zrv" restore -q s3://"$bucket"/direct "$work/out")
same "$work/out"
rm -rf "$work/repo"
mkdir "$work/down"
read -r down_s down_kib < <(timed "${s3cmd[@]}" sync s3://"$bucket"/synced/ "$work/down/")
read -r restore_s restore_kib < <(timed "$zrv" restore -q "$work/down" "$work/out")
same "$work/out"

awk -v mib="$mib" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" \
    -v ds="$direct_s" -v dk="$direct_kib" -v ls="$local_s" -v lk="$local_kib" -v us="$up_s" -v uk="$up_kib" \
    -v gs="$get_s" -v gk="$get_kib" -v ws="$down_s" -v wk="$down_kib" -v rs="$restore_s" -v rk="$restore_kib" '
function row(name, s, k) { printf "| %s | %.2f | %.1f | %.1f MiB |\n", name, s, mib / s, k / 1024 }
BEGIN {
    printf "%d MiB image (LZ4 + AES-256), one-node Ceph gateway (memory store) on loopback; load %s\n\n", mib, load
    printf "| run | seconds | MiB/s | peak RSS |\n|---|---|---|---|\n"
    row("zrv backup to s3://", ds, dk)
    row("zrv backup to a directory + s3cmd sync up", ls + us, (lk > uk ? lk : uk))
    row("  of which s3cmd sync up", us, uk)
    row("zrv restore from s3://", gs, gk)
    row("s3cmd sync down + zrv restore from the directory", ws + rs, (wk > rk ? wk : rk))
    row("  of which s3cmd sync down", ws, wk)
}'
