#!/usr/bin/env bash
# Fails each file call of `velkor tag` in turn (fault_injection.c, preloaded,
# makes the k-th call on the file fail with EIO), writing ID3v1 only and
# writing ID3v2 with ID3v1 in step, on a file with an ID3v1 tag and one without. After each run the file must hold its old bytes and the exit
# status be non-zero, or hold the whole new tag with exit status 0. The same
# for the rewrite of a whole file (rewrite_kill.cpp's one rewrite), changed
# in place and replaced, where no temporary file may be left either.
#
# usage: write_faults_test.sh BUILD_DIR C_COMPILER [EXTRA_C_FLAGS]
set -euo pipefail
build=$(cd "$1" && pwd) cc=$2 cflags=${3:-}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
velkor=$build/velkor
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$cc" -O2 -shared -fPIC -o "$tmp/faults.so" "$source_dir/tests/fault_injection.c" -ldl
# A sanitized velkor's runtime would insist on coming first.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
[[ -z $cflags ]] || echo "(sanitized build: $cflags)"

source=$source_dir/samples/cbr_id3v11.mp3
cp "$source" "$tmp/tagged.old"
head -c $(($(wc -c <"$source") - 128)) "$source" >"$tmp/untagged.old"
cd "$tmp"
# Runs $1 with each call of calls.txt failed in turn: the file must then
# hold the old bytes ($3) and the command have failed (with status $2 when
# given), or hold the new bytes ($4) with status 0; no temporary file may be
# left either way.
fail_each() {
  local run=$1 failed=$2 old=$3 new=$4 label=$5 calls k status call
  calls=$(wc -l <calls.txt)
  for ((k = 1; k <= calls; ++k)); do
    cp "$old" target.mp3
    status=0
    FAULT_AT=$k "$run" || status=$?
    call=$(sed -n "${k}p" calls.txt)
    if cmp -s target.mp3 "$old"; then
      ((status != 0)) && [[ -z $failed || $status == "$failed" ]] ||
        { echo "$label, $call failed: file unchanged, yet exit $status"; exit 1; }
    elif cmp -s target.mp3 "$new"; then
      ((status == 0)) || { echo "$label, $call failed: file written, yet exit $status"; exit 1; }
    else
      echo "$label, $call failed: the file is neither the old one nor the new one"; exit 1
    fi
    ! compgen -G ".target.mp3.velkor-*" >/dev/null || { echo "$label, $call failed: a temporary file is left"; exit 1; }
    total=$((total + 1))
  done
  echo "$label: $calls calls, each failed in turn: $(tr '\n' ' ' <calls.txt)"
}

tag() { LD_PRELOAD=$tmp/faults.so FAULT_MATCH=target.mp3 "$velkor" tag --id3v1=$mode target.mp3 --title "Fault" >/dev/null 2>&1; }
total=0
for mode in only keep; do
  for kind in tagged untagged; do
    cp "$kind.old" target.mp3
    rm -f calls.txt
    FAULT_LOG=$tmp/calls.txt tag || { echo "$kind, --id3v1=$mode: the write without a fault failed"; exit 1; }
    cp target.mp3 "$kind.new"
    cmp -s "$kind.old" "$kind.new" && { echo "$kind: the write changed nothing"; exit 1; }
    fail_each tag "" "$kind.old" "$kind.new" "$kind, --id3v1=$mode"
  done
done

for way in inplace replace; do
  "$build/rewrite_kill" "$source" "$way.old" "$way" prepare
  rewrite() { LD_PRELOAD=$tmp/faults.so FAULT_MATCH=target.mp3 "$build/rewrite_kill" "$source" target.mp3 "$way" once; }
  cp "$way.old" target.mp3
  rm -f calls.txt
  FAULT_LOG=$tmp/calls.txt rewrite || { echo "$way: the rewrite without a fault failed"; exit 1; }
  cmp -s target.mp3 "$way.old.new" || { echo "$way: the rewrite without a fault wrote the wrong bytes"; exit 1; }
  fail_each rewrite 1 "$way.old" "$way.old.new" "rewrite $way"
done
# Reading: a failed read is a failure, never other facts ("no tag", "no
# audio", other figures).
cp "$source_dir/samples/id3v24_utf8_cover.mp3" target.mp3
read_json() { LD_PRELOAD=$tmp/faults.so FAULT_MATCH=target.mp3 "$velkor" --json target.mp3 2>/dev/null; }
rm -f calls.txt
FAULT_LOG=$tmp/calls.txt read_json >whole.json || { echo "read: the read without a fault failed"; exit 1; }
calls=$(wc -l <calls.txt)
for ((k = 1; k <= calls; ++k)); do
  status=0
  FAULT_AT=$k read_json >got.json || status=$?
  call=$(sed -n "${k}p" calls.txt)
  if ((status == 0)); then
    cmp -s got.json whole.json || { echo "read, $call failed: other facts, yet exit 0"; exit 1; }
  else
    grep -q '"status":"\(read\|not_found\|not_permitted\)"' got.json ||
      { echo "read, $call failed: exit $status with $(head -c 200 got.json)"; exit 1; }
  fi
  total=$((total + 1))
done
echo "read: $calls calls, each failed in turn: $(tr '\n' ' ' <calls.txt)"
echo "$total runs"
