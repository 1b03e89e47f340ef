#!/usr/bin/env python3
"""Writes the byte-built starting inputs of the fuzz targets into fuzz/corpus/.

The inputs are committed; run this again after changing it. Each input is a
small, well-formed (or deliberately half-formed) case that leads the fuzzer
straight into a branch of the decoder it would otherwise need a long time to
find.
"""
import os
import shutil
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")

MPEG1_L3 = bytes([0xFF, 0xFB, 0x90, 0x64])   # 128 kbit/s, 44100 Hz, joint stereo
MPEG2_L3 = bytes([0xFF, 0xF3, 0x90, 0x44])   # 80 kbit/s, 22050 Hz
MPEG25_L3 = bytes([0xFF, 0xE3, 0x80, 0xC0])  # single channel
MPEG1_L1 = bytes([0xFF, 0xFF, 0x90, 0x00])
MPEG1_L2 = bytes([0xFF, 0xFD, 0x90, 0xC0])


def xing(flags, frames, magic=b"Xing"):
    return magic + struct.pack(">II", flags, frames)


def id3v1(title=b"", artist=b"", album=b"", year=b"", comment=b"", track=0, genre=255):
    block = bytearray(128)
    block[0:3] = b"TAG"
    block[3:3 + len(title)] = title[:30]
    block[33:33 + len(artist)] = artist[:30]
    block[63:63 + len(album)] = album[:30]
    block[93:93 + len(year)] = year[:4]
    width = 28 if track else 30
    block[97:97 + min(len(comment), width)] = comment[:width]
    block[126] = track
    block[127] = genre
    return bytes(block)


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def id3v2(frames, version=3, flags=0, padding=16, size=None):
    body = b"".join(frames) + bytes(padding)
    return b"ID3" + bytes([version, 0, flags]) + syncsafe(len(body) if size is None else size) + body


def frame23(fid, body):
    return fid + struct.pack(">I", len(body)) + b"\0\0" + body


def frame22(fid, body):
    return fid + struct.pack(">I", len(body))[1:] + body


def text(s, encoding=0):
    return bytes([encoding]) + s


def utf16(s, bom=b"\xff\xfe"):
    codec = "utf-16-le" if bom == b"\xff\xfe" else "utf-16-be"
    return bytes([1]) + bom + s.encode(codec) + b"\0\0"


def unsynchronise(data):
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def frame_header_inputs():
    return {
        "mpeg1_xing": MPEG1_L3 + xing(0x0F, 0x1234),
        "mpeg2_xing_no_count": MPEG2_L3 + xing(0x0E, 0),
        "mpeg25_xing_negative": MPEG25_L3 + xing(0x01, 0xFFFFFFFF),
        "layer1_cut_xing": MPEG1_L1 + b"Xing\0\0",
        "layer2_info": MPEG1_L2 + xing(0x0F, 99, magic=b"Info"),
        "reserved_bits": bytes([0xFF, 0xE9, 0xFC, 0x02]) + b"xing",
        "jukebox_marker": MPEG1_L3 + b"RealJukebox\0" + MPEG2_L3 + b"x" * 20 + b"RealJukebox",
        "xing_lame": MPEG1_L3 + bytes(32) + xing(0x0F, 500) + bytes(108) + b"LAME3.100" + bytes(12)
                     + bytes([0x24, 0x03, 0xA8]) + bytes(12),
        "info_partial": MPEG1_L3 + bytes(32) + xing(0x01, 7, magic=b"Info") + b"Lavf58.76" + bytes(15),
        "vbri": MPEG1_L3 + bytes(32) + b"VBRI\0\x01\x04\x40\0\x4b" + struct.pack(">II", 100000, 321),
    }


def id3v1_inputs():
    return {
        "v10": id3v1(b"Title", b"Artist", b"Album", b"1999", b"A comment of thirty characters", 0, 17),
        "v11": id3v1(b"Title  with  spaces", b"", b"Al\0bum", b"-123", b"Comment", 7, 125),
        "all_ff": b"\xff" * 128,
        "tag_then_ff": b"TAG" + b"\xff" * 125,
        "lower_case": b"tag" + bytes(125),
        "short": id3v1(b"Title")[:127],
        "year_odd": id3v1(year=b"12 4", comment=b"x" * 28 + b"\0\x01", genre=126),
    }


def frame24(fid, body, flags=0):
    return fid + syncsafe(len(body)) + struct.pack(">H", flags) + body


# Version 2.4: UTF-8 and several values, a frame unsynchronised with a data
# length indicator, a picture, the recording time, and a footer.
V24_FRAMES = b"".join([
    frame24(b"TIT2", b"\x03T\xc3\xadtulo\0"),
    frame24(b"TPE1", b"\x03One\0Two\0"),
    frame24(b"TPE2", b"\x02\0A\0l\0l"),
    frame24(b"TDRC", b"\x032004-05-01"),
    frame24(b"TCON", b"\x0017\0(18)Tech"),
    frame24(b"TPOS", struct.pack(">I", 4) + unsynchronise(b"\x001/2"), flags=0x0003),
    frame24(b"APIC", b"\x03image/png\0\x03Cover\0\x89PNG\xff\xe0" + bytes(20)),
    frame24(b"COMM", b"\x03eng\0A comment"),
]) + bytes(8)


def id3v2_inputs():
    v23 = [frame23(b"TIT2", text(b"A title")), frame23(b"TPE1", text(b"An artist")),
           frame23(b"TALB", text(b"An album")), frame23(b"TRCK", text(b"7/12")),
           frame23(b"TYER", text(b"2001")), frame23(b"TCON", text(b"Rock")),
           frame23(b"COMM", text(b"eng\0A comment"))]
    v22 = [frame22(b"TT2", text(b"A title")), frame22(b"TP1", text(b"An artist")),
           frame22(b"TAL", text(b"An album")), frame22(b"TRK", text(b"3")),
           frame22(b"TYE", text(b"1987")), frame22(b"TCO", text(b"(17)")),
           frame22(b"COM", text(b"engdesc\0text"))]
    ext = struct.pack(">IHI", 6, 0, 0)
    return {
        "v23": id3v2(v23),
        "v22": id3v2(v22, version=2),
        "v23_utf16": id3v2([frame23(b"TIT2", utf16("Titel \u00e4\u20ac")),
                            frame23(b"TPE1", utf16("Big endian", bom=b"\xfe\xff")),
                            frame23(b"COMM", b"\x01eng" + utf16("d")[1:] + utf16("c")[1:])]),
        "v23_unsync": b"ID3\x03\x00\x80" + syncsafe(64) +
                      unsynchronise(frame23(b"TIT2", text(b"\xff\xe0\xff")) + bytes(32)),
        "v23_extended": b"ID3\x03\x00\x40" + syncsafe(80) + ext + b"".join(v23[:2]) + bytes(16),
        "v23_two_comments": id3v2([frame23(b"COMM", text(b"engiTunNORM\0 000")),
                                   frame23(b"COMM", text(b"eng\0the user's")),
                                   frame23(b"COMM", text(b"engother\0later"))]),
        "v23_size_past_end": id3v2([frame23(b"TIT2", text(b"ok")),
                                    b"TPE1" + struct.pack(">I", 0x7FFFFFF0) + b"\0\0x"]),
        "v23_top_bit_size": id3v2([b"TIT2" + struct.pack(">I", 0x80000005) + b"\0\0\0abcd"]),
        "v24": id3v2(v23, version=4),
        "v24_full": b"ID3\x04\x00\x10" + syncsafe(len(V24_FRAMES)) + V24_FRAMES
                    + b"3DI\x04\x00\x10" + syncsafe(len(V24_FRAMES)),
        "v23_unknown_between": id3v2([v23[0], frame23(b"PRIV", b"owner\0" + bytes(40)), v23[1]]),
    }


def frames(header, count, size=417):
    return (header + bytes(size - 4)) * count


def file_inputs():
    v23 = id3v2([frame23(b"TIT2", text(b"Title")), frame23(b"TRCK", text(b"4"))])
    tag = id3v1(b"Title", b"Artist", b"Album", b"2003", b"Comment", 4, 17)
    vbr = bytearray(frames(MPEG1_L3, 3))
    vbr[36:48] = xing(0x0F, 3)
    mono2 = bytearray(frames(bytes([0xFF, 0xF3, 0x90, 0xC4]), 3, 208))
    mono2[13:25] = xing(0x01, 3)
    jukebox = bytearray(frames(MPEG1_L3, 6))
    jukebox[5:16] = b"RealJukebox"
    cut = MPEG1_L3 + bytes(32) + b"Xing\0\0"
    return {
        "cbr_tags": v23 + frames(MPEG1_L3, 4) + tag,
        "vbr_xing": bytes(vbr) + id3v1(b"V", track=0, genre=255),
        "mpeg2_mono_xing": bytes(mono2),
        "mpeg25": frames(MPEG25_L3, 3, 300),
        "layer1_layer2": frames(MPEG1_L1, 2, 384) + frames(MPEG1_L2, 2),
        "jukebox": bytes(jukebox),
        "id3v2_footer": b"ID3\x04\x00\x10" + syncsafe(20) + bytes(20) + b"3DI" + bytes(7)
                        + frames(MPEG1_L3, 2),
        "id3v2_past_end": b"ID3\x03\x00\x00" + syncsafe(5000) + bytes(30) + frames(MPEG1_L3, 2),
        "xing_cut_short": cut,
        "text_with_ff_fe": id3v2([frame23(b"TIT2", utf16("Title"))]) + frames(MPEG2_L3, 2, 200),
    }


def ape_tag(items, count=None, header=True):
    body = b"".join(struct.pack("<II", len(value), flags) + key + b"\0" + value
                    for key, value, flags in items)
    count = len(items) if count is None else count

    def block(flags):
        return b"APETAGEX" + struct.pack("<IIII", 2000, len(body) + 32, count, flags) + bytes(8)
    return (block(0xA0000000) if header else b"") + body + block(0x80000000 if header else 0)


def lyrics3v2(fields):
    body = b"LYRICSBEGIN" + fields
    return body + b"%06d" % len(body) + b"LYRICS200"


def trailing_inputs():
    items = [(b"Title", b"A\0B", 0), (b"Cover Art (Front)", b"\x89PNG", 2), (b"Link", b"x", 5)]
    audio = frames(MPEG1_L3, 1, 200)
    return {
        "ape_id3v1": audio + ape_tag(items) + id3v1(title=b"T"),
        "ape_footer_only": audio + ape_tag(items, header=False),
        "ape_count_max": audio + ape_tag(items, count=0xFFFFFFFF),
        "lyrics3v2_ape_id3v1": audio + lyrics3v2(b"IND0000210LYR00002hi") + ape_tag(items) + id3v1(),
        "lyrics3v1": audio + b"LYRICSBEGINla laLYRICSEND" + id3v1(),
    }


def riff_chunk(cid, body):
    return cid + struct.pack("<I", len(body)) + body + bytes(len(body) % 2)


def format_inputs():
    mpeg_fmt = riff_chunk(b"fmt ", struct.pack("<HHII", 0x55, 2, 44100, 16000))
    data = riff_chunk(b"data", frames(MPEG1_L3, 1, 100))
    return {
        "wave_mpeg": b"RIFF" + bytes(4) + b"WAVE" + riff_chunk(b"LIST", b"odd") + mpeg_fmt + data,
        "wave_pcm": b"RIFF" + bytes(4) + b"WAVE" + riff_chunk(b"fmt ", struct.pack("<H", 1)) + data,
        "rmp3": b"RIFF" + bytes(4) + b"RMP3" + data,
        "aifc": b"FORM" + bytes(4) + b"AIFC",
        "mp4": bytes(4) + b"ftypM4A ",
        "flac": b"fLaC" + bytes(8),
    }


def inflate_inputs():
    text = b"\x03" + b"Title of the song " * 20
    packed = zlib.compress(text)
    return {
        "v23_exact": struct.pack(">I", len(text)) + packed,
        "v23_declared_small": struct.pack(">I", 10) + packed,
        "v23_cut": struct.pack(">I", len(text)) + packed[:-6],
    }


def apic23(mime, kind, description, data):
    return frame23(b"APIC", b"\0" + mime + b"\0" + bytes([kind]) + description + b"\0" + data)


def interface_inputs():
    cover = id3v2([frame23(b"TIT2", utf16("Title")), frame23(b"TCON", text(b"(17)")),
                   frame23(b"COMM", b"\0eng\0Comment"),
                   apic23(b"image/jpeg", 3, b"front", b"\xff\xd8\xff\xe0" + bytes(60))])
    # The common facts' sources: TXXX, RVA2, POPM, UFID, the date, a
    # compressed and an encrypted cover, APEv2 items of each kind.
    packed_cover = b"\0image/png\0\x03c\0" + bytes(range(256)) * 4
    facts = id3v2([
        frame24(b"TXXX", b"\x03REPLAYGAIN_TRACK_GAIN\0-6.50 dB"),
        frame24(b"RVA2", b"album\0\x01\xfa\x00\x10\x40\x00"),
        frame24(b"TRCK", b"\x033/12"), frame24(b"TDRC", b"\x032004-05-01T12:30"),
        frame24(b"POPM", b"a@b\0\xc4\0\0\0\x2a"), frame24(b"UFID", b"http://musicbrainz.org\0id"),
        frame24(b"APIC", syncsafe(len(packed_cover)) + zlib.compress(packed_cover), flags=0x0009),
        frame24(b"APIC", b"\x01" + packed_cover[:32], flags=0x0004),
    ], version=4)
    items = [(b"REPLAYGAIN_ALBUM_PEAK", b"0.9", 0), (b"Artists", b"A\0B", 0), (b"Cover Art (Front)", b"\x89PNG", 2),
             (b"Link", b"http://x", 4)]
    return dict(file_inputs(), **{
        "cover_tag": cover + frames(MPEG1_L3, 3) + id3v1(b"Title", track=3, genre=17),
        "common_facts": facts + frames(MPEG1_L3, 3) + ape_tag(items) + id3v1(b"Title", year=b"1999"),
        "tags_without_audio": facts + ape_tag(items) + id3v1(b"Title"),
    })


def frame_count_inputs():
    varying = frames(MPEG1_L3, 2) + frames(bytes([0xFF, 0xFB, 0xA0, 0x64]), 2, 522)
    return {
        "cbr": b"\x00" + frames(MPEG1_L3, 5),
        "varying_bitrate": b"\x07" + varying + id3v1(b"T"),
        "junk_between": b"\x20" + frames(MPEG2_L3, 3, 200) + b"junk" + frames(MPEG2_L3, 2, 200),
        "layer1": b"\x03" + frames(MPEG1_L1, 4, 384),
    }


def lame_tag(delay=576, padding=1000):
    # Name, revision, lowpass, replay gain, flags, bitrate, then 12 + 12
    # bits of delay and padding 21 bytes into the tag.
    tag = bytearray(36)
    tag[0:9] = b"LAME3.100"
    both = delay << 12 | padding
    tag[21:24] = bytes([both >> 16, (both >> 8) & 0xFF, both & 0xFF])
    return bytes(tag)


def vbr_frame_inputs():
    def first_frame(header, side, fields, size=417):
        frame = bytearray(header + bytes(side) + fields)
        return bytes(frame + bytes(max(0, size - len(frame))))
    toc = bytes(range(100))
    return {
        "xing_all_fields": first_frame(MPEG1_L3, 32, xing(0x0F, 1000) + struct.pack(">I", 400000) + toc
                                       + struct.pack(">I", 78) + lame_tag()),
        "info_frames_only": first_frame(MPEG1_L3, 32, xing(0x01, 20, b"Info") + lame_tag(1105, 4095)),
        "xing_mono_mpeg2": first_frame(bytes([0xFF, 0xF3, 0x90, 0xC4]), 9, xing(0x03, 7) + bytes(4)
                                       + b"Lavf58.29" + bytes(27), 208),
        "vbri": first_frame(MPEG1_L3, 32, b"VBRI" + struct.pack(">HHHII", 1, 0, 75, 400000, 1000)),
        "xing_unknown_encoder": first_frame(MPEG1_L3, 32, xing(0x05, 9) + toc + b"Other 1.0"),
        "lame_settings": first_frame(MPEG1_L3, 32, xing(0x0F, 1000) + struct.pack(">I", 400000) + toc
                                     + struct.pack(">I", 78) + lame_settings()),
    }


def lame_settings():
    # Method vbr-new, lowpass 16 kHz, peak 0.5, radio gain -6.5 dB,
    # audiophile gain +1.2 dB, preset V2.
    tag = bytearray(lame_tag())
    tag[9], tag[10] = 0x24, 160
    tag[11:15] = struct.pack(">I", 1 << 22)
    tag[15:17] = struct.pack(">H", 1 << 13 | 3 << 10 | 1 << 9 | 65)
    tag[17:19] = struct.pack(">H", 2 << 13 | 3 << 10 | 12)
    tag[26:28] = struct.pack(">H", 480)
    return bytes(tag)


def write_edit(fields, year=2004, track=7, genre=17, texts=(b"Title", b"Artist", b"Album", b"Comment")):
    edit = bytes([fields]) + struct.pack(">H", year) + bytes([track, genre])
    for t in texts:
        edit += bytes([len(t)]) + t
    return edit


def id3v1_write_inputs():
    audio = frames(MPEG1_L3, 2)
    return {
        "append_all": write_edit(0x7F) + audio,
        "replace_some": write_edit(0x15, track=0) + audio + id3v1(b"Old", b"Old artist", comment=b"c" * 30),
        "replace_track_only": write_edit(0x20, texts=(b"", b"", b"", b"")) + audio
                              + id3v1(b"Old", comment=b"long comment of thirty bytes!!"),
        "utf8_texts": write_edit(0x1F, texts=("Caf\u00e9 \u2013 \U0001F600".encode(), b"A  ", b"\xc3", b"x" * 40))
                      + audio,
        "out_of_range": bytes([0xFF, 0x01]) + struct.pack(">H", 1) + bytes([1, 1, 0, 5]) + audio,
        "empty_file": write_edit(0x01, texts=(b"T", b"", b"", b"")),
    }


def scan_inputs():
    audio = frames(MPEG1_L3, 3)
    def entry(kind, parent, name, data=b""):
        out = bytes([kind, parent, name])
        if kind % 5 in (0, 4):
            out += struct.pack(">H", len(data)) + data
        return out
    return {
        # A file, a folder with a file in it, a link to the first file.
        "folder_file_link": bytes([0x00, 0, 4]) + entry(0, 0, 0, audio) + entry(1, 0, 1)
                            + entry(0, 1, 2, b"not audio") + entry(2, 0, 3) + b"\x00",
        "paths_only_missing": bytes([0x09, 0, 3]) + entry(0, 0, 8, audio) + entry(3, 0, 0) + entry(0, 0, 40, audio),
        "threads_count_stop": bytes([0x16, 2, 5]) + entry(1, 0, 0) + entry(1, 1, 1) + entry(0, 2, 2, audio)
                              + entry(0, 1, 3, audio) + entry(2, 0, 16) + b"\x02",
    }


def write(target, inputs):
    folder = os.path.join(CORPUS, target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in inputs.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    write("fuzz_frame_header", frame_header_inputs())
    write("fuzz_id3v1", id3v1_inputs())
    write("fuzz_id3v2", id3v2_inputs())
    write("fuzz_id3v2_edit", id3v2_inputs())
    write("fuzz_file", file_inputs())
    write("fuzz_trailing_tags", trailing_inputs())
    write("fuzz_format_signature", format_inputs())
    write("fuzz_frame_inflate", inflate_inputs())
    write("fuzz_interface", interface_inputs())
    write("fuzz_frame_count", frame_count_inputs())
    write("fuzz_vbr_frame", vbr_frame_inputs())
    write("fuzz_id3v1_write", id3v1_write_inputs())
    write("fuzz_scan", scan_inputs())


if __name__ == "__main__":
    main()
