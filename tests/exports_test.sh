#!/usr/bin/env bash
# Compares the defined dynamic symbols of the shared library with the export
# list (cmake/exports.txt): every name but the Windows-only ones, no other.
#
# usage: exports_test.sh LIBRARY EXPORT_LIST
set -euo pipefail
library=$1
list=$2
expected=$(awk '!/^[[:space:]]*(#|$)/ && $3 != "windows" { print $1 }' "$list" | sort)
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | sort)
if [ "$expected" != "$actual" ]; then
  echo "dynamic symbols differ from the export list:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
for name in VkOpenMp3File VkGetSonvexStruct AddNums SubtractNums MultiplyNums CompareNums \
  FillString InStrRev DisplayStringByRef DisplayStringByVal MyStructProc; do
  grep -qx "$name" <<<"$actual" || { echo "missing export: $name"; exit 1; }
done
echo "exports: $(wc -l <<<"$actual") names, as listed"
