#!/usr/bin/env bash
# The Windows leg: cross-builds velkor.dll, checks its export and import
# tables, runs the caller program against it under Wine (headless, in a fresh
# prefix) and compares what the DLL writes for the sample files with what the
# Linux library writes for them. Needs MinGW-w64 (i686) and Wine.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok     $1"; }
fail() { failed=$((failed + 1)); echo "FAILED $1"; }
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
  exit $?
}

for tool in i686-w64-mingw32-gcc i686-w64-mingw32-objdump wine wineserver; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; fail "tools present"; finish; }
done

work=$(mktemp -d)
export WINEPREFIX=$work/prefix
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== build"
started=$SECONDS
build_ok=1
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >"$work/cmake.log" 2>&1 &&
  cmake --build build-win32 -j2 >>"$work/cmake.log" 2>&1 || build_ok=0
# The Linux library to compare with.
{ [ -f build/CMakeCache.txt ] || cmake --preset default; } >>"$work/cmake.log" 2>&1 &&
  cmake --build --preset default --target velkor >>"$work/cmake.log" 2>&1 || build_ok=0
# velkor_version.h is made by the build, beside velkor.h once installed.
caller_flags=(-std=gnu11 -O0 -fno-omit-frame-pointer -Wall -Wextra -Werror -Iinclude -Ibuild-win32/include)
i686-w64-mingw32-gcc "${caller_flags[@]}" -static-libgcc tests/win32/velkor_caller.c \
  -o build-win32/velkor_caller.exe >>"$work/cmake.log" 2>&1 || build_ok=0
i686-w64-mingw32-gcc -std=gnu11 -Wall -Wextra -Werror -Iinclude -Ibuild-win32/include tests/win32/linked_caller.c \
  build-win32/libvelkor.dll.a -o build-win32/linked_caller.exe >>"$work/cmake.log" 2>&1 || build_ok=0
i686-w64-mingw32-gcc -std=gnu11 -Wall -Wextra -Werror -Iinclude -Ibuild-win32/include tests/win32/rewrite_caller.c \
  build-win32/libvelkor.dll.a -o build-win32/rewrite_caller.exe >>"$work/cmake.log" 2>&1 || build_ok=0
gcc "${caller_flags[@]}" tests/win32/velkor_caller.c -o build-win32/velkor_caller_linux -ldl \
  >>"$work/cmake.log" 2>&1 || build_ok=0
if [ "$build_ok" -eq 1 ]; then
  pass "velkor.dll and the caller programs build"
else
  cat "$work/cmake.log"
  fail "velkor.dll and the caller programs build"
  finish
fi

echo "== export and import tables"
dll=build-win32/velkor.dll
i686-w64-mingw32-objdump -p "$dll" >"$work/objdump.txt"
# The export names sit between the name-pointer table's heading and the next
# blank line; the imported DLLs are the "DLL Name:" lines.
sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' "$work/objdump.txt" |
  sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort >"$work/exports.txt"
# Every name of the export list but the ones for other systems.
awk '!/^[[:space:]]*(#|$)/ && $3 != "posix" { print $1 }' cmake/exports.txt | sort >"$work/expected_exports.txt"
if diff -u "$work/expected_exports.txt" "$work/exports.txt"; then
  pass "exports are exactly the plain names of the list"
else
  fail "exports are exactly the plain names of the list"
fi
if grep -q '@' "$work/exports.txt"; then
  fail "no decorated Name@N export"
else
  pass "no decorated Name@N export"
fi
sed -n 's/^[[:space:]]*DLL Name: //p' "$work/objdump.txt" >"$work/imports.txt"
foreign=$(grep -viE '^(kernel32|user32|msvcrt)\.dll$|^api-ms-win-crt-.*\.dll$|^ucrtbase\.dll$' \
  "$work/imports.txt" || true)
if [ -z "$foreign" ] && [ -s "$work/imports.txt" ]; then
  pass "imports only system DLLs ($(tr '\n' ' ' <"$work/imports.txt"))"
else
  fail "imports only system DLLs; also: $foreign"
fi
if grep -qE '^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+MessageBoxA$' "$work/objdump.txt" &&
  grep -qE '^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+lstrcpynA$' "$work/objdump.txt"; then
  pass "calls the system's MessageBoxA and lstrcpynA"
else
  fail "calls the system's MessageBoxA and lstrcpynA"
fi

echo "== the caller under Wine"
# Headless: no display, so Wine never opens a window or asks to install
# anything; the caller also captures the DLL's message boxes itself.
unset DISPLAY WAYLAND_DISPLAY
export HOME=${HOME:-$work} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$work/run/samples"
cp "$dll" build-win32/velkor_caller.exe build-win32/linked_caller.exe build-win32/rewrite_caller.exe "$work/run/"
shopt -s nullglob
samples=()
for f in samples/*.mp3; do
  cp "$f" "$work/run/samples/"
  samples+=("$f")
done
cd "$work/run"
boot_started=$SECONDS
if ! { timeout 120 wineboot -i && timeout 60 wineserver -w; } >"$work/wineboot.log" 2>&1; then
  echo "-- wineboot failed:"
  tail -n 20 "$work/wineboot.log"
fi
wine_started=$SECONDS
run_caller() { # name, output file, caller arguments
  local name=$1 out=$2
  shift 2
  local status=0
  timeout 120 "$@" >"$out.raw" 2>"$out.err" || status=$?
  tr -d '\r' <"$out.raw" >"$out"
  [ "$status" -eq 0 ] && return 0
  echo "-- $name: exit status $status$([ "$status" -eq 124 ] && echo ', timed out'), last output:"
  tail -n 5 "$out"
  cat "$out.err"
  return 1
}
add_counts() { # the caller's own closing line
  local line
  line=$(grep -aE '^velkor_caller: [0-9]+ passed, [0-9]+ failed$' "$1" | tail -n 1)
  grep -a '^FAILED' "$1" || true
  if [ -z "$line" ]; then
    fail "$2 ran to its end"
    return
  fi
  passed=$((passed + $(echo "$line" | awk '{print $2}')))
  failed=$((failed + $(echo "$line" | awk '{print $4}')))
  echo "$2: $line"
}
run_caller "Windows checks" "$work/win_check.txt" wine velkor_caller.exe velkor.dll check
add_counts "$work/win_check.txt" "Windows caller"
if run_caller "linked caller" "$work/linked.txt" wine linked_caller.exe; then
  pass "a caller linked through the import library and velkor.h runs"
else
  fail "a caller linked through the import library and velkor.h runs"
fi
# Saves: the temporary file, MoveFileExW over the old name, the change in place.
if run_caller "rewrite caller" "$work/rewrite.txt" wine rewrite_caller.exe samples/vbr_xing.mp3; then
  pass "saves through the DLL replace, change in place, and leave no temporary file"
else
  cat "$work/rewrite.txt"
  fail "saves through the DLL replace, change in place, and leave no temporary file"
fi
run_caller "Linux checks" "$work/linux_check.txt" \
  "$root/build-win32/velkor_caller_linux" "$root/build/libvelkor.so" check
add_counts "$work/linux_check.txt" "Linux caller"

# Both builds must write the same bytes for every sample file, for the
# caller's own files and for a missing path.
files=("${samples[@]}" caller_tagged.mp3 caller_long.mp3 caller_no_frame.bin caller_missing.mp3)
if run_caller "Windows dump" "$work/win_dump.txt" wine velkor_caller.exe velkor.dll dump "${files[@]}" &&
  run_caller "Linux dump" "$work/linux_dump.txt" \
    "$root/build-win32/velkor_caller_linux" "$root/build/libvelkor.so" dump "${files[@]}" &&
  diff -u "$work/linux_dump.txt" "$work/win_dump.txt"; then
  pass "DLL and Linux library agree on ${#files[@]} files (${#samples[@]} samples)"
else
  fail "DLL and Linux library agree on ${#files[@]} files (${#samples[@]} samples)"
fi
echo "Wine leg: $((boot_started - started)) s to build, $((wine_started - boot_started)) s for" \
  "wineboot, $((SECONDS - wine_started)) s of runs"
cd "$root"
finish
