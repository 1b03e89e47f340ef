#!/usr/bin/env bash
# How far the estimated length of a VBR file without a VBR header lies from
# its counted length (--exact). Builds a corpus of such files into a temp
# folder (lame -t and ffmpeg -write_xing 0 over sox-made sounds: sweeps,
# noise, silence then a tone, speech-like bursts; mono and stereo; MPEG-1
# and MPEG-2 rates; 5 to 60 s), prints each file's estimate beside the
# count, and the worst error last. Exits 1 when any file is off by more
# than 5 %.
#
#   bash bench/vbr_estimate.sh [VELKOR]   VELKOR: the command (build/velkor)
#   VELKOR_CORPUS=DIR keeps the corpus in DIR (made once, reused)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
velkor=${1:-$here/build/velkor}
for tool in lame ffmpeg sox python3; do
    command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install lame ffmpeg sox)" >&2; exit 2; }
done
if [ -n "${VELKOR_CORPUS:-}" ]; then
    corpus=$VELKOR_CORPUS
    mkdir -p "$corpus"
else
    corpus=$(mktemp -d)
    trap 'rm -rf "$corpus"' EXIT
fi

# name rate channels seconds sox-synth-arguments...
sources=(
    "sweep 44100 2 20 synth 20 sine 20-20000"
    "sweepm 44100 1 20 synth 20 sine 20-20000"
    "sweeplo 44100 2 20 synth 20 sine 100-8000"
    "sweep48 48000 2 30 synth 30 sine 50-16000"
    "sweep32 32000 1 12 synth 12 sine 200-12000"
    "sweep22 22050 2 20 synth 20 sine 20-10000"
    "noise 44100 2 10 synth 10 whitenoise vol 0.5"
    "pink48 48000 1 25 synth 25 pinknoise vol 0.6"
    "noise16 16000 1 8 synth 8 whitenoise vol 0.5"
    "silthentone 44100 2 20 synth 15 sine 440 vol 0.5 pad 5 0"
    "tonethensil 32000 1 30 synth 10 sine 1000 vol 0.5 pad 0 20"
    "silnoise 24000 2 16 synth 8 whitenoise vol 0.4 pad 8 0"
    "speech 44100 1 30 synth 30 pinknoise highpass 200 lowpass 3500 tremolo 3.5 95"
    "speech22 22050 1 45 synth 45 pinknoise highpass 150 lowpass 4000 tremolo 2.7 100"
    "speech48 48000 2 60 synth 60 brownnoise highpass 100 lowpass 5000 tremolo 4.1 90"
    "fade 44100 2 20 synth 20 whitenoise fade t 8 20 8"
    "chord 44100 2 5 synth 5 sine 220 sine 277 sine 330 remix 1,2,3 1,2,3"
    "chirps 8000 1 10 synth 10 sine 100-3000 tremolo 1 80"
    "sweeplong 44100 2 60 synth 60 sine 20-20000"
    "sweepdown 48000 2 45 synth 45 sine 16000-40"
    "band 44100 2 60 synth 60 pinknoise sine 440 tremolo 0.2 80 pad 2 3"
)
presets=("-V0" "-V2" "-V5" "-V9" "--abr 128" "-V4")

made=0
for entry in "${sources[@]}"; do
    read -r name rate channels seconds synth <<<"$entry"
    args=${entry#* * * * }
    wav=$corpus/$name.wav
    [ -f "$wav" ] || sox -R -D -n -r "$rate" -b 16 -c "$channels" "$wav" $args
    # Each sound through two of lame's presets (taking turns), and the
    # first three through ffmpeg as well.
    for k in 0 1; do
        preset=${presets[$(((made + k * 3) % ${#presets[@]}))]}
        out=$corpus/$name.lame${preset// /}.mp3
        [ -f "$out" ] || lame --quiet -t $preset "$wav" "$out"
    done
    made=$((made + 1))
done
for entry in "sweep -q:a 0" "speech -q:a 4" "noise16 -q:a 9" "sweeplo -q:a 2" "pink48 -abr 1 -b:a 96k"; do
    read -r name opts <<<"$entry"
    out=$corpus/$name.ffmpeg${opts// /}.mp3
    [ -f "$out" ] || ffmpeg -loglevel error -y -i "$corpus/$name.wav" -c:a libmp3lame $opts -write_xing 0 "$out"
done

"$velkor" --json "$corpus"/*.mp3 >"$corpus/estimated.jsonl"
"$velkor" --json --exact "$corpus"/*.mp3 >"$corpus/exact.jsonl"
python3 - "$corpus" <<'EOF'
import json, os, sys
corpus = sys.argv[1]
def load(name):
    with open(os.path.join(corpus, name)) as f:
        return {o["path"]: o for o in map(json.loads, f)}
estimated, exact = load("estimated.jsonl"), load("exact.jsonl")
worst, worst_name = 0.0, ""
print(f"{'file':40} {'estimated s':>11} {'exact s':>8} {'error':>7}  VBR header")
for path in sorted(exact):
    e, x = estimated[path], exact[path]
    error = (e["duration_ms"] - x["duration_ms"]) / x["duration_ms"] * 100
    name = os.path.basename(path)
    print(f"{name:40} {e['duration_ms'] / 1000:11.2f} {x['duration_ms'] / 1000:8.2f} {error:+6.1f}%  "
          f"{e['vbr_header'] or 'none'}{'' if not e['frames_exact'] else ' (exact!)'}")
    if abs(error) > abs(worst):
        worst, worst_name = error, name
print(f"files: {len(exact)}; worst error: {worst:+.1f}% ({worst_name})")
sys.exit(1 if abs(worst) > 5 else 0)
EOF
