"""The mutagen peer for editing: an in-process loop that sets the composer
(TCOM) of each file's ID3v2 tag and saves it as ID3v2.3, the edit
`velkor tag --composer` makes.

usage: python3 mutagen_edit_loop.py FILE_LIST VALUE
"""
import sys
import time

import mutagen.id3


def main(argv):
    with open(argv[1], encoding="utf-8", errors="surrogateescape") as f:
        paths = [line.rstrip("\n") for line in f if line.strip()]
    value = argv[2]
    start = time.perf_counter()
    for path in paths:
        tag = mutagen.id3.ID3(path)
        tag.setall("TCOM", [mutagen.id3.TCOM(encoding=3, text=[value])])
        # v1=1 keeps an ID3v1 tag only where there is one, as velkor does.
        tag.save(path, v1=1, v2_version=3)
    elapsed = time.perf_counter() - start
    print(f"mutagen_edit files={len(paths)} seconds={elapsed:.6f} "
          f"files_per_s={len(paths) / elapsed:.1f}")


if __name__ == "__main__":
    main(sys.argv)
