#!/usr/bin/env bash
# Kills a process rewriting the ID3v1 tag at random moments (0 to 2 ms into
# its loop), 500 times for each case: a file with a tag, one without, and
# both under a file size limit one byte short of an appended tag. Every
# file must be its old bytes or one whole write's.
#
# usage: write_kill_test.sh BUILD_DIR C_COMPILER [EXTRA_C_FLAGS]
set -euo pipefail
build=$(cd "$1" && pwd) cc=$2 cflags=${3:-}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
runs=${KILL_RUNS:-500}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# shellcheck disable=SC2086  # the flag list is meant to split
"$cc" -std=c99 -Wall -Wextra -Werror $cflags -I"$source_dir/include" -I"$build/include" \
  "$source_dir/tests/write_kill.c" -L"$build" -lvelkor -o "$tmp/write_kill"
export LD_LIBRARY_PATH=$build

source=$source_dir/samples/cbr_id3v11.mp3
cp "$source" "$tmp/tagged.mp3"
head -c $(($(wc -c <"$source") - 128)) "$source" >"$tmp/untagged.mp3"
for kind in tagged untagged; do
  "$tmp/write_kill" "$tmp/$kind.mp3" "$tmp/work.mp3" "$runs"
  "$tmp/write_kill" "$tmp/$kind.mp3" "$tmp/work.mp3" "$runs" limited
done
