#!/usr/bin/env bash
# The README's test command: installs what the fast tier needs and the
# machine lacks (tests/setup.sh), builds once (the `default` preset, in
# build/) and runs the fast tier: every test labelled `fast`, the Python
# package's tests among them. The slow tests, the sanitizers, the packages,
# fuzzing and the Windows DLL are the thorough legs (tests/run_thorough.sh).
#
# The output goes to the terminal and to test-logs/fast.log. It ends with
# ctest's own summary line.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tests/setup.sh
mkdir -p test-logs
{
  cmake --preset default >/dev/null
  cmake --build --preset default
  if [[ ! -x build/velkor_tests ]]; then
    echo "run_fast: no tests were built (GoogleTest not found, see above)" >&2
    exit 1
  fi
  ctest --preset fast
} 2>&1 | tee test-logs/fast.log
