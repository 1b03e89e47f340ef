#!/usr/bin/env bash
# velkor side by side with the floor (the least any tool must read per file)
# and with the tools people use today, on the same files in one run.
#
#   bash bench/compare.sh           the full run: 10,000 typical files, a
#                                   256 MiB file without any frame header,
#                                   peak memory; installs missing peers
#   bash bench/compare.sh --quick   a tiny set in seconds, peers only when
#                                   already installed: checks the script works
#
# Both runs also time edits: the composer set in place in files with room
# in their ID3v2 tag (1,000 of them; 20 in a quick run) beside reading them
# and beside mutagen making the same edit, with the bytes each writes per
# file (strace), and a file without a tag (100 MiB; 8 in a quick run)
# rewritten beside a cp of it.
#
# Run as root, both runs also time a cold cache: they drop the whole
# machine's page cache (echo 3 >/proc/sys/vm/drop_caches) before each timed
# run, which slows whatever else the machine is doing for a while. They say
# so when they start; VELKOR_BENCH_KEEP_CACHE=1 leaves the cache alone and
# skips the cold runs.
#
# Environment: VELKOR_BUILD_DIR (default build/, made with the default
# preset when it is the default), VELKOR_BENCH_DATA (where the full run keeps
# its files between runs; default build/bench-data).
set -euo pipefail
export LC_ALL=C  # a decimal point in every number the script reads or prints
cd "$(dirname "$0")/.."
root=$PWD

quick=0
case "${1:-}" in
  --quick) quick=1 ;;
  "") ;;
  *) echo "usage: bash bench/compare.sh [--quick]" >&2; exit 2 ;;
esac

if ((quick)); then
  count=30 peer_files=4 noheader_mib=8 passes=1 peer_passes=1 bench_min_time=0.001 covered_count=3
  edit_count=20 untagged_mib=8 edit_passes=1
else
  # Best of five for what takes a fraction of a second, of two for the
  # loops that start a process per file.
  count=10000 peer_files=200 noheader_mib=256 passes=5 peer_passes=2 bench_min_time=0.2
  covered_count=100 edit_count=1000 untagged_mib=100 edit_passes=3
fi

build=${VELKOR_BUILD_DIR:-$root/build}
if [[ -z ${VELKOR_BUILD_DIR:-} ]]; then
  cmake --preset default >/dev/null
  cmake --build --preset default >/dev/null
fi
for program in velkor velkor_floor velkor_export_bench velkor_read_count; do
  [[ -x $build/$program ]] || { echo "compare.sh: $build/$program is missing" >&2; exit 1; }
done

# Scratch files always go; the quick run's files go too, the full run keeps
# its set for the next run.
scratch=$(mktemp -d)
if ((quick)); then data=$scratch/data; else data=${VELKOR_BENCH_DATA:-$build/bench-data}; fi
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$data"

note() { echo "-- $*" >&2; }
can_drop_caches() {
  [[ ${VELKOR_BENCH_KEEP_CACHE:-0} != 1 && $(id -u) -eq 0 && -w /proc/sys/vm/drop_caches ]]
}
! can_drop_caches ||
  note "running as root: the cold-cache runs will drop this machine's page cache (VELKOR_BENCH_KEEP_CACHE=1 skips them)"

# Peers ------------------------------------------------------------------

python_with_mutagen() {
  local python
  for python in python3 /usr/bin/python3; do
    if command -v "$python" >/dev/null && "$python" -c 'import mutagen.mp3' 2>/dev/null; then
      echo "$python"
      return
    fi
  done
}

install_peers() {
  local missing=()
  command -v mp3info >/dev/null || missing+=(mp3info)
  command -v mediainfo >/dev/null || missing+=(mediainfo)
  command -v ffprobe >/dev/null || missing+=(ffmpeg)
  pkg-config --exists taglib 2>/dev/null || missing+=(libtag1-dev pkg-config)
  [[ -n $(python_with_mutagen) ]] || missing+=(python3-mutagen)
  [[ -x /usr/bin/time ]] || missing+=(time)
  ((${#missing[@]})) || return 0
  if [[ $(id -u) -ne 0 ]] || ! command -v apt-get >/dev/null; then
    note "cannot install ${missing[*]} (needs root and apt-get): those rows are skipped"
    return 0
  fi
  note "installing ${missing[*]}"
  { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"; } \
    >"$scratch/apt.log" 2>&1 || note "installing failed (see below); missing peers are skipped
$(tail -5 "$scratch/apt.log")"
}
((quick)) || install_peers

taglib_loop=""
if command -v g++ >/dev/null && pkg-config --exists taglib 2>/dev/null; then
  taglib_loop=$build/bench/taglib_loop
  if [[ ! -x $taglib_loop || $root/bench/taglib_loop.cpp -nt $taglib_loop ]]; then
    mkdir -p "$build/bench"
    # shellcheck disable=SC2046  # pkg-config's flags are meant to split
    g++ -O2 -std=c++17 -o "$taglib_loop" "$root/bench/taglib_loop.cpp" $(pkg-config --cflags --libs taglib) ||
      taglib_loop=""
  fi
fi
mutagen_python=$(python_with_mutagen)

# Files ------------------------------------------------------------------

set_dir=$data/typical-$count
if [[ ! -f $set_dir/.complete || $root/bench/make_files.py -nt $set_dir/.complete ]]; then
  note "making $count typical files in $set_dir"
  rm -rf "$set_dir"
  python3 "$root/bench/make_files.py" typical "$set_dir" "$count"
  touch "$set_dir/.complete"
fi
# The samples join the set as they stand (refreshed each run).
rm -rf "$set_dir/samples"
if compgen -G "$root/samples/*.mp3" >/dev/null; then
  mkdir -p "$set_dir/samples"
  cp "$root"/samples/*.mp3 "$set_dir/samples/"
fi
noheader=$data/noheader-${noheader_mib}m.bin
if [[ ! -f $noheader || $root/bench/make_files.py -nt $noheader ]]; then
  note "making the ${noheader_mib} MiB file without any frame header"
  python3 "$root/bench/make_files.py" noheader "$noheader" "$noheader_mib"
fi
covered_dir=$data/covered-$covered_count
if [[ ! -f $covered_dir/.complete || $root/bench/make_files.py -nt $covered_dir/.complete ]]; then
  note "making $covered_count typical files with a 1 MiB cover in $covered_dir"
  rm -rf "$covered_dir"
  python3 "$root/bench/make_files.py" covered "$covered_dir" "$covered_count"
  touch "$covered_dir/.complete"
fi
covered_list=$scratch/covered.txt
find "$covered_dir" -type f -name '*.mp3' | LC_ALL=C sort >"$covered_list"

list=$scratch/files.txt
find "$set_dir" -type f -name '*.mp3' | LC_ALL=C sort >"$list"
files=$(wc -l <"$list")
step=$(((files + peer_files - 1) / peer_files))
awk -v step="$step" '(NR - 1) % step == 0' "$list" >"$scratch/peer-files.txt"
peer_count=$(wc -l <"$scratch/peer-files.txt")
echo "$noheader" >"$scratch/noheader.txt"

# Warm cache: every byte of every file read once before anything is timed.
xargs -d '\n' cat <"$list" >/dev/null
cat "$noheader" >/dev/null

# Measuring ----------------------------------------------------------------

declare -A rate=() labels=()
rows=()

# record KEY LABEL FILES SECONDS
record() {
  rows+=("$1")
  rate[$1]=$(awk -v n="$3" -v s="$4" 'BEGIN { printf "%.1f", (s > 0 ? n / s : 0) }')
  labels[$1]=$2
}

# best_seconds RUNS COMMAND...: the wall time in seconds, best of RUNS.
best_seconds() {
  local runs=$1 best="" pass start elapsed
  shift
  for ((pass = 0; pass < runs; pass++)); do
    start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1 || true
    elapsed=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.6f", b - a }')
    if [[ -z $best ]] || awk -v e="$elapsed" -v b="$best" 'BEGIN { exit !(e < b) }'; then best=$elapsed; fi
  done
  echo "$best"
}

# One process per file, as a person or a script runs the tool.
per_file() {
  local file
  while IFS= read -r file; do "$@" "$file" >/dev/null 2>&1 || true; done <"$scratch/peer-files.txt"
}

# The seconds field of a loop program's output line.
seconds_of() { sed -n 's/.* seconds=\([0-9.]*\).*/\1/p' <<<"$1" | head -1; }

note "floor and velkor over $files files"
out=$("$build/velkor_floor" "$list" "$passes")
record floor "floor: C loop, open+fstat+4 KiB+128 B+close" "$files" "$(seconds_of "$out")"
out=$("$build/velkor_floor" --walk "$set_dir" "$passes")
record floor_walk "floor, files found by a directory walk" "$files" "$(seconds_of "$out")"

# Every file of the set is a valid one: anything else is a fault, not a
# number to report.
"$build/velkor" --json -r "$set_dir" >"$scratch/velkor.json" 2>/dev/null ||
  { echo "compare.sh: velkor -r failed on the file set" >&2; exit 1; }
[[ $(grep -c '"status":"ok"' "$scratch/velkor.json") -eq $files ]] ||
  { echo "compare.sh: velkor -r did not analyse all $files files" >&2; exit 1; }
record velkor "velkor --json -r DIR (one process)" "$files" \
  "$(best_seconds "$passes" "$build/velkor" --json -r "$set_dir")"

out=$("$build/velkor_export_bench" "$list" "$passes")
record open_mp3_file "VkOpenMp3File loop (in process)" "$files" \
  "$(seconds_of "$(grep '^VkOpenMp3File' <<<"$out")")"
record sonvex_struct "VkGetSonvexStruct loop (in process)" "$files" \
  "$(seconds_of "$(grep '^VkGetSonvexStruct' <<<"$out")")"
record file_open "velkor_open+velkor_facts+velkor_close loop (in process)" "$files" \
  "$(seconds_of "$(grep '^velkor_open' <<<"$out")")"
out=$("$build/velkor_export_bench" "$covered_list" "$passes")
covered_count_run=$(wc -l <"$covered_list")
record file_open_covered "the same over files with a 1 MiB cover" "$covered_count_run" \
  "$(seconds_of "$(grep '^velkor_open' <<<"$out")")"

record velkor_each "velkor --json FILE (process per file)" "$peer_count" \
  "$(best_seconds "$peer_passes" per_file "$build/velkor" --json)"

note "peers"
skipped=()
if [[ -n $taglib_loop ]]; then
  out=$("$taglib_loop" "$list" "$passes")
  record taglib "TagLib FileRef loop (in process)" "$files" "$(seconds_of "$out")"
else
  skipped+=("TagLib (libtag1-dev)")
fi
if [[ -n $mutagen_python ]]; then
  # mutagen is thirty times slower than the floor: every tenth file will do.
  awk '(NR - 1) % 10 == 0' "$list" >"$scratch/mutagen-files.txt"
  out=$("$mutagen_python" "$root/bench/mutagen_loop.py" "$scratch/mutagen-files.txt" "$passes")
  record mutagen "mutagen.mp3.MP3 loop (in process)" "$(wc -l <"$scratch/mutagen-files.txt")" \
    "$(seconds_of "$out")"
else
  skipped+=("mutagen (python3-mutagen)")
fi
peer_tool() {  # KEY LABEL COMMAND...
  local key=$1 label=$2
  shift 2
  if command -v "$1" >/dev/null; then
    record "$key" "$label" "$peer_count" "$(best_seconds "$peer_passes" per_file "$@")"
  else
    skipped+=("$label")
  fi
}
peer_tool mp3info "mp3info -x FILE (process per file)" mp3info -x
peer_tool mediainfo "mediainfo --Output=JSON FILE (process per file)" mediainfo --Output=JSON
peer_tool ffprobe "ffprobe -show_format -show_streams (process per file)" \
  ffprobe -v error -show_format -show_streams -of json

note "the ${noheader_mib} MiB file without any frame header"
noheader_bytes=$(stat -c %s "$noheader")
noheader_cli=$(best_seconds "$passes" "$build/velkor" --json "$noheader")
out=$("$build/velkor_export_bench" "$scratch/noheader.txt" "$passes")
noheader_export=$(seconds_of "$(grep '^VkGetSonvexStruct' <<<"$out")")
gbps() { awk -v b="$noheader_bytes" -v s="$1" 'BEGIN { printf "%.2f", (s > 0 ? b / s / 1e9 : 0) }'; }

# Cold cache: the first scan of a collection, every file read from the disk.
# Only root can drop the page cache; each timed run starts without it.
declare -A cold=()
cold_rows=()
cold_threads=16  # velkor's default number of files at once
cold_run() {  # KEY LABEL COMMAND...
  local key=$1 label=$2 start
  shift 2
  sync
  echo 3 >/proc/sys/vm/drop_caches
  start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || true
  cold[$key]=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }')
  cold_rows+=("$key")
  labels[cold_$key]=$label
}
if can_drop_caches; then
  note "cold cache: $files files, the page cache dropped before each run"
  cold_run floor "floor: C loop, one file after the other" "$build/velkor_floor" "$list" 1
  cold_run floor_threads "floor over $cold_threads threads" "$build/velkor_floor" --threads "$cold_threads" "$list" 1
  cold_run velkor "velkor --json -r DIR (default -j $cold_threads)" "$build/velkor" --json -r "$set_dir"
  cold_run velkor_j1 "velkor --json -r -j 1 DIR" "$build/velkor" --json -r -j 1 "$set_dir"
  [[ -n $taglib_loop ]] && cold_run taglib "TagLib FileRef loop" "$taglib_loop" "$list" 1
  [[ -n $mutagen_python ]] && cold_run mutagen "mutagen.mp3.MP3 loop (every tenth file)" \
    "$mutagen_python" "$root/bench/mutagen_loop.py" "$scratch/mutagen-files.txt" 1
fi

note "peak memory"
peak_kib() {
  if [[ -x /usr/bin/time ]]; then
    /usr/bin/time -f '%M' -o "$scratch/rss" "$@" >/dev/null 2>&1 || true
    tail -1 "$scratch/rss"
  else
    echo "?"
  fi
}
small_set=$set_dir/part0
small_files=$(find "$small_set" -type f -name '*.mp3' | wc -l)
rss_small=$(peak_kib "$build/velkor" -r "$small_set")
rss_all=$(peak_kib "$build/velkor" -r "$set_dir")
# The set twice over: once the scan's ring and heaps are in use, memory
# must not grow with the number of files.
rss_twice=$(peak_kib "$build/velkor" -r "$set_dir" "$set_dir")

out=$("$build/velkor_read_count" "$list")
read_bytes=$(sed -n 's/.* bytes_per_file=\([0-9.]*\).*/\1/p' <<<"$out")
read_max=$(sed -n 's/.* max_bytes=\([0-9]*\).*/\1/p' <<<"$out")
read_calls=$(sed -n 's/.* reads_per_file=\([0-9.]*\).*/\1/p' <<<"$out")
out=$("$build/velkor_read_count" --opened "$list")
opened_read_bytes=$(sed -n 's/.* bytes_per_file=\([0-9.]*\).*/\1/p' <<<"$out")
opened_read_calls=$(sed -n 's/.* reads_per_file=\([0-9.]*\).*/\1/p' <<<"$out")
out=$("$build/velkor_read_count" --opened "$covered_list")
covered_read_max=$(sed -n 's/.* max_bytes=\([0-9]*\).*/\1/p' <<<"$out")
covered_read_calls=$(sed -n 's/.* reads_per_file=\([0-9.]*\).*/\1/p' <<<"$out")

# Editing ------------------------------------------------------------------

note "editing: $edit_count files in place, a ${untagged_mib} MiB file rewritten"
padded_dir=$data/padded-$edit_count
if [[ ! -f $padded_dir/.complete || $root/bench/make_files.py -nt $padded_dir/.complete ]]; then
  rm -rf "$padded_dir"
  python3 "$root/bench/make_files.py" padded "$padded_dir" "$edit_count"
  touch "$padded_dir/.complete"
fi
untagged=$data/untagged-${untagged_mib}m.mp3
if [[ ! -f $untagged || $root/bench/make_files.py -nt $untagged ]]; then
  python3 "$root/bench/make_files.py" untagged "$untagged" "$untagged_mib"
fi
# Edits change the files: they work on copies.
edit_dir=$scratch/edit
cp -r "$padded_dir" "$edit_dir"
edit_list=$scratch/edit.txt
find "$edit_dir" -type f -name '*.mp3' | LC_ALL=C sort >"$edit_list"
edit_files=$(wc -l <"$edit_list")
head -10 "$edit_list" >"$scratch/edit-traced.txt"

# Each edit sets a value the files do not hold yet, so that every one writes.
edit_round=0
velkor_edit() {  # LIST
  edit_round=$((edit_round + 1))
  xargs -d '\n' "$build/velkor" tag --composer "Composer $((edit_round % 2))" <"$1"
}
velkor_read() { xargs -d '\n' "$build/velkor" --json <"$1"; }
mutagen_edit() {  # LIST
  edit_round=$((edit_round + 1))
  "$mutagen_python" "$root/bench/mutagen_edit_loop.py" "$1" "Composer $((edit_round % 2))"
}

# The bytes a program writes to files (not to its standard streams), per
# file of LIST; "?" without strace.
written_per_file() {  # LIST COMMAND...
  local list=$1
  shift
  if ! command -v strace >/dev/null; then echo "?"; return; fi
  strace -f -qq -o "$scratch/strace.txt" \
    -e trace=write,pwrite64,writev,pwritev,pwritev2,copy_file_range,sendfile "$@" >/dev/null 2>&1 || true
  awk -v files="$(wc -l <"$list")" '
    { line = $0; sub(/^[0-9]+ +/, "", line) }
    line !~ /^(write|pwrite64|writev|pwritev|pwritev2|copy_file_range|sendfile)\(/ { next }
    { fd = line; sub(/^[a-z0-9_]+\(/, "", fd); sub(/,.*/, "", fd)
      if (fd + 0 <= 2 && line !~ /^(copy_file_range|sendfile)/) next
      n = line; if (!sub(/.*\) += /, "", n)) next
      total += n + 0 }
    END { printf "%.0f", total / files }' "$scratch/strace.txt"
}

edit_velkor=$(best_seconds "$edit_passes" velkor_edit "$edit_list")
edit_read=$(best_seconds "$edit_passes" velkor_read "$edit_list")
written_velkor=$(written_per_file "$scratch/edit-traced.txt" \
  xargs -d '\n' -a "$scratch/edit-traced.txt" "$build/velkor" tag --composer "Composer 2")
edit_mutagen="" written_mutagen="?"
if [[ -n $mutagen_python ]]; then
  for ((pass = 0; pass < edit_passes; pass++)); do
    seconds=$(seconds_of "$(mutagen_edit "$edit_list")")
    if [[ -z $edit_mutagen ]] || awk -v e="$seconds" -v b="$edit_mutagen" 'BEGIN { exit !(e < b) }'; then
      edit_mutagen=$seconds
    fi
  done
  written_mutagen=$(written_per_file "$scratch/edit-traced.txt" \
    "$mutagen_python" "$root/bench/mutagen_edit_loop.py" "$scratch/edit-traced.txt" "Composer 3")
fi

# The rewrite: a fresh copy of the untagged file before each timed edit.
rewritten=$scratch/rewritten.mp3 copied=$scratch/copied.mp3
rewrite_velkor="" copy_plain="" copy_synced=""
least() { if [[ -z $1 ]] || awk -v e="$2" -v b="$1" 'BEGIN { exit !(e < b) }'; then echo "$2"; else echo "$1"; fi; }
copy_and_sync() { cp "$1" "$2" && sync "$2"; }
for ((pass = 0; pass < edit_passes; pass++)); do
  rm -f "$rewritten" "$copied"
  cp "$untagged" "$rewritten"
  sync
  rewrite_velkor=$(least "$rewrite_velkor" "$(best_seconds 1 "$build/velkor" tag --composer X "$rewritten")")
  copy_plain=$(least "$copy_plain" "$(best_seconds 1 cp "$untagged" "$copied")")
  rm -f "$copied"
  sync
  copy_synced=$(least "$copy_synced" "$(best_seconds 1 copy_and_sync "$untagged" "$copied")")
done
rm -f "$rewritten" "$copied"
cp "$untagged" "$rewritten"
echo "$rewritten" >"$scratch/rewritten.txt"
written_rewrite=$(written_per_file "$scratch/rewritten.txt" "$build/velkor" tag --composer X "$rewritten")
rm -f "$rewritten"

# Report ------------------------------------------------------------------

echo
echo "Decoders (Google Benchmark, CPU time per call):"
if [[ -x $build/velkor_decoder_bench ]]; then
  "$build/velkor_decoder_bench" --benchmark_min_time="$bench_min_time" --benchmark_format=csv 2>/dev/null |
    awk -F, '/^"BM_/ { gsub(/"/, "", $1); printf "  %-24s %9.1f ns %10.0f MB/s\n", $1, $4, $6 / 1e6 }'
else
  echo "  not built (Google Benchmark not found)"
fi

echo
printf 'Per file, %d typical files (peers run one process per file over %d of them), warm cache:\n' \
  "$files" "$peer_count"
printf '%-56s %12s %12s %11s\n' "tool" "files/s" "cost/velkor" "cost/floor"
for key in "${rows[@]}"; do
  awk -v label="${labels[$key]}" -v r="${rate[$key]}" -v v="${rate[velkor]}" -v f="${rate[floor]}" \
    'BEGIN { if (r > 0) printf "%-56s %12.0f %11.2fx %10.2fx\n", label, r, v / r, f / r
             else printf "%-56s %12s\n", label, "failed" }'
done
for label in "${skipped[@]}"; do printf '%-56s %12s\n' "$label" "not installed"; done
echo "(cost = time per file relative to velkor --json -r and to the floor; above 1 is slower)"

echo
echo "No frame header anywhere, ${noheader_mib} MiB: velkor --json FILE $(gbps "$noheader_cli") GB/s," \
  "VkGetSonvexStruct $(gbps "$noheader_export") GB/s"
echo "Bytes read per typical file: ${read_bytes} on average, ${read_max} at most, ${read_calls} reads"
echo "Bytes read per typical file by velkor_open (frames sampled without a VBR header): ${opened_read_bytes} on average, ${opened_read_calls} reads"
echo "Bytes read per file with a 1 MiB cover by velkor_open: ${covered_read_max} at most, ${covered_read_calls} reads"
echo "Peak RSS of velkor -r: ${rss_small} KiB over $small_files files, ${rss_all} KiB over $files files," \
  "${rss_twice} KiB over $((2 * files)) files"

echo
per_s() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }'; }
echo "Editing, $edit_files files with ID3v2 padding and no ID3v1 tag, warm cache:"
printf '%-56s %12s %12s %14s\n' "tool" "files/s" "cost/read" "written/file"
printf '%-56s %12s %11sx %14s\n' "velkor tag --composer X FILE... (one process)" \
  "$(per_s "$edit_files" "$edit_velkor")" "$(awk -v e="$edit_velkor" -v r="$edit_read" 'BEGIN { printf "%.2f", e / r }')" \
  "$written_velkor"
printf '%-56s %12s %11sx %14s\n' "velkor --json FILE... over the same files (one process)" \
  "$(per_s "$edit_files" "$edit_read")" "1.00" "0"
if [[ -n $edit_mutagen ]]; then
  printf '%-56s %12s %11sx %14s\n' "mutagen ID3 setall+save(v2_version=3) loop (in process)" \
    "$(per_s "$edit_files" "$edit_mutagen")" \
    "$(awk -v e="$edit_mutagen" -v r="$edit_read" 'BEGIN { printf "%.2f", e / r }')" "$written_mutagen"
else
  printf '%-56s %12s\n' "mutagen (python3-mutagen)" "not installed"
fi
echo "(cost = time per file relative to velkor reading them; velkor tag against mutagen:" \
  "$(awk -v e="$edit_velkor" -v m="${edit_mutagen:-0}" 'BEGIN { if (m > 0) printf "%.2f", e / m; else printf "-" }')x)"
echo "Rewriting a ${untagged_mib} MiB file without a tag (velkor tag --composer X, written $written_rewrite bytes):" \
  "${rewrite_velkor} s; cp ${copy_plain} s ($(awk -v v="$rewrite_velkor" -v c="$copy_plain" 'BEGIN { printf "%.2f", v / c }')x)," \
  "cp + sync ${copy_synced} s ($(awk -v v="$rewrite_velkor" -v c="$copy_synced" 'BEGIN { printf "%.2f", v / c }')x)"

echo
if ((${#cold_rows[@]})); then
  echo "Cold cache, $files files (the page cache dropped before each run):"
  printf '%-56s %9s %12s\n' "tool" "seconds" "cost/floor"
  for key in "${cold_rows[@]}"; do
    awk -v label="${labels[cold_$key]}" -v s="${cold[$key]}" -v f="${cold[floor]}" \
      'BEGIN { printf "%-56s %9.3f %11.2fx\n", label, s, s / f }'
  done
else
  echo "Cold cache: skipped (dropping the page cache needs root and /proc/sys/vm/drop_caches, and no VELKOR_BENCH_KEEP_CACHE=1)"
fi

echo
# A quick run's few files and single pass make these numbers noise: it
# shows them unjudged, only to prove the script works.
if ((quick)); then
  echo "Targets, not judged (a quick run: too few files for the numbers to mean anything):"
else
  echo "Targets:"
fi
verdict() {
  if ((quick)); then echo "-"; elif awk "BEGIN { exit !($1) }"; then echo "holds"; else echo "MISSED"; fi
}
cost_vs_floor() { awk -v f="${rate[floor]}" -v r="${rate[$1]}" 'BEGIN { printf "%.2f", f / r }'; }
for key in open_mp3_file sonvex_struct file_open velkor; do
  c=$(cost_vs_floor "$key")
  printf '  %-6s %s at most 1.5x the floor: %sx\n' "$(verdict "$c <= 1.5")" "${labels[$key]}" "$c"
done
covered_cost=$(awk -v a="${rate[file_open]}" -v c="${rate[file_open_covered]}" 'BEGIN { printf "%.2f", a / c }')
printf '  %-6s a file with a 1 MiB cover at most 1.5x one without: %sx\n' \
  "$(verdict "$covered_cost <= 1.5")" "$covered_cost"
echo "         (velkor --json -r against the floor with a directory walk:" \
  "$(awk -v w="${rate[floor_walk]}" -v v="${rate[velkor]}" 'BEGIN { printf "%.2f", w / v }')x)"
if ((${#cold_rows[@]})); then
  speedup=$(awk -v f="${cold[floor]}" -v v="${cold[velkor]}" 'BEGIN { printf "%.2f", f / v }')
  printf '  %-6s velkor --json -r cold at least 3x faster than the floor: %sx\n' \
    "$(verdict "$speedup >= 3")" "$speedup"
  threaded=$(awk -v t="${cold[floor_threads]}" -v v="${cold[velkor]}" 'BEGIN { printf "%.2f", v / t }')
  printf '  %-6s velkor --json -r cold at most 1.3x the floor over %d threads: %sx\n' \
    "$(verdict "$threaded <= 1.3")" "$cold_threads" "$threaded"
fi
printf '  %-6s no-header file at 1 GB/s or more: %s GB/s\n' \
  "$(verdict "$(gbps "$noheader_cli") >= 1")" "$(gbps "$noheader_cli")"
printf '  %-6s a few KiB read per typical file: %s bytes\n' "$(verdict "$read_max <= 8192")" "$read_max"
printf '  %-6s under 16 KiB read by velkor_open of a file with a 1 MiB cover: %s bytes\n' \
  "$(verdict "$covered_read_max < 16384")" "$covered_read_max"
if [[ $rss_small != "?" ]]; then
  printf '  %-6s flat peak RSS: %s KiB (%d files) against %s KiB (%d files)\n' \
    "$(verdict "$rss_twice <= $rss_all * 1.1")" "$rss_twice" "$((2 * files))" "$rss_all" "$files"
fi
not_led=""
for key in "${rows[@]}"; do
  case $key in floor | floor_walk | velkor | open_mp3_file | sonvex_struct | file_open | file_open_covered | velkor_each) continue ;; esac
  awk -v r="${rate[$key]}" -v v="${rate[velkor]}" 'BEGIN { exit !(r >= v) }' && not_led+=" ${labels[$key]}"
done
if [[ -z $not_led ]]; then
  printf '  %-6s velkor --json -r leads every peer that ran\n' "$(verdict 1)"
else
  printf '  %-6s velkor --json -r does not lead:%s\n' "$(verdict 0)" "$not_led"
fi
((${#skipped[@]} == 0)) || echo "  (not measured: ${skipped[*]})"

# The script's own check: velkor's rows must have numbers.
for key in floor velkor open_mp3_file sonvex_struct file_open file_open_covered; do
  awk -v r="${rate[$key]}" 'BEGIN { exit !(r > 0) }' ||
    { echo "compare.sh: no measurement for ${labels[$key]}" >&2; exit 1; }
done
