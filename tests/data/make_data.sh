#!/bin/sh
# Makes the files in tests/data with other encoders and taggers.
# Needs (Debian 12): lame 3.100, ffmpeg 5.1, sox, twolame, mp3gain 1.6.2,
# python3-mutagen 1.46 (mid3v2, mutagen-inspect), eyed3 0.9.7, id3v2 0.1.12.
# Run from anywhere: ./make_data.sh; it writes next to itself.
# Afterwards, ./collect_facts.py writes facts.json and peer_reports.txt.
set -eu
cd "$(dirname "$0")"
PY=/usr/bin/python3
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
FF="ffmpeg -nostdin -hide_banner -loglevel error -y"
BX="-fflags +bitexact -flags:a +bitexact -map_metadata -1"

# Sources: 1.5 s sines, mono, 16-bit, no dither (-D).
sox -R -D -n -r 32000 -b 16 -c 1 "$T/s32k.wav" synth 1.5 sine 440 vol 0.5
sox -R -D -n -r 22050 -b 16 -c 1 "$T/s22k.wav" synth 1.5 sine 440 vol 0.5
sox -R -D -n -r 16000 -b 16 -c 1 "$T/s16k.wav" synth 1.5 sine 330 vol 0.5
sox -R -D -n -r 8000  -b 16 -c 1 "$T/s8k.wav"  synth 1.5 sine 220 vol 0.5
# A sweep with noise so VBR frame sizes vary.
sox -R -D -n -r 32000 -b 16 -c 1 "$T/vary32k.wav" synth 1.5 whitenoise synth 1.5 sine mix 200-6000 vol 0.4
$PY tag_tools.py png "$T/cover.png"

# 01: lame VBR (Xing + LAME tag) tagged by mid3v2 as ID3v2.4.
lame --quiet -V 4 "$T/vary32k.wav" "$T/vbr.mp3"
cp "$T/vbr.mp3" 01_lame_vbr_mid3v2.mp3
mid3v2 -t "VBR sine" -a "First Artist" -A "Mid Album" -T 1/9 \
  --TDRC 2021-04-05 \
  -c ":A plain English comment:eng" \
  -c "Beschreibung:Ein deutscher Kommentar:deu" \
  -c "note:Un commentaire:fra" \
  --TXXX "REPLAYGAIN_TRACK_GAIN:-6.50 dB" \
  --TXXX "MusicBrainz Album Id:0b2c5a43-1b9d-4f1e-9a59-5c0a2f1d9e11" \
  01_lame_vbr_mid3v2.mp3
# Second TPE1 value (v2.4 null-separated) through mutagen.
$PY -c 'import sys; from mutagen.id3 import ID3, TPE1
t = ID3(sys.argv[1]); t.add(TPE1(encoding=3, text=["First Artist", "Second Artist"])); t.save(v2_version=4)' 01_lame_vbr_mid3v2.mp3

# 02: lame CBR (Info tag), eyeD3 ID3v2.3 with USLT, POPM, TBPM, TCMP,
#     picture, and ID3v1.1.
lame --quiet -b 64 "$T/s22k.wav" 02_lame_cbr_eyed3.mp3
printf 'Line one of the lyrics\nLine two of the lyrics\n' > "$T/lyrics.txt"
eyeD3 -Q --v1 -a "V1 Artist" -t "V1 Title" -A "V1 Album" -Y 2019 -n 7 -G Rock \
  02_lame_cbr_eyed3.mp3 >/dev/null
eyeD3 -Q --to-v2.3 -a "Eye Artist" -t "Eye Title" -A "Eye Album" -n 7 -N 10 \
  --add-lyrics "$T/lyrics.txt:Verses:eng" \
  --add-popularity "rater@example.com:196:42" \
  --bpm 120 --text-frame "TCMP:1" \
  --add-image "$T/cover.png:FRONT_COVER:Cover" \
  02_lame_cbr_eyed3.mp3 >/dev/null

# 03: ffmpeg CBR, no Xing, no tag; id3v2 (the tool) writes ID3v2.3 + ID3v1.
$FF -i "$T/s22k.wav" $BX -c:a libmp3lame -b:a 32k -write_xing 0 -id3v2_version 0 \
  03_ffmpeg_cbr_id3v2tool.mp3
id3v2 -a "Tool Artist" -A "Tool Album" -t "Tool Title" -y 2005 -T 5/11 -g 12 \
  -c "Tool comment" 03_ffmpeg_cbr_id3v2tool.mp3

# 04: ffmpeg with its default ID3v2.4 tag (TSSE) and its metadata keys.
#     No bitexact flags here: they would drop TSSE and the Lavc version and
#     delay/padding from the Info header.  Same ffmpeg, same bytes.
$FF -f lavfi -i "sine=frequency=660:sample_rate=22050:duration=1.5" \
  -c:a libmp3lame -b:a 40k \
  -metadata title="Lavf Title" -metadata artist="Lavf Artist" \
  -metadata album="Lavf Album" -metadata track=3/12 -metadata disc=1/2 \
  -metadata date=2020 -metadata genre=Ambient \
  04_ffmpeg_default_tag.mp3

# 05: CHAP/CTOC with TIT2 in each chapter (mutagen).
lame --quiet -b 24 "$T/s16k.wav" 05_chapters.mp3
$PY tag_tools.py chapters 05_chapters.mp3

# 06: ID3v1 first, then mp3gain analysis writes an APEv2 tag (ahead of ID3v1).
lame --quiet -b 48 "$T/s32k.wav" 06_apev2_mp3gain_id3v1.mp3
id3v2 -1 -a "Gain Artist" -t "Gain Title" -A "Gain Album" -y 2010 -T 2 -g 17 \
  06_apev2_mp3gain_id3v1.mp3
mp3gain -q -s a 06_apev2_mp3gain_id3v1.mp3 >/dev/null

# 07: zlib-compressed frames, written by tag_tools.py.
lame --quiet -b 24 "$T/s16k.wav" "$T/cbr16k.mp3"
$PY tag_tools.py v23_compressed 07a_id3v23_compressed.mp3 "$T/cbr16k.mp3"
$PY tag_tools.py v24_compressed 07b_id3v24_compressed_dli.mp3 "$T/cbr16k.mp3"

# 08: an ID3v2.4 tag and no audio.
$PY tag_tools.py tag_only 08_tag_only.mp3

# 09: VBR with the Xing/LAME tag disabled (-t).
lame --quiet -V 4 -t "$T/vary32k.wav" 09_vbr_no_xing.mp3

# 10: MPEG-2 Layer III mono with Xing; MPEG-1 Layer II from twolame.
lame --quiet -m m -V 6 "$T/s22k.wav" 10a_mpeg2_l3_mono_xing.mp3
twolame --quiet -m m -b 64 "$T/s32k.wav" 10b_mpeg1_layer2.mp3

# 11: file 01's audio with its last 40% cut off; the Xing header still
#     announces every frame.
size=$(stat -c %s "$T/vbr.mp3")
head -c $((size * 60 / 100)) "$T/vbr.mp3" > 11_vbr_truncated.mp3

# 12: ID3v2.2 (TT2/TP1/TAL/TRK/TYE/COM) on MPEG-2.5 CBR (8 kHz).
lame --quiet -b 16 "$T/s8k.wav" "$T/cbr8k.mp3"
$PY tag_tools.py v22 12_id3v22.mp3 "$T/cbr8k.mp3"

# 13: ID3v2.4 header with the extended-header flag, frames at byte 10.
$PY tag_tools.py v24_ext_flag 13_id3v24_ext_flag_no_ext_header.mp3 "$T/cbr16k.mp3"
# 14: ID3v2.4 whose first frame (TXXX) has size 0, then real frames.
$PY tag_tools.py v24_zero_frame 14_id3v24_zero_size_first_frame.mp3 "$T/cbr16k.mp3"
