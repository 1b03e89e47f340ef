#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 60),
# one after the other: fuzz/run.sh [SECONDS [TARGET...]].
#
# Each target starts from its corpus (fuzz/corpus/<target>, the sample files,
# and the inputs kept in tests/fuzz_regressions/<target>) and grows its own
# corpus in build-fuzz/corpus/<target>, which later runs start from. An input
# that crashes a target, breaks an invariant, times out or leaks is copied to
# tests/fuzz_regressions/<target>/, where the test suite replays it; commit
# it with the fix. Any such input makes the script fail.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build=${VELKOR_FUZZ_BUILD_DIR:-$root/build-fuzz}

if ! command -v clang++ >/dev/null; then
  echo "fuzz/run.sh: clang++ not found" >&2
  exit 2
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DVELKOR_FUZZ=ON \
  -DVELKOR_BUILD_TESTS=OFF -DVELKOR_BUILD_TOOLS=OFF -DVELKOR_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target velkor_fuzzers -j2 >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in "$build"/fuzz_*; do
    [ -x "$exe" ] && targets+=("$(basename "$exe")")
  done
fi

# Longest input per target: room for what each decoder looks at, small
# enough to keep the executions fast.
max_len() {
  case $1 in
    fuzz_frame_header) echo 64 ;;
    fuzz_id3v1) echo 256 ;;
    fuzz_id3v2 | fuzz_id3v2_edit) echo 4096 ;;
    fuzz_format_signature) echo 1024 ;;
    fuzz_frame_inflate) echo 4096 ;;
    fuzz_vbr_frame) echo 2048 ;;
    fuzz_id3v1_write) echo 4096 ;;
    fuzz_scan) echo 16384 ;;
    *) echo 24576 ;;
  esac
}

# The dictionary a target's mutations draw tokens from: the ID3v2 tokens
# for the tag reader, the formats' magic words for every other target.
dict_args() {
  case $1 in
    fuzz_id3v2 | fuzz_id3v2_edit) echo "-dict=$root/fuzz/id3v2.dict" ;;
    *) echo "-dict=$root/fuzz/formats.dict" ;;
  esac
}

# Starting inputs cut from the sample files: their tag at the start, their last bytes
# (128 for ID3v1, as many as an input holds for the trailing tags), or the files
# themselves.
sample_inputs() {
  local target=$1 dir=$2
  mkdir -p "$dir"
  for sample in "$root"/samples/*.mp3; do
    [ -f "$sample" ] || continue
    local name
    name=$(basename "$sample" .mp3)
    case $target in
      fuzz_id3v1) tail -c 128 "$sample" >"$dir/$name" ;;
      fuzz_id3v2 | fuzz_id3v2_edit) head -c 4096 "$sample" >"$dir/$name" ;;
      # Inputs with a layout of their own start from fuzz/corpus only.
      fuzz_frame_header | fuzz_format_signature | fuzz_frame_inflate | fuzz_vbr_frame | \
        fuzz_id3v1_write | fuzz_scan | fuzz_frame_count) ;;
      fuzz_trailing_tags) tail -c "$(max_len "$target")" "$sample" >"$dir/$name" ;;
      *) head -c "$(max_len "$target")" "$sample" >"$dir/$name" ;;
    esac
  done
}

failed=()
summary=()
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  samples=$build/starts/$target
  regressions=$root/tests/fuzz_regressions/$target
  log=$build/logs/$target.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  rm -f "$artifacts"/*
  sample_inputs "$target" "$samples"
  starts=("$samples")
  for dir in "$regressions" "$root/fuzz/corpus/$target"; do
    [ -d "$dir" ] && starts+=("$dir")
  done

  echo "== $target: $seconds s"
  status=0
  "$build/$target" -max_total_time="$seconds" -max_len="$(max_len "$target")" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 $(dict_args "$target") \
    -artifact_prefix="$artifacts/" "$corpus" "${starts[@]}" >"$log" 2>&1 || status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*' "$log" | tail -1 || true)
  summary+=("$target: ${runs:-?} runs, ${cov:-no coverage line}")
  if [ "$status" -ne 0 ] || compgen -G "$artifacts/*" >/dev/null; then
    tail -n 40 "$log" >&2
    for input in "$artifacts"/*; do
      [ -f "$input" ] || continue
      mkdir -p "$regressions"
      cp "$input" "$regressions/"
      echo "kept $(basename "$input") in tests/fuzz_regressions/$target/" >&2
    done
    failed+=("$target (exit status $status, log $log)")
  fi
done

printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  printf 'fuzz/run.sh: failed: %s\n' "${failed[@]}" >&2
  exit 1
fi
