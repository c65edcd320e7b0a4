#!/usr/bin/env bash
# Cloud download benchmark. A generated 256 MiB object is served by nginx on a loopback port with a
# per-connection rate limit (limit_rate, as a cloud store limits each connection) and fetched, in the
# same run, by CloudPrepareSimpleStream, by CloudPrepareMultiStream with 4 parts and by curl.
# Prints MiB/s, the ratios and peak RSS. Usage: bench/cloud/run.sh [rate, nginx syntax; default 20m]
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh

rate=${1:-20m}
size=$((256 * 1024 * 1024))
build=build-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZRV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target cloudBench -j 2
bench="$build/bench/cloud/cloudBench"

work=$(mktemp -d)
nginx_pid=""
cleanup() {
    [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/www" "$work/downloads"
md5=$("$bench" generate "$work/www/object" "$size")

nginx=$(PATH="$PATH:/usr/sbin:/usr/local/sbin" command -v nginx)
for attempt in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 20000))
    cat >"$work/nginx.conf" <<CONF
daemon off;
master_process off;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 64; }
http {
    access_log off;
    sendfile on;
    client_body_temp_path $work/body;
    proxy_temp_path $work/proxy;
    fastcgi_temp_path $work/fastcgi;
    uwsgi_temp_path $work/uwsgi;
    scgi_temp_path $work/scgi;
    server {
        listen 127.0.0.1:$port;
        root $work/www;
        limit_rate $rate;
    }
}
CONF
    "$nginx" -p "$work" -e "$work/error.log" -c "$work/nginx.conf" &
    nginx_pid=$!
    for _ in $(seq 50); do
        curl --silent --fail --range 0-0 --output /dev/null "http://127.0.0.1:$port/object" && break 2
        kill -0 "$nginx_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
    nginx_pid=""
done
[ -n "$nginx_pid" ] || { echo "nginx did not start" >&2; cat "$work/error.log" >&2; exit 1; }

base="http://127.0.0.1:$port"
read -r simple_s simple_kib < <("$bench" simple "$base" object "$size" "$work/downloads" "$md5")
read -r multi_s multi_kib < <("$bench" multi "$base" object "$size" "$work/downloads" "$md5")
read -r curl_s curl_kib < <("$bench" curl "$base/object")

awk -v size="$size" -v rate="$rate" \
    -v ss="$simple_s" -v sk="$simple_kib" -v ms="$multi_s" -v mk="$multi_kib" -v cs="$curl_s" -v ck="$curl_kib" '
BEGIN {
    mib = size / 1048576
    s = mib / ss; m = mib / ms; c = mib / cs
    printf "256 MiB object, loopback nginx, limit_rate %s per connection\n\n", rate
    printf "| reader | seconds | MiB/s | ratio | peak RSS |\n|---|---|---|---|---|\n"
    printf "| curl | %.2f | %.1f | 1.00x curl | %.1f MiB |\n", cs, c, ck / 1024
    printf "| CloudPrepareSimpleStream | %.2f | %.1f | %.2fx curl (goal 0.9x) | %.1f MiB |\n", ss, s, s / c, sk / 1024
    printf "| CloudPrepareMultiStream, 4 parts | %.2f | %.1f | %.2fx simple (goal 3.5x) | %.1f MiB |\n",
        ms, m, m / s, mk / 1024
}'
