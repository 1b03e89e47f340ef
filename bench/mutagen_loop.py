"""The mutagen peer: an in-process loop that opens each file with
mutagen.mp3.MP3 (tags and stream info) and reads title, bitrate and length.

usage: python3 mutagen_loop.py FILE_LIST [PASSES]
"""
import sys
import time

import mutagen.mp3


def main(argv):
    with open(argv[1], encoding="utf-8", errors="surrogateescape") as f:
        paths = [line.rstrip("\n") for line in f if line.strip()]
    passes = max(1, int(argv[2]) if len(argv) > 2 else 3)
    best, checksum = None, 0
    for _ in range(passes):
        start = time.perf_counter()
        for path in paths:
            audio = mutagen.mp3.MP3(path)
            checksum += int(audio.info.length) + audio.info.bitrate
            if audio.tags is not None and "TIT2" in audio.tags:
                checksum += len(audio.tags["TIT2"].text[0])
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    print(f"mutagen files={len(paths)} seconds={best:.6f} "
          f"files_per_s={len(paths) / best:.1f} check={checksum % 10}")


if __name__ == "__main__":
    main(sys.argv)
