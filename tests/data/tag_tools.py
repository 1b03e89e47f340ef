#!/usr/bin/python3
"""Small tag writers for test data the taggers do not make.

Usage: tag_tools.py COMMAND OUT [IN]
  png OUT                 tiny 8x8 RGB PNG
  chapters OUT            add CHAP/CTOC (mutagen) to OUT in place
  v23_compressed OUT IN   ID3v2.3 tag with a zlib frame (flag 0x80) + IN audio
  v24_compressed OUT IN   ID3v2.4 tag with a zlib frame + data length indicator
  tag_only OUT            ID3v2.4 tag alone, no audio
  v22 OUT IN              ID3v2.2 tag (TT2/TP1/TAL/COM) + IN audio
  v24_ext_flag OUT IN     ID3v2.4 header with the extended-header flag set,
                          frames start at byte 10
  v24_zero_frame OUT IN   ID3v2.4 tag whose first frame has size 0
"""
import struct
import sys
import zlib


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def header(major, flags, size):
    return b"ID3" + bytes([major, 0, flags]) + syncsafe(size)


def frame23(fid, data, flags=0):
    return fid + struct.pack(">IH", len(data), flags) + data


def frame24(fid, data, flags=0):
    return fid + syncsafe(len(data)) + struct.pack(">H", flags) + data


def text_latin1(s):
    return b"\x00" + s.encode("latin-1")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


LONG_COMMENT = ("velkor compressed frame test. " * 20).strip()


def png(out):
    w = h = 8
    rows = []
    for y in range(h):
        row = b"\x00"
        for x in range(w):
            row += bytes([x * 32, y * 32, 128])
        rows.append(row)
    raw = b"".join(rows)

    def chunk(t, d):
        return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    write(out, data)


def chapters(out):
    from mutagen.id3 import ID3, CHAP, CTOC, CTOCFlags, TIT2
    tags = ID3()
    tags.add(TIT2(encoding=3, text=["Chaptered sine"]))
    tags.add(CTOC(element_id="toc", flags=CTOCFlags.TOP_LEVEL | CTOCFlags.ORDERED,
                  child_element_ids=["chp0", "chp1", "chp2"],
                  sub_frames=[TIT2(encoding=3, text=["Table of contents"])]))
    bounds = [(0, 500), (500, 1000), (1000, 1500)]
    for i, (s, e) in enumerate(bounds):
        tags.add(CHAP(element_id="chp%d" % i, start_time=s, end_time=e,
                      start_offset=0xFFFFFFFF, end_offset=0xFFFFFFFF,
                      sub_frames=[TIT2(encoding=3, text=["Chapter %d" % (i + 1)])]))
    tags.save(out, v2_version=4, padding=lambda info: 64)


def v23_compressed(out, audio):
    plain = b"\x00eng\x00" + LONG_COMMENT.encode("latin-1")  # COMM, latin-1, no desc
    comp = zlib.compress(plain, 9)
    frames = frame23(b"TIT2", text_latin1("Compressed v2.3"))
    # v2.3 format flags: 0x0080 compression; 4-byte decompressed size first.
    frames += frame23(b"COMM", struct.pack(">I", len(plain)) + comp, flags=0x0080)
    frames += frame23(b"TPE1", text_latin1("Zlib Artist"))
    write(out, header(3, 0, len(frames)) + frames + read(audio))


def v24_compressed(out, audio):
    plain = b"\x03eng\x00" + LONG_COMMENT.encode("utf-8")
    comp = zlib.compress(plain, 9)
    frames = frame24(b"TIT2", b"\x03Compressed v2.4")
    # v2.4 format flags: 0x0008 compression, 0x0001 data length indicator
    # (4 syncsafe bytes: the decompressed size) as required with compression.
    frames += frame24(b"COMM", syncsafe(len(plain)) + comp, flags=0x0009)
    frames += frame24(b"TPE1", b"\x03Zlib Artist")
    write(out, header(4, 0, len(frames)) + frames + read(audio))


def tag_only(out):
    from mutagen.id3 import ID3, TIT2, TPE1, TALB, TRCK, COMM
    tags = ID3()
    tags.add(TIT2(encoding=3, text=["Tag only"]))
    tags.add(TPE1(encoding=3, text=["Nobody"]))
    tags.add(TALB(encoding=3, text=["No audio"]))
    tags.add(TRCK(encoding=3, text=["1/1"]))
    tags.add(COMM(encoding=3, lang="eng", desc="", text=["An ID3v2 tag with no audio behind it"]))
    write(out, b"")
    tags.save(out, v2_version=4, padding=lambda info: 0)


def v22(out, audio):
    def f22(fid, data):
        return fid + struct.pack(">I", len(data))[1:] + data
    frames = f22(b"TT2", text_latin1("Version 2.2 title"))
    frames += f22(b"TP1", text_latin1("Old Artist"))
    frames += f22(b"TAL", text_latin1("Old Album"))
    frames += f22(b"TRK", text_latin1("4"))
    frames += f22(b"TYE", text_latin1("1999"))
    frames += f22(b"COM", b"\x00eng" + b"short\x00" + "Three-letter frame ids".encode("latin-1"))
    frames += b"\x00" * 32  # padding
    write(out, header(2, 0, len(frames)) + frames + read(audio))


def v24_ext_flag(out, audio):
    frames = frame24(b"TIT2", b"\x03Extended flag, no extended header")
    frames += frame24(b"TPE1", b"\x03Flag Artist")
    frames += b"\x00" * 16
    # Header flag 0x40 (extended header) set, but the frames start at byte 10.
    write(out, header(4, 0x40, len(frames)) + frames + read(audio))


def v24_zero_frame(out, audio):
    frames = frame24(b"TXXX", b"")  # size 0
    frames += frame24(b"TIT2", b"\x03After a zero-size frame")
    frames += frame24(b"TPE1", b"\x03Zero Artist")
    frames += b"\x00" * 16
    write(out, header(4, 0, len(frames)) + frames + read(audio))


if __name__ == "__main__":
    cmd, args = sys.argv[1], sys.argv[2:]
    globals()[cmd](*args)
