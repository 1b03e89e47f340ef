"""velkor.read against the velkor command on the samples, and on files made
here: errors by status, a picture, the facts record's size field."""
import ctypes
import itertools
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import types
import unittest
from dataclasses import fields, is_dataclass
from pathlib import Path

import velkor
from velkor import _native

SAMPLES = os.path.join(os.path.dirname(__file__), "..", "..", "samples")
DATA = os.path.join(os.path.dirname(__file__), "..", "..", "tests", "data")
COMMAND = os.environ.get("VELKOR_COMMAND")


class ReadTest(unittest.TestCase):
    def assertAgrees(self, mine, theirs: dict, where: str):
        """Keys the command does not (yet) write are not compared."""
        for field in fields(mine):
            key = field.name
            value, expected = getattr(mine, field.name), theirs.get(key, ...)
            if is_dataclass(value) and isinstance(expected, dict):
                self.assertAgrees(value, expected, f"{where}.{key}")
            elif isinstance(value, tuple) and isinstance(expected, list):
                self.assertEqual(len(value), len(expected), f"{where}.{key}")
                for i, (item, its) in enumerate(zip(value, expected)):
                    if is_dataclass(item):
                        self.assertAgrees(item, its, f"{where}.{key}[{i}]")
                    elif hasattr(item, "_asdict"):  # a Comment
                        self.assertEqual(item._asdict(), its, f"{where}.{key}[{i}]")
                    else:
                        self.assertEqual(item, its, f"{where}.{key}[{i}]")
            elif isinstance(expected, dict) and key == "tags":
                # The keys: a mapping of tuples here, an object of arrays there.
                self.assertEqual({k: list(v) for k, v in value.items()}, expected, f"{where}.{key}")
            elif expected is not ...:
                # Absent texts are None and null alike. The ID3v2 texts that
                # may hold several values are arrays in JSON, joined in
                # Python; track and disc are numbers with a separate total.
                if isinstance(value, str) and isinstance(expected, list):
                    expected = "; ".join(expected)
                elif isinstance(value, str) and isinstance(expected, int):
                    number, _, total = value.partition("/")
                    value = (int(number), int(total) if total else None)
                    expected = (expected, theirs.get(key + "_total"))
                self.assertEqual(value, expected, f"{where}.{key}")

    def test_frames_in_order_with_their_values(self):
        with open(os.path.join(DATA, "facts.json"), encoding="utf-8") as f:
            facts = json.load(f)
        chapters = velkor.read(os.path.join(DATA, "05_chapters.mp3")).id3v2.frames
        self.assertEqual([f.id for f in chapters], ["TIT2", "CHAP", "CHAP", "CHAP", "CTOC"])
        for frame, want in zip(chapters[1:4], facts["05_chapters.mp3"]["id3v2"]["frames"]["CHAP"]):
            self.assertEqual((frame.kind, frame.element_id, frame.start_ms, frame.end_ms, frame.title),
                             ("chapter", want["element_id"], want["start_ms"], want["end_ms"],
                              want["sub_frames"]["TIT2"][0]))
        toc = chapters[4]
        self.assertEqual((toc.kind, toc.children, toc.toc_flags, toc.title),
                         ("toc", ("chp0", "chp1", "chp2"), 3, "Table of contents"))

        frames = velkor.read(os.path.join(DATA, "01_lame_vbr_mid3v2.mp3")).id3v2.frames
        self.assertEqual(frames[1].values, ("First Artist", "Second Artist"))
        self.assertIsInstance(frames[1].values, tuple)
        comments = {f.language: (f.description, f.values) for f in frames if f.kind == "comment"}
        self.assertEqual(comments["deu"], ("Beschreibung", ("Ein deutscher Kommentar",)))
        popm = velkor.read(os.path.join(DATA, "02_lame_cbr_eyed3.mp3")).id3v2.frames[1]
        self.assertEqual((popm.kind, popm.owner, popm.rating, popm.play_count),
                         ("popularimeter", "rater@example.com", 196, 42))
        # Names and kinds come from the library's frame table.
        self.assertEqual([(f.name, f.kind) for f in chapters[:2]],
                         [("Title", "text"), ("Chapter", "chapter")])

    def test_parts_made_when_first_read_behave_as_fields(self):
        # Id3v2.frames and .pictures, and Facts' comments, ape_items,
        # replaygain and tags are made when first read: equality, copies and
        # pickling must see them all the same, whether read yet or not.
        import copy
        import dataclasses
        import pickle
        files = [os.path.join(SAMPLES, "id3v24_utf8_cover.mp3"),  # pictures
                 os.path.join(DATA, "01_lame_vbr_mid3v2.mp3"),  # comments, ReplayGain
                 os.path.join(DATA, "06_apev2_mp3gain_id3v1.mp3")]  # APEv2 items
        ways = {"pickle": lambda facts: pickle.loads(pickle.dumps(facts)), "deepcopy": copy.deepcopy,
                "copy": copy.copy, "replace": lambda facts: dataclasses.replace(facts, layer=facts.layer)}
        for path, (way, made) in itertools.product(files, ways.items()):
            with self.subTest(os.path.basename(path), way=way):
                read_first = velkor.read(path)
                shown = repr(read_first)  # makes every part
                untouched, touched = velkor.read(path), velkor.read(path)
                self.assertEqual(repr(touched), shown)
                for facts in (made(untouched), made(touched), untouched):
                    self.assertEqual(facts, read_first)
                    self.assertEqual(repr(facts), shown)
                    self.assertIsInstance(facts.tags, types.MappingProxyType)
        cover = velkor.read(files[0])
        self.assertEqual(len(cover.id3v2.frames), 8)
        self.assertEqual(dataclasses.asdict(cover.id3v2)["pictures"][0]["mime"], "image/png")
        self.assertEqual(velkor.read(files[2]).ape_items[1].values, ("-8.370000 dB",))

    def test_the_members_named_are_the_layouts(self):
        # Facts come from the values only, named here in the layout's order:
        # every value must be the member of that name in the keyed object.
        layout = {"lame": velkor._LAME_MEMBERS, "replaygain": velkor._GAIN_MEMBERS,
                  "comments": velkor.Comment._fields, "ape_items": velkor._APE_ITEM_MEMBERS,
                  "id3v1": velkor._ID3V1_MEMBERS, "id3v2": velkor._ID3V2_MEMBERS,
                  "pictures": velkor._PICTURE_MEMBERS, "frames": velkor._FRAME_MEMBERS}

        def same(keyed, values, members, where):
            self.assertEqual(len(values), len(members), where)
            named = [m for m in members if m != "_"]
            self.assertEqual([k for k in keyed if k in named], named, where)
            for name, value in zip(members, values):
                if name == "_":
                    continue
                want, inner = keyed[name], layout.get(name)
                if inner and isinstance(want, dict):
                    same(want, value, inner, f"{where}.{name}")
                elif inner and isinstance(want, list):
                    self.assertEqual(len(value), len(want), f"{where}.{name}")
                    for i, (item, its) in enumerate(zip(value, want)):
                        same(its, item, inner, f"{where}.{name}[{i}]")
                else:
                    self.assertEqual(value, want, f"{where}.{name}")

        lib = _native.library()
        for path in [os.path.join(SAMPLES, "id3v24_utf8_cover.mp3")] + [
                os.path.join(DATA, n) for n in ("01_lame_vbr_mid3v2.mp3", "05_chapters.mp3",
                                                "06_apev2_mp3gain_id3v1.mp3", "08_tag_only.mp3")]:
            handle = ctypes.c_void_p()
            lib.velkor_open(path.encode(), _native.OPEN_WITHOUT_AUDIO, ctypes.byref(handle))
            self.addCleanup(lib.velkor_close, handle)
            texts = []
            for options in (velkor._FACTS_JSON & ~_native.JSON_VALUES_ONLY, velkor._FACTS_JSON):
                text, size = ctypes.POINTER(ctypes.c_char)(), ctypes.c_size_t()
                self.assertEqual(lib.velkor_file_json(handle, None, options, ctypes.byref(text),
                                                      ctypes.byref(size)), _native.OK)
                texts.append(text[:size.value].decode().split("\n"))
            (keyed, keyed_frames), (values, frames) = texts
            same(json.loads(keyed), json.loads(values), velkor._FACTS_MEMBERS, os.path.basename(path))
            same({"frames": json.loads(keyed_frames)}, [json.loads(frames)], ("frames",), os.path.basename(path))

    def test_threads_reading_a_part_at_once_get_the_same_one(self):
        # A part made when first read, read by several threads at the same
        # moment: none may see it empty while another is making it.
        path = os.path.join(DATA, "01_lame_vbr_mid3v2.mp3")
        expected = velkor.read(path)
        self.addCleanup(sys.setswitchinterval, sys.getswitchinterval())
        sys.setswitchinterval(1e-6)  # a switch every few steps
        for _ in range(50):
            facts, barrier, seen = velkor.read(path), threading.Barrier(4), []

            def reader():
                barrier.wait()
                seen.append((facts.id3v2.frames, facts.tags, facts.comments))
            threads = [threading.Thread(target=reader) for _ in range(4)]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
            self.assertEqual(seen, [(expected.id3v2.frames, expected.tags, expected.comments)] * 4)
            self.assertTrue(all(parts[0] is seen[0][0] for parts in seen))

    @unittest.skipUnless(COMMAND, "VELKOR_COMMAND is not set")
    def test_samples_agree_with_the_command(self):
        files = [os.path.join(folder, n) for folder in (SAMPLES, DATA) for n in sorted(os.listdir(folder))
                 if n.endswith(".mp3")]
        for path in files:
            name = os.path.basename(path)
            with self.subTest(name):
                out = subprocess.run([COMMAND, "--json", path], capture_output=True, check=False)
                theirs = json.loads(out.stdout)
                self.assertEqual(theirs["status"], "ok" if theirs["has_audio"] else "no_audio")
                self.assertAgrees(velkor.read(path), theirs, name)

    def test_errors_carry_status_and_path(self):
        tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, tmp)
        zeros = os.path.join(tmp, "zeros.mp3")
        Path(zeros).write_bytes(bytes(5000))
        self.assertRaises(ValueError, velkor.read, zeros + "\0.txt")  # not zeros.mp3
        # The status by the name JSON gives it, the number beside it.
        for path, kind, status, code, words in [
                (zeros + ".not", velkor.NotFoundError, "not_found", _native.NOT_FOUND, "no such file"),
                (tmp, velkor.NotRegularError, "not_regular", _native.NOT_REGULAR, "is a directory"),
                (zeros, velkor.NoAudioError, "no_audio", _native.NO_AUDIO, "no MPEG audio")]:
            with self.subTest(kind.__name__), self.assertRaises(kind) as caught:
                velkor.read(path)
            e = caught.exception
            self.assertEqual((e.status, e.code, e.path), (status, code, path))
            self.assertIn(words, str(e))
            if COMMAND and kind is not velkor.NotRegularError:
                out = subprocess.run([COMMAND, "--json", path], capture_output=True, check=False)
                self.assertEqual(json.loads(out.stdout)["status"], e.status)

    def test_common_facts_and_tags_without_audio(self):
        with open(os.path.join(DATA, "facts.json"), encoding="utf-8") as f:
            peers = json.load(f)
        first = velkor.read(os.path.join(DATA, "01_lame_vbr_mid3v2.mp3"))
        self.assertEqual((first.track, first.track_total, first.date, first.year, first.month, first.day),
                         (1, 9, "2021-04-05", 2021, 4, 5))
        self.assertEqual(first.replaygain, velkor.ReplayGain(track_gain_db=-6.5))  # TXXX over the encoder's
        self.assertEqual(first.musicbrainz, {"album_id": "0b2c5a43-1b9d-4f1e-9a59-5c0a2f1d9e11"})
        self.assertEqual(sorted(first.comments), sorted(
            velkor.Comment(c["lang"], c["desc"] or None, c["text"][0]) for c in peers["01_lame_vbr_mid3v2.mp3"]["id3v2"]
            ["frames"]["COMM"]))
        self.assertEqual(first.lame, velkor.LameSettings("vbr-new", "V3", 470, 70, 16000))
        second = velkor.read(os.path.join(DATA, "02_lame_cbr_eyed3.mp3"))
        self.assertEqual((second.compilation, second.bpm, second.rating, second.play_count, second.lyrics),
                         (True, 120, 196, 42, "Line one of the lyrics\nLine two of the lyrics\n"))
        gain = velkor.read(os.path.join(DATA, "06_apev2_mp3gain_id3v1.mp3"))
        self.assertEqual({i.key: i.values for i in gain.ape_items},
                         {k: (v,) for k, v in peers["06_apev2_mp3gain_id3v1.mp3"]["apev2"].items()})
        self.assertEqual((gain.replaygain.track_gain_db, gain.replaygain.track_peak), (-8.37, 0.476914))

        tag_only = velkor.read(os.path.join(DATA, "08_tag_only.mp3"))
        self.assertEqual((tag_only.has_audio, tag_only.mpeg_version, tag_only.duration_ms, tag_only.id3v2.title,
                          tag_only.track), (False, None, None, "Tag only", 1))
        self.assertTrue(first.has_audio)
        tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, tmp)
        shutil.copy(os.path.join(DATA, "08_tag_only.mp3"), tmp)
        Path(tmp, "zeros.mp3").write_bytes(bytes(3000))
        self.assertEqual([type(item).__name__ for item in velkor.scan(tmp)], ["Facts", "NoAudioError"])

    def test_an_impossible_xing_count_is_an_estimate(self):
        """A Xing count of 2^31 or more is no count: the 20 frames estimated, not exact."""
        tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, tmp)
        frame = b"\xff\xfb\x90\x64" + bytes(413)
        first = bytearray(frame)
        first[36:48] = b"Xing" + (1).to_bytes(4, "big") + (0xFFFFFFF0).to_bytes(4, "big")
        path = os.path.join(tmp, "huge_count.mp3")
        Path(path).write_bytes(bytes(first) + frame * 19)
        facts = velkor.read(path)
        self.assertEqual((facts.frames, facts.frames_exact), (20, False))

    def test_a_cut_file_is_marked_truncated(self):
        """A Xing count of 4,900 frames in a file of 20: cut short, the frames estimated from its bytes."""
        tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, tmp)
        frame = b"\xff\xfb\x90\x64" + bytes(413)
        first = bytearray(frame)
        first[36:48] = b"Xing" + (1).to_bytes(4, "big") + (4900).to_bytes(4, "big")
        cut, whole = os.path.join(tmp, "cut.mp3"), os.path.join(tmp, "whole.mp3")
        Path(cut).write_bytes(bytes(first) + frame * 19)
        first[44:48] = (19).to_bytes(4, "big")
        Path(whole).write_bytes(bytes(first) + frame * 19)
        facts = velkor.read(cut)
        self.assertEqual((facts.truncated, facts.frames_exact, facts.frames), (True, False, 20))
        self.assertEqual((velkor.read(whole).truncated, velkor.read(whole).frames), (False, 19))

    def test_vbr_without_a_header_is_found_and_estimated(self):
        facts = velkor.read(os.path.join(SAMPLES, "..", "tests", "data", "09_vbr_no_xing.mp3"))
        self.assertEqual((facts.bitrate_varies, facts.frames_exact, facts.samples), (True, False, facts.frames * 1152))
        self.assertEqual((facts.gapless_samples, facts.stream_format), (None, None))

    def test_a_picture_read_back(self):
        cover = os.path.join(SAMPLES, "id3v24_utf8_cover.mp3")
        self.assertEqual(velkor.read(cover).id3v2.pictures,
                         (velkor.Picture(3, "image/png", "Cover", 258),))
        data = velkor.read_picture(cover, 0)
        self.assertEqual((len(data), data[:8]), (258, b"\x89PNG\r\n\x1a\n"))
        self.assertRaises(IndexError, velkor.read_picture, cover, 1)

    def test_genre_numbers_are_not_wrapped(self):
        # 2**40 and 2**32 + 8 would reach the library as 0 and 8 if cut to 32 bits.
        for number, name in [(0, "Blues"), (8, "Jazz"), (125, "Dance Hall"), (191, "Psybient"), (192, None),
                             (255, None),
                             (-1, None), (2**31 - 1, None), (-2**31, None)]:
            with self.subTest(number):
                self.assertEqual(velkor.genre_name(number), name)
        for number in (2**40, 2**32 + 8, 2**31, -2**31 - 1):
            with self.subTest(number):
                self.assertRaises(ValueError, velkor.genre_name, number)
        self.assertEqual(velkor.genre_number("jazz"), 8)

    def test_the_library_fills_no_more_than_the_size_field_says(self):
        lib, handle = _native.library(), ctypes.c_void_p()
        path = os.fsencode(os.path.join(SAMPLES, "cbr_id3v11.mp3"))
        self.assertEqual(lib.velkor_open(path, 0, ctypes.byref(handle)), _native.OK)
        self.addCleanup(lib.velkor_close, handle)
        whole = ctypes.sizeof(_native.velkor_file_facts)
        room = bytearray(b"\xa5" * whole)
        facts = _native.velkor_file_facts.from_buffer(room)
        facts.size = known = _native.velkor_file_facts.sampling_rate_hz.offset  # an older caller's
        self.assertEqual(lib.velkor_facts(handle, ctypes.byref(facts)), _native.OK)
        self.assertEqual((facts.layer, room[known:]), (3, b"\xa5" * (whole - known)))


if __name__ == "__main__":
    unittest.main()
