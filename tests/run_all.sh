#!/usr/bin/env bash
# Builds and runs every test: the plain build, then the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, a quick run of the
# benchmark script, then the 32-bit Windows DLL under Wine when MinGW-w64 and
# Wine are there.
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
echo "== win32"
if command -v i686-w64-mingw32-gcc >/dev/null && command -v wine >/dev/null; then
  bash tests/win32/run.sh
else
  echo "skipped: the Windows DLL leg needs i686-w64-mingw32-gcc and wine (see README)"
fi
