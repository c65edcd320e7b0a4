# Block-level backup against restic and borg; sourced by bench/run.sh, whose settings and
# helpers (bench, build, data, measure, least) it uses.
#
# Every tool backs up the same path, work/disk.img, a hard link to the image of the moment:
# a full backup of the base image, an incremental of the unchanged image, an incremental of the
# image with 1 % of its blocks changed, and a restore of that last backup, checked against the
# changed image. restic and borg are made to read the whole file on every run (--force,
# --files-cache=disabled), as a block-level backup of a volume does; md5sum over the image is
# the floor for an unchanged incremental. MiB/s counts image bytes. Ours runs with one worker
# (the library's default, no thread) and with one worker per core (ZRVBENCH_WORKERS).

image_mib=${BENCH_IMAGE_MIB:-1024}
image_repeat=${BENCH_IMAGE_REPEAT:-2}
cores=$(nproc)
bl=$PWD/$data/blocklevel
base=$PWD/$data/image-$image_mib.img
changed=$PWD/$data/image-$image_mib-changed.img
disk=$bl/work/disk.img
# The generator changes this many of the image's 128 KiB blocks.
changed_bytes=$(((image_mib * 8 + 50) / 100 * 131072))

# restic and borg come from Debian; installed here, not among the build's dependencies.
missing=()
command -v restic >/dev/null || missing+=(restic)
command -v borg >/dev/null || missing+=(borgbackup)
mkdir -p "$bl/work"
if ((${#missing[@]} > 0)); then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    { $sudo apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"; } \
        >"$bl/install.log" 2>&1 || { cat "$bl/install.log" >&2; exit 1; }
fi

[ -f "$changed.used" ] || "$build/bench/zrvbenchgen" image "$image_mib" "$base" "$changed"
export RESTIC_PASSWORD="zrvbench password" RESTIC_CACHE_DIR=$bl/restic-cache
export BORG_PASSPHRASE="zrvbench password" BORG_BASE_DIR=$bl/borg-home BORG_RELOCATED_REPO_ACCESS_IS_OK=yes

use_image() {
    ln -f "$1" "$disk"
    ln -f "$1.used" "$disk.used"
}

# Best wall and CPU seconds per tool and run, largest peak RSS per tool, repository growth of the
# 1 % incremental and stored size of the full backup per tool.
declare -A best best_cpu peak growth stored

# timed_run <tool> <run> <zrvbench arguments...>: one timed run, recorded for the tool.
timed_run() {
    local tool=$1 run=$2
    shift 2
    measure "$@"
    best[$tool,$run]=$(least "$seconds" "${best[$tool,$run]:-}")
    best_cpu[$tool,$run]=$(least "$cpu" "${best_cpu[$tool,$run]:-}")
    ((kib > ${peak[$tool]:-0})) && peak[$tool]=$kib
    return 0
}

# external <tool> <run> <directory> <command...>: one timed run of a command in the directory.
external() {
    local tool=$1 run=$2 directory=$3
    shift 3
    timed_run "$tool" "$run" exec /dev/null /dev/null env -C "$directory" "$@"
}

restored() {
    cmp -s "$1" "$changed" || { echo "MISMATCH: $1 differs from the changed image" >&2; exit 1; }
    rm -rf "$bl/restore" "$bl/restored.img"
}

# ours <tool> <variant> <workers>: the variant's chains into a repository of revision files
# (bench/blocklevelchains.cpp), with that many workers and the allocator settings of the zrv tool
# (tools/zrv/main.cpp).
ours() {
    local tool=$1 variant=$2 repo=$bl/$1
    export ZRVBENCH_WORKERS=$3 MALLOC_MMAP_THRESHOLD_=$((32 << 20)) MALLOC_TRIM_THRESHOLD_=$((64 << 20))
    rm -rf "$repo" && mkdir -p "$repo"
    use_image "$base"
    timed_run "$tool" full "bl-backup-$variant-keyed" "$disk" "$repo/0.data"
    stored[$tool]=$(du -sb "$repo" | cut -f1)
    timed_run "$tool" unchanged "bl-backup-$variant-keyed" "$disk" "$repo/1.data"
    use_image "$changed"
    timed_run "$tool" changed "bl-backup-$variant-keyed" "$disk" "$repo/2.data"
    growth[$tool]=$(($(stat -c %s "$repo/2.data") + $(stat -c %s "$repo/2.map")))
    timed_run "$tool" restore bl-restore-keyed "$repo/2.map" "$bl/restored.img"
    restored "$bl/restored.img"
    unset ZRVBENCH_WORKERS MALLOC_MMAP_THRESHOLD_ MALLOC_TRIM_THRESHOLD_
}

# restic_runs <cores>
restic_runs() {
    local tool=restic-$1 repo=$bl/restic-$1 before
    local restic=(env GOMAXPROCS="$1" restic -q -r "$repo")
    rm -rf "$repo" "$RESTIC_CACHE_DIR"
    restic -q -r "$repo" init >"$bl/init.log" 2>&1
    use_image "$base"
    external "$tool" full "$bl" "${restic[@]}" backup --force work/disk.img
    stored[$tool]=$(du -sb "$repo" | cut -f1)
    external "$tool" unchanged "$bl" "${restic[@]}" backup --force work/disk.img
    before=$(du -sb "$repo" | cut -f1)
    use_image "$changed"
    external "$tool" changed "$bl" "${restic[@]}" backup --force work/disk.img
    growth[$tool]=$(($(du -sb "$repo" | cut -f1) - before))
    external "$tool" restore "$bl" "${restic[@]}" restore latest --target "$bl/restore"
    restored "$(find "$bl/restore" -name disk.img)"
}

borg_runs() {
    local tool=borg repo=$bl/borg before
    local create=(borg create --files-cache=disabled --compression lz4)
    rm -rf "$repo" "$BORG_BASE_DIR"
    borg init -e repokey "$repo" >"$bl/init.log" 2>&1
    use_image "$base"
    external borg full "$bl" "${create[@]}" "$repo::full" work/disk.img
    stored[$tool]=$(du -sb "$repo" | cut -f1)
    external borg unchanged "$bl" "${create[@]}" "$repo::unchanged" work/disk.img
    before=$(du -sb "$repo" | cut -f1)
    use_image "$changed"
    external borg changed "$bl" "${create[@]}" "$repo::changed" work/disk.img
    growth[$tool]=$(($(du -sb "$repo" | cut -f1) - before))
    mkdir -p "$bl/restore"
    external borg restore "$bl/restore" borg extract "$repo::changed"
    restored "$bl/restore/work/disk.img"
}

for ((run = 0; run < image_repeat; run++)); do
    ours ibb ibb 1
    ours ibb-all ibb "$cores"
    ours file file 1
    ours file-all file "$cores"
    restic_runs 1
    restic_runs 2
    borg_runs
    use_image "$base"
    timed_run md5sum unchanged exec "$disk" /dev/null md5sum
done

tools=(ibb ibb-all file file-all restic-1 restic-2 borg md5sum)
names=("IBB 1 worker" "IBB $cores workers" "file 1 worker" "file $cores workers" "restic 1 core" "restic 2 cores"
    "borg" "md5sum")
runs=(full unchanged changed restore)
run_names=("full backup" "unchanged incremental" "1 % changed incremental" "restore")

# mibps <times> <tool> <run>: image MiB per second of the tool's best time in the array named
# times, or empty when the tool has no such run.
mibps() {
    local -n times=$1
    [ -n "${times[$2,$3]:-}" ] && awk -v s="${times[$2,$3]}" -v m="$image_mib" 'BEGIN { printf "%.1f", m / s }'
    return 0
}

# ratio <times> <tool> <reference tool> <run>: the reference's best time over the tool's.
ratio() {
    local -n times=$1
    awk -v a="${times[$3,$4]}" -v b="${times[$2,$4]}" 'BEGIN { printf "%.2f", a / b }'
}

# throughput <times> <title>
throughput() {
    local line rule i
    echo "$2:"
    echo
    line=$(printf "| %-23s" run)
    rule="|-------------------------"
    for i in "${!tools[@]}"; do
        line+=$(printf " | %s" "${names[$i]}")
        rule+="|--------:"
    done
    echo "$line |"
    echo "$rule|"
    for i in "${!runs[@]}"; do
        line=$(printf "| %-23s" "${run_names[$i]}")
        for tool in "${tools[@]}"; do
            line+=$(printf " | %s" "$(mibps "$1" "$tool" "${runs[$i]}")")
        done
        echo "$line |"
    done
    echo
}

echo "Block-level backup of a $image_mib MiB disk image (128 KiB blocks: 30 % free, 10 % zero, 60 % mixed"
echo "data; the changed image differs in 1 % of the blocks). Ours: an authenticated repository as zrv"
echo "writes it (LZ4 + AES-256, HMAC-SHA-256 per block, keyed block hashes), with one worker and with $cores;"
echo "restic: default zstd compression, AES-256 + Poly1305; borg: repokey (AES-256 +"
echo "HMAC-SHA-256), lz4. Best of $image_repeat runs; restic and borg re-read the whole file every run."
echo
throughput best "Image MiB per second of wall time"
throughput best_cpu "Image MiB per CPU second (user + system, all threads; less distorted by the machine's load)"
ours_tools=(ibb ibb-all file file-all)
line="| ratio (goal)                                   "
rule="|-------------------------------------------------"
for i in 0 1 2 3; do
    line+=$(printf " | %s, wall | CPU" "${names[$i]}")
    rule+="|------:|------:"
done
echo "$line |"
echo "$rule|"
for row in "full:restic-1:full backup / restic 1 core (1.5)" "full:borg:full backup / borg (1.3)" \
    "restore:restic-1:restore / restic 1 core (1.5)" "restore:borg:restore / borg (1.3)" \
    "unchanged:md5sum:unchanged incremental / md5sum (0.8, file)"; do
    IFS=: read -r run reference text <<<"$row"
    line=$(printf "| %-47s" "$text")
    for tool in "${ours_tools[@]}"; do
        line+=$(printf " | %s | %s" "$(ratio best "$tool" "$reference" "$run")" \
            "$(ratio best_cpu "$tool" "$reference" "$run")")
    done
    echo "$line |"
done
echo
echo "Changed data: $changed_bytes bytes. Peak RSS: largest over all runs of the tool."
echo
echo "| tool             | full backup stored | 1 % incremental growth | growth / changed | peak RSS MiB |"
echo "|------------------|-------------------:|-----------------------:|-----------------:|-------------:|"
for i in "${!tools[@]}"; do
    tool=${tools[$i]}
    [ "$tool" = md5sum ] && continue
    awk -v name="${names[$i]}" -v stored="${stored[$tool]}" -v growth="${growth[$tool]}" -v changed="$changed_bytes" \
        -v rss="${peak[$tool]}" 'BEGIN {
            printf "| %-16s | %18d | %22d | %16.2f | %12.1f |\n", name, stored, growth, growth / changed, rss / 1024
        }'
done
echo
