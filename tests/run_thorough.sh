#!/usr/bin/env bash
# The thorough legs, after the fast tier (tests/run_fast.sh, whose build in
# build/ they reuse): first installs what they need (tests/setup.sh
# thorough), then the fast tier under AddressSanitizer and
# UndefinedBehaviorSanitizer, the slow tests, a quick run of the benchmark
# script, the thread tests under ThreadSanitizer, the README's Release build
# with the tests, the Debian packages, each fuzz target for a short while,
# and the 32-bit Windows DLL under Wine. A leg whose tools are missing says
# so and is skipped.
#
# Each leg runs on its own: a failed leg does not stop the others. Each
# leg's output goes to the terminal and to test-logs/LEG.log. The last line
# counts the legs, "N passed, N failed" and ", N skipped" when some were,
# with the failed and skipped legs named on the lines before it; the exit
# status is 1 when any leg failed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tests/setup.sh thorough
mkdir -p test-logs

# A leg that cannot run here says why and ends with this status.
readonly skipped_status=77
skip() {
  echo "skipped: $1"
  exit "$skipped_status"
}

# The fast tier under the sanitizers; without GoogleTest the build still
# runs and its tests are skipped.
leg_asan() {
  cmake --preset asan >/dev/null
  cmake --build --preset asan
  [[ -x build-asan/velkor_tests ]] || skip "no tests were built (GoogleTest not found, see above)"
  ctest --preset asan
}

# The slow tests of the plain build (kills, each file call failed in turn,
# the offline install, files of several GiB).
leg_slow() {
  [[ -x build/velkor_tests ]] || skip "no tests in build/ (run tests/run_fast.sh first)"
  ctest --preset slow
}

# The benchmarks built by the default leg, and their comparison script on a
# tiny set.
leg_bench() { bash bench/compare.sh --quick; }

leg_tsan() {
  [[ -x build/velkor_tests ]] || skip "GoogleTest not found"
  cmake --preset tsan >/dev/null
  cmake --build --preset tsan
  ctest --preset tsan
}

# The README's Release command with the tests, as a packager would run it:
# it must build wherever GoogleTest is installed.
leg_release() {
  cmake -S . -B build-release-tests -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build-release-tests -j2
}

leg_package() {
  local tool
  for tool in dpkg-deb dpkg-shlibdeps file; do
    command -v "$tool" >/dev/null || skip "the Debian packages need dpkg-deb, dpkg-shlibdeps (dpkg-dev) and file"
  done
  bash tests/package_test.sh
}

leg_fuzz() {
  command -v clang++ >/dev/null || skip "clang++ is not installed"
  compgen -G "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-*.a" >/dev/null ||
    skip "the libFuzzer runtime (libclang-rt-dev) is not installed"
  bash fuzz/run.sh 10
}

leg_win32() {
  local tool
  for tool in i686-w64-mingw32-gcc wine; do
    command -v "$tool" >/dev/null || skip "the Windows DLL leg needs i686-w64-mingw32-gcc and wine (see README)"
  done
  bash tests/win32/run.sh
}

passed=() failed=() skipped=()
for leg in asan slow bench tsan release package fuzz win32; do
  echo "== $leg"
  # The subshell stops at its first failing command (errexit, which a
  # condition such as `if` or `||` around it would switch off); this shell
  # goes on to the next leg.
  set +e
  (
    set -e
    "leg_$leg"
  ) 2>&1 | tee "test-logs/$leg.log"
  status=${PIPESTATUS[0]}
  set -e
  case $status in
    0) passed+=("$leg") ;;
    "$skipped_status") skipped+=("$leg") ;;
    *) failed+=("$leg"); echo "== $leg FAILED (exit status $status)" ;;
  esac
done

echo "== all legs done in $((SECONDS / 60)) min $((SECONDS % 60)) s"
names() {
  local joined
  printf -v joined '%s, ' "$@"
  echo "${joined%, }"
}
((${#failed[@]} == 0)) || echo "failed: $(names "${failed[@]}")"
((${#skipped[@]} == 0)) || echo "skipped: $(names "${skipped[@]}")"
summary="${#passed[@]} passed, ${#failed[@]} failed"
((${#skipped[@]} == 0)) || summary+=", ${#skipped[@]} skipped"
echo "$summary"
((${#failed[@]} == 0))
