#!/usr/bin/env bash
# Regenerates the sample files in this folder from a synthetic tone, with
# Debian's sox, lame, id3v2 and eyeD3. The committed files are the
# reference: other versions of these tools may produce different bytes.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 0.8 s of sound; -D (no dither) keeps the output the same on every run.
sox -D -n -r 44100 -c 1 -b 16 "$tmp/tone44.wav" synth 0.8 sine 440 vol 0.5
sox -D -n -r 44100 -c 2 -b 16 "$tmp/sweep44.wav" synth 0.8 sine 200:6000 sine 300:5000 vol 0.5
sox -D -n -r 22050 -c 1 -b 16 "$tmp/tone22.wav" synth 0.8 sine 330 vol 0.5

# CBR MPEG-1 Layer III (32 kHz, mono, 32 kbit/s) with an ID3v1.1 tag (track 3).
lame --quiet -b 32 --cbr --resample 32 -m m "$tmp/tone44.wav" cbr_id3v11.mp3
id3v2 -1 -t "Sine Tone" -a "Velkor Samples" -A "Test Tones" -y 2023 \
  -c "440 Hz for 0.8 s" -g 26 -T 3 cbr_id3v11.mp3

# Xing VBR MPEG-1 Layer III (44.1 kHz, joint stereo), no tag at all.
lame --quiet -V 7 --resample 44.1 "$tmp/sweep44.wav" vbr_xing.mp3

# MPEG-2 Layer III (22.05 kHz, mono, 24 kbit/s) with an ID3v1.0 tag: no
# track, a 30-character comment and a Latin-1 title ("Caf\xe9 Tone").
lame --quiet -b 24 --cbr --resample 22.05 -m m "$tmp/tone22.wav" mpeg2_id3v10.mp3
id3v2 -1 -t $'Caf\xe9 Tone' -a "Velkor Samples" -A "Test Tones" -y 1999 \
  -c "A thirty character comment ok." -g 12 mpeg2_id3v10.mp3

# CBR MPEG-1 Layer III (44.1 kHz, mono, 32 kbit/s) with only an ID3v2.3 tag
# whose text frames are UTF-16 and hold letters beyond ASCII.
lame --quiet -b 32 --cbr --resample 44.1 -m m "$tmp/tone44.wav" id3v23_utf16.mp3
eyeD3 --quiet --to-v2.3 --encoding utf16 -t "Café au Lait" -a "Ünder Sëa Quartet" \
  -A "Straße Sessions" -c "Recorded in Zürich" -G "Jazz" -n 7 --recording-date 2004 \
  id3v23_utf16.mp3 >/dev/null
