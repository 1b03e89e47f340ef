#!/usr/bin/env python3
"""The library's interoperability samples from Python: integers, strings by
value and by reference, a caller's buffer and a record crossing the
boundary, and the notices they show.

    VELKOR_LIBRARY=build/libvelkor.so python3 velkor_samples.py
"""
import ctypes

import velkor_exports

lib = velkor_exports.lib

# Signed 32-bit integers; the arithmetic wraps around.
print("AddNums(2147483647, 1) =", lib.AddNums(2147483647, 1))
print("SubtractNums(10, 4) =", lib.SubtractNums(10, 4))
print("MultiplyNums(-7, 6) =", lib.MultiplyNums(-7, 6))
print("CompareNums(-5, 3) =", lib.CompareNums(-5, 3))

# A caller's buffer and its capacity: the text and its zero byte need 22.
buffer = ctypes.create_string_buffer(22)
lib.FillString(buffer, len(buffer))
print("FillString(22 bytes) =", buffer.value.decode())
small = ctypes.create_string_buffer(21)
lib.FillString(small, len(small))
print("FillString(21 bytes) =", repr(small.value.decode()))

# The character travels as its code in a 32-bit slot.
print("InStrRev('a.b.c', '.') =", lib.InStrRev(b"a.b.c", ord(".")))

# A record of two 8-byte text fields, filled by the library.
record = velkor_exports.velkor_sample_record()
lib.MyStructProc(ctypes.byref(record))
print("MyStructProc ->", record.first.decode(), record.second.decode())

# A string by value and by reference (a pointer to the pointer). The notices
# they show come to this handler instead of a message box.
if hasattr(lib, "velkor_set_notice_handler"):
    def show(text, caption, style):
        print("notice [%s, style 0x%x]: %s" % (caption.decode(), style, text.decode()))
        return velkor_exports.ANSWER_OK

    velkor_exports.set_notice_handler(show)
    print("DisplayStringByVal ->", lib.DisplayStringByVal(b"by value"))
    text = ctypes.c_char_p(b"by reference")
    print("DisplayStringByRef ->", lib.DisplayStringByRef(ctypes.byref(text)))
    velkor_exports.set_notice_handler(None)
