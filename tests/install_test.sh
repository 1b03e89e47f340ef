#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks what landed where, and
# builds a small C program against the installed library twice: through the
# CMake package and through pkg-config. Both programs must run.
#
# usage: install_test.sh BUILD_DIR VERSION ABI_VERSION C_COMPILER [EXTRA_C_FLAGS]
# (ABI_VERSION: the SONAME's number, apart from the release's)
set -euo pipefail
build=$1 version=$2 abi=$3 cc=$4 cflags=${5:-}
here=$(cd "$(dirname "$0")" && pwd)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

# What a user of the library gets. LIBDIR may be lib or lib/<multiarch>.
header=$prefix/include/velkor.h
[ -f "$header" ] || fail "header not installed"
grep -qF "#define VELKOR_VERSION \"$version\"" "$prefix/include/velkor_version.h" ||
  fail "velkor_version.h not installed beside velkor.h, or not of $version"
lib=$(find "$prefix" -name "libvelkor.so.$version" | head -n1)
[ -n "$lib" ] || fail "libvelkor.so.$version not installed"
libdir=$(dirname "$lib")
[ "$(readlink "$libdir/libvelkor.so.$abi")" = "libvelkor.so.$version" ] || fail "SONAME link"
[ "$(readlink "$libdir/libvelkor.so")" = "libvelkor.so.$abi" ] || fail "development link"
readelf -d "$lib" | grep -q "SONAME.*\[libvelkor.so.$abi\]" || fail "SONAME is not libvelkor.so.$abi"
[ -f "$libdir/cmake/velkor/velkorConfig.cmake" ] || fail "CMake package not installed"
[ -f "$libdir/pkgconfig/velkor.pc" ] || fail "pkg-config file not installed"
if [ -e "$prefix/bin/velkor" ]; then
  [ -f "$prefix/share/man/man1/velkor.1" ] || fail "manual page not installed"
  [ -f "$prefix/share/doc/velkor/json.md" ] || fail "the JSON layout (doc/json.md) not installed"
  [ "$("$prefix/bin/velkor" --version)" = "velkor $version" ] || fail "velkor --version is not $version"
  # The manual page keeps up with the command: every option its help shows.
  for option in $({ "$prefix/bin/velkor" --help; "$prefix/bin/velkor" tag --help; } |
                  grep -oE -- '(^|[ [])--?[a-zA-Z][-a-zA-Z0-9]*' | tr -d ' [' | sort -u); do
    # In roff a dash is \-; the option stands alone, not inside a longer one.
    grep -qE -- "(^|[ \"])${option//-/\\\\-}([ \",]|\$)" "$prefix/share/man/man1/velkor.1" ||
      fail "manual page lacks $option"
  done
fi

# Nothing may lead the programs back to the build folder.
unset LD_LIBRARY_PATH

# 1. find_package(velkor): the imported target brings header and library.
cmake -S "$here/install" -B "$tmp/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$cflags" -DVELKOR_VERSION="$version" >/dev/null
cmake --build "$tmp/cmake-build" >/dev/null
"$tmp/cmake-build/consumer"

# 2. pkg-config, from a prefix it was not configured for.
export PKG_CONFIG_PATH=$libdir/pkgconfig
[ "$(pkg-config --modversion velkor)" = "$version" ] || fail "pkg-config version"
# shellcheck disable=SC2046,SC2086  # flag lists are meant to split
"$cc" $cflags "$here/install/consumer.c" $(pkg-config --cflags --libs velkor) -o "$tmp/consumer-pc"
LD_LIBRARY_PATH=$(pkg-config --variable=libdir velkor) "$tmp/consumer-pc"
