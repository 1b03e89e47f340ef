#!/usr/bin/env bash
# The README's offline install of the Python package, as written there: a
# venv that sees Debian's setuptools and wheel, pip without the network or
# build isolation. The package is installed from a copy of python/ (pip
# leaves build/ and velkor.egg-info/ behind), then imported from outside the
# sources with the library just built.
#
# usage: python_install_test.sh SOURCE_DIR LIBRARY
# Exit status 77 (skipped) when Debian's python3 lacks venv, setuptools or wheel.
set -euo pipefail
source=$1 library=$2
python=${VELKOR_SYSTEM_PYTHON:-/usr/bin/python3}
"$python" -c 'import importlib.util as u, sys
sys.exit(not all(map(u.find_spec, ("ensurepip", "venv", "setuptools", "wheel"))))' 2>/dev/null || {
  echo "skipped: $python lacks venv, setuptools or wheel (Debian: python3-venv python3-setuptools python3-wheel)"
  exit 77
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -r "$source/python" "$tmp/python"
rm -rf "$tmp/python/velkor/__pycache__"
cd "$tmp"
"$python" -m venv --system-site-packages .venv
PIP_NO_INDEX=1 .venv/bin/pip install -q --no-build-isolation --no-deps ./python
cd /
installed=$(VELKOR_LIBRARY=$library "$tmp/.venv/bin/python" -c \
  'import velkor; print(velkor.__file__); print(velkor.library_version())')
[[ $installed == "$tmp/.venv/lib/"*"/site-packages/velkor/__init__.py"$'\n'* ]] ||
  { echo "FAIL: velkor was not imported from the venv: $installed" >&2; exit 1; }
version=${installed#*$'\n'}
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "FAIL: library_version() gave '$version'" >&2; exit 1; }
echo "python install: ok (velkor $version in a fresh venv)"
