#!/usr/bin/env bash
# A throwaway one-node Ceph cluster with its S3 gateway on 127.0.0.1, everything below one folder.
#   gateway.sh start DIR   starts monitor, OSD (memory store) and gateway on free ports, makes a user
#                          and the bucket "zrv-test", and writes DIR/s3.env (0600) for the tests:
#                          ZRV_S3_ENDPOINT, ZRV_S3_BUCKET, AWS_ACCESS_KEY_ID, AWS_SECRET_ACCESS_KEY,
#                          AWS_REGION, plus DIR/s3cmd.cfg for s3cmd.
#                          ZRV_S3_STORE_BYTES sizes the memory store (default 1.5 GiB).
#   gateway.sh stop DIR    stops the daemons by their pid files and removes DIR.
set -euo pipefail

command=${1:?usage: gateway.sh start|stop DIR}
dir=${2:?usage: gateway.sh start|stop DIR}

stop() {
    local pidfile pid
    for pidfile in "$dir"/run/*.pid; do
        [ -f "$pidfile" ] || continue
        pid=$(cat "$pidfile")
        kill "$pid" 2>/dev/null || true
    done
    for pidfile in "$dir"/run/*.pid; do
        [ -f "$pidfile" ] || continue
        pid=$(cat "$pidfile")
        for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    done
    rm -rf "$dir"
}

# Two loopback ports that were free a moment ago.
free_ports() {
    python3 -c 'import socket
sockets = [socket.socket() for _ in range(2)]
for s in sockets: s.bind(("127.0.0.1", 0))
print(" ".join(str(s.getsockname()[1]) for s in sockets))'
}

# Polls `what` every 0.2 s for up to `seconds`.
wait_until() {
    local seconds=$1 what=$2
    shift 2
    for _ in $(seq $((seconds * 5))); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    echo "gateway.sh: $what did not happen within $seconds s (logs in $dir/log)" >&2
    return 1
}

# Tests pointed at another store need no gateway.
if [ -n "${ZRV_S3_ENDPOINT:-}" ]; then
    echo "gateway.sh: tests use the S3 store at $ZRV_S3_ENDPOINT; no gateway $command"
    exit 0
fi

case "$command" in
stop)
    stop
    exit 0
    ;;
start) ;;
*)
    echo "usage: gateway.sh start|stop DIR" >&2
    exit 2
    ;;
esac

for tool in ceph-mon ceph-osd radosgw radosgw-admin ceph-authtool monmaptool s3cmd; do
    command -v "$tool" >/dev/null || { echo "gateway.sh: $tool is not installed (scripts/install-deps.sh)" >&2; exit 1; }
done

[ -d "$dir" ] && stop
mkdir -p "$dir"/{run,log,mon,osd,rgw}
# A start that fails shows the end of each daemon's log and leaves nothing running.
failed() {
    local log
    for log in "$dir"/log/*.log; do
        [ -f "$log" ] && { echo "--- $log" >&2; tail -n 15 "$log" >&2; }
    done
    stop
}
trap failed ERR
chmod 700 "$dir"
umask 077
read -r mon_port rgw_port < <(free_ports)
fsid=$(cat /proc/sys/kernel/random/uuid)
osd_uuid=$(cat /proc/sys/kernel/random/uuid)
conf=$dir/ceph.conf

cat >"$conf" <<CONF
[global]
fsid = $fsid
mon host = v2:127.0.0.1:$mon_port
public addr = 127.0.0.1
ms bind msgr1 = false
ms bind ipv6 = false
auth cluster required = cephx
auth service required = cephx
auth client required = cephx
keyring = $dir/keyring.\$name
run dir = $dir/run
admin socket = $dir/run/\$name.asok
pid file = $dir/run/\$name.pid
log file = $dir/log/\$name.log
mon data = $dir/mon/\$cluster-\$id
osd data = $dir/osd/\$cluster-\$id
osd objectstore = memstore
memstore device bytes = ${ZRV_S3_STORE_BYTES:-1610612736}
osd pool default size = 1
osd pool default min size = 1
osd pool default pg num = 1
osd pool default pgp num = 1
osd pool default pg autoscale mode = off
mon allow pool size one = true
mon max pg per osd = 1000
osd crush chooseleaf type = 0
# The OSD puts itself under a host bucket of the default root, where one-replica pools find it.
crush location = root=default host=node
mon data avail warn = 1
mon data avail crit = 0
[client.rgw.gw]
rgw frontends = beast endpoint=127.0.0.1:$rgw_port
rgw data = $dir/rgw
CONF

# Every daemon's key is in the monitor's keyring from the start: no round trips to add them later.
keyring() { # NAME CAPS...
    local name=$1
    shift
    ceph-authtool --create-keyring "$dir/keyring.$name" --gen-key -n "$name" "$@" >/dev/null
    ceph-authtool "$dir/keyring.mon.a" --import-keyring "$dir/keyring.$name" >/dev/null
}
ceph-authtool --create-keyring "$dir/keyring.mon.a" --gen-key -n mon. --cap mon 'allow *' >/dev/null
keyring client.admin --cap mon 'allow *' --cap osd 'allow *' --cap mgr 'allow *'
keyring osd.0 --cap mon 'allow profile osd' --cap osd 'allow *'
keyring client.rgw.gw --cap mon 'allow rw' --cap osd 'allow rwx'
monmaptool --create --addv a "[v2:127.0.0.1:$mon_port]" --fsid "$fsid" "$dir/monmap" >/dev/null
ceph-mon -c "$conf" --mkfs -i a --monmap "$dir/monmap" --keyring "$dir/keyring.mon.a"
ceph-mon -c "$conf" -i a

osd_id=$(ceph -c "$conf" --connect-timeout 20 osd new "$osd_uuid")
[ "$osd_id" = 0 ] || { echo "gateway.sh: the new OSD got id $osd_id instead of 0" >&2; exit 1; }
mkdir -p "$dir/osd/ceph-0"
ceph-osd -c "$conf" -i 0 --mkfs --osd-uuid "$osd_uuid" 2>/dev/null
ceph-osd -c "$conf" -i 0 2>/dev/null
radosgw -c "$conf" -n client.rgw.gw
wait_until 60 "the gateway answering HTTP" curl -sf -o /dev/null "http://127.0.0.1:$rgw_port/"

# Keys made by radosgw-admin itself, so that no secret passes a command line.
radosgw-admin -c "$conf" user create --uid zrv-test --display-name "zrv tests" --gen-access-key --gen-secret \
    >"$dir/user.json" 2>/dev/null
python3 - "$dir" "http://127.0.0.1:$rgw_port" <<'PY'
import json, os, sys
folder, endpoint = sys.argv[1], sys.argv[2]
key = json.load(open(os.path.join(folder, "user.json")))["keys"][0]
with open(os.path.join(folder, "s3.env"), "w") as env:
    env.write(f"ZRV_S3_ENDPOINT={endpoint}\nZRV_S3_BUCKET=zrv-test\nAWS_REGION=us-east-1\n"
              f"AWS_ACCESS_KEY_ID={key['access_key']}\nAWS_SECRET_ACCESS_KEY={key['secret_key']}\n")
host = endpoint.split("//", 1)[1]
with open(os.path.join(folder, "s3cmd.cfg"), "w") as cfg:
    cfg.write(f"[default]\naccess_key = {key['access_key']}\nsecret_key = {key['secret_key']}\n"
              f"host_base = {host}\nhost_bucket = {host}\nuse_https = False\nsignature_v2 = False\n"
              "bucket_location = us-east-1\n")
PY
rm -f "$dir/user.json"
s3cmd -c "$dir/s3cmd.cfg" mb s3://zrv-test >/dev/null
trap - ERR
echo "gateway.sh: S3 gateway on http://127.0.0.1:$rgw_port (bucket zrv-test, settings in $dir/s3.env)"
