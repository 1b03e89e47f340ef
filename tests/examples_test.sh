#!/usr/bin/env bash
# Runs one of the examples in examples/ against the freshly built library and
# compares its output with what the library must answer for a file made
# here, a missing file and the sample files in samples/. The C, Python and Pascal
# examples print the same lines, so they share the expected text.
#
# usage: examples_test.sh c|python|pascal BUILD_DIR C_COMPILER [EXTRA_C_FLAGS]
set -euo pipefail
language=$1 build=$(cd "$2" && pwd) cc=$3 cflags=${4:-}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
examples=$source_dir/examples

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

# The library is built with the sanitizers: a host that is not (the Python
# interpreter, a Pascal program) must load their runtimes first. Their leak
# checker would report the interpreter's own allocations, so it stays off.
preload=
if [[ $cflags == *-fsanitize=* ]]; then
  preload="$("$cc" -print-file-name=libasan.so) $("$cc" -print-file-name=libubsan.so)"
  export ASAN_OPTIONS=detect_leaks=0
fi

case $language in
  c)
    # shellcheck disable=SC2086  # the flag list is meant to split
    "$cc" -std=c99 -Wall -Wextra -Werror -pedantic $cflags -I"$source_dir/include" -I"$build/include" \
      "$examples/c/velkor_info.c" -L"$build" -lvelkor -o velkor_info
    run() { LD_LIBRARY_PATH=$build "$tmp/velkor_info" "$@"; } ;;
  python)
    export PYTHONDONTWRITEBYTECODE=1  # keep the source tree clean
    run() {
      LD_PRELOAD=$preload VELKOR_LIBRARY=$build/libvelkor.so \
        python3 "$examples/python/velkor_info.py" "$@"
    } ;;
  pascal)
    fpc -vew -FU"$tmp" -o"$tmp/velkor_info" -Fl"$build" "$examples/pascal/velkor_info.pas" \
      >fpc.log || { cat fpc.log; exit 1; }
    run() { LD_PRELOAD=$preload LD_LIBRARY_PATH=$build "$tmp/velkor_info" "$@"; } ;;
  *) echo "unknown language $language" >&2; exit 2 ;;
esac

# 200,000 bytes: three MPEG-1 Layer III frames (128 kbit/s, 44100 Hz, joint
# stereo, 417 bytes each) at offset 0, silence, and an ID3v1.1 tag with a
# Latin-1 title and a tab in the comment.
field() { printf '%b' "$1"; head -c $(($2 - $(printf '%b' "$1" | wc -c))) /dev/zero; }
{
  for frame in 1 2 3; do
    printf '\xff\xfb\x90\x64'
    head -c 413 /dev/zero
  done
  head -c $((200000 - 3 * 417 - 128)) /dev/zero
  printf 'TAG'
  field 'Caf\xe9 Tone' 30
  field 'Velkor' 30
  field '' 30
  printf '2001'
  field 'made\tin the test' 28
  printf '\x00\x05\x11'
} >made.mp3

expected() {
  printf '%b' 'made.mp3
  VkOpenMp3File: 1
    status=SUCCESS: File opened successfully
    version=MPEG 1 Layer III
    bitrate=128 kbps
    frequency=44100 Hz
    length=00:12
    size=195 kB
    mode=Joint Stereo
    title=Caf\xe9 Tone
    artist=Velkor
    album=
    genre=Rock
    comment=made\tin the test
    frames=478
    year=2001
    track=5
  VkGetSonvexStruct:
    status=Success
    track=5
    year=2001
    bitrate=128
    size=195
    frequency=44100
    length=12
    frames=478
    album=
    artist=Velkor
    comment=made in the test
    genre=17
    mode=Joint Stereo
    version=MPEG 1 Layer III
    title=Caf\xe9 Tone
missing.mp3
  notice: missing.mp3: You tried to open a file that didn'"'"'t work
  VkOpenMp3File: 0
    Unable to open file
  VkGetSonvexStruct:
    status=Unable to open file (2)
'
}

status=0
run made.mp3 missing.mp3 >actual.txt || status=$?
[ "$status" -eq 1 ] || { echo "exit status $status, expected 1 (one file failed)"; exit 1; }
expected >expected.txt
diff -u expected.txt actual.txt

# The samples, by the names a user in the source folder would give. Their
# expected text writes bytes beyond ASCII as \xNN.
(cd "$source_dir" && run samples/cbr_id3v11.mp3 samples/id3v23_utf16.mp3 \
  samples/mpeg2_id3v10.mp3 samples/vbr_xing.mp3) >samples-actual.txt
printf '%b' "$(cat "$source_dir/tests/examples_samples.expected")" >samples-expected.txt
echo >>samples-expected.txt  # $(...) drops the last line feed
diff -u samples-expected.txt samples-actual.txt

if [ "$language" = python ]; then
  LD_PRELOAD=$preload VELKOR_LIBRARY=$build/libvelkor.so \
    python3 "$examples/python/velkor_samples.py" >samples.txt
  diff -u - samples.txt <<'TEXT'
AddNums(2147483647, 1) = -2147483648
SubtractNums(10, 4) = 6
MultiplyNums(-7, 6) = -42
CompareNums(-5, 3) = 3
FillString(22 bytes) = Hello from the C DLL!
FillString(21 bytes) = ''
InStrRev('a.b.c', '.') = 4
MyStructProc -> kvzt482 kvzt482
notice [Display String ByVal, style 0x40]: by value
DisplayStringByVal -> 1
notice [Display String ByRef, style 0x40]: by reference
DisplayStringByRef -> 1
TEXT
fi
echo "examples ($language): ok"
