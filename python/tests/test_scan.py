"""velkor.scan over a folder tree made here: which files (names that are
not UTF-8 too), in which order, and what errors= does with a failing one."""
import os
import shutil
import tempfile
import unittest
from pathlib import Path

import velkor

SAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "samples", "cbr_id3v11.mp3")


class ScanTest(unittest.TestCase):
    def test_scan(self):
        root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, root)
        os.mkdir(os.path.join(root, "a"))
        for name in ["b.mp3", "A.MP3", os.path.join("a", "z.mpga"), "notes.txt", "x.wav"]:
            shutil.copy(SAMPLE, os.path.join(root, name))
        Path(root, "c.mp2").write_bytes(bytes(3000))
        shutil.copy(SAMPLE, os.path.join(os.fsencode(root), b"\xff.mp3"))  # a name not UTF-8
        os.symlink("a", os.path.join(root, "link"))  # a folder's link: not walked
        os.symlink("b.mp3", os.path.join(root, "ln.mp3"))  # a file's link: taken

        def names(items):
            return [(os.path.relpath(i.path, root), type(i).__name__) for i in items]
        self.assertEqual(names(velkor.scan(root)), [
            ("A.MP3", "Facts"), (os.path.join("a", "z.mpga"), "Facts"), ("b.mp3", "Facts"),
            ("c.mp2", "NoAudioError"), ("ln.mp3", "Facts"), ("\udcff.mp3", "Facts")])
        self.assertEqual(names(velkor.scan(root, recursive=False, errors="skip")), [
            ("A.MP3", "Facts"), ("b.mp3", "Facts"), ("ln.mp3", "Facts"), ("\udcff.mp3", "Facts")])
        scan = velkor.scan(root, errors="raise")
        self.assertEqual(len([next(scan) for _ in range(3)]), 3)
        self.assertRaises(velkor.NoAudioError, next, scan)

        # The folder itself is checked by the call, not on the first next().
        self.assertRaises(FileNotFoundError, velkor.scan, os.path.join(root, "missing"))
        self.assertRaises(NotADirectoryError, velkor.scan, os.path.join(root, "b.mp3"))


if __name__ == "__main__":
    unittest.main()
