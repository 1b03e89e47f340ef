#!/usr/bin/env bash
# Kills a process rewriting the ID3v1 tag at random moments (0 to 2 ms into
# its loop), 500 times for each case: a file with a tag, one without, both
# under a file size limit one byte short of an appended tag, and one without
# a tag on a full disk. Every file must be its old bytes or one whole
# write's. Then the rewrite of a whole file, 250 kills for a change in place
# and 250 for a replacement, and 100 of each on a full disk (where the
# change in place still succeeds and the replacement is refused): every file
# must be exactly its old or its new version (rewrite_kill.cpp).
#
# usage: write_kill_test.sh BUILD_DIR C_COMPILER [EXTRA_C_FLAGS]
set -euo pipefail
build=$(cd "$1" && pwd) cc=$2 cflags=${3:-}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
runs=${KILL_RUNS:-500}
rewrite_runs=${REWRITE_KILL_RUNS:-250}
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

# On a full disk (a small file system of our own, where mounting is
# allowed): whole pages of audio, so that an append needs one more.
if unshare -m true 2>/dev/null; then
  mkdir "$tmp/disk"
  head -c 24576 "$source" >"$tmp/pages.mp3"
  unshare -m sh -c 'mount -t tmpfs -o size=64k tmpfs "$1" && cp "$3" "$1/work.mp3" || exit 2
    dd if=/dev/zero of="$1/filler" bs=4096 2>/dev/null; dd if=/dev/zero of="$1/filler" bs=1 oflag=append conv=notrunc 2>/dev/null
    exec "$2" "$3" "$1/work.mp3" "$4" full' sh "$tmp/disk" "$tmp/write_kill" "$tmp/pages.mp3" "$runs"
else
  echo "(no full-disk runs: mounting is not allowed here)"
fi

for way in inplace replace; do
  "$build/rewrite_kill" "$source" "$tmp/rewrite.mp3" "$way" "$rewrite_runs"
done
if unshare -m true 2>/dev/null; then
  mkdir "$tmp/rewrite-disk"
  unshare -m sh -c 'mount -t tmpfs -o size=256k tmpfs "$1" || exit 2
    for way in inplace replace; do "$2" "$3" "$1/rewrite.mp3" "$way" "$4" full || exit 1; rm -f "$1"/*; done' \
    sh "$tmp/rewrite-disk" "$build/rewrite_kill" "$source" "$((rewrite_runs * 2 / 5))"
else
  echo "(no full-disk rewrite runs: mounting is not allowed here)"
fi
