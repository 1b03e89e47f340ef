#!/usr/bin/env bash
# velkor side by side with the floor (the least any tool must read per file)
# and with the tools people use today, on the same files in one run.
#
#   bash bench/compare.sh           the full run: 10,000 typical files and
#                                   10,000 tagger-made ones, a 256 MiB file
#                                   without any frame header, peak memory;
#                                   installs missing peers
#   bash bench/compare.sh --quick   a tiny set in seconds, peers only when
#                                   already installed: checks the script works
#
# The paths people take (the C loops, Python beside mutagen, the command's
# JSON, a cold first scan) are timed in interleaved rounds: every round runs
# each of them once over both sets, so that a machine busy for a moment
# slows one round of all rather than all rounds of one. The report takes the
# median of the rounds, per file and as a ratio to the floor, and prints it
# as a markdown table (the one doc/performance.md shows).
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
# shellcheck disable=SC2016  # the backquotes in the table's labels are markdown's
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
  count=30 tagged_count=30 rounds=2 cold_rounds=1 peer_files=4 noheader_mib=8 passes=1 peer_passes=1
  bench_min_time=0.001 covered_count=3 edit_count=20 untagged_mib=8 edit_passes=1
else
  # Medians of five interleaved rounds (three cold: each drops the cache
  # eight times); best of five for the single figures, of two for the
  # loops that start a process per file.
  count=10000 tagged_count=10000 rounds=5 cold_rounds=3 peer_files=200 noheader_mib=256 passes=5
  peer_passes=2 bench_min_time=0.2 covered_count=100 edit_count=1000 untagged_mib=100 edit_passes=3
fi

build=${VELKOR_BUILD_DIR:-$root/build}
if [[ -z ${VELKOR_BUILD_DIR:-} ]]; then
  cmake --preset default >/dev/null
  cmake --build --preset default >/dev/null
fi
library=$(find "$build" -maxdepth 1 -name 'libvelkor.so*' -print -quit)
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

# make_set KIND COUNT: the folder of a file set, made when missing or older
# than the script that makes it.
make_set() {
  local dir=$data/$1-$2
  if [[ ! -f $dir/.complete || $root/bench/make_files.py -nt $dir/.complete ]]; then
    note "making $2 $1 files in $dir"
    rm -rf "$dir"
    python3 "$root/bench/make_files.py" "$1" "$dir" "$2"
    touch "$dir/.complete"
  fi
  echo "$dir"
}
set_dir=$(make_set typical "$count")
tagged_dir=$(make_set tagged "$tagged_count")
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
covered_dir=$(make_set covered "$covered_count")
covered_list=$scratch/covered.txt
find "$covered_dir" -type f -name '*.mp3' | LC_ALL=C sort >"$covered_list"

list=$scratch/files.txt
find "$set_dir" -type f -name '*.mp3' | LC_ALL=C sort >"$list"
files=$(wc -l <"$list")
tagged_list=$scratch/tagged.txt
find "$tagged_dir" -type f -name '*.mp3' | LC_ALL=C sort >"$tagged_list"
tagged_files=$(wc -l <"$tagged_list")
step=$(((files + peer_files - 1) / peer_files))
awk -v step="$step" '(NR - 1) % step == 0' "$list" >"$scratch/peer-files.txt"
peer_count=$(wc -l <"$scratch/peer-files.txt")
echo "$noheader" >"$scratch/noheader.txt"

# Warm cache: every byte of every file read once before anything is timed.
cat "$list" "$tagged_list" "$covered_list" | xargs -d '\n' cat >/dev/null
cat "$noheader" >/dev/null

# Measuring ----------------------------------------------------------------

# Every file of both sets is a valid one: anything else is a fault, not a
# number to report.
for dir in "$set_dir" "$tagged_dir"; do
  "$build/velkor" --json -r "$dir" >"$scratch/velkor.json" 2>/dev/null ||
    { echo "compare.sh: velkor -r failed on $dir" >&2; exit 1; }
  expected=$(find "$dir" -type f -name '*.mp3' | wc -l)
  [[ $(grep -c '"status":"ok"' "$scratch/velkor.json") -eq $expected ]] ||
    { echo "compare.sh: velkor -r did not analyse all $expected files of $dir" >&2; exit 1; }
done

# The seconds field of a loop program's output line for one way.
seconds_of() { sed -n "s/^$1 .*seconds=\([0-9.]*\).*/\1/p" <<<"$2" | head -1; }

# wall_seconds COMMAND...: the command's wall time in seconds, its output
# thrown away.
wall_seconds() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || true
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.6f", b - a }'
}

# Each round's time per file in microseconds, by "SET:KEY"; a row without a
# figure in some round (a peer missing) has none.
declare -A per_file=()
# add SET KEY FILES SECONDS
add() {
  [[ -n $4 ]] || return 0
  per_file[$1:$2]+="$(awk -v n="$3" -v s="$4" 'BEGIN { printf "%.3f", s / n * 1e6 }') "
}

python_for_loop=${mutagen_python:-python3}
python_loop() {  # LIST FOLDER
  PYTHONPATH=$root/python${PYTHONPATH:+:$PYTHONPATH} VELKOR_LIBRARY=$library \
    "$python_for_loop" "$root/bench/python_loop.py" "$1" "$2" 2>/dev/null || true
}

# warm_round SET LIST FOLDER FILES: one pass of every warm path over a set.
warm_round() {
  local set=$1 list=$2 folder=$3 n=$4 out
  # The floor and the C ways take turns over blocks of files in one process.
  out=$("$build/velkor_export_bench" "$list" 1)
  add "$set" floor "$n" "$(seconds_of floor "$out")"
  add "$set" floor_needs "$n" "$(seconds_of floor_needs "$out")"
  add "$set" sonvex "$n" "$(seconds_of VkGetSonvexStruct "$out")"
  add "$set" own "$n" "$(seconds_of velkor_open "$out")"
  if [[ -n $taglib_loop ]]; then
    out=$("$taglib_loop" "$list" 1)
    add "$set" taglib "$n" "$(seconds_of taglib "$out")"
  fi
  out=$(python_loop "$list" "$folder")
  add "$set" read "$n" "$(seconds_of velkor.read "$out")"
  add "$set" mutagen "$n" "$(seconds_of mutagen.File "$out")"
  add "$set" scan "$n" "$(seconds_of velkor.scan "$out")"
  add "$set" floor_process "$n" "$(wall_seconds "$build/velkor_floor" --walk "$folder" 1)"
  add "$set" json "$n" "$(wall_seconds "$build/velkor" --json -r "$folder")"
}

note "warm: $rounds interleaved rounds over $files typical and $tagged_files tagger-made files"
for ((round = 0; round < rounds; round++)); do
  warm_round typical "$list" "$set_dir" "$files"
  warm_round tagged "$tagged_list" "$tagged_dir" "$tagged_files"
  out=$("$build/velkor_export_bench" "$covered_list" 1)
  add covered floor "$(wc -l <"$covered_list")" "$(seconds_of floor "$out")"
  add covered own "$(wc -l <"$covered_list")" "$(seconds_of velkor_open "$out")"
done

# Cold cache: the first scan of a collection, every file read from the disk.
# Only root can drop the page cache; each timed run starts without it.
cold_threads=16  # velkor's default number of files at once
cold() {  # SET KEY FILES COMMAND...
  local set=$1 key=$2 n=$3
  shift 3
  sync
  echo 3 >/proc/sys/vm/drop_caches
  add "$set" "$key" "$n" "$(wall_seconds "$@")"
}
cold_round() {  # SET LIST FOLDER FILES
  cold "$1" cold_floor_threads "$4" "$build/velkor_floor" --threads "$cold_threads" "$2" 1
  cold "$1" cold_json "$4" "$build/velkor" --json -r "$3"
  cold "$1" cold_floor "$4" "$build/velkor_floor" "$2" 1
  cold "$1" cold_floor_needs "$4" "$build/velkor_floor" --needs "$2" 1
  cold "$1" cold_json_j1 "$4" "$build/velkor" --json -r -j 1 "$3"
}
if can_drop_caches; then
  note "cold: $cold_rounds interleaved rounds, the page cache dropped before each run"
  for ((round = 0; round < cold_rounds; round++)); do
    cold_round typical "$list" "$set_dir" "$files"
    cold_round tagged "$tagged_list" "$tagged_dir" "$tagged_files"
  done
  # The cold runs left the files out of memory: read them in again for
  # whatever is timed warm below.
  cat "$list" "$tagged_list" "$covered_list" | xargs -d '\n' cat >/dev/null
fi

# median SET KEY: the median of the row's rounds (empty without any).
median() {
  tr ' ' '\n' <<<"${per_file[$1:$2]:-}" | awk 'NF' | sort -g |
    awk '{ v[NR] = $1 } END { if (NR) printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# ratio SET KEY BASE: the median over the rounds of the row's time over the
# base row's time in the same round.
ratio() {
  paste -d ' ' <(tr ' ' '\n' <<<"${per_file[$1:$2]:-}" | awk 'NF') \
    <(tr ' ' '\n' <<<"${per_file[$1:$3]:-}" | awk 'NF') |
    awk 'NF == 2 && $2 > 0 { print $1 / $2 }' | sort -g |
    awk '{ v[NR] = $1 } END { if (NR) printf "%.2f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# best_seconds RUNS COMMAND...: the wall time in seconds, best of RUNS.
best_seconds() {
  local runs=$1 best="" pass elapsed
  shift
  for ((pass = 0; pass < runs; pass++)); do
    elapsed=$(wall_seconds "$@")
    if [[ -z $best ]] || awk -v e="$elapsed" -v b="$best" 'BEGIN { exit !(e < b) }'; then best=$elapsed; fi
  done
  echo "$best"
}

# A process per file, as a person or a script runs a tool: velkor and the
# peers that work that way, over every step-th file of the typical set.
per_file_rows=() skipped=()
declare -A per_file_rate=() per_file_label=()
per_file_run() {
  local file
  while IFS= read -r file; do "$@" "$file" >/dev/null 2>&1 || true; done <"$scratch/peer-files.txt"
}
per_file_tool() {  # KEY LABEL COMMAND...
  local key=$1 label=$2 seconds
  shift 2
  if ! command -v "$1" >/dev/null; then skipped+=("$label"); return; fi
  seconds=$(best_seconds "$peer_passes" per_file_run "$@")
  per_file_rows+=("$key")
  per_file_label[$key]=$label
  per_file_rate[$key]=$(awk -v n="$peer_count" -v s="$seconds" 'BEGIN { printf "%.1f", (s > 0 ? n / s : 0) }')
}
note "a process per file over $peer_count files"
per_file_tool velkor "velkor --json FILE" "$build/velkor" --json
per_file_tool mp3info "mp3info -x FILE" mp3info -x
per_file_tool mediainfo "mediainfo --Output=JSON FILE" mediainfo --Output=JSON
per_file_tool ffprobe "ffprobe -show_format -show_streams FILE" ffprobe -v error -show_format -show_streams -of json
[[ -n $taglib_loop ]] || skipped+=("TagLib (libtag1-dev)")
[[ -n $mutagen_python ]] || skipped+=("mutagen (python3-mutagen)")

note "the ${noheader_mib} MiB file without any frame header"
noheader_bytes=$(stat -c %s "$noheader")
noheader_cli=$(best_seconds "$passes" "$build/velkor" --json "$noheader")
out=$("$build/velkor_export_bench" "$scratch/noheader.txt" "$passes")
noheader_export=$(seconds_of VkGetSonvexStruct "$out")
gbps() { awk -v b="$noheader_bytes" -v s="$1" 'BEGIN { printf "%.2f", (s > 0 ? b / s / 1e9 : 0) }'; }

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
out=$("$build/velkor_read_count" --opened "$tagged_list")
tagged_read_bytes=$(sed -n 's/.* bytes_per_file=\([0-9.]*\).*/\1/p' <<<"$out")
tagged_read_calls=$(sed -n 's/.* reads_per_file=\([0-9.]*\).*/\1/p' <<<"$out")
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
    seconds=$(seconds_of mutagen_edit "$(mutagen_edit "$edit_list")")
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

# cell SET KEY BASE: "4.2 µs (1.10x)", the median time per file and its
# ratio to the base row; "-" for a row not measured.
cell() {
  local us
  us=$(median "$1" "$2")
  if [[ -z $us ]]; then echo "-"; return; fi
  awk -v us="$us" -v r="$(ratio "$1" "$2" "$3")" \
    'BEGIN { printf (us < 100 ? "%.1f" : "%.0f"), us; printf " µs (%.2fx)", r }'
}
# row LABEL KEY BASE: a line of the markdown table, both sets.
row() { printf '| %s | %s | %s |\n' "$1" "$(cell typical "$2" "$3")" "$(cell tagged "$2" "$3")"; }

echo
echo "Per file, medians of $rounds interleaved rounds (cold: $cold_rounds) over $files typical files"
echo "and $tagged_files tagger-made ones; each ratio is to the floor of its group:"
echo
echo "| path | typical files | tagger-made files (15 frames, 30 % with a 100-300 KB cover) |"
echo "|---|---:|---:|"
row "floor: C loop over the list: open, 4 KiB at the start, 128 B at the end, close" floor floor
row '`VkGetSonvexStruct` loop (record export)' sonvex floor
row "floor of the reads velkor_open makes: 4 KiB at the start, then 256 B at the end behind a VBR header, else 3,840 B in the middle and 4 KiB at the end" floor_needs floor
row 'own interface: `velkor_open` + `velkor_facts` + `velkor_tag_facts` + TITLE, ARTIST, ALBUM' own floor
row '(the same, to the floor of the reads it makes)' own floor_needs
[[ -z $taglib_loop ]] || row 'TagLib `FileRef` with audio properties' taglib floor
row 'Python `velkor.read`' read floor
[[ -z $mutagen_python ]] || row 'mutagen `mutagen.File`, same process' mutagen floor
row 'floor process handed the folder (`velkor_floor --walk DIR`)' floor_process floor_process
row 'warm `velkor --json -r DIR`' json floor_process
row 'Python `velkor.scan(DIR)`' scan floor_process
if can_drop_caches; then
  row "cold: floor over $cold_threads threads, the same files" cold_floor_threads cold_floor_threads
  row 'cold: `velkor --json -r DIR` (default `-j`)' cold_json cold_floor_threads
  row "cold: floor, one file after the other" cold_floor cold_floor
  row 'cold: `velkor --json -r -j 1 DIR`' cold_json_j1 cold_floor
  row "cold: floor of the reads a file needs, one file after the other" cold_floor_needs cold_floor
  row '(cold `velkor --json -r -j 1 DIR` to it)' cold_json_j1 cold_floor_needs
fi
echo
can_drop_caches ||
  echo "(cold rows skipped: dropping the page cache needs root and /proc/sys/vm/drop_caches, and no VELKOR_BENCH_KEEP_CACHE=1)"

echo
echo "Decoders (Google Benchmark, CPU time per call):"
if [[ -x $build/velkor_decoder_bench ]]; then
  "$build/velkor_decoder_bench" --benchmark_min_time="$bench_min_time" --benchmark_format=csv 2>/dev/null |
    awk -F, '/^"BM_/ { gsub(/"/, "", $1); printf "  %-24s %9.1f ns %10.0f MB/s\n", $1, $4, $6 / 1e6 }'
else
  echo "  not built (Google Benchmark not found)"
fi

echo
floor_rate=$(awk -v us="$(median typical floor)" 'BEGIN { printf "%.1f", 1e6 / us }')
json_rate=$(awk -v us="$(median typical json)" 'BEGIN { printf "%.1f", 1e6 / us }')
printf 'A process per file, over %d of the typical files, warm cache:\n' "$peer_count"
printf '%-56s %12s %12s\n' "tool" "files/s" "cost/floor"
for key in "${per_file_rows[@]}"; do
  awk -v label="${per_file_label[$key]}" -v r="${per_file_rate[$key]}" -v f="$floor_rate" \
    'BEGIN { if (r > 0) printf "%-56s %12.0f %11.0fx\n", label, r, f / r
             else printf "%-56s %12s\n", label, "failed" }'
done
for label in "${skipped[@]}"; do printf '%-56s %12s\n' "$label" "not installed"; done

echo
echo "No frame header anywhere, ${noheader_mib} MiB: velkor --json FILE $(gbps "$noheader_cli") GB/s," \
  "VkGetSonvexStruct $(gbps "$noheader_export") GB/s"
echo "Bytes read per typical file: ${read_bytes} on average, ${read_max} at most, ${read_calls} reads"
echo "Bytes read per typical file by velkor_open (frames sampled without a VBR header): ${opened_read_bytes} on average, ${opened_read_calls} reads"
echo "Bytes read per tagger-made file by velkor_open: ${tagged_read_bytes} on average, ${tagged_read_calls} reads"
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
# A quick run's few files and rounds make these numbers noise: it shows
# them unjudged, only to prove the script works.
if ((quick)); then
  echo "Targets, not judged (a quick run: too few files for the numbers to mean anything):"
else
  echo "Targets:"
fi
verdict() {
  if ((quick)); then echo "-"; elif awk "BEGIN { exit !($1) }"; then echo "holds"; else echo "MISSED"; fi
}
# target SET KEY BASE OP LIMIT TEXT: the row's ratio to the base against a limit.
target() {
  local r
  r=$(ratio "$1" "$2" "$3")
  [[ -n $r ]] || return 0
  printf '  %-6s %s, %s files: %sx\n' "$(verdict "$r $4 $5")" "$6" "$1" "$r"
}
for set in typical tagged; do
  target "$set" own floor_needs "<=" 1.3 "the own interface at most 1.3x the floor of the reads it makes"
  target "$set" sonvex floor "<=" 1.5 "VkGetSonvexStruct at most 1.5x the floor"
  target "$set" read own "<=" 3 "velkor.read at most 3x the own interface's C calls"
  target "$set" mutagen read ">=" 15 "mutagen.File at least 15x velkor.read"
  target "$set" json floor_process "<=" 1.6 "warm velkor --json -r at most 1.6x the floor process"
  target "$set" scan json "<=" 1.5 "velkor.scan at most 1.5x velkor --json -r"
  target "$set" cold_json cold_floor_threads "<=" 1.3 "cold velkor --json -r at most 1.3x the floor over $cold_threads threads"
  target "$set" cold_json_j1 cold_floor_needs "<=" 1.1 "cold velkor --json -r -j 1 at most 1.1x a sequential floor making the reads a file needs"
done
# Each against the floor of its own run, which reads as much of either file.
covered_cost=$(awk -v a="$(ratio typical own floor)" -v c="$(ratio covered own floor)" 'BEGIN { printf "%.2f", c / a }')
printf '  %-6s a file with a 1 MiB cover at most 1.5x one without (own interface, to the floor): %sx\n' \
  "$(verdict "$covered_cost <= 1.5")" "$covered_cost"
printf '  %-6s no-header file at 1 GB/s or more: %s GB/s\n' \
  "$(verdict "$(gbps "$noheader_cli") >= 1")" "$(gbps "$noheader_cli")"
printf '  %-6s a few KiB read per typical file: %s bytes\n' "$(verdict "$read_max <= 8192")" "$read_max"
printf '  %-6s under 16 KiB read by velkor_open of a file with a 1 MiB cover: %s bytes\n' \
  "$(verdict "$covered_read_max < 16384")" "$covered_read_max"
if [[ $rss_small != "?" ]]; then
  printf '  %-6s flat peak RSS: %s KiB (%d files) against %s KiB (%d files)\n' \
    "$(verdict "$rss_twice <= $rss_all * 1.1")" "$rss_twice" "$((2 * files))" "$rss_all" "$files"
fi
# Every peer, in process or a process per file, against velkor --json -r.
not_led=""
for key in taglib mutagen; do
  us=$(median typical "$key")
  [[ -n $us ]] && awk -v p="$us" -v v="$(median typical json)" 'BEGIN { exit !(p <= v) }' && not_led+=" $key"
done
for key in "${per_file_rows[@]}"; do
  [[ $key == velkor ]] && continue
  awk -v r="${per_file_rate[$key]}" -v v="$json_rate" 'BEGIN { exit !(r >= v) }' && not_led+=" ${per_file_label[$key]}"
done
if [[ -z $not_led ]]; then
  printf '  %-6s velkor --json -r leads every peer that ran\n' "$(verdict 1)"
else
  printf '  %-6s velkor --json -r does not lead:%s\n' "$(verdict 0)" "$not_led"
fi
((${#skipped[@]} == 0)) || echo "  (not measured: ${skipped[*]})"

# The script's own check: velkor's rows must have numbers.
for key in floor sonvex own read scan floor_process json; do
  for set in typical tagged; do
    [[ -n $(median "$set" "$key") ]] || { echo "compare.sh: no measurement for $key over the $set files" >&2; exit 1; }
  done
done
[[ -n $(median covered own) ]] || { echo "compare.sh: no measurement over the covered files" >&2; exit 1; }
