"""velkor from Python: the library's exports through ctypes.

The library is found through the VELKOR_LIBRARY environment variable (a
path), else by its name on the system. On 32-bit Windows the exports use
stdcall (ctypes.WinDLL); everywhere else the C default, cdecl (ctypes.CDLL).
Strings cross as 8-bit bytes; tag texts are Latin-1.
"""
import ctypes
import ctypes.util
import os
import sys

_STDCALL = sys.platform == "win32" and ctypes.sizeof(ctypes.c_void_p) == 4


def _load():
    path = os.environ.get("VELKOR_LIBRARY")
    if not path:
        path = ctypes.util.find_library("velkor") or (
            "velkor.dll" if sys.platform == "win32" else "libvelkor.so.1")
    return (ctypes.WinDLL if _STDCALL else ctypes.CDLL)(path)


lib = _load()

# Room VkOpenMp3File's report buffer needs (VELKOR_REPORT_SIZE in velkor.h).
REPORT_SIZE = 357


class velkor_info_record(ctypes.Structure):
    """The 363-byte record of VkGetSonvexStruct: zero-terminated text fields
    of fixed width, packed without gaps."""
    _pack_ = 1
    _fields_ = [
        ("status", ctypes.c_char * 33),
        ("track", ctypes.c_char * 5),
        ("year", ctypes.c_char * 9),
        ("bitrate", ctypes.c_char * 17),
        ("size", ctypes.c_char * 17),
        ("frequency", ctypes.c_char * 17),
        ("length", ctypes.c_char * 17),
        ("frames", ctypes.c_char * 17),
        ("album", ctypes.c_char * 33),
        ("artist", ctypes.c_char * 33),
        ("comment", ctypes.c_char * 33),
        ("genre", ctypes.c_char * 33),
        ("mode", ctypes.c_char * 33),
        ("version", ctypes.c_char * 33),
        ("title", ctypes.c_char * 33),
    ]


class velkor_sample_record(ctypes.Structure):
    """The 16-byte record of the MyStructProc sample."""
    _fields_ = [("first", ctypes.c_char * 8), ("second", ctypes.c_char * 8)]


assert ctypes.sizeof(velkor_info_record) == 363
assert ctypes.sizeof(velkor_sample_record) == 16

_i32, _u32, _str = ctypes.c_int32, ctypes.c_uint32, ctypes.c_char_p


def _declare(name, restype, *argtypes):
    function = getattr(lib, name)
    function.restype = restype
    function.argtypes = argtypes


_declare("VkOpenMp3File", _i32, _str, ctypes.c_char_p, _i32)
_declare("VkGetSonvexStruct", None, _str, ctypes.POINTER(velkor_info_record))
for _name in ("AddNums", "SubtractNums", "MultiplyNums", "CompareNums"):
    _declare(_name, _i32, _i32, _i32)
_declare("FillString", None, ctypes.c_char_p, _u32)
_declare("InStrRev", _i32, _str, _i32)
_declare("DisplayStringByVal", _i32, _str)
_declare("DisplayStringByRef", _i32, ctypes.POINTER(_str))
_declare("MyStructProc", None, ctypes.POINTER(velkor_sample_record))


def _path(path):
    return os.fsencode(path)


def open_mp3_file(path):
    """VkOpenMp3File: (1, report text) or (0, "Unable to open file")."""
    report = ctypes.create_string_buffer(REPORT_SIZE)
    ok = lib.VkOpenMp3File(_path(path), report, 0)
    return ok, report.value


def get_record(path):
    """VkGetSonvexStruct: the filled velkor_info_record (only status on failure)."""
    record = velkor_info_record()
    lib.VkGetSonvexStruct(_path(path), ctypes.byref(record))
    return record


# The notices reach a handler of the host on Linux (velkor_set_notice_handler);
# on Windows they are message boxes and the export does not exist.
NOTICE_HANDLER = ctypes.CFUNCTYPE(_i32, _str, _str, _u32, ctypes.c_void_p)
ANSWER_OK, ANSWER_YES, ANSWER_NO = 1, 6, 7
_handler = None  # ctypes must keep the callback alive while it is installed

if hasattr(lib, "velkor_set_notice_handler"):
    _declare("velkor_set_notice_handler", None, NOTICE_HANDLER, ctypes.c_void_p)


def set_notice_handler(function):
    """function(text: bytes, caption: bytes, style: int) -> answer.
    None restores the library's default."""
    global _handler
    if function is None:
        _handler = None
        lib.velkor_set_notice_handler(ctypes.cast(None, NOTICE_HANDLER), None)
        return
    _handler = NOTICE_HANDLER(lambda text, caption, style, _: function(text, caption, style))
    lib.velkor_set_notice_handler(_handler, None)
