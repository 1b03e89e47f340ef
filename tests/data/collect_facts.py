#!/usr/bin/python3
"""Writes facts.json and peer_reports.txt from what the peer tools report
about each .mp3 here: ffprobe (format/streams), mutagen (stream info, Xing/LAME
header, ID3v2 frames without ID3v1 merged in, ID3v1, APEv2), plus the raw
outputs of mutagen-inspect, mid3v2 -l, eyeD3 -v and ffprobe.

frame_walk is this script's own count of consecutive MPEG frames after the
ID3v2 tag(s) (a plain header walk, for cross-checking; not a peer figure).
"""
import glob
import re
import json
import os
import struct
import subprocess

from mutagen.apev2 import APEv2, APENoHeaderError
from mutagen.id3 import ID3, ID3NoHeaderError
from mutagen.id3._id3v1 import ParseID3v1
from mutagen.mp3 import MP3, HeaderNotFoundError
from mutagen.mp3 import MPEGFrame
from mutagen.mp3._util import XingHeader, XingHeaderError, VBRIHeader, VBRIHeaderError

HERE = os.path.dirname(os.path.abspath(__file__))

BITRATES = {
    (1, 1): [0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448],
    (1, 2): [0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384],
    (1, 3): [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
    (2, 1): [0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256],
    (2, 2): [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
}
BITRATES[(2, 3)] = BITRATES[(2, 2)]
RATES = {1: [44100, 48000, 32000], 2: [22050, 24000, 16000], 2.5: [11025, 12000, 8000]}


def unaddress(text):
    return re.sub(r" @ 0x[0-9a-f]+", "", text)


def printable(text):
    return "".join(c if c in "\n\t" or c.isprintable() else "\\x%02x" % ord(c) for c in text)


def run(cmd):
    p = subprocess.run(cmd, capture_output=True, text=True, errors="replace")
    return printable(unaddress(p.stdout + (("\n[stderr]\n" + p.stderr) if p.stderr.strip() else "")))


def id3v2_end(data):
    pos = 0
    while data[pos:pos + 3] == b"ID3" and len(data) >= pos + 10:
        s = data[pos + 6:pos + 10]
        size = (s[0] << 21) | (s[1] << 14) | (s[2] << 7) | s[3]
        footer = 10 if (data[pos + 3] == 4 and data[pos + 5] & 0x10) else 0
        pos += 10 + size + footer
    return pos


def frame_walk(data):
    pos = id3v2_end(data)
    start = pos
    frames, kbps, complete = 0, {}, True
    first = None
    while pos + 4 <= len(data):
        h = struct.unpack(">I", data[pos:pos + 4])[0]
        if (h >> 21) & 0x7FF != 0x7FF:
            break
        v = [2.5, None, 2, 1][(h >> 19) & 3]
        layer = 4 - ((h >> 17) & 3)
        bi, ri, pad = (h >> 12) & 15, (h >> 10) & 3, (h >> 9) & 1
        if v is None or layer == 4 or bi in (0, 15) or ri == 3:
            break
        br = BITRATES[(1 if v == 1 else 2, layer)][bi] * 1000
        sr = RATES[v][ri]
        if layer == 1:
            size = (12 * br // sr + pad) * 4
        elif layer == 3 and v != 1:
            size = 72 * br // sr + pad
        else:
            size = 144 * br // sr + pad
        if first is None:
            first = pos
        if pos + size > len(data):
            complete = False
            frames += 1
            pos = len(data)
            break
        frames += 1
        kbps[br // 1000] = kbps.get(br // 1000, 0) + 1
        pos += size
    return {"first_frame_offset": first, "frames": frames,
            "last_frame_complete": complete, "audio_end": pos,
            "kbps_histogram": {str(k): kbps[k] for k in sorted(kbps)},
            "id3v2_end": start}


def vbr_header(path, first):
    out = {}
    if first is None:
        return out
    with open(path, "rb") as f:
        f.seek(first)
        try:
            fr = MPEGFrame(f)
        except HeaderNotFoundError:
            return out
        out["mpeg_version"] = fr.version
        out["layer"] = fr.layer
        out["channel_mode"] = ["stereo", "joint_stereo", "dual_channel", "mono"][fr.mode]
        out["first_frame_bitrate"] = fr.bitrate
        if fr.layer != 3:
            return out
        f.seek(first + XingHeader.get_offset(fr))
        try:
            x = XingHeader(f)
            xi = {"kind": "Info" if x.is_info else "Xing", "frames": x.frames,
                  "bytes": x.bytes, "vbr_scale": x.vbr_scale,
                  "toc_present": bool(x.toc), "lame_version": x.lame_version_desc}
            if x.lame_header is not None:
                lh = x.lame_header
                xi["lame"] = {"encoder_delay": lh.encoder_delay_start,
                              "encoder_padding": lh.encoder_padding_end,
                              "vbr_method": lh.vbr_method,
                              "lowpass_hz": lh.lowpass_filter,
                              "bitrate_field": lh.bitrate,
                              "music_length": lh.music_length,
                              "track_peak": lh.track_peak,
                              "track_gain": lh.track_gain_adjustment,
                              "mp3_gain": lh.mp3_gain,
                              "encoder_settings": x.get_encoder_settings()}
            # The 36-byte encoder extension after the Xing fields, read by
            # this script whatever its encoder string (mutagen only parses
            # "LAME..." ones).
            f.seek(first + XingHeader.get_offset(fr))
            raw = f.read(120 + 36)
            flags = int.from_bytes(raw[4:8], "big")
            ext = 8 + 4 * bool(flags & 1) + 4 * bool(flags & 2) + 100 * bool(flags & 4) + 4 * bool(flags & 8)
            tag = raw[ext:ext + 36]
            if len(tag) == 36 and tag[:4].isalpha():
                xi["encoder_extension_raw"] = {
                    "offset_in_xing": ext,
                    "encoder": tag[:9].split(b"\x00")[0].decode("latin-1"),
                    "encoder_delay": (tag[21] << 4) | (tag[22] >> 4),
                    "encoder_padding": ((tag[22] & 15) << 8) | tag[23]}
            out["xing"] = xi
        except XingHeaderError:
            out["xing"] = None
        f.seek(first + VBRIHeader.get_offset(fr))
        try:
            vb = VBRIHeader(f)
            out["vbri"] = {"frames": vb.frames, "bytes": vb.bytes}
        except VBRIHeaderError:
            out["vbri"] = None
    return out


def frame_value(fr):
    fid = fr.FrameID
    if fid in ("COMM", "USLT"):
        return {"lang": fr.lang, "desc": fr.desc,
                "text": list(fr.text) if fid == "COMM" else fr.text,
                "encoding": int(fr.encoding)}
    if fid in ("TXXX",):
        return {"desc": fr.desc, "text": list(fr.text), "encoding": int(fr.encoding)}
    if fid == "WXXX":
        return {"desc": fr.desc, "url": fr.url}
    if fid == "POPM":
        return {"email": fr.email, "rating": fr.rating, "count": getattr(fr, "count", None)}
    if fid == "APIC":
        return {"mime": fr.mime, "type": int(fr.type), "desc": fr.desc, "data_bytes": len(fr.data)}
    if fid == "CHAP":
        return {"element_id": fr.element_id, "start_ms": fr.start_time, "end_ms": fr.end_time,
                "start_offset": fr.start_offset, "end_offset": fr.end_offset,
                "sub_frames": {k: frame_value(v) for k, v in sorted(fr.sub_frames.items())}}
    if fid == "CTOC":
        return {"element_id": fr.element_id, "flags": int(fr.flags),
                "child_element_ids": list(fr.child_element_ids),
                "sub_frames": {k: frame_value(v) for k, v in sorted(fr.sub_frames.items())}}
    if fid == "PRIV":
        return {"owner": fr.owner, "data_hex": fr.data.hex()}
    if fid.startswith("W"):
        return {"url": fr.url}
    if hasattr(fr, "text"):
        return [str(t) for t in fr.text]
    return {"repr": repr(fr)}


def raw_frames(path):
    """Frame ids, sizes and flags in file order, walked by this script
    (no unsynchronisation, no extended header)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:3] != b"ID3":
        return None
    ver = data[3]
    s = data[6:10]
    end = 10 + ((s[0] << 21) | (s[1] << 14) | (s[2] << 7) | s[3])
    pos, out = 10, []
    while pos < end:
        if ver == 2:
            fid, size, flags, hl = data[pos:pos + 3], int.from_bytes(data[pos + 3:pos + 6], "big"), 0, 6
        else:
            fid = data[pos:pos + 4]
            b = data[pos + 4:pos + 8]
            size = (b[0] << 21 | b[1] << 14 | b[2] << 7 | b[3]) if ver == 4 else int.from_bytes(b, "big")
            flags, hl = int.from_bytes(data[pos + 8:pos + 10], "big"), 10
        if not fid.strip(b"\x00"):
            out.append({"padding_from": pos})
            break
        out.append({"id": fid.decode("latin-1"), "offset": pos, "size": size, "flags": flags})
        pos += hl + size
    return out


def id3v2_facts(path):
    try:
        t = ID3(path, load_v1=False, translate=False)
    except ID3NoHeaderError:
        return None
    except Exception as e:  # noqa: keep going on a bad tag
        return {"error": str(e)}
    frames = {}
    for key in sorted(t.keys()):
        fr = t[key]
        frames.setdefault(fr.FrameID, []).append(frame_value(fr))
    return {"version": "2.%d.%d" % (t.version[1], t.version[2]),
            "size": t.size, "raw_frames": raw_frames(path), "header_flags": open(path, "rb").read(6)[5],
            "frames": frames}


def id3v1_facts(data):
    if len(data) < 128 or data[-128:-125] != b"TAG":
        return None
    raw = data[-128:]

    def s(b):
        return b.split(b"\x00")[0].decode("latin-1").rstrip(" ")
    out = {"title": s(raw[3:33]), "artist": s(raw[33:63]), "album": s(raw[63:93]),
           "year": s(raw[93:97]), "genre_index": raw[127]}
    if raw[125] == 0 and raw[126] != 0:
        out["version"] = "1.1"
        out["comment"] = s(raw[97:125])
        out["track"] = raw[126]
    else:
        out["version"] = "1.0"
        out["comment"] = s(raw[97:127])
    frames = ParseID3v1(raw)
    out["mutagen_frames"] = {k: frame_value(v) for k, v in sorted(frames.items())} if frames else None
    return out


def apev2_facts(path):
    try:
        t = APEv2(path)
    except APENoHeaderError:
        return None
    return {k: str(v) for k, v in t.items()}


def ffprobe(path):
    p = subprocess.run(["ffprobe", "-v", "error", "-show_format", "-show_streams",
                        "-of", "json", path], capture_output=True, text=True)
    try:
        j = json.loads(p.stdout)
    except ValueError:
        return {"error": unaddress(p.stderr.strip()).replace(HERE + "/", "")}
    out = {}
    if p.stderr.strip():
        out["stderr"] = unaddress(p.stderr.strip()).replace(HERE + "/", "")
    fmt = j.get("format", {})
    out["format_name"] = fmt.get("format_name")
    out["duration_s"] = float(fmt["duration"]) if "duration" in fmt else None
    out["bit_rate"] = int(fmt["bit_rate"]) if "bit_rate" in fmt else None
    out["format_tags"] = fmt.get("tags", {})
    st = [s for s in j.get("streams", []) if s.get("codec_type") == "audio"]
    if st:
        s = st[0]
        out["codec_name"] = s.get("codec_name")
        out["sample_rate"] = int(s["sample_rate"])
        out["channels"] = s.get("channels")
        out["channel_layout"] = s.get("channel_layout")
        out["stream_bit_rate"] = int(s["bit_rate"]) if "bit_rate" in s else None
        out["stream_duration_s"] = float(s["duration"]) if "duration" in s else None
        out["start_time_s"] = float(s["start_time"]) if "start_time" in s else None
        out["stream_tags"] = s.get("tags", {})
    c = subprocess.run(["ffprobe", "-v", "error", "-show_chapters", "-of", "json", path],
                       capture_output=True, text=True)
    try:
        chapters = json.loads(c.stdout).get("chapters", [])
    except ValueError:
        chapters = []
    if chapters:
        out["chapters"] = [{"start_s": float(ch["start_time"]), "end_s": float(ch["end_time"]),
                            "tags": ch.get("tags", {})} for ch in chapters]
    other = [s.get("codec_type") + ":" + s.get("codec_name", "") for s in j.get("streams", [])
             if s.get("codec_type") != "audio"]
    if other:
        out["other_streams"] = other
    return out


def mutagen_info(path):
    try:
        m = MP3(path)
    except HeaderNotFoundError as e:
        return {"error": str(e)}
    i = m.info
    return {"version": i.version, "layer": i.layer, "channels": i.channels,
            "sample_rate": i.sample_rate, "bitrate": i.bitrate,
            "bitrate_mode": str(i.bitrate_mode).split(".")[-1],
            "length_s": round(i.length, 6), "sketchy": i.sketchy,
            "encoder_info": i.encoder_info, "encoder_settings": i.encoder_settings,
            "track_gain": i.track_gain, "track_peak": i.track_peak}


def main():
    facts = {}
    reports = []
    for path in sorted(glob.glob(os.path.join(HERE, "*.mp3"))):
        name = os.path.basename(path)
        with open(path, "rb") as f:
            data = f.read()
        walk = frame_walk(data)
        d = {"size_bytes": len(data), "ffprobe": ffprobe(path),
             "mutagen_info": mutagen_info(path),
             "mpeg": vbr_header(path, walk["first_frame_offset"]),
             "frame_walk": walk,
             "id3v2": id3v2_facts(path), "id3v1": id3v1_facts(data),
             "apev2": apev2_facts(path)}
        ff, mp = d["ffprobe"], d["mpeg"]
        d["summary"] = {"duration_s": ff.get("duration_s"), "sample_rate": ff.get("sample_rate"),
                        "channels": ff.get("channels"), "bit_rate": ff.get("bit_rate"),
                        "mpeg_version": mp.get("mpeg_version"), "layer": mp.get("layer"),
                        "channel_mode": mp.get("channel_mode"),
                        "vbr_header": (mp.get("xing") or {}).get("kind") or ("VBRI" if mp.get("vbri") else None),
                        "id3v2_version": (d["id3v2"] or {}).get("version"),
                        "id3v1_version": (d["id3v1"] or {}).get("version"),
                        "apev2": d["apev2"] is not None}
        facts[name] = d
        reports.append("=" * 72 + "\n" + name + "\n" + "=" * 72)
        for cmd in (["mutagen-inspect", path], ["mid3v2", "-l", path], ["eyeD3", "-v", "--no-color", path],
                    ["ffprobe", "-v", "error", "-show_format", "-show_streams", "-of", "json", path]):
            out = run(cmd).replace(HERE + "/", "")
            reports.append("$ " + " ".join(cmd).replace(HERE + "/", "") + "\n" + out.rstrip() + "\n")
    with open(os.path.join(HERE, "facts.json"), "w") as f:
        json.dump(facts, f, indent=1, ensure_ascii=False, sort_keys=True)
        f.write("\n")
    with open(os.path.join(HERE, "peer_reports.txt"), "w") as f:
        f.write("\n".join(reports))


if __name__ == "__main__":
    main()
