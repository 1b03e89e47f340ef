#!/usr/bin/env bash
# The README's offline install of the Python package into a fresh venv, from
# a copy of python/; exit 77 (skipped) without Debian's venv, setuptools, wheel.
# usage: python_install_test.sh SOURCE_DIR LIBRARY
set -euo pipefail
python=/usr/bin/python3 tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$python" -c 'import ensurepip, setuptools, wheel' 2>/dev/null || exit 77
cp -r "$1/python" "$tmp" && cd "$tmp"
"$python" -m venv --system-site-packages .venv
.venv/bin/pip install -q --no-index --no-build-isolation --no-deps ./python
cd / && VELKOR_LIBRARY=$2 "$tmp/.venv/bin/python" -c 'import velkor, sys
assert "/site-packages/" in velkor.__file__, velkor.__file__
print("velkor", velkor.library_version(), "installed offline into a fresh venv")'
