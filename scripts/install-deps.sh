#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need, when missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qtbase5-dev libboost-iostreams-dev zlib1g-dev liblz4-dev libcrypto++-dev
    libgtest-dev
    clang libclang-rt-14-dev libfuzzer-14-dev
    doxygen
    gzip lz4 openssl nginx curl time
    mount util-linux bsdutils
    ceph-mon ceph-osd radosgw ceph-common s3cmd python3-boto3
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
