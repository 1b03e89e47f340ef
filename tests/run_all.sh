#!/usr/bin/env bash
# Builds and runs every test: first installs what is missing (tests/setup.sh),
# then the plain build, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, a quick run of the benchmark script, the thread
# tests under ThreadSanitizer, the Debian packages, each fuzz target for a
# short while when clang and its libFuzzer runtime are there, and the 32-bit
# Windows DLL under Wine when MinGW-w64 and Wine are there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tests/setup.sh

# Without GoogleTest the builds still run; the tests are skipped.
for preset in default asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  if [[ -x build/velkor_tests ]]; then
    ctest --preset "$preset"
  else
    echo "skipped: no tests were built (GoogleTest not found, see above)"
  fi
done

# The benchmarks built above, and their comparison script on a tiny set.
echo "== bench (quick)"
bash bench/compare.sh --quick

echo "== tsan (thread tests)"
if [[ -x build/velkor_tests ]]; then
  cmake --preset tsan >/dev/null
  cmake --build --preset tsan
  ctest --preset tsan
else
  echo "skipped: GoogleTest not found"
fi

echo "== package"
if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null && command -v file >/dev/null; then
  bash tests/package_test.sh
else
  echo "skipped: the Debian packages need dpkg-deb, dpkg-shlibdeps (dpkg-dev) and file"
fi

echo "== fuzz"
if ! command -v clang++ >/dev/null; then
  echo "skipped: clang++ is not installed"
elif ! compgen -G "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-*.a" >/dev/null; then
  echo "skipped: the libFuzzer runtime (libclang-rt-dev) is not installed"
else
  bash fuzz/run.sh 15
fi

echo "== win32"
if command -v i686-w64-mingw32-gcc >/dev/null && command -v wine >/dev/null; then
  bash tests/win32/run.sh
else
  echo "skipped: the Windows DLL leg needs i686-w64-mingw32-gcc and wine (see README)"
fi
echo "== all done in $((SECONDS / 60)) min $((SECONDS % 60)) s"
