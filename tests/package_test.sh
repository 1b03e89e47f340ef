#!/usr/bin/env bash
# Makes the Debian packages from a Release build (the `release` presets, into
# build-release/) and checks them with dpkg-deb: every package holds exactly
# its files and links, its control fields are right, and the command and the
# library taken out of them work.
#
# usage: bash tests/package_test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
rm -f build-release/*.deb
cpack --preset release >build-release/cpack.log 2>&1 || { cat build-release/cpack.log; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-release/CMakeCache.txt)
# The SONAME's number, which names the library's package; apart from the release.
abi=$(sed -n 's/^set(VELKOR_ABI_VERSION \([0-9]*\))$/\1/p' CMakeLists.txt)
[ -n "$abi" ] || fail "no VELKOR_ABI_VERSION in CMakeLists.txt"
arch=$(dpkg --print-architecture)
libdir=usr/lib/$(gcc -print-multiarch)

# What each package must hold, files and links alike (folders aside); a link
# is "name -> target". Every one has its copyright file and changelog.
expected_contents() {
  printf '%s\n' "usr/share/doc/$1/changelog.gz" "usr/share/doc/$1/copyright"
  case $1 in
    libvelkor$abi) printf '%s\n' \
      "$libdir/libvelkor.so.$abi -> libvelkor.so.$version" \
      "$libdir/libvelkor.so.$version" ;;
    libvelkor-dev) printf '%s\n' \
      "$libdir/cmake/velkor/velkorConfig.cmake" \
      "$libdir/cmake/velkor/velkorConfigVersion.cmake" \
      "$libdir/cmake/velkor/velkorTargets-release.cmake" \
      "$libdir/cmake/velkor/velkorTargets.cmake" \
      "$libdir/libvelkor.so -> libvelkor.so.$abi" \
      "$libdir/pkgconfig/velkor.pc" \
      "usr/include/velkor.h" \
      "usr/include/velkor_analysis.h" \
      "usr/include/velkor_api.h" \
      "usr/include/velkor_version.h" ;;
    velkor) printf '%s\n' "usr/bin/velkor" "usr/share/doc/velkor/json.md" "usr/share/man/man1/velkor.1.gz" ;;
    python3-velkor) printf "usr/lib/python3/dist-packages/velkor/%s\n" __init__.py _native.py py.typed ;;
  esac
}
# The Depends field: the runtimes dpkg-shlibdeps found, or the library.
expected_depends() {
  case $1 in
    libvelkor-dev) echo "^libvelkor$abi \(= $version\)$" ;;
    velkor) echo "(^|, )libvelkor$abi \(= $version\)(,|$)" ;;
    python3-velkor) echo "^libvelkor$abi \(= $version\), python3$" ;;
    *) echo "(^|, )libc6 \(>= [0-9.]+\)(,|$)" ;;
  esac
}

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for package in "libvelkor$abi" libvelkor-dev velkor python3-velkor; do
  package_arch=$arch && [ "$package" != python3-velkor ] || package_arch=all
  deb=build-release/${package}_${version}_${package_arch}.deb
  [ -f "$deb" ] || fail "$deb was not made (cpack made: $(ls build-release/*.deb))"
  diff -u <(expected_contents "$package" | LC_ALL=C sort) \
    <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { $1 = $2 = $3 = $4 = $5 = ""; sub(/^ *\.\//, ""); print }' | LC_ALL=C sort) ||
    fail "contents of $deb"
  dpkg-deb -I "$deb" >/dev/null || fail "dpkg-deb -I $deb"
  for field in "Package=$package" "Version=$version" "Architecture=$package_arch"; do
    [ "$(dpkg-deb -f "$deb" "${field%%=*}")" = "${field#*=}" ] ||
      fail "$deb: ${field%%=*} is '$(dpkg-deb -f "$deb" "${field%%=*}")', not '${field#*=}'"
  done
  dpkg-deb -f "$deb" Depends | grep -qE "$(expected_depends "$package")" ||
    fail "$deb: Depends is '$(dpkg-deb -f "$deb" Depends)'"
  dpkg-deb -x "$deb" "$root"
  zgrep -q "^velkor ($version) " "$root/usr/share/doc/$package/changelog.gz" || fail "$deb: changelog"
  grep -qx 'License: Expat' "$root/usr/share/doc/$package/copyright" || fail "$deb: copyright"
done
dpkg-deb --ctrl-tarfile "build-release/libvelkor${abi}_${version}_${arch}.deb" | tar -xO ./triggers |
  grep -qx "activate-noawait ldconfig" || fail "libvelkor$abi has no ldconfig trigger"
dpkg-deb --ctrl-tarfile "build-release/libvelkor${abi}_${version}_${arch}.deb" | tar -xO ./shlibs |
  grep -qx "libvelkor $abi libvelkor$abi (= $version)" || fail "shlibs of libvelkor$abi"

# Taken out of the packages, the pieces work together.
readelf -d "$root/$libdir/libvelkor.so.$version" | grep -q "SONAME.*\[libvelkor.so.$abi\]" ||
  fail "SONAME is not libvelkor.so.$abi"
velkor() { LD_LIBRARY_PATH="$root/$libdir" "$root/usr/bin/velkor" "$@"; }
velkor --version | grep -qxF "velkor $version" || fail "velkor --version"
velkor --json samples/cbr_id3v11.mp3 | grep -q '"status":"ok"' || fail "velkor on a sample"
[ "$(cd / && PYTHONPATH="$root/usr/lib/python3/dist-packages" LD_LIBRARY_PATH="$root/$libdir" \
  /usr/bin/python3 -c 'import velkor; print(velkor.library_version())')" = "$version" ] ||
  fail "the Python package from python3-velkor does not load the library of libvelkor$abi"
# lintian, when there: its errors fail, its warnings are shown. (Shown
# through this script's own output: reopening /dev/stderr would truncate
# a log file it is redirected to.)
if command -v lintian >/dev/null; then
  findings=$(lintian build-release/*.deb || true)
  [[ -z $findings ]] || printf '%s\n' "$findings"
  ! grep -q '^E:' <<<"$findings" || fail "lintian found errors"
fi
echo "package: ok ($(cd build-release && echo ./*.deb))"
