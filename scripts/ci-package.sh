#!/usr/bin/env bash
# CI for the package as its users get it: installs a build into a temporary prefix, builds the
# examples against it through find_package and once more through pkg-config, runs both builds'
# programs, configures them over the source tree through add_subdirectory, and generates the API
# reference from the installed headers (no warning allowed).
#   scripts/ci-package.sh [build-dir]      (default build; it must be built already)
set -euo pipefail
cd "$(dirname "$0")/.."

build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

# The exported symbols, for the record.
for library in "$prefix"/lib*/libzrv*.so; do
    echo "$(basename "$library"): $(nm -D --defined-only "$library" | wc -l) exported symbols"
done

# run <bin-dir>: both examples over generated data, checked byte for byte.
run() {
    local bin=$1 data=$work/data-$(basename "$1")
    mkdir -p "$data"
    head -c 3000000 /dev/urandom > "$data/input"
    export ZRV_PASSWORD="example password" QT_LOGGING_RULES="TXK.debug=false"
    "$bin/packunpack" "$data/input" "$data/input.zrv" "$data/unpacked"
    cmp "$data/input" "$data/unpacked"
    # A sparse image, then the same image with a few blocks changed.
    truncate -s 16M "$data/image1"
    dd if=/dev/urandom of="$data/image1" bs=64K seek=10 count=20 conv=notrunc status=none
    cp "$data/image1" "$data/image2"
    dd if=/dev/urandom of="$data/image2" bs=64K seek=100 count=3 conv=notrunc status=none
    "$bin/backuprestore" "$data/repository" "$data/restored" "$data/image1" "$data/image2"
    cmp "$data/image2" "$data/restored"
}

echo "== examples through find_package"
cmake -S examples -B "$work/examples" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" \
    >/dev/null
cmake --build "$work/examples" >/dev/null
run "$work/examples"

echo "== examples through pkg-config"
libdir=$(dirname "$(dirname "$(find "$prefix" -name zrvStreams.pc -print -quit)")")
export PKG_CONFIG_PATH=$libdir/pkgconfig
mkdir -p "$work/pkgconfig"
for example in packunpack backuprestore; do
    # Qt asks for position-independent code from its users.
    ${CXX:-c++} -std=c++17 -fPIC -Wall -Wextra -Werror "examples/$example.cpp" -o "$work/pkgconfig/$example" \
        $(pkg-config --cflags --libs zrvStreams) -Wl,-rpath,"$libdir"
done
run "$work/pkgconfig"

echo "== the source tree through add_subdirectory"
# Configured only: the libraries it would build are the ones above. It must bring the zrv::
# targets and none of the project's tests, benchmarks or their GoogleTest.
cmake -S examples -B "$work/subdirectory" -G Ninja -DZRV_SOURCE_DIR="$PWD" >/dev/null
targets=$(sed -nE 's/^# Link build statements for [A-Z_]+ target (.*)/\1/p' "$work/subdirectory/build.ninja" | sort)
if [ "$(tr '\n' ' ' <<<"$targets")" != "backuprestore packunpack zrvCloud zrvCloudInternal zrvCore zrvCoreInternal zrvStreams zrvStreamsInternal " ]; then
    echo "add_subdirectory brings other targets than the libraries:" $targets >&2
    exit 1
fi

echo "== API documentation"
scripts/build-api-docs.sh "$prefix/include/zrvStreams" "$build/api-docs"
