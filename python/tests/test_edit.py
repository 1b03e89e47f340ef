"""velkor.edit and velkor.write: values written come back through
velkor.read (and through another reader where the system has one), the
audio stays as it was, errors are the read side's exceptions."""
import os
import shutil
import subprocess
import tempfile
import unittest

import velkor

DATA = os.path.join(os.path.dirname(__file__), "..", "..", "tests", "data")
SYSTEM_PYTHON = "/usr/bin/python3"


def other_reader_available() -> bool:
    if not os.path.exists(SYSTEM_PYTHON):
        return False
    return subprocess.run([SYSTEM_PYTHON, "-c", "import mutagen"], capture_output=True).returncode == 0


class EditTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)

    def copy(self, name: str) -> str:
        path = os.path.join(self.dir, name)
        shutil.copy(os.path.join(DATA, name), path)
        return path

    def test_round_trip_keeps_the_audio(self):
        path = self.copy("06_apev2_mp3gain_id3v1.mp3")
        before = velkor.read(path)
        with velkor.edit(path) as tags:
            tags.title = "Tïtle ☃"
            tags.track = "3/12"
            tags.genre = "8"
            tags.set_text("TPE1", ["One", "Two"])
            tags.set_user_text("mood", ["calm"])
            tags.set_comment("a note", description="n")
            tags.add_picture(b"\x89PNG\r\n\x1a\n", mime="image/png", description="cover")
            tags.set_popularimeter("me@example.org", 196, 7)
        after = velkor.read(path)
        v2 = after.id3v2
        self.assertEqual((v2.title, v2.track, v2.genre, v2.artist), ("Tïtle ☃", "3/12", "Jazz", "One/Two"))
        frames = {f.id: f for f in v2.frames}
        self.assertEqual(frames["TXXX"].values, ("calm",))
        self.assertEqual((frames["POPM"].owner, frames["POPM"].rating, frames["POPM"].play_count),
                         ("me@example.org", 196, 7))
        self.assertEqual(v2.pictures[-1].mime, "image/png")
        self.assertEqual(velkor.read_picture(path, len(v2.pictures) - 1), b"\x89PNG\r\n\x1a\n")
        self.assertEqual(after.id3v1.title, "Tïtle ?")  # Latin-1 where it can
        self.assertEqual(after.audio_bytes, before.audio_bytes)
        self.assertEqual(after.frames, before.frames)

    def test_keys_read_merged_and_set_by_name(self):
        path = self.copy("06_apev2_mp3gain_id3v1.mp3")
        before = velkor.read(path).tags
        # No ID3v2 tag: the gains from APEv2, the title from ID3v1.
        self.assertEqual(before["TITLE"], (velkor.read(path).id3v1.title,))
        self.assertIn("REPLAYGAIN_TRACK_GAIN", before)
        with self.assertRaises(TypeError):
            before["TITLE"] = ("x",)  # read only
        with velkor.edit(path) as tags:
            tags["TITLE"] = "Key Title"
            tags.set("ARTIST", ["One", "Two"])
            tags["MUSICBRAINZ_ALBUMID"] = "1234"
            del tags["COMMENT"]
            with self.assertRaises(velkor.Error):
                tags["NOT_A_KEY"] = "x"
            tags.save(id3v24=True)
        after = velkor.read(path).tags
        self.assertEqual((after["TITLE"], after["ARTIST"], after["MUSICBRAINZ_ALBUMID"]),
                         (("Key Title",), ("One", "Two"), ("1234",)))

    def test_write_in_one_call_and_removing_tags(self):
        path = self.copy("12_id3v22.mp3")
        report = velkor.write(path, title="New", album=None, id3v1="add")
        self.assertEqual((report.id3v2_version, report.tags), ("2.3", ("v1", "v2")))
        facts = velkor.read(path)
        self.assertEqual((facts.id3v2.version, facts.id3v2.title, facts.id3v2.album), ("2.3", "New", None))
        self.assertEqual(facts.id3v1.title, "New")
        with velkor.edit(path) as tags:
            tags.remove_tag("v1", "v2")
            self.assertEqual(tags.save(dry_run=True).tags, ())
        facts = velkor.read(path)
        self.assertIsNone(facts.id3v1)
        self.assertIsNone(facts.id3v2)

    def test_fields_start_as_the_file_holds_them(self):
        path = self.copy("01_lame_vbr_mid3v2.mp3")
        before = velkor.read(path).id3v2
        with velkor.edit(path) as tags:
            self.assertEqual((tags.title, tags.track, tags.date, tags.composer),
                             (before.title, before.track, before.date, None))
            tags.title = "  " + tags.title + " "
            tags.title = tags.title.strip()
            tags.artist = None
            self.assertIsNone(tags.artist)
        after = velkor.read(path).id3v2
        self.assertEqual((after.title, after.artist, after.album), (before.title, None, before.album))
        # Without an ID3v2 tag the ID3v1 tag's values.
        path = self.copy("06_apev2_mp3gain_id3v1.mp3")
        v1 = velkor.read(path).id3v1
        with velkor.edit(path) as tags:
            tags.remove_tag("v2")
        with velkor.edit(path) as tags:
            self.assertEqual((tags.title, tags.artist, tags.lyrics), (v1.title, v1.artist, None))

    def test_write_saves_once_and_keeps_the_time_when_asked(self):
        path = self.copy("02_lame_cbr_eyed3.mp3")
        saves = []
        original = velkor.Edit.save
        velkor.Edit.save = lambda edit, **options: saves.append(options) or original(edit, **options)
        try:
            velkor.write(path, title="Once")
        finally:
            velkor.Edit.save = original
        self.assertEqual(len(saves), 1)
        os.utime(path, ns=(10**18, 10**18 + 5))
        with velkor.edit(path) as tags:
            tags.title = "Timed"
            tags.save(preserve_times=True)
        self.assertEqual(os.stat(path).st_mtime_ns, 10**18 + 5)
        self.assertEqual(velkor.read(path).id3v2.title, "Timed")

    def test_errors(self):
        with self.assertRaises(velkor.NotFoundError):
            velkor.edit(os.path.join(self.dir, "missing.mp3"))
        path = self.copy("08_tag_only.mp3")
        with self.assertRaises(ValueError):
            velkor.write(path, title="a\0b")
        with self.assertRaises(velkor.Error) as caught:
            with velkor.edit(path) as tags:
                tags.set_text("TXXX", ["not a plain text frame"])
        self.assertEqual((caught.exception.status, caught.exception.code), ("argument", 7))
        # Values the library refuses, whichever way they come: as the command's.
        for value, words in (({"track": "abc"}, "from 1"), ({"year": "2024-13-45"}, "ISO 8601"),
                             ({"genre": "999"}, "0 to 191")):
            with self.subTest(value), self.assertRaises(velkor.Error) as caught:
                velkor.write(path, **value)
            self.assertEqual(caught.exception.status, "argument")
            self.assertIn(words, str(caught.exception))
        for change, words in ((lambda t: t.set_text("TLEN", ["215000", "abc"]), "whole number"),
                              (lambda t: t.set_url("WOAR", "https://example.org/a b"), "without spaces"),
                              (lambda t: t.add_picture(b"GIF89a", mime="text/plain"), "MIME type")):
            with self.subTest(words), self.assertRaises(velkor.Error) as caught, velkor.edit(path) as tags:
                change(tags)
            self.assertIn(words, str(caught.exception))
        tags = velkor.edit(path)
        tags.title = "x"
        with open(path, "ab") as f:
            f.write(b"changed")
        with self.assertRaises(velkor.ChangedError):
            tags.save()
        tags.close()

    def test_files_that_are_not_mpeg_audio_are_refused_as_they_are(self):
        for name, data, message in [("flac.mp3", b"fLaC\0\0\0\x22" + b"\xff" * 600, "a FLAC file, not MPEG audio"),
                                    ("ogg.mp3", b"OggS" + b"\0" * 60, "an Ogg file, not MPEG audio"),
                                    ("empty.mp3", b"", "an empty file, not MPEG audio"),
                                    ("text.mp3", b"hello\n", "no MPEG audio in it")]:
            path = os.path.join(self.dir, name)
            with open(path, "wb") as f:
                f.write(data)
            with self.assertRaises(velkor.NoAudioError) as caught:
                velkor.write(path, title="x")
            self.assertEqual(caught.exception.message, message)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), data)

    @unittest.skipUnless(hasattr(os, "link"), "hard links")
    def test_other_hard_links_are_kept_unless_broken(self):
        path = self.copy("02_lame_cbr_eyed3.mp3")
        other = os.path.join(self.dir, "other.mp3")
        os.link(path, other)
        title = velkor.read(path).id3v2.title
        with velkor.edit(path) as tags:
            tags.title = "linked"
            tags.add_picture(bytes(100000))  # too large for the tag's room: a new file
            with self.assertRaises(velkor.LinkedError):
                tags.save()
            tags.save(break_links=True)
        self.assertEqual(velkor.read(path).id3v2.title, "linked")
        self.assertEqual(velkor.read(other).id3v2.title, title)

    @unittest.skipUnless(other_reader_available(), "the system python has no mutagen")
    def test_another_reader_reads_the_values(self):
        for version, options in (("2.3", {}), ("2.4", {"id3v24": True})):
            path = os.path.join(self.dir, f"bare{version}.mp3")
            with open(os.path.join(DATA, "10b_mpeg1_layer2.mp3"), "rb") as f:
                audio = f.read()
            with open(path, "wb") as f:
                f.write(audio)
            with velkor.edit(path) as tags:
                tags.remove_tag("v1", "v2", "ape")
            with velkor.edit(path) as tags:
                tags.title = "Zoë ☃"
                tags.set_text("TPE1", ["A", "B"])
                tags.date = "2004-05-01"
                tags.comment = "note"
                report = tags.save(**options)
            self.assertEqual(report.id3v2_version, version)
            script = ("import sys, mutagen.id3 as m; t = m.ID3(sys.argv[1]);"
                      "print(t.version[1]); print(t['TIT2'].text[0]); print('|'.join(t['TPE1'].text));"
                      "print(t.getall('COMM')[0].text[0])")
            out = subprocess.run([SYSTEM_PYTHON, "-c", script, path], capture_output=True, text=True,
                                 check=True).stdout.splitlines()
            artists = "A|B" if version == "2.4" else "A/B"
            self.assertEqual(out, [version[-1], "Zoë ☃", artists, "note"])
            if shutil.which("ffprobe"):
                probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format_tags=title,comment",
                                        "-of", "default=noprint_wrappers=1", path],
                                       capture_output=True, text=True, check=True).stdout.splitlines()
                self.assertEqual(sorted(probe), ["TAG:comment=note", "TAG:title=Zoë ☃"])


if __name__ == "__main__":
    unittest.main()
