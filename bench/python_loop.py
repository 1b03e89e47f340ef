"""velkor's Python package beside mutagen, in one process over the same
files: velkor.read and mutagen.File take turns over blocks of 64 files
(each block started by the other), so that a machine busy for a moment
slows both alike; then velkor.scan goes over the folder the files came
from.

usage: python3 python_loop.py FILE_LIST [FOLDER]

Prints one line a way: "NAME files=N seconds=S". Needs velkor importable
(PYTHONPATH) and its library found (VELKOR_LIBRARY); mutagen is left out
when it is not installed.
"""
import sys
import time

import velkor

try:
    import mutagen
except ImportError:
    mutagen = None


# Each way returns how many files it saw; what it reads of them goes into a
# sum so that nothing is skipped as unused.
checksum = 0


def velkor_read(paths):
    global checksum
    for path in paths:
        facts = velkor.read(path)
        checksum += facts.file_size + (facts.duration_ms or 0)
    return len(paths)


def mutagen_file(paths):
    global checksum
    for path in paths:
        audio = mutagen.File(path)
        checksum += int(audio.info.length) + audio.info.bitrate
        if audio.tags is not None and "TIT2" in audio.tags:
            checksum += len(audio.tags["TIT2"].text[0])
    return len(paths)


def velkor_scan(folder):
    global checksum
    files = 0
    for facts in velkor.scan(folder):
        checksum += getattr(facts, "file_size", 0)
        files += 1
    return files


def timed(name, work, argument):
    start = time.perf_counter()
    files = work(argument)
    print(f"{name} files={files} seconds={time.perf_counter() - start:.6f}", flush=True)


def in_turns(ways, paths, block=64):
    """Runs each (name, work) over paths, block by block, taking turns."""
    seconds = [0.0] * len(ways)
    for number, first in enumerate(range(0, len(paths), block)):
        for turn in range(len(ways)):
            index = (number + turn) % len(ways)
            start = time.perf_counter()
            ways[index][1](paths[first:first + block])
            seconds[index] += time.perf_counter() - start
    for (name, _), spent in zip(ways, seconds):
        print(f"{name} files={len(paths)} seconds={spent:.6f}", flush=True)


def main(argv):
    if len(argv) not in (2, 3):
        sys.exit(__doc__)
    with open(argv[1], encoding="utf-8", errors="surrogateescape") as f:
        paths = [line.rstrip("\n") for line in f if line.strip()]
    ways = [("velkor.read", velkor_read)]
    if mutagen is not None:
        ways.append(("mutagen.File", mutagen_file))
    in_turns(ways, paths)
    if len(argv) == 3:
        timed("velkor.scan", velkor_scan, argv[2])


if __name__ == "__main__":
    main(sys.argv)
