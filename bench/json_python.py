#!/usr/bin/env python3
"""Python beside C and mutagen, and velkor.scan beside the command, in
interleaved rounds (each round runs every way once), medians and bests.

tagged OUT COUNT: COUNT files as a tagger leaves them: an ID3v2.3 tag of
15 frames (texts, a comment, ReplayGain and MusicBrainz TXXX frames, a
UFID), three in ten with a front cover of 100 to 300 KB, over a typical
stream (bench/make_files.py) with an ID3v1.1 tag.

read FILE_LIST ROUNDS: microseconds per file of velkor.read and of
mutagen.File (when mutagen is installed) over the listed files.

scan DIR ROUNDS: seconds of list(velkor.scan(DIR)) and of the command
`velkor --json -r DIR` (VELKOR_COMMAND, else velkor on the PATH).

The library is found as velkor.read finds it (VELKOR_LIBRARY).
"""
import os
import random
import statistics
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "python"))
sys.path.insert(0, HERE)

import make_files  # noqa: E402
import velkor  # noqa: E402


def tagged_file(rng, number):
    base = make_files.typical_file(rng, number, padding=0)
    # Keep the typical file's stream and ID3v1 tag; put a tagger's tag before them.
    size = 10 + ((base[6] << 21) | (base[7] << 14) | (base[8] << 7) | base[9])
    stream = base[size:]
    text = make_files.text_frame

    def txxx(description, value):
        body = b"\0" + description + b"\0" + value
        return b"TXXX" + struct.pack(">I", len(body)) + b"\0\0" + body

    frames = [
        text("TIT2", f"Track {number % 10 + 1:02d} of a tagged album".encode()),
        text("TPE1", f"Artist {number // 100:03d}".encode()),
        text("TALB", f"Album {number // 10:04d}".encode()),
        text("TPE2", f"Artist {number // 100:03d}".encode()),
        text("TYER", str(1960 + number % 60).encode()),
        text("TRCK", f"{number % 10 + 1}/10".encode()),
        text("TPOS", b"1/1"),
        text("TCON", b"Rock"),
        text("TCOM", b"A Composer"),
        text("TSSE", b"LAME 3.100"),
        text("COMM", b"eng\0" + b"tagged for the benchmark"),
        txxx(b"REPLAYGAIN_TRACK_GAIN", b"-6.50 dB"),
        txxx(b"REPLAYGAIN_TRACK_PEAK", b"0.988"),
        txxx(b"MusicBrainz Album Id", b"5d0b1a4e-2f3c-4b6a-9f1e-%012d" % number),
    ]
    ufid = b"http://musicbrainz.org\0" + b"%036d" % number
    frames.append(b"UFID" + struct.pack(">I", len(ufid)) + b"\0\0" + ufid)
    if rng.random() < 0.3:
        frames.insert(10, make_files.picture_frame(rng, rng.randint(100_000, 300_000)))
    body = b"".join(frames) + bytes(rng.choice([0, 256, 1024]))
    return b"ID3\x03\x00\x00" + make_files.syncsafe(len(body)) + body + stream


def make_tagged(out, count):
    rng = random.Random(20251208)
    for number in range(count):
        folder = os.path.join(out, f"album{number // 10:04d}")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, f"track{number % 10 + 1:02d}.mp3"), "wb") as f:
            f.write(tagged_file(rng, number))


def report(name, values, unit):
    print(f"{name} median_{unit}={statistics.median(values):.2f} best_{unit}={min(values):.2f}")


def read(list_path, rounds):
    with open(list_path) as f:
        files = [line.rstrip("\n") for line in f if line.strip()]
    ways = {"velkor.read": velkor.read}
    try:
        import mutagen
        ways["mutagen.File"] = mutagen.File
    except ImportError:
        print("mutagen not installed: velkor.read alone")
    taken = {name: [] for name in ways}
    for _ in range(rounds):
        for name, way in ways.items():
            start = time.perf_counter()
            for path in files:
                way(path)
            taken[name].append((time.perf_counter() - start) / len(files) * 1e6)
    for name, values in taken.items():
        report(f"{name} files={len(files)}", values, "us")


def scan(folder, rounds):
    command = os.environ.get("VELKOR_COMMAND", "velkor")
    taken = {"velkor.scan": [], "velkor --json -r": []}
    for _ in range(rounds):
        start = time.perf_counter()
        count = sum(1 for _ in velkor.scan(folder))
        taken["velkor.scan"].append(time.perf_counter() - start)
        start = time.perf_counter()
        subprocess.run([command, "--json", "-r", folder], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        taken["velkor --json -r"].append(time.perf_counter() - start)
    for name, values in taken.items():
        report(f"{name} files={count}", values, "s")


def main(argv):
    if len(argv) == 4 and argv[1] == "tagged":
        make_tagged(argv[2], int(argv[3]))
    elif len(argv) == 4 and argv[1] == "read":
        read(argv[2], int(argv[3]))
    elif len(argv) == 4 and argv[1] == "scan":
        scan(argv[2], int(argv[3]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
