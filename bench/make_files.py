#!/usr/bin/env python3
"""Makes the benchmark's file sets.

typical OUT COUNT: COUNT typical files, as a tagger and an encoder leave
them: a small ID3v2.3 tag, the first frame right behind it, a valid stream
of MPEG-1 Layer III frames (CBR, or VBR with a Xing header in the first
frame), an ID3v1.1 tag at the end. Laid out like a music library, ten files
per album folder and a thousand per part folder (OUT/part0 holds the first
thousand), so that OUT/part0 and OUT are sets of 1,000 and of all files.

tagged OUT COUNT: COUNT files as a tagging program leaves them: the same
streams as the typical ones behind an ID3v2.4 tag of 15 frames (texts,
TXXX ReplayGain and catalogue ids, a comment, UFID and PRIV), in three of
ten files one of them a front cover of 100 to 300 KB, padding behind the
frames, an ID3v1.1 tag at the end of every other file. Laid out as the
typical set.

covered OUT COUNT: COUNT typical files whose ID3v2 tag also holds a front
cover of 1 MiB (an APIC frame amid the text frames), in one folder.

tagged OUT COUNT: COUNT files as a tagger leaves them after looking them
up: an ID3v2.4 tag of 15 UTF-8 frames (the usual texts, sort names,
MusicBrainz ids in TXXX and UFID frames, ReplayGain) with padding, 30 % of
them with a front cover of 100-300 KB, over a typical stream; in one folder.

padded OUT COUNT: COUNT typical files whose ID3v2 tag has 1 KiB of padding
and that have no ID3v1 tag, in one folder: the files an in-place edit
serves.

untagged PATH MIB: one file of about MIB mebibytes of frames without any
tag: an edit that adds a tag has to rewrite it whole.

noheader PATH MIB: MIB mebibytes of random bytes with every 0xFF byte
replaced, so that no frame header can start anywhere in the file.

Every set is reproducible: the same arguments give the same bytes.
"""
import os
import random
import struct
import sys

SAMPLING_RATE = 44100
SAMPLES_PER_FRAME = 1152
BITRATES = [32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]  # index 1..14
SIDE_INFO = 32  # MPEG-1, two channels
GENRES = 126


def frame(bitrate_kbps, padded):
    """One silent MPEG-1 Layer III frame at 44100 Hz, joint stereo."""
    index = BITRATES.index(bitrate_kbps) + 1
    header = bytes([0xFF, 0xFB, (index << 4) | (int(padded) << 1), 0x64])
    size = 144 * bitrate_kbps * 1000 // SAMPLING_RATE + int(padded)
    return header + bytes(size - 4)


def frame_stream(bitrates):
    """Frames at the given bitrates, padded the way an encoder pads them
    so that the stream keeps its exact bitrate."""
    frames, rest = [], 0
    for kbps in bitrates:
        rest += 144 * kbps * 1000 % SAMPLING_RATE
        padded = rest >= SAMPLING_RATE
        if padded:
            rest -= SAMPLING_RATE
        frames.append(frame(kbps, padded))
    return frames


def xing_frame(frame_count, stream_bytes):
    """The first frame of a VBR stream: a 128 kbit/s frame whose payload
    starts with the Xing header (frames, bytes, table of contents, quality)."""
    body = bytearray(frame(128, False))
    xing = b"Xing" + struct.pack(">III", 0x0F, frame_count, stream_bytes)
    xing += bytes(range(0, 250, 5))[:100].ljust(100, b"\xff") + struct.pack(">I", 60)
    body[4 + SIDE_INFO:4 + SIDE_INFO + len(xing)] = xing
    return bytes(body)


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def text_frame(frame_id, text, encoding=0):
    body = bytes([encoding]) + text
    return frame_id.encode() + struct.pack(">I", len(body)) + b"\0\0" + body


def picture_frame(rng, size):
    """An APIC frame: a JPEG front cover of `size` bytes of picture data."""
    body = b"\0image/jpeg\0\x03\0" + b"\xff\xd8" + rng.randbytes(size - 2)
    return b"APIC" + struct.pack(">I", len(body)) + b"\0\0" + body


def id3v2_tag(rng, title, artist, album, year, track, genre, comment, cover=0, padding=None):
    frames = [
        text_frame("TIT2", title),
        text_frame("TPE1", artist),
        text_frame("TALB", album),
        text_frame("TYER", year),
        text_frame("TRCK", track),
        text_frame("TCON", genre),
        text_frame("COMM", b"eng\0" + comment),
    ]
    if cover:
        frames.insert(6, picture_frame(rng, cover))
    if rng.random() < 0.3:  # some taggers write UTF-16 titles
        frames[0] = text_frame("TIT2", b"\xff\xfe" + title.decode().encode("utf-16-le") + b"\0\0", 1)
    if padding is None:
        padding = rng.choice([0, 0, 64, 256, 512, 1024])
    body = b"".join(frames) + bytes(padding)
    return b"ID3\x03\x00\x00" + syncsafe(len(body)) + body


def id3v1_tag(title, artist, album, year, comment, track, genre):
    return (b"TAG" + title[:30].ljust(30, b"\0") + artist[:30].ljust(30, b"\0")
            + album[:30].ljust(30, b"\0") + year[:4].ljust(4, b"\0")
            + comment[:28].ljust(28, b"\0") + bytes([0, track, genre]))


def v24_frame(frame_id, body):
    return frame_id.encode() + syncsafe(len(body)) + b"\0\0" + body


def v24_text(frame_id, text):
    return v24_frame(frame_id, b"\x03" + text.encode())  # UTF-8


def v24_user_text(description, text):
    return v24_frame("TXXX", b"\x03" + description.encode() + b"\0" + text.encode())


def tagger_tag(rng, number):
    """The ID3v2.4 tag a tagging program writes: 15 frames, in three files
    of ten a 100-300 KB front cover among them, then padding."""
    def uuid():
        return "-".join(rng.randbytes(n).hex() for n in (4, 2, 2, 2, 6))

    frames = [
        v24_text("TIT2", f"Track {number % 10 + 1:02d} of a tagged album"),
        v24_text("TPE1", f"Artist {number // 100:03d}"),
        v24_text("TALB", f"Album {number // 10:04d}"),
        v24_text("TPE2", f"Artist {number // 100:03d}"),
        v24_text("TRCK", f"{number % 10 + 1}/10"),
        v24_text("TPOS", "1/1"),
        v24_text("TDRC", f"{1960 + number % 60}-0{number % 9 + 1}-1{number % 10}"),
        v24_text("TCON", "Rock"),
        v24_text("TSSE", "LAME 3.100 -V 2"),
        v24_frame("COMM", b"\x03eng\0made for the benchmark"),
        v24_user_text("REPLAYGAIN_TRACK_GAIN", f"-{rng.uniform(2, 9):.2f} dB"),
        v24_user_text("REPLAYGAIN_TRACK_PEAK", f"{rng.uniform(0.8, 1):.6f}"),
        v24_user_text("MusicBrainz Album Id", uuid()),
        v24_frame("UFID", b"http://musicbrainz.org\0" + uuid().encode()),
    ]
    if rng.random() < 0.3:
        size = rng.randint(100_000, 300_000)
        frames.append(v24_frame("APIC", b"\0image/jpeg\0\x03\0\xff\xd8" + rng.randbytes(size - 2)))
    else:
        frames.append(v24_frame("PRIV", b"WM/MediaClassPrimaryID\0" + rng.randbytes(16)))
    body = b"".join(frames) + bytes(rng.choice([1024, 2048, 4096]))
    return b"ID3\x04\x00\x00" + syncsafe(len(body)) + body


def typical_file(rng, number, cover=0, padding=None, id3v1=True, tagged=False):
    artist = f"Artist {number // 100:03d}".encode()
    album = f"Album {number // 10:04d}".encode()
    title = f"Track {number % 10 + 1:02d} of a typical length".encode()
    year = str(1960 + number % 60).encode()
    track = number % 10 + 1
    genre = number % GENRES
    comment = b"made for the benchmark"

    seconds = rng.uniform(2, 8)
    count = int(seconds * SAMPLING_RATE / SAMPLES_PER_FRAME)
    if rng.random() < 0.25:
        kbps = [rng.choice([96, 112, 128, 160, 192, 224, 256]) for _ in range(count)]
        frames = frame_stream(kbps)
        frames.insert(0, xing_frame(count, sum(map(len, frames))))
    else:
        frames = frame_stream([rng.choice([128, 128, 192, 256, 320])] * count)

    if tagged:
        tag = tagger_tag(rng, number)
    else:
        tag = id3v2_tag(rng, title, artist, album, year, f"{track}/10".encode(),
                        f"({genre})".encode(), comment, cover, padding)
    return (tag
            + b"".join(frames)
            + (id3v1_tag(title, artist, album, year, comment, track, genre) if id3v1 else b""))


def make_typical(out, count, tagged=False):
    rng = random.Random(20251208 if tagged else 20240611)
    for number in range(count):
        folder = os.path.join(out, f"part{number // 1000}", f"album{number // 10:04d}")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, f"track{number % 10 + 1:02d}.mp3"), "wb") as f:
            f.write(typical_file(rng, number, id3v1=not tagged or number % 2 == 0, tagged=tagged))


def make_covered(out, count):
    rng = random.Random(20241207)
    os.makedirs(out, exist_ok=True)
    for number in range(count):
        with open(os.path.join(out, f"covered{number:04d}.mp3"), "wb") as f:
            f.write(typical_file(rng, number, cover=1 << 20))


def make_padded(out, count):
    rng = random.Random(20241208)
    os.makedirs(out, exist_ok=True)
    for number in range(count):
        with open(os.path.join(out, f"padded{number:04d}.mp3"), "wb") as f:
            f.write(typical_file(rng, number, padding=1024, id3v1=False))


def make_untagged(path, mib):
    one = b"".join(frame_stream([128] * 1000))
    with open(path, "wb") as f:
        for _ in range(max(1, (mib << 20) // len(one))):
            f.write(one)


def make_noheader(path, mib):
    rng = random.Random(256)
    no_sync = bytes(range(255)) + b"\xfe"  # 0xFF becomes 0xFE
    with open(path, "wb") as f:
        for _ in range(mib):
            f.write(rng.randbytes(1 << 20).translate(no_sync))


def main(argv):
    if len(argv) == 4 and argv[1] == "typical":
        make_typical(argv[2], int(argv[3]))
    elif len(argv) == 4 and argv[1] == "tagged":
        make_typical(argv[2], int(argv[3]), tagged=True)
    elif len(argv) == 4 and argv[1] == "covered":
        make_covered(argv[2], int(argv[3]))
    elif len(argv) == 4 and argv[1] == "padded":
        make_padded(argv[2], int(argv[3]))
    elif len(argv) == 4 and argv[1] == "untagged":
        make_untagged(argv[2], int(argv[3]))
    elif len(argv) == 4 and argv[1] == "noheader":
        make_noheader(argv[2], int(argv[3]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
