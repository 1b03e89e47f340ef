#!/usr/bin/env bash
# Builds and runs every test: the plain build, then the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, a quick run of the
# benchmark script, the thread tests under ThreadSanitizer, each fuzz target
# for a short while when clang and its libFuzzer runtime are there, then the
# 32-bit Windows DLL under Wine when MinGW-w64 and Wine are there.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in default asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

# The benchmarks built above, and their comparison script on a tiny set.
echo "== bench (quick)"
bash bench/compare.sh --quick

echo "== tsan (thread tests)"
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan

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
