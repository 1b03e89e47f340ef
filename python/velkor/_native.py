"""libvelkor through ctypes: finding the library, its records and exports.

Nothing here is public. The library is loaded on first use, not on import,
so that ``import velkor`` works (for help(), type checkers, the version)
on a machine that has no libvelkor yet.
"""
import ctypes
import ctypes.util
import os
import sys
import threading
from typing import Any, List, Optional, Type

# Statuses (VELKOR_OK, VELKOR_ERROR_... in velkor.h).
OK = 0
NOT_FOUND = 1
NOT_PERMITTED = 2
NOT_REGULAR = 3
NO_AUDIO = 4
READ = 5
NO_MEMORY = 6
ARGUMENT = 7
READ_ONLY = 8
NO_SPACE = 9
WRITE = 10
CHANGED = 11
LINKED = 12
SKIPPED = 13
# The statuses by name, as `velkor --json` gives them in "status".
STATUS_NAMES = {OK: "ok", NOT_FOUND: "not_found", NOT_PERMITTED: "not_permitted", NOT_REGULAR: "not_regular",
                NO_AUDIO: "no_audio", READ: "read", NO_MEMORY: "no_memory", ARGUMENT: "argument",
                READ_ONLY: "read_only", NO_SPACE: "no_space", WRITE: "write", CHANGED: "changed",
                LINKED: "linked", SKIPPED: "skipped"}

OPEN_COUNT_FRAMES = 0x1
OPEN_WITHOUT_AUDIO = 0x2
OPEN_ALL_FRAMES = 0x4
SCAN_RECURSIVE = 0x100
SCAN_JSON = 0x1000

ID3V2_TITLE = 1
ID3V2_ARTIST = 2
ID3V2_ALBUM = 3
ID3V2_ALBUM_ARTIST = 4
ID3V2_YEAR = 5
ID3V2_TRACK = 6
ID3V2_DISC = 7
ID3V2_GENRE = 8
ID3V2_COMPOSER = 9
ID3V2_COMMENT = 10
ID3V2_DATE = 11
ID3V1_TITLE = 21
ID3V1_ARTIST = 22
ID3V1_ALBUM = 23
ID3V1_YEAR = 24
ID3V1_COMMENT = 25
ID3V1_GENRE = 26
EDIT_COMPILATION = 12
EDIT_BPM = 13
EDIT_LYRICS = 14
# The text frame each field sets, for velkor_value_problem.
FIELD_FRAMES = {ID3V2_YEAR: "TDRC", ID3V2_DATE: "TDRC", ID3V2_TRACK: "TRCK", ID3V2_DISC: "TPOS",
                ID3V2_GENRE: "TCON", EDIT_COMPILATION: "TCMP", EDIT_BPM: "TBPM"}
STREAM_ENCODER = 41
STREAM_FORMAT = 44
STREAM_LAME_METHOD = 45
STREAM_LAME_PRESET = 46
# The common texts, VELKOR_TAG_RELEASE_DATE (61) on, by their Python names.
TAG_TEXTS = ("release_date", "original_date", "lyrics", "grouping", "key", "bpm_text", "artist_sort",
             "album_sort", "title_sort", "album_artist_sort", "musicbrainz_track_id", "musicbrainz_album_id",
             "musicbrainz_artist_id", "musicbrainz_album_artist_id", "musicbrainz_release_group_id",
             "musicbrainz_release_track_id")
TAG_FIRST = 61
TAG_LYRICS = 63
TAG_BPM = 66

REPLAYGAIN_TRACK_GAIN = 0x1
REPLAYGAIN_TRACK_PEAK = 0x2
REPLAYGAIN_ALBUM_GAIN = 0x4
REPLAYGAIN_ALBUM_PEAK = 0x8

# velkor_ape_item_text's fields; the kinds (VELKOR_APE_TEXT ...) in their order.
APE_KEY = 1
APE_VALUE = 2
APE_KINDS = ("text", "binary", "locator", "reserved")

# velkor_edit_remove_tag, velkor_edit_set_id3v1, velkor_edit_save.
TAG_ID3V1 = 0x1
TAG_ID3V2 = 0x2
TAG_APEV2 = 0x4
ID3V1_KEEP = 0
ID3V1_ADD = 1
ID3V1_REMOVE = 2
SAVE_ID3V24 = 0x1
SAVE_BREAK_LINKS = 0x2
SAVE_DRY_RUN = 0x4
SAVE_PRESERVE_TIMES = 0x10
SAVED_WAYS = ("nothing", "in_place", "replaced")

PICTURE_MIME = 1
PICTURE_DESCRIPTION = 2

# velkor_file_json: the texts as velkor_text gives them (Python's Facts);
# the frames apart, behind the object and a line break.
JSON_JOINED_TEXTS = 0x1
JSON_FRAMES_APART = 0x2
# Each object as the array of its values, in the layout's order (Python knows it).
JSON_VALUES_ONLY = 0x4

# Fields of velkor_frame_text.
FRAME_VALUE = 1
FRAME_DESCRIPTION = 2
FRAME_LANGUAGE = 3
FRAME_OWNER = 4
FRAME_ELEMENT_ID = 5
FRAME_CHILD = 6
FRAME_TITLE = 7
FRAME_NAME = 8
FRAME_KIND_NAME = 9

ENVIRONMENT_VARIABLE = "VELKOR_LIBRARY"

# The exports are stdcall only in a 32-bit Windows process.
_STDCALL = sys.platform == "win32" and ctypes.sizeof(ctypes.c_void_p) == 4
_LOADER: Type[ctypes.CDLL] = (
    ctypes.WinDLL if _STDCALL else ctypes.CDLL)  # type: ignore[attr-defined]

_i32, _u32, _i64 = ctypes.c_int32, ctypes.c_uint32, ctypes.c_int64


class velkor_file_facts(ctypes.Structure):
    """struct velkor_file_facts: the library fills no more than `size` says, so an
    older library leaves the fields it does not know at their defaults."""
    _fields_ = [
        ("size", _u32),
        ("mpeg_version", _i32),
        ("layer", _i32),
        ("sampling_rate_hz", _i32),
        ("channel_mode", _i32),
        ("channels", _i32),
        ("bitrate_kbps", _i32),
        ("vbr_header", _i32),
        ("frames_exact", _i32),
        ("encoder_delay", _i32),
        ("encoder_padding", _i32),
        ("id3v1", _i32),
        ("id3v1_track", _i32),
        ("id3v1_genre", _i32),
        ("id3v2_version", _i32),
        ("picture_count", _i32),
        ("file_size", _i64),
        ("first_frame_offset", _i64),
        ("audio_bytes", _i64),
        ("frames", _i64),
        ("duration_ms", _i64),
        ("gapless_duration_ms", _i64),
        ("samples", _i64),
        ("gapless_samples", _i64),
        ("bitrate_varies", _i32),
        ("stream_format", _i32),
        ("lame_vbr_method", _i32),
        ("lame_quality", _i32),
        ("lame_lowpass_hz", _i32),
        ("lame_preset", _i32),
        ("truncated", _i32),
        ("reserved", _i32),
    ]


class velkor_tag_facts_info(ctypes.Structure):
    """struct velkor_tag_facts_info."""
    _fields_ = [
        ("size", _u32),
        ("track", _i32),
        ("track_total", _i32),
        ("disc", _i32),
        ("disc_total", _i32),
        ("compilation", _i32),
        ("bpm", _i32),
        ("rating", _i32),
        ("year", _i32),
        ("month", _i32),
        ("day", _i32),
        ("hour", _i32),
        ("minute", _i32),
        ("release_year", _i32),
        ("original_year", _i32),
        ("replaygain_known", _u32),
        ("play_count", _i64),
        ("track_gain_db", ctypes.c_double),
        ("track_peak", ctypes.c_double),
        ("album_gain_db", ctypes.c_double),
        ("album_peak", ctypes.c_double),
    ]


class velkor_ape_item_info(ctypes.Structure):
    """struct velkor_ape_item_info."""
    _fields_ = [
        ("size", _u32),
        ("kind", _i32),
        ("read_only", _i32),
        ("value_count", _i32),
        ("truncated", _i32),
        ("reserved", _i32),
        ("body_size", _i64),
        ("key", ctypes.c_char * 256),
    ]


class velkor_picture_info(ctypes.Structure):
    """struct velkor_picture_info."""
    _fields_ = [("size", _u32), ("type", _i32), ("bytes", _i32)]


class velkor_frame_info(ctypes.Structure):
    """struct velkor_frame_info."""
    _fields_ = [
        ("size", _u32),
        ("flags", _u32),
        ("id", ctypes.c_char * 8),
        ("id_v24", ctypes.c_char * 8),
        ("kind", _i32),
        ("encrypted", _i32),
        ("compressed", _i32),
        ("value_count", _i32),
        ("body_size", _i64),
        ("rating", _i32),
        ("toc_flags", _i32),
        ("play_count", _i64),
        ("start_ms", _i64),
        ("end_ms", _i64),
        ("start_offset", _i64),
        ("end_offset", _i64),
        ("child_count", _i32),
        ("truncated", _i32),
    ]


class velkor_save_report(ctypes.Structure):
    """struct velkor_save_report."""
    _fields_ = [
        ("size", _u32),
        ("way", _i32),
        ("bytes_written", _i64),
        ("id3v2_version", _i32),
        ("dropped_frames", _i32),
        ("tags", _u32),
        ("id3v2_size", _i32),
    ]


# The interface's number, the N of libvelkor.so.N (VELKOR_ABI_VERSION in
# CMakeLists.txt): the library this package's declarations fit.
ABI_VERSION = 1

_handle = ctypes.c_void_p
_lock = threading.Lock()
_library = None  # type: Optional[ctypes.CDLL]


def _names_beside_package() -> List[str]:
    if sys.platform == "win32":
        return ["velkor.dll"]
    if sys.platform == "darwin":
        return [f"libvelkor.{ABI_VERSION}.dylib", "libvelkor.dylib"]
    return [f"libvelkor.so.{ABI_VERSION}", "libvelkor.so"]


def _system_names() -> List[str]:
    # The versioned name first: the plain libvelkor.so is only there when
    # the development files are installed.
    names = {"win32": ["velkor.dll"], "darwin": [f"libvelkor.{ABI_VERSION}.dylib", "libvelkor.dylib"]}
    found = ctypes.util.find_library("velkor")
    listed = names.get(sys.platform, [f"libvelkor.so.{ABI_VERSION}", "libvelkor.so"])
    return listed + ([found] if found and found not in listed else [])


def _open_library() -> ctypes.CDLL:
    path = os.environ.get(ENVIRONMENT_VARIABLE)
    if path:
        # A path set on purpose is the one to use: falling back to another
        # library would hide the mistake.
        try:
            return _LOADER(path)
        except OSError as error:
            raise OSError(f"velkor: cannot load {ENVIRONMENT_VARIABLE}={path}: {error}") from None
    here = os.path.dirname(os.path.abspath(__file__))
    tried = []
    for name in _names_beside_package():
        candidate = os.path.join(here, name)
        tried.append(candidate)
        if os.path.exists(candidate):
            return _LOADER(candidate)
    for name in _system_names():
        tried.append(name)
        try:
            return _LOADER(name)
        except OSError:
            pass
    raise OSError(
        "velkor: libvelkor not found; set " + ENVIRONMENT_VARIABLE +
        " to its path, copy it beside the package, or install it where the "
        "system finds libraries (tried: " + ", ".join(tried) + ")")


def _declare(lib: ctypes.CDLL, name: str, restype: Any, *argtypes: Any) -> None:
    try:
        function = getattr(lib, name)
    except AttributeError:
        raise OSError(f"velkor: {lib._name} has no {name}: it is older than this package") from None
    function.restype = restype
    function.argtypes = argtypes


def library() -> ctypes.CDLL:
    """The loaded library, its exports declared."""
    global _library
    if _library is not None:  # set once, declared in full: no lock needed to read it
        return _library
    with _lock:
        if _library is None:
            lib = _open_library()
            text = ctypes.c_char_p
            _declare(lib, "velkor_version", text)
            _declare(lib, "velkor_status_text", text, _i32)
            _declare(lib, "velkor_open", _i32, text, _u32, ctypes.POINTER(_handle))
            _declare(lib, "velkor_close", None, _handle)
            _declare(lib, "velkor_facts", _i32, _handle, ctypes.POINTER(velkor_file_facts))
            _declare(lib, "velkor_text", text, _handle, _i32)
            _declare(lib, "velkor_tag_count", _i32, _handle, text)
            _declare(lib, "velkor_tag_value", text, _handle, text, _i32)
            _declare(lib, "velkor_tag_key", text, _handle, _i32)
            _declare(lib, "velkor_picture", _i32, _handle, _i32, ctypes.POINTER(velkor_picture_info))
            _declare(lib, "velkor_picture_text", text, _handle, _i32, _i32)
            _declare(lib, "velkor_read_picture", _i32, _handle, _i32, ctypes.c_void_p, _i32)
            _declare(lib, "velkor_frame_count", _i32, _handle)
            _declare(lib, "velkor_frame", _i32, _handle, _i32, ctypes.POINTER(velkor_frame_info))
            # A pointer and a size: a unique id's identifier may hold zero bytes.
            _declare(lib, "velkor_frame_text", ctypes.c_void_p, _handle, _i32, _i32, _i32)
            _declare(lib, "velkor_frame_text_size", _i32, _handle, _i32, _i32, _i32)
            _declare(lib, "velkor_read_frame", _i32, _handle, _i32, ctypes.c_void_p, _i32)
            _declare(lib, "velkor_tag_facts", _i32, _handle, ctypes.POINTER(velkor_tag_facts_info))
            _declare(lib, "velkor_ape_item_count", _i32, _handle)
            _declare(lib, "velkor_ape_item", _i32, _handle, _i32, ctypes.POINTER(velkor_ape_item_info))
            _declare(lib, "velkor_ape_item_text", text, _handle, _i32, _i32, _i32)
            # The text as a char pointer: a slice of it is its bytes.
            _declare(lib, "velkor_file_json", _i32, _handle, text, _u32,
                     ctypes.POINTER(ctypes.POINTER(ctypes.c_char)), ctypes.POINTER(ctypes.c_size_t))
            _declare(lib, "velkor_genre_name", text, _i32)
            _declare(lib, "velkor_genre_number", _i32, text)
            _declare(lib, "velkor_scan_open", _i32, ctypes.POINTER(text), _i32, _u32, _i32,
                     ctypes.POINTER(_handle))
            _declare(lib, "velkor_scan_next", _i32, _handle, ctypes.POINTER(text), ctypes.POINTER(_handle),
                     ctypes.POINTER(_i32))
            _declare(lib, "velkor_scan_close", None, _handle)
            texts = ctypes.POINTER(text)
            _declare(lib, "velkor_edit_open", _i32, text, _u32, ctypes.POINTER(_handle))
            _declare(lib, "velkor_edit_close", None, _handle)
            _declare(lib, "velkor_edit_set_text", _i32, _handle, text, texts, _i32)
            _declare(lib, "velkor_edit_set_user_text", _i32, _handle, text, texts, _i32)
            _declare(lib, "velkor_edit_set_comment", _i32, _handle, text, text, text)
            _declare(lib, "velkor_edit_set_lyrics", _i32, _handle, text, text, text)
            _declare(lib, "velkor_edit_set_url", _i32, _handle, text, text, text)
            _declare(lib, "velkor_edit_add_picture", _i32, _handle, _i32, text, text, ctypes.c_void_p, _i32)
            _declare(lib, "velkor_edit_remove_pictures", _i32, _handle, _i32)
            _declare(lib, "velkor_edit_set_popularimeter", _i32, _handle, text, _i32, _i64)
            _declare(lib, "velkor_edit_remove_frames", _i32, _handle, text)
            _declare(lib, "velkor_edit_set_field", _i32, _handle, _i32, text)
            _declare(lib, "velkor_edit_set_key", _i32, _handle, text, texts, _i32)
            _declare(lib, "velkor_value_problem", text, text, text)
            _declare(lib, "velkor_edit_remove_tag", _i32, _handle, _u32)
            _declare(lib, "velkor_edit_set_id3v1", _i32, _handle, _i32)
            _declare(lib, "velkor_edit_save", _i32, _handle, _u32, ctypes.POINTER(velkor_save_report))
            _library = lib
        return _library


def decode(text: Optional[bytes]) -> str:
    # The library hands out UTF-8; a stray byte must not make a whole file
    # unreadable from Python.
    return text.decode("utf-8", "replace") if text else ""


def status_text(status: int) -> str:
    return decode(library().velkor_status_text(status)) or f"status {status}"
