#!/usr/bin/env bash
# Holds the export list (cmake/exports.txt) against velkor.h as a compiler
# reads it, once for Windows and once for every other system: each listed
# name is declared for the platforms the list gives it and nothing else is,
# and its stdcall byte count is 8 for each 64-bit integer parameter and 4
# for any other (a 32-bit integer or a pointer on 32-bit Windows).
#
# usage: export_list_test.sh EXPORT_LIST C_COMPILER INCLUDE_DIR...
set -euo pipefail
list=$1 cc=$2
shift 2
includes=()
for dir in "$@"; do includes+=(-I"$dir"); done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0

# The declarations "name bytes", from the preprocessed header: each begins
# with the expansion of VELKOR_API and names its function before the first
# parenthesis behind it. `marker` is what VELKOR_API expands to.
declared() { # defines, marker
  printf '#include <velkor.h>\n#include <velkor_analysis.h>\n' >"$tmp/h.c"
  # shellcheck disable=SC2086  # the defines are meant to split
  "$cc" -E -P $1 "${includes[@]}" "$tmp/h.c" | tr '\n' ' ' | tr ';' '\n' |
    awk -v marker="$2" '{
      at = index($0, marker)
      if (at == 0) next
      rest = substr($0, at + length(marker))
      open = index(rest, "(")
      head = substr(rest, 1, open - 1)
      n = split(head, words, /[^A-Za-z0-9_]+/)
      name = words[n]; if (name == "" && n > 1) name = words[n - 1]
      params = substr(rest, open + 1)
      sub(/\)[^)]*$/, "", params)
      gsub(/[[:space:]]/, "", params)
      count = (params == "" || params == "void") ? 0 : split(params, parts, ",")
      bytes = 0
      for (i = 1; i <= count; i++) bytes += (parts[i] ~ /^u?int64_t/) ? 8 : 4
      print name, bytes
    }' | sort
}
listed() { # the platform left out
  awk -v other="$1" '!/^[[:space:]]*(#|$)/ && $3 != other && $1 != "DllMain" { print $1, $2 }' "$list" | sort
}

check() { # platform, defines, marker, other platform
  declared "$2" "$3" >"$tmp/declared.txt"
  listed "$4" >"$tmp/listed.txt"
  if [ ! -s "$tmp/declared.txt" ]; then
    echo "FAILED $1: no declarations found in velkor.h"
    failed=1
  elif diff -u --label "exports.txt ($1)" --label "velkor.h ($1)" "$tmp/listed.txt" "$tmp/declared.txt"; then
    echo "ok     $1: $(wc -l <"$tmp/declared.txt") declarations, as listed"
  else
    echo "FAILED $1: the export list and velkor.h differ (name and stdcall bytes)"
    failed=1
  fi
}

# VELKOR_API expands to a visibility attribute on other systems and to
# dllimport for a Windows caller; -D_WIN32 makes this compiler read the
# header as one would (only preprocessed, never compiled).
check posix "-U_WIN32" '__attribute__((visibility("default")))' windows
check windows "-D_WIN32 -U_WIN64" '__declspec(dllimport)' posix
# DllMain is the system's entry point, declared by windows.h: the list
# gives it to Windows alone.
awk '$1 == "DllMain" && $3 == "windows" { found = 1 } END { exit !found }' "$list" ||
  { echo "FAILED DllMain is listed for Windows alone"; failed=1; }
exit "$failed"
