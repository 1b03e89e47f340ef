#!/usr/bin/env bash
# Builds examples/c/velkor_facts.c against the library just built and runs
# it on the samples: every one opens, UTF-8 texts and a picture come out
# whole, and a missing file is told with its reason.
#
# usage: facts_example_test.sh BUILD_DIR C_COMPILER [EXTRA_C_FLAGS]
set -euo pipefail
build=$(cd "$1" && pwd) cc=$2 cflags=${3:-}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# shellcheck disable=SC2086  # the flag list is meant to split
"$cc" -std=c99 -Wall -Wextra -Werror -pedantic $cflags -I"$source_dir/include" -I"$build/include" \
  "$source_dir/examples/c/velkor_facts.c" -L"$build" -lvelkor -o "$tmp/velkor_facts"
out=$(LD_LIBRARY_PATH=$build "$tmp/velkor_facts" "$source_dir"/samples/*.mp3)
status=0
err=$(LD_LIBRARY_PATH=$build "$tmp/velkor_facts" "$tmp/missing.mp3" 2>&1 >/dev/null) || status=$?
for want in $'ID3v2.4: \u0141\u00f3d\u017a Nocturne' 'picture 0: type 3, image/png, 258 bytes' \
  $'ID3v2.3: Caf\u00e9 au Lait' 'MPEG 2.5 Layer III, 11025 Hz'; do
  grep -qF "$want" <<<"$out" || { echo "missing: $want"; echo "$out"; exit 1; }
done
[[ $status == 1 && $err == "$tmp/missing.mp3: no such file" ]] || { echo "missing file: $status $err"; exit 1; }
echo "velkor_facts: $(grep -c '^/' <<<"$out") files"
