"""velkor: the technical facts and tags of MPEG audio files, from Python.

    import velkor

    facts = velkor.read("song.mp3")
    print(facts.bitrate_kbps, facts.duration_ms, facts.id3v2 and facts.id3v2.title)

    with velkor.edit("song.mp3") as tags:  # saved when the block ends
        tags.title = "A title"
        tags.set_text("TPE1", ["One artist", "Another"])

    for item in velkor.scan("Music"):
        if isinstance(item, velkor.Error):
            print(item.path, item.status, item)
        else:
            print(item.path, item.sampling_rate_hz)

A thin layer over libvelkor's C interface (ctypes, nothing else). The
library is found through the VELKOR_LIBRARY environment variable (a path),
else beside this package, else where the system finds libraries.
"""
import ctypes
import dataclasses
import enum
import json
import operator
import os
import sys
import types
from dataclasses import dataclass
from typing import Dict, Iterator, List, Literal, Mapping, NamedTuple, Optional, Sequence, Tuple, Union, overload

from . import _native

# The release this package belongs to: the C project's version (a test holds
# the two, and the loaded library's velkor_version(), together). A literal,
# so that importing and installing the package need no library.
__version__ = "0.2.0"

__all__ = [
    "ApeItem", "ChangedError", "ChannelMode", "Comment", "Edit", "Error", "Facts", "Frame", "Id3v1",
    "Id3v2", "LameSettings", "LinkedError", "NoAudioError", "NotFoundError", "NotPermittedError",
    "NotRegularError", "Picture", "ReplayGain", "SaveReport", "edit", "genre_name", "genre_number", "write",
    "library_version", "read", "read_picture", "scan",
]

PathLike = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


class Error(Exception):
    """A file velkor could not analyse or write. `status` names the failure
    as `velkor --json` does ("not_found", "no_audio", "argument", ...),
    `code` is the library's number (velkor.h's VELKOR_ERROR_...), `path`
    the file's path."""

    def __init__(self, code: int, path: Optional[str] = None, message: Optional[str] = None):
        self.code = code
        self.status = _native.STATUS_NAMES.get(code, "unknown")
        self.path = path
        self.message = message or _native.status_text(code)
        super().__init__(code, path, self.message)

    def __str__(self) -> str:
        return f"{self.path}: {self.message}" if self.path is not None else self.message


class NotFoundError(Error):
    """No such file, or a folder on its path is missing."""


class NotPermittedError(Error):
    """No permission to read the file."""


class NotRegularError(Error):
    """A folder, device, FIFO or socket, not a file."""


class NoAudioError(Error):
    """The file was read but holds no MPEG audio frames, nor any tag (a file
    with tags but no audio gives Facts with has_audio False)."""


class ChangedError(Error):
    """The file changed or was replaced since it was analysed (read_picture)
    or read for editing (Edit.save)."""


class LinkedError(Error):
    """The file has other hard links and must be replaced to be saved
    (Edit.save without break_links)."""


_ERRORS = {
    _native.NOT_FOUND: NotFoundError,
    _native.NOT_PERMITTED: NotPermittedError,
    _native.NOT_REGULAR: NotRegularError,
    _native.NO_AUDIO: NoAudioError,
    _native.CHANGED: ChangedError,
    _native.LINKED: LinkedError,
}


def _error(status: int, path: Optional[str], message: Optional[str] = None) -> Error:
    return _ERRORS.get(status, Error)(status, path, message)


class ChannelMode(str, enum.Enum):
    """The channel mode of the stream; compares equal to its text."""
    STEREO = "Stereo"
    JOINT_STEREO = "Joint Stereo"
    DUAL_CHANNEL = "Dual Channel"
    SINGLE_CHANNEL = "Single Channel"

    def __str__(self) -> str:
        return self.value




@dataclass(frozen=True)
class Picture:
    """A picture of the ID3v2 tag. Its data stays in the file:
    read_picture(path, index) reads it."""
    type: int  # the APIC picture type: 3 front cover, 4 back cover, ...
    mime: str
    description: Optional[str]  # None when empty
    size: int  # bytes of picture data


@dataclass(frozen=True)
class Frame:
    """One frame of the ID3v2 tag, as stored: several values stay apart.
    Fields a frame's kind does not have (or that are empty) are () or None."""
    id: str  # "TIT2"; three letters in ID3v2.2 ("TT2")
    id_v24: Optional[str]  # the ID3v2.3/2.4 id ("TIT2" for "TT2"); None when there is none
    kind: str  # "text", "user_text", "url", "user_url", "comment", "lyrics", "picture",
    #            "popularimeter", "unique_id", "private", "chapter", "toc", "people" or "other"
    flags: int  # the header's two flag bytes
    encrypted: bool
    compressed: bool
    size: Optional[int]  # the content's bytes, inflated; None when it cannot be had
    values: Tuple[str, ...]  # texts; a URL; a comment's text; a picture's MIME type
    description: Optional[str]  # TXXX, WXXX, COMM, USLT, APIC
    language: Optional[str]  # COMM, USLT
    owner: Optional[str]  # UFID, PRIV, POPM (the e-mail); RVA2 (its identification)
    rating: Optional[int]  # POPM: 0 to 255
    play_count: Optional[int]  # POPM, PCNT
    element_id: Optional[str]  # CHAP, CTOC
    title: Optional[str]  # CHAP, CTOC: the embedded TIT2
    start_ms: Optional[int]  # CHAP
    end_ms: Optional[int]
    children: Tuple[str, ...]  # CTOC: child element ids
    toc_flags: Optional[int]  # CTOC: 0x02 top level, 0x01 ordered
    truncated: bool  # a text was cut at 1 MiB or values were left out
    name: Optional[str] = None  # what the frame is ("Title" for TIT2); None when unknown


@dataclass(frozen=True)
class Id3v1:
    """The ID3v1 tag at the end of the file. Texts are as stored (Latin-1),
    without the padding; None when empty."""
    version: str  # "1.0" or "1.1"
    title: Optional[str]
    artist: Optional[str]
    album: Optional[str]
    year: Optional[str]
    comment: Optional[str]
    track: Optional[int]  # ID3v1.1 only
    genre: int  # the genre byte, 255 for none
    genre_name: Optional[str]


@dataclass(frozen=True)
class Id3v2:
    """The ID3v2 tag at the start of the file. Texts are None when the tag
    lacks them (as null in JSON); several values of one frame are joined by "; "."""
    version: str  # "2.2", "2.3" or "2.4"
    title: Optional[str]
    artist: Optional[str]
    album: Optional[str]
    album_artist: Optional[str]
    year: Optional[str]  # as stored: "2004" or "2004-05-01"
    date: Optional[str]  # ISO 8601: TDRC, or TYER, TDAT and TIME put together ("2004-05-01T12:30")
    track: Optional[str]  # as stored: "7" or "7/12"
    disc: Optional[str]
    genre: Optional[str]  # numeric references already resolved to names
    composer: Optional[str]
    comment: Optional[str]
    pictures: Tuple[Picture, ...]
    frames: Tuple[Frame, ...]  # every frame in order (the first 4096), values apart


class Comment(NamedTuple):
    """A COMM frame: (language, description, text); several texts joined by
    "; "; each None when empty (as null in JSON)."""
    language: Optional[str]
    description: Optional[str]
    text: Optional[str]


@dataclass(frozen=True)
class ApeItem:
    """An item of the APEv2 tag at the end of the file."""
    key: str  # as stored ("REPLAYGAIN_TRACK_GAIN")
    kind: str  # "text", "binary", "locator" (an external link) or "reserved"
    values: Tuple[str, ...]  # a text or locator item's values (split at zero bytes); () for the others
    size: int  # the value's bytes as stored
    read_only: bool
    truncated: bool  # only the value's start was read


@dataclass(frozen=True)
class ReplayGain:
    """ReplayGain figures, each None when no tag gives it (TXXX, RVA2, APEv2,
    then the encoder's tag)."""
    track_gain_db: Optional[float] = None
    track_peak: Optional[float] = None  # 1.0 is full scale
    album_gain_db: Optional[float] = None
    album_peak: Optional[float] = None


@dataclass(frozen=True)
class LameSettings:
    """The encoder's settings from its tag behind the Xing/Info header; each
    None when the tag does not state it."""
    vbr_method: Optional[str] = None  # "cbr", "abr", "vbr-old", "vbr-new", "vbr-mt", ...
    preset: Optional[str] = None  # "V2", "ABR 128", "--preset standard", ...
    preset_number: Optional[int] = None  # as stored: 8-320 ABR kbit/s, 410-500 V9-V0, 1000-1007 named
    quality: Optional[int] = None  # the Xing quality indicator, 0 to 100
    lowpass_hz: Optional[int] = None


@dataclass(frozen=True)
class Facts:
    """Everything velkor knows of one file. The gapless figures are None
    when the encoder left no tag with them. A file without MPEG audio but
    with a tag has has_audio False and every stream figure None.

    The common facts come from the ID3v2 tag, else the APEv2 tag, else the
    ID3v1 tag; None when none gives them."""
    path: str
    mpeg_version: Optional[float]  # 1.0, 2.0 or 2.5
    layer: Optional[int]
    sampling_rate_hz: Optional[int]
    channel_mode: Optional[ChannelMode]
    channels: Optional[int]
    bitrate_kbps: Optional[int]  # the average when a VBR header, the frame count or sampled frames give one
    vbr_header: Optional[str]  # "Xing", "Info" (a CBR stream's Xing header) or "VBRI"
    frames: Optional[int]
    frames_exact: Optional[bool]  # from a VBR header or counted, not estimated from the size
    duration_ms: Optional[int]
    encoder: Optional[str]
    encoder_delay: Optional[int]  # samples
    encoder_padding: Optional[int]  # samples
    gapless_duration_ms: Optional[int]
    file_size: int
    first_frame_offset: Optional[int]
    audio_bytes: Optional[int]
    id3v1: Optional[Id3v1]
    id3v2: Optional[Id3v2]
    samples: Optional[int] = 0  # frames x samples per frame
    gapless_samples: Optional[int] = None  # less the encoder's delay and padding
    bitrate_varies: Optional[bool] = False  # VBR: a VBR header says so, or the frames counted or sampled differ
    truncated: Optional[bool] = False  # cut short: the VBR header's counts cannot fit in the file; figures from its bytes
    stream_format: Optional[str] = None  # "MPEG audio in RIFF", "FLAC"; None for a plain stream
    has_audio: bool = True
    lame: LameSettings = LameSettings()
    track: Optional[int] = None  # "3/12" gives 3 and track_total 12
    track_total: Optional[int] = None
    disc: Optional[int] = None
    disc_total: Optional[int] = None
    compilation: Optional[bool] = None
    bpm: Optional[int] = None  # rounded; bpm_text as stored
    bpm_text: Optional[str] = None
    rating: Optional[int] = None  # the first POPM: 0 to 255
    play_count: Optional[int] = None
    date: Optional[str] = None  # the recording date as stored (ISO 8601)
    year: Optional[int] = None  # its parts
    month: Optional[int] = None
    day: Optional[int] = None
    hour: Optional[int] = None
    minute: Optional[int] = None
    release_date: Optional[str] = None
    release_year: Optional[int] = None
    original_date: Optional[str] = None
    original_year: Optional[int] = None
    replaygain: ReplayGain = ReplayGain()
    lyrics: Optional[str] = None  # the first USLT's text
    grouping: Optional[str] = None
    key: Optional[str] = None
    artist_sort: Optional[str] = None
    album_sort: Optional[str] = None
    title_sort: Optional[str] = None
    album_artist_sort: Optional[str] = None
    # "track_id", "album_id", "artist_id", "album_artist_id", "release_group_id",
    # "release_track_id": the ones the tags give.
    musicbrainz: Dict[str, str] = dataclasses.field(default_factory=dict)
    comments: Tuple[Comment, ...] = ()
    ape_items: Tuple[ApeItem, ...] = ()
    # The merged view by keys (doc/keys.md): "TITLE" -> ("Title",), from the
    # ID3v2 tag, else APEv2, else ID3v1; read only.
    tags: Mapping[str, Tuple[str, ...]] = dataclasses.field(
        default_factory=lambda: types.MappingProxyType({}))


# os.fsencode's own codec: what it does to a str, without its checks of
# the type on every call.
_FS_CODEC = (sys.getfilesystemencoding(), sys.getfilesystemencodeerrors())


def _encode(path: PathLike) -> bytes:
    # os.fsencode gives the bytes the name has on disk on POSIX (names that
    # are not UTF-8 included) and UTF-8 on Windows, which the library wants.
    raw = path.encode(*_FS_CODEC) if type(path) is str else os.fsencode(path)
    if b"\0" in raw:
        # The library would read the name only up to it: another file.
        raise ValueError(f"embedded null byte in path {path!r}")
    return raw


def _display(path: PathLike) -> str:
    return path if type(path) is str else os.fsdecode(path)


class _OpenFile:
    """A library handle, closed on leaving the with block."""

    def __init__(self, path: PathLike, options: int = 0):
        self.lib = _native.library()
        self.path = _display(path)
        handle = ctypes.c_void_p()
        status = self.lib.velkor_open(_encode(path), options, ctypes.byref(handle))
        if not handle:
            raise _error(status, self.path)
        self.handle = handle

    def __enter__(self) -> "_OpenFile":
        return self

    def __exit__(self, *_: object) -> None:
        self.lib.velkor_close(self.handle)

    def text(self, field: int) -> str:
        return _native.decode(self.lib.velkor_text(self.handle, field))

    def facts(self) -> _native.velkor_file_facts:
        facts = _native.velkor_file_facts(size=ctypes.sizeof(_native.velkor_file_facts))
        status = self.lib.velkor_facts(self.handle, ctypes.byref(facts))
        if status != _native.OK:
            raise _error(status, self.path)
        return facts

    def picture(self, index: int) -> Picture:
        info = _native.velkor_picture_info(size=ctypes.sizeof(_native.velkor_picture_info))
        status = self.lib.velkor_picture(self.handle, index, ctypes.byref(info))
        if status != _native.OK:
            raise _error(status, self.path)

        def text(field: int) -> str:
            return _native.decode(self.lib.velkor_picture_text(self.handle, index, field))

        return Picture(info.type, text(_native.PICTURE_MIME),
                       text(_native.PICTURE_DESCRIPTION) or None, info.bytes)


    def tag_facts(self) -> _native.velkor_tag_facts_info:
        facts = _native.velkor_tag_facts_info(size=ctypes.sizeof(_native.velkor_tag_facts_info))
        status = self.lib.velkor_tag_facts(self.handle, ctypes.byref(facts))
        if status != _native.OK:
            raise _error(status, self.path)
        return facts


# The json module's C scanner, called directly: the library's text needs
# none of json.loads's checks of encoding and surrounding white space. It
# also says where the object ends, which is where the frames' line begins.
_scan_json = json.JSONDecoder().scan_once

_MODES_BY_NAME = {mode.value: mode for mode in ChannelMode}
_NO_GAIN = ReplayGain()
_NO_GAIN_JSON = [None] * len(dataclasses.fields(ReplayGain))
_NO_TAGS: Mapping[str, Tuple[str, ...]] = types.MappingProxyType({})


def _new(cls: type, fields: Dict[str, object]) -> object:
    """An instance of a frozen dataclass with exactly these fields, made
    without its __init__: the values are already of their types."""
    made = object.__new__(cls)
    object.__setattr__(made, "__dict__", fields)
    return made


class _Decoded:
    """A field made from its JSON (kept as "_" + name) when first read,
    then kept as any field is. The dataclass's own __init__ sets the field
    directly, as before. Two threads reading it at once get the same value:
    the JSON goes only once the value is in place."""

    def __init__(self, cls: type, name: str, build):
        self.name, self.raw, self.build = name, "_" + name, build
        # Read from the class, the field's default as before (ReplayGain() ...).
        self.default = cls.__dataclass_fields__[name].default  # type: ignore[attr-defined]
        setattr(cls, name, self)

    def __get__(self, owner_object: object, owner: type) -> object:
        if owner_object is None:
            return self if self.default is dataclasses.MISSING else self.default
        fields = owner_object.__dict__
        raw = fields.get(self.raw, _Decoded)
        if raw is _Decoded:
            # Made meanwhile by another thread.
            try:
                return fields[self.name]
            except KeyError:
                raise AttributeError(self.name) from None
        value = fields.setdefault(self.name, self.build(raw))
        fields.pop(self.raw, None)
        return value


# The members of each object of the layout (doc/json.md) in their order: the
# library writes their values only (JSON_VALUES_ONLY), this names them. "_"
# stands for a member no field takes; they all land on that key, dropped at once.
# The first member is the layout's version: another one may have them elsewhere.
_LAYOUT = "1.2"
_FACTS_MEMBERS = (
    "_", "_", "path", "_", "_", "_", "has_audio", "_", "mpeg_version", "layer", "sampling_rate_hz",
    "channel_mode", "channels", "bitrate_kbps", "bitrate_varies", "vbr_header", "frames", "frames_exact",
    "truncated", "duration_ms", "gapless_duration_ms", "samples", "gapless_samples", "encoder",
    "encoder_delay", "encoder_padding", "file_size", "first_frame_offset", "audio_bytes", "stream_format",
    "lame", "track", "track_total", "disc", "disc_total", "compilation", "bpm", "bpm_text", "rating",
    "play_count", "date", "year", "month", "day", "hour", "minute", "release_date", "release_year",
    "original_date", "original_year", "replaygain", "lyrics", "grouping", "key", "artist_sort", "album_sort",
    "title_sort", "album_artist_sort", "musicbrainz", "comments", "ape_items", "id3v1", "id3v2", "tags")
_LAME_MEMBERS = ("vbr_method", "preset", "preset_number", "quality", "lowpass_hz")
_GAIN_MEMBERS = ("track_gain_db", "track_peak", "album_gain_db", "album_peak")
_APE_ITEM_MEMBERS = ("key", "kind", "values", "size", "read_only", "truncated")
_ID3V1_MEMBERS = ("version", "title", "artist", "album", "year", "comment", "track", "genre", "genre_name")
_ID3V2_MEMBERS = ("version", "title", "artist", "album", "album_artist", "composer", "genre", "year", "date",
                  "track", "_", "disc", "_", "comment", "_", "pictures")
_PICTURE_MEMBERS = ("type", "mime", "description", "size")
_FRAME_MEMBERS = ("id", "id_v24", "kind", "name", "flags", "encrypted", "compressed", "size", "values",
                  "description", "language", "owner", "rating", "play_count", "element_id", "title", "start_ms",
                  "end_ms", "children", "toc_flags", "truncated")


def _named(members: Tuple[str, ...], values: Union[list, dict]) -> Dict[str, object]:
    # An object with its keys comes from an Id3v2 pickled by an earlier release.
    return dict(values) if isinstance(values, dict) else dict(zip(members, values))


def _frame(fields: Dict[str, object]) -> Frame:
    fields["values"] = tuple(fields["values"])
    fields["children"] = tuple(fields["children"])
    return _new(Frame, fields)  # type: ignore[return-value]


def _frames(raw: Union[str, bytes]) -> Tuple[Frame, ...]:
    if isinstance(raw, bytes):  # as pickled by earlier releases
        raw = raw.decode("utf-8")
    return tuple(_frame(_named(_FRAME_MEMBERS, f)) for f in _scan_json(raw, 0)[0]) if raw else ()


def _picture(fields: Dict[str, object]) -> Picture:
    if fields["mime"] is None:
        fields["mime"] = ""
    return _new(Picture, fields)  # type: ignore[return-value]


def _ape_item(values: list) -> ApeItem:
    fields = dict(zip(_APE_ITEM_MEMBERS, values))
    fields["values"] = tuple(fields["values"])
    return _new(ApeItem, fields)  # type: ignore[return-value]


def _replaygain(raw: list) -> ReplayGain:
    # JSON writes -3.0 as -3: the figures are floats whatever they hold.
    return _new(ReplayGain, {name: None if value is None else float(value)  # type: ignore[return-value]
                             for name, value in zip(_GAIN_MEMBERS, raw)})


# The frames come as the JSON text of their array; the parts of Facts that
# take work to make and are seldom all read come as their JSON values. Each
# is made when first read. The builders leave what they are given as it was.
_Decoded(Id3v2, "frames", _frames)
_Decoded(Id3v2, "pictures", lambda raw: tuple(_picture(_named(_PICTURE_MEMBERS, p)) for p in raw))
_Decoded(Facts, "replaygain", _replaygain)
_Decoded(Facts, "comments", lambda raw: tuple(Comment._make(c) for c in raw))
_Decoded(Facts, "ape_items", lambda raw: tuple(_ape_item(i) for i in raw))
_Decoded(Facts, "tags", lambda raw: types.MappingProxyType({key: tuple(values) for key, values in raw.items()}))


def _facts_getstate(self: Facts) -> Dict[str, object]:
    # The read-only view of tags cannot be pickled: its plain dict goes
    # under the name tags is made from when first read.
    state = dict(self.__dict__)
    tags = state.get("tags")
    if isinstance(tags, types.MappingProxyType):
        del state["tags"]
        state["_tags"] = dict(tags)
    return state


Facts.__getstate__ = _facts_getstate  # type: ignore[assignment]


# The object velkor.read and velkor.scan take: Python's texts, the frames
# apart, their text kept to be decoded when first read.
_FACTS_JSON = _native.JSON_JOINED_TEXTS | _native.JSON_FRAMES_APART | _native.JSON_VALUES_ONLY
_CHAR_POINTER = ctypes.POINTER(ctypes.c_char)


def _facts_of(lib: ctypes.CDLL, handle: Union[int, ctypes.c_void_p], path: str) -> Facts:
    """The facts of an open handle (the caller closes it). A handle of a
    file without audio and without any tag raises NoAudioError."""
    text, size = _CHAR_POINTER(), ctypes.c_size_t()
    status = lib.velkor_file_json(handle, None, _FACTS_JSON, ctypes.byref(text), ctypes.byref(size))
    if status != _native.OK:
        raise _error(status, path)
    # The text is the handle's: copied out at once, then decoded in one go.
    whole = text[:size.value].decode("utf-8")
    values, end = _scan_json(whole, 0)
    if values[0] != _LAYOUT:
        raise OSError(f"velkor: the library writes JSON layout {values[0]}, this package reads {_LAYOUT}")
    fields = dict(zip(_FACTS_MEMBERS, values))
    id3v1, id3v2, ape_items = fields["id3v1"], fields["id3v2"], fields["ape_items"]
    if not fields["has_audio"] and id3v1 is None and id3v2 is None and not ape_items:
        raise _error(_native.NO_AUDIO, path)
    del fields["_"]
    fields["path"] = path
    if fields["channel_mode"] is not None:
        fields["channel_mode"] = _MODES_BY_NAME[fields["channel_mode"]]
    fields["lame"] = _new(LameSettings, dict(zip(_LAME_MEMBERS, fields["lame"])))
    # What is empty is made now (nothing to do), the rest when first read.
    if fields["replaygain"] == _NO_GAIN_JSON:
        fields["replaygain"] = _NO_GAIN
    else:
        fields["_replaygain"] = fields.pop("replaygain")
    if fields["comments"]:
        fields["_comments"] = fields.pop("comments")
    else:
        fields["comments"] = ()
    if ape_items:
        fields["_ape_items"] = fields.pop("ape_items")
    else:
        fields["ape_items"] = ()
    if fields["tags"]:
        fields["_tags"] = fields.pop("tags")
    else:
        fields["tags"] = _NO_TAGS
    if id3v1 is not None:
        fields["id3v1"] = _new(Id3v1, dict(zip(_ID3V1_MEMBERS, id3v1)))
    if id3v2 is not None:
        tag = dict(zip(_ID3V2_MEMBERS, id3v2))
        del tag["_"]
        tag["_frames"] = whole[end + 1:]
        if tag["pictures"]:
            tag["_pictures"] = tag.pop("pictures")
        else:
            tag["pictures"] = ()
        fields["id3v2"] = _new(Id3v2, tag)
    return _new(Facts, fields)  # type: ignore[return-value]


def read(path: PathLike, *, count_frames: bool = False) -> Facts:
    """Analyses one file. count_frames counts every frame, for exact figures
    in a stream without a VBR header (it reads the whole file).

    Raises Error (NotFoundError, NoAudioError, ...) when the file cannot be
    analysed; OSError when libvelkor cannot be loaded."""
    # Its JSON reads every frame: while the file is open, not again after.
    options = _READ_COUNTING if count_frames else _READ
    lib = _native.library()
    name = _display(path)
    handle = ctypes.c_void_p()
    status = lib.velkor_open(_encode(path), options, ctypes.byref(handle))
    try:
        if not handle:
            raise _error(status, name)
        try:
            return _facts_of(lib, handle, name)
        finally:
            lib.velkor_close(handle)
    except NotRegularError as error:
        if os.path.isdir(name):
            # As the command says it: the one not-regular file worth naming.
            raise _error(error.code, name, "is a directory (velkor.scan walks it)") from None
        raise


_READ = _native.OPEN_WITHOUT_AUDIO | _native.OPEN_ALL_FRAMES
_READ_COUNTING = _READ | _native.OPEN_COUNT_FRAMES


def read_picture(path: PathLike, index: int = 0) -> bytes:
    """The data of the file's picture number index (0 is the first of
    Facts.id3v2.pictures). IndexError when there is no such picture;
    ChangedError when the file changed while it was being read."""
    with _OpenFile(path, _native.OPEN_WITHOUT_AUDIO) as file:
        count = file.facts().picture_count
        if not 0 <= index < count:
            raise IndexError(f"{file.path}: picture {index} of {count}")
        size = file.picture(index).size
        data = ctypes.create_string_buffer(size)
        status = file.lib.velkor_read_picture(file.handle, index, data, size)
        if status != _native.OK:
            raise _error(status, file.path)
        return data.raw


def library_version() -> str:
    """The release number of the libvelkor this package loaded ("0.2.0"),
    which may differ from the package's own __version__."""
    return _native.decode(_native.library().velkor_version())


_INT32_MIN, _INT32_MAX = -2**31, 2**31 - 1


def _int32(what: str, value: int) -> int:
    """value as the 32-bit integer the library takes. ctypes would keep only
    its low 32 bits and so answer for another number."""
    number = operator.index(value)
    if not _INT32_MIN <= number <= _INT32_MAX:
        raise ValueError(f"{what} must be from {_INT32_MIN} to {_INT32_MAX}, not {number}")
    return number


def genre_name(number: int) -> Optional[str]:
    """The name of genre number 0 to 191 (ID3v1's 0 to 125 and the numbers
    players added), else None. ValueError for a
    number beyond 32 bits."""
    return _native.decode(_native.library().velkor_genre_name(_int32("a genre number", number))) or None


def genre_number(name: str) -> Optional[int]:
    """The ID3v1 genre number of a name (letter case ignored), else None."""
    number = _native.library().velkor_genre_number(name.encode("utf-8"))
    return None if number == -1000 else number


_AUDIO_EXTENSIONS_BYTES = (b".mp3", b".mp2", b".mp1", b".mpga")


def _top_files(folder: str) -> List[bytes]:
    """The audio files directly in folder, in the byte order of their names
    (links to files followed), as the operands of a scan."""
    with os.scandir(os.fsencode(folder)) as listing:
        entries = sorted(listing, key=lambda entry: entry.name)
    return [entry.path for entry in entries
            if entry.name.lower().endswith(_AUDIO_EXTENSIONS_BYTES) and entry.is_file()]


@overload
def scan(folder: PathLike, *, recursive: bool = ..., count_frames: bool = ...,
         errors: Literal["yield"] = ..., jobs: Optional[int] = ...
         ) -> Iterator[Union[Facts, Error]]: ...


@overload
def scan(folder: PathLike, *, recursive: bool = ..., count_frames: bool = ...,
         errors: Literal["skip", "raise"], jobs: Optional[int] = ...
         ) -> Iterator[Facts]: ...


def scan(folder: PathLike, *, recursive: bool = True, count_frames: bool = False,
         errors: str = "yield", jobs: Optional[int] = None
         ) -> Iterator[Union[Facts, Error]]:
    """The facts of every .mp3, .mp2, .mp1 and .mpga file in folder (letter
    case ignored), and in its subfolders unless recursive is False: depth
    first, each folder in the byte order of its names, links to files
    followed and links to folders not.

    A file that cannot be analysed (and a subfolder that cannot be listed)
    comes as its Error in the file's place with errors="yield", the default;
    errors="skip" leaves it out, errors="raise" raises it (ending the scan).
    The folder itself must exist: its OSError is raised by the call.

    The library analyses up to jobs files at once (None: its own choice,
    1: one after the other) and hands them out in order, so a first scan of
    a collection not yet in memory keeps the disk busy."""
    if errors not in ("yield", "skip", "raise"):
        raise ValueError(f"errors must be 'yield', 'skip' or 'raise', not {errors!r}")
    if jobs is not None and jobs < 1:
        raise ValueError(f"jobs must be 1 or more, not {jobs}")
    top = _display(folder)
    if not os.path.isdir(top):
        # The OS's own error (missing, not a folder, ...), raised here rather
        # than on the first next(), where it would pass for one file's.
        os.scandir(top).close()
    if jobs is not None and jobs > 256:
        raise ValueError(f"jobs must be 256 or less, not {jobs}")
    _native.library()  # a missing library fails the call, not the iteration
    operands = [os.fsencode(top)] if recursive else _top_files(top)
    # The scan's threads write each file's JSON, which _facts_of then takes.
    options = ((_native.SCAN_RECURSIVE if recursive else 0) | (_native.OPEN_COUNT_FRAMES if count_frames else 0) |
               _native.OPEN_WITHOUT_AUDIO | _native.SCAN_JSON | _FACTS_JSON << 16)
    return _scan(operands, options, jobs or 0, errors)


def _scan(operands: List[bytes], options: int, jobs: int, errors: str
          ) -> Iterator[Union[Facts, Error]]:
    lib = _native.library()
    paths = (ctypes.c_char_p * max(1, len(operands)))(*operands)
    scan = ctypes.c_void_p()
    status = lib.velkor_scan_open(paths, len(operands), options, jobs, ctypes.byref(scan))
    if status != _native.OK:
        raise _error(status, None)
    try:
        path, handle, status_out = ctypes.c_char_p(), ctypes.c_void_p(), ctypes.c_int32()
        # The same three out-parameters for every file: only this generator uses them.
        out = (ctypes.byref(path), ctypes.byref(handle), ctypes.byref(status_out))
        scan_next, close, fsdecode = lib.velkor_scan_next, lib.velkor_close, os.fsdecode
        while True:
            more = scan_next(scan, *out)
            if more == 0:
                break
            if more < 0:
                # The scan itself failed (out of memory): the files after it
                # were never reached, so this is no file's error to skip.
                raise _error(status_out.value, None)
            name = fsdecode(path.value or b"")
            item: Union[Facts, Error]
            file = handle.value
            if file:
                # A file without audio comes with a handle too: its tags.
                try:
                    item = _facts_of(lib, file, name)
                except NoAudioError as error:
                    item = error
                finally:
                    close(file)
            else:
                item = _error(status_out.value, name)
            if isinstance(item, Error):
                if errors == "raise":
                    raise item
                if errors == "skip":
                    continue
            yield item
    finally:
        lib.velkor_scan_close(scan)


@dataclass(frozen=True)
class SaveReport:
    """How Edit.save wrote the file (or would have, with dry_run)."""
    way: str  # "nothing", "in_place" (no audio byte moved) or "replaced" (a new file took the name)
    bytes_written: int
    id3v2_version: Optional[str]  # "2.3" or "2.4" of the tag now in the file; None without one
    id3v2_size: int  # the tag's bytes, header and padding included
    dropped_frames: int  # ID3v2.2 frames without a 2.3 id, left out
    tags: Tuple[str, ...]  # of "v1", "v2", "ape": the tags the file now holds


_TAG_NAMES = {"v1": _native.TAG_ID3V1, "v2": _native.TAG_ID3V2, "ape": _native.TAG_APEV2}
_ID3V1_MODES = {"keep": _native.ID3V1_KEEP, "add": _native.ID3V1_ADD, "remove": _native.ID3V1_REMOVE}


def _text(value: Optional[str]) -> Optional[bytes]:
    if value is None:
        return None
    if "\0" in value:
        raise ValueError(f"embedded null character in {value!r}")
    return value.encode("utf-8")


def _texts(values: Union[str, List[str], Tuple[str, ...]]) -> List[bytes]:
    if isinstance(values, str):
        values = [values]
    return [_text(v) for v in values]  # type: ignore[misc]


class _Field:
    """A common field, set by name: e.title = "x"; None or "" clears it.
    Reading gives the file's value when the edit was opened (None when it
    has none), or the value last set through this edit."""

    def __init__(self, number: int):
        self.number = number

    def __set_name__(self, owner: type, name: str) -> None:
        self.name = name

    def __get__(self, edit: Optional["Edit"], owner: type) -> Optional[str]:
        if edit is None:
            return self  # type: ignore[return-value]
        return edit._fields.get(self.name)

    def __set__(self, edit: "Edit", value: Optional[str]) -> None:
        edit.set_field(self.number, value)
        edit._fields[self.name] = value or None


class Edit:
    """The tags of one file, changed here and written by save() (or at the
    end of a with block that raised nothing). Texts are str; the library
    keeps the tag's version (2.2 becomes 2.3), writes frames nobody changed
    back as they were, and refuses to write a file that changed meanwhile
    (ChangedError)."""

    title = _Field(_native.ID3V2_TITLE)
    artist = _Field(_native.ID3V2_ARTIST)
    album = _Field(_native.ID3V2_ALBUM)
    album_artist = _Field(_native.ID3V2_ALBUM_ARTIST)
    date = _Field(_native.ID3V2_DATE)  # ISO 8601: "2004", "2004-05-01", "2004-05-01T12:30"
    year = _Field(_native.ID3V2_YEAR)
    track = _Field(_native.ID3V2_TRACK)  # "3" or "3/12"
    disc = _Field(_native.ID3V2_DISC)
    genre = _Field(_native.ID3V2_GENRE)  # a name, or a number stored as its name
    composer = _Field(_native.ID3V2_COMPOSER)
    comment = _Field(_native.ID3V2_COMMENT)  # the COMM of "eng" and ""
    compilation = _Field(_native.EDIT_COMPILATION)  # "1" or "0"
    bpm = _Field(_native.EDIT_BPM)
    lyrics = _Field(_native.EDIT_LYRICS)

    def __init__(self, path: PathLike):
        self.lib = _native.library()
        self.path = _display(path)
        handle = ctypes.c_void_p()
        status = self.lib.velkor_edit_open(_encode(path), 0, ctypes.byref(handle))
        if status != _native.OK:
            raise _error(status, self.path, self._no_audio(path) if status == _native.NO_AUDIO else None)
        self.handle: Optional[ctypes.c_void_p] = handle
        try:
            self._fields = self._file_values(path)
        except BaseException:
            self.close()
            raise

    @staticmethod
    def _file_values(path: PathLike) -> Dict[str, Optional[str]]:
        """The common fields as the file holds them: the ID3v2 tag's, else
        (a file without one) the ID3v1 tag's."""
        with _OpenFile(path, _native.OPEN_WITHOUT_AUDIO) as file:
            raw = file.facts()
            values: Dict[str, Optional[str]] = {}
            if raw.id3v2_version:
                for name, field in _EDIT_TEXTS.items():
                    values[name] = file.text(field) or None
                compilation = file.tag_facts().compilation
                values["compilation"] = None if compilation == -1 else str(compilation)
            elif raw.id3v1:
                for name, field in _ID3V1_TEXTS.items():
                    values[name] = file.text(field) or None
                values["date"] = values["year"]
                values["track"] = None if raw.id3v1_track == -1 else str(raw.id3v1_track)
            return values

    def _no_audio(self, path: PathLike) -> Optional[str]:
        """Why a file is not edited, in words: the format its signature
        names ("a FLAC file, not MPEG audio"), or that it is empty."""
        handle = ctypes.c_void_p()
        self.lib.velkor_open(_encode(path), _native.OPEN_WITHOUT_AUDIO, ctypes.byref(handle))
        if not handle:
            return None
        try:
            name = _native.decode(self.lib.velkor_text(handle, _native.STREAM_FORMAT))
            facts = _native.velkor_file_facts(size=ctypes.sizeof(_native.velkor_file_facts))
            self.lib.velkor_facts(handle, ctypes.byref(facts))
        finally:
            self.lib.velkor_close(handle)
        if name:
            article = "an" if name[0] in "AEIOU" or name.startswith("MP") else "a"
            return f"{article} {name} file, not MPEG audio"
        return "an empty file, not MPEG audio" if facts.file_size == 0 else None

    def __enter__(self) -> "Edit":
        return self

    def __exit__(self, kind: Optional[type], *_: object) -> None:
        try:
            if kind is None and self.handle is not None:
                self.save()
        finally:
            self.close()

    def __del__(self) -> None:
        self.close()

    def close(self) -> None:
        """Drops changes not saved. Further calls raise ValueError."""
        handle, self.handle = getattr(self, "handle", None), None
        if handle is not None:
            self.lib.velkor_edit_close(handle)

    def _call(self, name: str, *args: object, frame: Optional[str] = None, values: Sequence[bytes] = ()) -> None:
        if self.handle is None:
            raise ValueError(f"{self.path}: the edit is closed")
        status = getattr(self.lib, name)(self.handle, *args)
        if status != _native.OK:
            # A value the library refuses for text frame `frame`: why, in its words.
            problems = [self.lib.velkor_value_problem(_text(frame), value) for value in values] if frame else []
            raise _error(status, self.path, next((_native.decode(p) for p in problems if p), None))

    def set_field(self, field: int, value: Optional[str]) -> None:
        raw = _text(value)
        self._call("velkor_edit_set_field", field, raw, frame=_native.FIELD_FRAMES.get(field), values=[raw or b""])

    def set_text(self, id: str, values: Union[str, List[str], Tuple[str, ...]]) -> None:
        """Text frame id ("TPE1") with its values kept apart; [] removes it."""
        raw = _texts(values)
        self._call("velkor_edit_set_text", _text(id), (ctypes.c_char_p * max(1, len(raw)))(*raw), len(raw),
                   frame=id, values=raw)

    def set_user_text(self, description: str, values: Union[str, List[str], Tuple[str, ...]]) -> None:
        """The TXXX frame of description; [] removes it."""
        raw = _texts(values)
        self._call("velkor_edit_set_user_text", _text(description),
                   (ctypes.c_char_p * max(1, len(raw)))(*raw), len(raw))

    def set(self, key: str, values: Union[str, List[str], Tuple[str, ...]]) -> None:
        """Key `key` of the merged view (doc/keys.md: "TITLE", "ARTIST",
        ...) with its values; [] removes it. An unknown key, or a value
        its frame does not take, raises Error."""
        raw = _texts(values)
        self._call("velkor_edit_set_key", _text(key), (ctypes.c_char_p * max(1, len(raw)))(*raw), len(raw))

    def __setitem__(self, key: str, values: Union[str, List[str], Tuple[str, ...]]) -> None:
        self.set(key, values)

    def __delitem__(self, key: str) -> None:
        self.set(key, [])

    def set_comment(self, text: Optional[str], *, language: str = "eng", description: str = "") -> None:
        """The COMM frame of language and description; None removes it."""
        self._call("velkor_edit_set_comment", _text(language), _text(description), _text(text))

    def set_lyrics(self, text: Optional[str], *, language: str = "eng", description: str = "") -> None:
        """The USLT frame of language and description; None removes it."""
        self._call("velkor_edit_set_lyrics", _text(language), _text(description), _text(text))

    def set_url(self, id: str, url: Optional[str], *, description: Optional[str] = None) -> None:
        """URL frame id ("WOAR"), or "WXXX" with a description; None removes it."""
        if id == "WXXX" and description is None:
            description = ""
        self._call("velkor_edit_set_url", _text(id), _text(description), _text(url), frame=id, values=[_text(url) or b""])

    def add_picture(self, data: bytes, *, type: int = 3, mime: str = "image/jpeg",
                    description: str = "") -> None:
        """An APIC picture (type 3: front cover); it replaces the picture of
        the same type and description."""
        data = bytes(data)
        self._call("velkor_edit_add_picture", _int32("a picture type", type), _text(mime), _text(description),
                   data, _int32("a picture's size", len(data)), frame="APIC", values=[_text(mime) or b""])

    def remove_pictures(self, type: Optional[int] = None) -> None:
        """The pictures of type, or all of them."""
        self._call("velkor_edit_remove_pictures", -1 if type is None else _int32("a picture type", type))

    def set_popularimeter(self, email: str, rating: Optional[int], play_count: Optional[int] = None) -> None:
        """The POPM frame of email: rating 0 to 255 (None removes it)."""
        count = -1 if play_count is None else operator.index(play_count)
        if not -1 <= count < 2**63:
            raise ValueError(f"play_count out of range: {count}")
        self._call("velkor_edit_set_popularimeter", _text(email),
                   -1 if rating is None else _int32("a rating", rating), count)

    def remove_frames(self, id: str) -> None:
        """Every frame with that id."""
        self._call("velkor_edit_remove_frames", _text(id))

    def remove_tag(self, *tags: str) -> None:
        """Removes the tags named: "v1", "v2", "ape"."""
        bits = 0
        for tag in tags:
            if tag not in _TAG_NAMES:
                raise ValueError(f"a tag is 'v1', 'v2' or 'ape', not {tag!r}")
            bits |= _TAG_NAMES[tag]
        self._call("velkor_edit_remove_tag", bits)

    def set_id3v1(self, mode: str) -> None:
        """"keep" (the default: a tag the file has follows the changes), "add"
        (one is made when the file has none) or "remove"."""
        if mode not in _ID3V1_MODES:
            raise ValueError(f"mode is 'keep', 'add' or 'remove', not {mode!r}")
        self._call("velkor_edit_set_id3v1", _ID3V1_MODES[mode])

    def save(self, *, id3v24: bool = False, break_links: bool = False, dry_run: bool = False,
             preserve_times: bool = False) -> SaveReport:
        """Writes the changes. id3v24: a new tag (or a 2.2 one) is written as
        2.4. break_links: a file with other hard links that cannot be changed in
        place gets a new file under this name only (else LinkedError). dry_run: only report.
        preserve_times: the file keeps its modification time."""
        options = ((_native.SAVE_ID3V24 if id3v24 else 0) | (_native.SAVE_BREAK_LINKS if break_links else 0) |
                   (_native.SAVE_DRY_RUN if dry_run else 0) |
                   (_native.SAVE_PRESERVE_TIMES if preserve_times else 0))
        report = _native.velkor_save_report(size=ctypes.sizeof(_native.velkor_save_report))
        self._call("velkor_edit_save", options, ctypes.byref(report))
        return SaveReport(
            way=_native.SAVED_WAYS[report.way], bytes_written=report.bytes_written,
            id3v2_version=f"2.{report.id3v2_version}" if report.id3v2_version else None,
            id3v2_size=report.id3v2_size, dropped_frames=report.dropped_frames,
            tags=tuple(name for name, bit in _TAG_NAMES.items() if report.tags & bit))


def edit(path: PathLike) -> Edit:
    """The tags of the file at path, for changing: see Edit."""
    return Edit(path)


_WRITE_FIELDS = ("title", "artist", "album", "album_artist", "date", "year", "track", "disc", "genre",
                 "composer", "comment", "compilation", "bpm", "lyrics")
# Where an edit's fields are read from when it opens (compilation: the tag facts).
_EDIT_TEXTS = {"title": _native.ID3V2_TITLE, "artist": _native.ID3V2_ARTIST, "album": _native.ID3V2_ALBUM,
               "album_artist": _native.ID3V2_ALBUM_ARTIST, "date": _native.ID3V2_DATE,
               "year": _native.ID3V2_YEAR, "track": _native.ID3V2_TRACK, "disc": _native.ID3V2_DISC,
               "genre": _native.ID3V2_GENRE, "composer": _native.ID3V2_COMPOSER,
               "comment": _native.ID3V2_COMMENT, "bpm": _native.TAG_BPM, "lyrics": _native.TAG_LYRICS}
_ID3V1_TEXTS = {"title": _native.ID3V1_TITLE, "artist": _native.ID3V1_ARTIST, "album": _native.ID3V1_ALBUM,
                "year": _native.ID3V1_YEAR, "comment": _native.ID3V1_COMMENT, "genre": _native.ID3V1_GENRE}


def write(path: PathLike, *, id3v24: bool = False, id3v1: Optional[str] = None,
          **fields: Optional[str]) -> SaveReport:
    """Sets common fields in one call: write(p, title="x", track="3/12").
    A field given as None or "" is cleared; id3v1 is an Edit.set_id3v1 mode."""
    unknown = set(fields) - set(_WRITE_FIELDS)
    if unknown:
        raise TypeError(f"unknown fields: {', '.join(sorted(unknown))}")
    # One save: the edit is closed, not saved again on the way out.
    tags = Edit(path)
    try:
        for name, value in fields.items():
            setattr(tags, name, value)
        if id3v1 is not None:
            tags.set_id3v1(id3v1)
        return tags.save(id3v24=id3v24)
    finally:
        tags.close()
