#!/usr/bin/env python3
"""Saves under failures, kills, signals and a second writer, as one table.

Every case is a file (an ID3v2 tag of 0 B to 16 MiB, with or without APEv2
and ID3v1 tags) and a `velkor tag` change of it, written in place or as a
new file. Each run is judged the same way: the file must be the old one,
the new one, or (for a change in place, killed between its two writes) the
new ID3v2 tag with the old bytes behind it; never anything else. So every
tag is whole, old or new, and the audio and other tags keep their bytes.

- faults: each file call of the save failed in turn (error, short), and the
  process killed before each call; each call of a read failed in turn (the fault library beside the clone,
  ../shared/tools/faults.c; skipped when it is not there);
- kills: SIGKILL at random moments;
- signals: SIGTERM, SIGHUP and SIGINT during a save leave no temporary file;
- writers: two saves of one file at once, in place and replacing: no update
  lost while both report success;
- a full disk: a change in place still succeeds, a replacement fails whole;
- keeps: a symbolic link, an ACL and extended attributes, a sparse file,
  --preserve-times and a 255-byte name.

usage: save_harness.py BUILD_DIR [C_COMPILER]
SAVE_HARNESS_FULL=1 runs the full counts (>= 1,000 kills, 1,000 rounds);
the default run is short. Prints the counts and exits 1 on any damage.
"""
import json
import os
import random
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1])
CC = sys.argv[2] if len(sys.argv) > 2 else "cc"
SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
VELKOR = os.path.join(BUILD, "velkor")
FULL = os.environ.get("SAVE_HARNESS_FULL") == "1"
KILLS_PER_CASE = int(os.environ.get("SAVE_HARNESS_KILLS", "60" if FULL else "2"))
ROUNDS = int(os.environ.get("SAVE_HARNESS_ROUNDS", "500" if FULL else "6"))
SIGNAL_RUNS = int(os.environ.get("SAVE_HARNESS_SIGNALS", "30" if FULL else "1"))
SIZES = [0, 4 << 10, 256 << 10, 1 << 20, 16 << 20]

failures = []
counts = {"kills": 0, "damaged": 0, "faults": 0, "rounds": 0, "lost": 0, "signals": 0,
          "temporaries_left": 0}


def fail(message):
    failures.append(message)
    print("DAMAGE: " + message, flush=True)


# --- files -----------------------------------------------------------------

def audio_frames():
    data = open(os.path.join(SOURCE, "samples", "cbr_id3v11.mp3"), "rb").read()
    return data[:-128] if data[-128:-125] == b"TAG" else data


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def frame(fid, body):
    return fid.encode() + struct.pack(">I", len(body)) + b"\0\0" + body


def id3v2(size):
    """An ID3v2.3 tag of `size` bytes (0: none): title, artist, a PNG
    picture filling the room, 64 bytes of padding."""
    if size == 0:
        return b""
    frames = frame("TIT2", b"\0Title 01") + frame("TPE1", b"\0Artist")
    room = size - 10 - len(frames) - 64
    picture_head = b"\0image/png\0\x03\0"
    fill = room - 10 - len(picture_head)
    if fill > 8:
        frames += frame("APIC", picture_head + b"\x89PNG\r\n\x1a\n" + bytes(random.Random(size).getrandbits(8)
                                                                          for _ in range(min(fill - 8, 4096)))
                        + b"\0" * max(0, fill - 8 - 4096))
    body = frames + b"\0" * (size - 10 - len(frames))
    return b"ID3\x03\x00\x00" + syncsafe(len(body)) + body


def apev2():
    items = b""
    for key, value in ((b"Title", b"Ape title"), (b"Album", b"Ape album")):
        items += struct.pack("<II", len(value), 0) + key + b"\0" + value
    size = len(items) + 32
    head = b"APETAGEX" + struct.pack("<IIII", 2000, size, 2, 0xA0000000) + b"\0" * 8
    foot = b"APETAGEX" + struct.pack("<IIII", 2000, size, 2, 0x80000000) + b"\0" * 8
    return head + items + foot


def id3v1():
    # The title ends in a space that an unchanged field must keep.
    field = lambda text, n: text + b" " * (n - len(text))
    return (b"TAG" + field(b"V1 title ", 30) + field(b"V1 artist", 30) + field(b"V1 album", 30) + b"2001" +
            field(b"V1 comment", 28) + b"\0\x05" + b"\x0c")


def make_file(size, ape, v1):
    return id3v2(size) + audio_frames() + (apev2() if ape else b"") + (id3v1() if v1 else b"")


def head_size(data):
    if data[:3] != b"ID3":
        return 0
    s = data[6:10]
    return 10 + ((s[0] << 21) | (s[1] << 14) | (s[2] << 7) | s[3])


# --- runs ------------------------------------------------------------------

def env(extra=None):
    e = dict(os.environ, LD_LIBRARY_PATH=BUILD)
    # A sanitized velkor's runtime would insist on coming before the fault library.
    e["ASAN_OPTIONS"] = e.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0"
    e.update(extra or {})
    return e


def command(way, size, path, n):
    """The change: in place (a title of the same length) or rewritten (a
    frame larger than any padding); without an ID3v2 tag the in-place change
    is the ID3v1 tag alone."""
    title = "Title %02d" % (n % 100)
    if way == "inplace" and size == 0:
        return [VELKOR, "tag", "--id3v1=only", "-t", title, path]
    args = [VELKOR, "tag", "-t", title, path]
    if way == "rewrite":
        args[2:2] = ["--set", "TXXX:GROW=" + "g" * (6000 + n)]
    return args


def accepted(old, new):
    states = {"old": old, "new": new}
    h_old, h_new = head_size(old), head_size(new)
    if h_old == h_new and len(old) == len(new):
        states["mixed"] = new[:h_new] + old[h_new:]
    return states


def judge(path, states, label):
    data = open(path, "rb").read()
    for name, state in states.items():
        if data == state:
            return name
    counts["damaged"] += 1
    fail("%s: the file is none of old, new, new ID3v2 with the old rest (%d bytes)" % (label, len(data)))
    return None


def temporaries(folder):
    return [n for n in os.listdir(folder) if ".velkor-" in n]


def reference(folder, old, args_of):
    path = os.path.join(folder, "target.mp3")
    open(path, "wb").write(old)
    start = time.monotonic()
    done = subprocess.run(args_of(path), env=env(), capture_output=True)
    took = time.monotonic() - start
    if done.returncode != 0:
        fail("reference run failed: %s" % done.stderr.decode(errors="replace"))
    return open(path, "rb").read(), took, done.stdout.decode()


def cases():
    for size in SIZES:
        for ape in (False, True):
            for v1 in (False, True):
                for way in ("inplace", "rewrite"):
                    yield size, ape, v1, way


# --- faults ----------------------------------------------------------------

def build_faults(folder):
    # ../shared beside the clone (a worktree sits one folder deeper).
    places = [os.environ.get("SAVE_HARNESS_FAULTS_C", ""),
              os.path.join(SOURCE, "..", "shared", "tools", "faults.c"),
              os.path.join(SOURCE, "..", "..", "shared", "tools", "faults.c")]
    source = next((p for p in places if p and os.path.exists(p)), None)
    if source is None:
        print("(no ../shared/tools/faults.c beside the clone: the fault runs are skipped)")
        return None
    out = os.path.join(folder, "faults.so")
    subprocess.run([CC, "-O2", "-shared", "-fPIC", "-o", out, source, "-ldl"], check=True)
    return out


def fault_case(folder, faults, size, ape, v1, way):
    label = "faults size=%d ape=%s v1=%s %s" % (size, ape, v1, way)
    old = make_file(size, ape, v1)
    args_of = lambda p: command(way, size, p, 2)
    new, _, _ = reference(folder, old, args_of)
    states = accepted(old, new)
    path = os.path.join(folder, "target.mp3")
    log = os.path.join(folder, "calls.txt")
    open(path, "wb").write(old)
    if os.path.exists(log):
        os.unlink(log)
    subprocess.run(args_of(path), env=env({"LD_PRELOAD": faults, "FAULT_MATCH": "target.mp3",
                                           "FAULT_LOG": log}), capture_output=True)
    calls = [line.split()[0] for line in open(log)] if os.path.exists(log) else []
    for mode in ("error", "short", "kill") if FULL else ("error", "kill"):
        for k, call in enumerate(calls, 1):
            open(path, "wb").write(old)
            for t in temporaries(folder):
                os.unlink(os.path.join(folder, t))
            done = subprocess.run(args_of(path), env=env({"LD_PRELOAD": faults, "FAULT_MATCH": "target.mp3",
                                                          "FAULT_AT": str(k), "FAULT_MODE": mode}),
                                  capture_output=True)
            counts["faults"] += 1
            what = "%s, %s %s (call %d) failed" % (label, mode, call, k)
            state = judge(path, states, what)
            if mode == "kill":
                continue
            if temporaries(folder):
                fail(what + ": a temporary file is left")
            if state == "old" and done.returncode == 0 and old != new:
                fail(what + ": the file is unchanged, yet the command succeeded")
            if state == "new" and done.returncode != 0 and call not in ("fsync", "fdatasync", "syncfs", "close"):
                fail(what + ": the file was written, yet the command failed: " + done.stderr.decode(errors="replace"))
            if state == "mixed":
                fail(what + ": a failure left the new ID3v2 tag with the old ID3v1 tag")
    return len(calls)


def read_faults(folder, faults):
    """Reading: a failed read is a failure, never other facts."""
    path = os.path.join(folder, "target.mp3")
    shutil.copy(os.path.join(SOURCE, "samples", "id3v24_utf8_cover.mp3"), path)
    log = os.path.join(folder, "calls.txt")
    if os.path.exists(log):
        os.unlink(log)
    run = lambda extra: subprocess.run([VELKOR, "--json", path], capture_output=True,
                                       env=env(dict(extra, LD_PRELOAD=faults, FAULT_MATCH="target.mp3")))
    whole = run({"FAULT_LOG": log}).stdout
    calls = [line.split()[0] for line in open(log)]
    for k, call in enumerate(calls, 1):
        done = run({"FAULT_AT": str(k)})
        counts["faults"] += 1
        if done.returncode == 0 and done.stdout != whole:
            fail("read, %s (call %d) failed: other facts, yet exit 0" % (call, k))
        if done.returncode != 0 and not any(b'"status":"%s"' % s in done.stdout
                                            for s in (b"read", b"not_found", b"not_permitted")):
            fail("read, %s (call %d) failed: exit %d with %r" % (call, k, done.returncode, done.stdout[:200]))


# --- kills -----------------------------------------------------------------

def kill_case(folder, size, ape, v1, way, runs):
    label = "kill size=%d ape=%s v1=%s %s" % (size, ape, v1, way)
    old = make_file(size, ape, v1)
    args_of = lambda p: command(way, size, p, 3)
    new, took, said = reference(folder, old, args_of)
    expected_way = "in place" if way == "inplace" and size > 0 else None
    if expected_way and "written in place" not in said:
        fail("%s: expected a change in place, got: %s" % (label, said.strip()))
    states = accepted(old, new)
    path = os.path.join(folder, "target.mp3")
    for _ in range(runs):
        open(path, "wb").write(old)
        process = subprocess.Popen(args_of(path), env=env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(random.uniform(0, took * 1.2))
        process.send_signal(signal.SIGKILL)
        process.wait()
        counts["kills"] += 1
        judge(path, states, label)
        for t in temporaries(folder):
            counts["temporaries_left"] += 1
            os.unlink(os.path.join(folder, t))


# --- signals ---------------------------------------------------------------

def signal_runs(folder):
    old = make_file(16 << 20, True, True)
    args_of = lambda p: command("rewrite", 16 << 20, p, 4)
    new, took, _ = reference(folder, old, args_of)
    states = accepted(old, new)
    path = os.path.join(folder, "target.mp3")
    for number in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        for _ in range(SIGNAL_RUNS):
            open(path, "wb").write(old)
            process = subprocess.Popen(args_of(path), env=env(), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            time.sleep(random.uniform(0, took))
            process.send_signal(number)
            process.communicate()
            counts["signals"] += 1
            label = "signal %d" % number
            state = judge(path, states, label)
            if temporaries(folder):
                fail(label + ": a temporary file is left")
                for t in temporaries(folder):
                    os.unlink(os.path.join(folder, t))
            if process.returncode == 0 and state != "new":
                fail(label + ": exit 0 without the new file")
            if process.returncode not in (0, -number):
                fail(label + ": ended with status %d" % process.returncode)


# --- two writers -------------------------------------------------------------

def json_of(path):
    out = subprocess.run([VELKOR, "--json", path], env=env(), capture_output=True).stdout
    return json.loads(out)


def text_of(facts, name):
    value = (facts.get("id3v2") or {}).get(name)
    if isinstance(value, dict) and value.get("items"):
        return value["items"][0].get("text")
    if isinstance(value, list) and value:
        return value[0].get("text") if isinstance(value[0], dict) else value[0]
    return value


def writers(folder):
    path = os.path.join(folder, "shared.mp3")
    start = make_file(4 << 10, False, True)
    for replacing in (False, True):
        for r in range(ROUNDS):
            if replacing or r == 0:
                open(path, "wb").write(start)
            a = [VELKOR, "tag", "--artist", "A%d" % r, path]
            b = [VELKOR, "tag", "--album", "B%d" % r, path]
            if replacing:
                a[2:2] = ["--set", "TXXX:PADA=" + "a" * 6000]
                b[2:2] = ["--set", "TXXX:PADB=" + "b" * 6000]
            pa = subprocess.Popen(a, env=env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            pb = subprocess.Popen(b, env=env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if pa.wait() != 0 or pb.wait() != 0:
                continue
            counts["rounds"] += 1
            facts = json_of(path)
            if text_of(facts, "artist") != "A%d" % r or text_of(facts, "album") != "B%d" % r:
                counts["lost"] += 1
                fail("writers (%s), round %d: artist %r, album %r" % (
                    "replacing" if replacing else "in place", r, text_of(facts, "artist"), text_of(facts, "album")))


# --- what a save keeps -------------------------------------------------------

def acl_value(uid):
    """An access ACL: owner rw, user uid r, group r, mask rw, others none."""
    entries = [(0x01, 6, 0xFFFFFFFF), (0x02, 4, uid), (0x04, 4, 0xFFFFFFFF), (0x10, 6, 0xFFFFFFFF),
               (0x20, 0, 0xFFFFFFFF)]
    return struct.pack("<I", 2) + b"".join(struct.pack("<HHI", *e) for e in entries)


def keeps(folder):
    forced = lambda p: [VELKOR, "tag", "--set", "TXXX:GROW=" + "k" * 6000, "-t", "Kept", p]
    # A symbolic link: the file it names is saved; the link stays.
    target = os.path.join(folder, "real.mp3")
    link = os.path.join(folder, "link.mp3")
    open(target, "wb").write(make_file(4 << 10, False, True))
    os.symlink("real.mp3", link)
    subprocess.run(forced(link), env=env(), capture_output=True)
    if not os.path.islink(link) or text_of(json_of(target), "title") != "Kept":
        fail("symlink: the link was replaced or the file it names not saved")
    # ACL and extended attributes, mode not widened.
    path = os.path.join(folder, "acl.mp3")
    open(path, "wb").write(make_file(4 << 10, False, True))
    os.chmod(path, 0o640)
    attrs = {}
    try:
        os.setxattr(path, "user.velkor", b"kept")
        attrs["user.velkor"] = b"kept"
        os.setxattr(path, "system.posix_acl_access", acl_value(65534))
        attrs["system.posix_acl_access"] = os.getxattr(path, "system.posix_acl_access")
    except OSError as error:
        print("(extended attributes or ACLs not supported here: %s)" % error)
    mode = os.stat(path).st_mode
    subprocess.run(forced(path), env=env(), capture_output=True)
    if os.stat(path).st_mode != mode:
        fail("acl: mode %o became %o" % (mode, os.stat(path).st_mode))
    for name, value in attrs.items():
        try:
            now = os.getxattr(path, name)
        except OSError:
            now = None
        if now != value:
            fail("xattr %s not kept" % name)
    # A sparse file: 64 MiB of hole in the audio stays a hole.
    path = os.path.join(folder, "sparse.mp3")
    with open(path, "wb") as f:
        f.write(id3v2(4 << 10) + audio_frames())
        f.truncate(f.tell() + (64 << 20))
        f.seek(0, 2)
        f.write(audio_frames() + id3v1())
    before = open(path, "rb").read()
    subprocess.run(forced(path), env=env(), capture_output=True)
    info = os.stat(path)
    if info.st_blocks * 512 > (8 << 20):
        fail("sparse: %d bytes allocated for %d" % (info.st_blocks * 512, info.st_size))
    after = open(path, "rb").read()
    if after[head_size(after):] [:-128] != before[head_size(before):][:-128]:
        fail("sparse: the audio changed")
    # --preserve-times, in place and rewritten; a 255-byte name.
    for name, extra in (("times.mp3", []), ("t" * 251 + ".mp3", ["--set", "TXXX:GROW=" + "t" * 6000])):
        path = os.path.join(folder, name)
        open(path, "wb").write(make_file(4 << 10, False, True))
        os.utime(path, ns=(1_000_000_000_000_000_005, 1_000_000_000_123_456_789))
        done = subprocess.run([VELKOR, "tag", "--preserve-times", "-t", "Timed"] + extra + [path], env=env(),
                              capture_output=True)
        if done.returncode != 0 or os.stat(path).st_mtime_ns != 1_000_000_000_123_456_789:
            fail("%s: not saved with its time kept: %s" % (name[:20], done.stderr.decode(errors="replace")))
        if temporaries(folder):
            fail("%s: a temporary file is left" % name[:20])


def full_disk(folder):
    """On a full disk (a small file system of our own, where mounting is
    allowed): a change in place still succeeds, a replacement fails and
    leaves the old file and no temporary one."""
    if subprocess.run(["unshare", "-m", "true"], capture_output=True).returncode != 0:
        print("(no full-disk runs: mounting is not allowed here)")
        return
    old = os.path.join(folder, "disk.old")
    open(old, "wb").write(make_file(4 << 10, True, True))
    script = r'''
        mount -t tmpfs -o size=256k tmpfs "$1" || exit 2
        cp "$2" "$1/target.mp3"
        dd if=/dev/zero of="$1/filler" bs=4096 2>/dev/null; dd if=/dev/zero of="$1/filler" bs=1 oflag=append conv=notrunc 2>/dev/null
        "$3" tag -t "Title 05" "$1/target.mp3" >/dev/null 2>&1 || { echo "in place failed"; exit 1; }
        cp "$1/target.mp3" "$4/inplace.new" 2>/dev/null || cat "$1/target.mp3" >"$4/inplace.new"
        "$3" tag --set TXXX:GROW=$(head -c 6000 /dev/zero | tr '\0' g) "$1/target.mp3" >/dev/null 2>&1 && { echo "replacement succeeded on a full disk"; exit 1; }
        cmp -s "$1/target.mp3" "$4/inplace.new" || { echo "the failed replacement changed the file"; exit 1; }
        ls -a "$1" | grep -q velkor- && { echo "a temporary file is left"; exit 1; }
        exit 0'''
    mount = os.path.join(folder, "disk")
    os.makedirs(mount, exist_ok=True)
    done = subprocess.run(["unshare", "-m", "sh", "-c", script, "sh", mount, old, VELKOR, folder], env=env(),
                          capture_output=True)
    if done.returncode == 2:
        print("(no full-disk runs: tmpfs cannot be mounted here)")
    elif done.returncode != 0:
        fail("full disk: " + done.stdout.decode(errors="replace").strip())


def main():
    random.seed(int(os.environ.get("SAVE_HARNESS_SEED", "1")))
    folder = tempfile.mkdtemp(prefix="velkor_save_")
    try:
        started = time.monotonic()
        faults = build_faults(folder)
        if faults:
            for size, ape, v1, way in cases():
                # The short run: small tags, with both trailing tags or none.
                if FULL or (size <= (4 << 10) and ape == v1):
                    fault_case(folder, faults, size, ape, v1, way)
            read_faults(folder, faults)
        for size, ape, v1, way in cases():
            kill_case(folder, size, ape, v1, way, KILLS_PER_CASE)
        signal_runs(folder)
        writers(folder)
        keeps(folder)
        full_disk(folder)
        print("save harness (%s, %.0f s): %d kills, %d damaged, %d temporaries left by kills; %d failed calls; "
              "%d signals; %d rounds of two writers, %d lost; %d failures" % (
                  "full" if FULL else "short", time.monotonic() - started, counts["kills"], counts["damaged"],
                  counts["temporaries_left"], counts["faults"], counts["signals"], counts["rounds"], counts["lost"],
                  len(failures)))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
