#!/usr/bin/env bash
# Compares the defined dynamic symbols of the shared library with the global
# names of its version script.
set -euo pipefail
library=$1
map=$2
expected=$(sed -n '/global:/,/local:/p' "$map" | grep -oE '^[[:space:]]*[A-Za-z_][A-Za-z0-9_]*;' |
  tr -d ' ;\t' | sort)
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
