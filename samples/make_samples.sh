#!/usr/bin/env bash
# Regenerates the sample files in this folder from synthetic sound, with
# Debian's sox, lame, id3v2, eyeD3 and mid3v2 (python3-mutagen). The
# committed files are the reference: other versions of these tools may
# produce different bytes.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Several seconds each, so lengths show as they do for music; -D (no dither)
# keeps the output the same on every run. The fades spare the ear a click.
sox -D -n -r 44100 -c 1 -b 16 "$tmp/tone7.wav" synth 7 sine 440 fade 0.05 7 0.3 vol 0.5
sox -D -n -r 44100 -c 2 -b 16 "$tmp/sweep6.wav" \
  synth 6 sine 200:6000 sine 300:5000 fade 0.05 6 0.3 vol 0.5
sox -D -n -r 22050 -c 1 -b 16 "$tmp/tone9.wav" synth 9 sine 330 fade 0.05 9 0.3 vol 0.5
sox -D -n -r 44100 -c 1 -b 16 "$tmp/tone5.wav" synth 5 sine 440 fade 0.05 5 0.3 vol 0.5
sox -D -n -r 11025 -c 1 -b 16 "$tmp/chord8.wav" \
  synth 8 sine 262 sine 330 sine 392 remix - fade 0.05 8 0.5 vol 0.5

# CBR MPEG-1 Layer III (32 kHz, mono, 32 kbit/s) with an ID3v1.1 tag (track 3).
lame --quiet -b 32 --cbr --resample 32 -m m "$tmp/tone7.wav" cbr_id3v11.mp3
id3v2 -1 -t "Sine Tone" -a "Velkor Samples" -A "Test Tones" -y 2023 \
  -c "440 Hz for 7 s" -g 26 -T 3 cbr_id3v11.mp3

# Xing VBR MPEG-1 Layer III (44.1 kHz, joint stereo) whose LAME tag holds the
# encoder delay and padding; no ID3 tag at all.
lame --quiet -V 7 --resample 44.1 "$tmp/sweep6.wav" vbr_xing.mp3

# MPEG-2 Layer III (22.05 kHz, mono, 24 kbit/s) with an ID3v1.0 tag: no
# track, a 30-character comment and a Latin-1 title ("Caf\xe9 Tone").
lame --quiet -b 24 --cbr --resample 22.05 -m m "$tmp/tone9.wav" mpeg2_id3v10.mp3
id3v2 -1 -t $'Caf\xe9 Tone' -a "Velkor Samples" -A "Test Tones" -y 1999 \
  -c "A thirty character comment ok." -g 12 mpeg2_id3v10.mp3

# CBR MPEG-1 Layer III (44.1 kHz, mono, 32 kbit/s) with only an ID3v2.3 tag
# whose text frames are UTF-16 and hold letters beyond ASCII.
lame --quiet -b 32 --cbr --resample 44.1 -m m "$tmp/tone5.wav" id3v23_utf16.mp3
eyeD3 --quiet --to-v2.3 --encoding utf16 -t "Café au Lait" -a "Ünder Sëa Quartet" \
  -A "Straße Sessions" -c "Recorded in Zürich" -G "Jazz" -n 7 --recording-date 2004 \
  id3v23_utf16.mp3 >/dev/null

# CBR MPEG-2.5 Layer III (11.025 kHz, mono, 16 kbit/s) with only an ID3v2.4
# tag: UTF-8 text frames with letters beyond Latin-1, and a front cover, the
# chord's own spectrogram as a small PNG (100 by 65, few shades).
lame --quiet -b 16 --cbr -m m "$tmp/chord8.wav" id3v24_utf8_cover.mp3
sox "$tmp/chord8.wav" -n spectrogram -r -m -q 8 -x 100 -y 65 -o "$tmp/cover.png"
mid3v2 -t "Łódź Nocturne" -a "Søren Ærø Trio" -A "Cover Sessions" -y 2024 \
  -c "Chord in C for 8 s" -g "Ambient" -T 2/9 \
  -p "$tmp/cover.png:Cover:3:image/png" id3v24_utf8_cover.mp3
