#!/usr/bin/env bash
# Checks the public headers as an application sees them: installs the build, then compiles every
# installed header on its own (included twice), with nothing but the flags pkg-config gives for
# zrvStreams, and refuses any that pulls in a Crypto++ or Boost header.
#   scripts/check-installed-headers.sh BUILD-DIR
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: scripts/check-installed-headers.sh BUILD-DIR" >&2; exit 2; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name zrvStreams.pc -print -quit)")
export PKG_CONFIG_PATH=$libdir${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}
export CXX=${CXX:-c++} CXXFLAGS="-std=c++17 -fPIC $(pkg-config --cflags zrvStreams)"
include=$prefix/include/zrvStreams

check() {
    local unit="#include \"$1\"
#include \"$1\""
    # -H lists every header opened, one per line, led by dots.
    local output
    if ! output=$($CXX $CXXFLAGS -fsyntax-only -H -x c++ - <<<"$unit" 2>&1); then
        printf '%s does not compile on its own:\n%s\n' "$1" "$(grep -v '^\.' <<<"$output")"
        return 1
    fi
    local foreign
    foreign=$(grep -m1 -E '^\.+ .*/(cryptopp|boost)/' <<<"$output" || true)
    if [ -n "$foreign" ]; then
        echo "$1 includes ${foreign##* }"
        return 1
    fi
}
export -f check

count=$(cd "$include" && find . -name '*.h' | wc -l)
if (cd "$include" && find . -name '*.h' -printf '%P\n' | sort | xargs -P "$(nproc)" -I{} bash -c 'check {}'); then
    echo "$count installed headers compile on their own, without Crypto++ or Boost headers"
else
    exit 1
fi
