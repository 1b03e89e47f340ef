#!/usr/bin/env bash
# Brings a Debian machine up to what the tests use: `setup.sh` for the fast
# tier (tests/run_fast.sh), `setup.sh thorough` for the thorough legs as
# well (tests/run_thorough.sh: clang, lintian, MinGW-w64 and Wine). As root
# it installs whatever is missing with apt-get; otherwise it prints the one
# command that would, and the tests or legs that need a missing part skip
# themselves. Silent when nothing is missing.
set -euo pipefail
thorough=false
[[ ${1:-} != thorough ]] || thorough=true

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v make >/dev/null || need+=(make)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
[ -f /usr/include/zlib.h ] || need+=(zlib1g-dev)
command -v pkg-config >/dev/null || need+=(pkg-config)
command -v python3 >/dev/null || need+=(python3)
# The Python package's offline install test builds it with Debian's Python,
# in a venv (python3-venv) that sees Debian's setuptools and wheel.
/usr/bin/python3 -c 'import importlib.util as u
assert all(map(u.find_spec, ("pip", "setuptools", "wheel", "ensurepip")))' 2>/dev/null ||
  need+=(python3-pip python3-setuptools python3-wheel python3-venv)
# Other readers that read back what velkor writes.
/usr/bin/python3 -c 'import mutagen' 2>/dev/null || need+=(python3-mutagen)
command -v ffprobe >/dev/null || need+=(ffmpeg)
command -v fpc >/dev/null || need+=(fp-compiler)
need_win32=()
if $thorough; then
  command -v clang++ >/dev/null || need+=(clang)
  compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null ||
    need+=(libclang-rt-14-dev)
  # The packages: CPack's dependency list needs dpkg-shlibdeps and file;
  # lintian checks them.
  command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev)
  command -v file >/dev/null || need+=(file)
  command -v lintian >/dev/null || need+=(lintian)
  # The Windows DLL leg: MinGW-w64 for i686 and the 32-bit Wine (which needs
  # the i386 architecture); their recommends would pull in a desktop's worth.
  command -v i686-w64-mingw32-g++ >/dev/null || need_win32+=(g++-mingw-w64-i686)
  [ -f /usr/i686-w64-mingw32/include/zlib.h ] || need_win32+=(libz-mingw-w64-dev)
  # wine alone may be the 64-bit one, which cannot run a 32-bit program.
  if ! command -v wine >/dev/null ||
    ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed'; then
    need_win32+=(wine wine32)
  fi
fi
missing=("${need[@]}" "${need_win32[@]}")
((${#missing[@]})) || exit 0

add_i386=""
[[ " ${need_win32[*]} " != *" wine32 "* ]] || add_i386="dpkg --add-architecture i386"
install="${need[*]:+apt-get install -y ${need[*]}}"
install_win32="${need_win32[*]:+apt-get install -y --no-install-recommends ${need_win32[*]}}"

if [[ $(id -u) -ne 0 ]] || ! command -v apt-get >/dev/null; then
  line=""
  for step in "$add_i386" "apt-get update" "$install" "$install_win32"; do
    [[ -z $step ]] || line+="${line:+ && }sudo $step"
  done
  echo "setup: missing ${missing[*]}: the legs that need them are skipped." >&2
  echo "setup: to install them: $line" >&2
  exit 0
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# apt's progress would bury the tests' output: it is shown only on failure.
{
  $add_i386 &&
    apt-get update -qq &&
    { [[ -z $install ]] || $install -qq; } &&
    { [[ -z $install_win32 ]] || $install_win32 -qq; }
} </dev/null >"$log" 2>&1 || { tail -20 "$log" >&2; echo "setup: installing failed" >&2; exit 1; }
