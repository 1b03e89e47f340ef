#!/usr/bin/env python3
"""Analyses each file named on the command line with both analysis exports
and prints what they return (the same lines as the C and Pascal examples).

    VELKOR_LIBRARY=build/libvelkor.so python3 velkor_info.py song.mp3
"""
import os
import sys

import velkor_exports

REPORT_ITEMS = ("status", "version", "bitrate", "frequency", "length", "size", "mode",
                "title", "artist", "album", "genre", "comment", "frames", "year", "track")

out = sys.stdout.buffer  # tag texts are bytes: print them as they are


def line(text):
    out.write(text + b"\n")


notice_shown = False  # both exports tell of the same failed file: shown once


def print_notice(text, caption, style):
    global notice_shown
    if not notice_shown:
        notice_shown = True
        line(b"  notice: " + caption + b": " + text.replace(b"\n", b" "))
    return velkor_exports.ANSWER_OK


def print_report(path):
    ok, report = velkor_exports.open_mp3_file(path)
    line(b"  VkOpenMp3File: %d" % ok)
    if not ok:
        line(b"    " + report)
        return
    # Every item, the first included, is closed by "<sep>".
    for label, item in zip(REPORT_ITEMS, report.split(b"<sep>")[:-1]):
        line(b"    " + label.encode() + b"=" + item)


def print_record(path):
    record = velkor_exports.get_record(path)
    line(b"  VkGetSonvexStruct:")
    line(b"    status=" + record.status)
    if record.status != b"Success":
        return False
    for name, _ in velkor_exports.velkor_info_record._fields_[1:]:
        line(b"    " + name.encode() + b"=" + getattr(record, name))
    return True


def main(paths):
    global notice_shown
    if not paths:
        print("usage: velkor_info.py FILE...", file=sys.stderr)
        return 2
    if hasattr(velkor_exports.lib, "velkor_set_notice_handler"):
        velkor_exports.set_notice_handler(print_notice)
    failed = False
    for path in paths:
        notice_shown = False
        line(os.fsencode(path))
        print_report(path)
        failed |= not print_record(path)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
