/*
 * velkor: technical and descriptive facts of MPEG audio files.
 *
 * velkor's own C interface: reading a file's facts and tags, walking
 * folders, editing tags. Usable from C and C++. The fixed analysis exports
 * and the interoperability samples are in velkor_analysis.h.
 *
 * Calling convention: __stdcall on 32-bit Windows (the functions are
 * exported there by their plain, undecorated names), the platform's default
 * elsewhere. Strings are zero-terminated UTF-8. Integers are signed 32-bit
 * unless stated otherwise.
 *
 * How long a pointer the library returns stays valid: static texts
 * (velkor_version, velkor_status_text, velkor_genre_name) for as long as
 * the library is loaded; a file's texts until velkor_close of its handle;
 * a scan's path until the next velkor_scan_next or velkor_scan_close. The
 * caller never frees any of them.
 */
#ifndef VELKOR_H
#define VELKOR_H

#include <stddef.h>
#include <stdint.h>

#include "velkor_version.h"
#if defined(_WIN32)
#include <wchar.h>
#endif

#include "velkor_api.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * The release number of the library loaded, such as "0.2.0" (static): it
 * may be newer than the VELKOR_VERSION of the velkor.h a program was built
 * with.
 */
VELKOR_API const char *VELKOR_CALL velkor_version(void);

/*
 * Every fact of one file: the stream, the VBR header and the encoder's
 * gapless figures, ID3v1 and ID3v2.2/2.3/2.4 tags with their texts whole
 * and in UTF-8, and the pictures. A file is analysed once, by velkor_open;
 * its facts stay with the handle until velkor_close. Handles are
 * independent of each other and the library keeps no state between calls,
 * so any number of threads may use it at once (one handle per thread at a
 * time). Nothing here ever shows a notice: failures are statuses.
 *
 * Records carry their own size in their first field: the caller sets it to
 * sizeof the record it knows. New fields are only ever added at the end, so
 * callers built against an older velkor.h keep working: a record the
 * library fills is filled no further than its size, and in a record the
 * caller hands in, the fields past its size take their defaults (given for
 * each record). A record larger than the library knows is read as far as
 * the library knows it.
 */
typedef struct velkor_file velkor_file;

/* Statuses. */
#define VELKOR_OK 0
#define VELKOR_ERROR_NOT_FOUND 1     /* no such file (or a folder on its path is missing) */
#define VELKOR_ERROR_NOT_PERMITTED 2 /* no permission to read (or write) it */
#define VELKOR_ERROR_NOT_REGULAR 3   /* a folder, device, FIFO or socket */
#define VELKOR_ERROR_NO_AUDIO 4      /* read, but no MPEG audio frames in it */
#define VELKOR_ERROR_READ 5          /* any other failure to open or read it */
#define VELKOR_ERROR_NO_MEMORY 6
#define VELKOR_ERROR_ARGUMENT 7      /* a NULL pointer, unknown option, index or field */
#define VELKOR_ERROR_READ_ONLY 8     /* writing: the file system is read-only */
#define VELKOR_ERROR_NO_SPACE 9      /* writing: no room left (disk full, size limit) */
#define VELKOR_ERROR_WRITE 10        /* writing: any other failure; the file is left as it was */
#define VELKOR_ERROR_CHANGED 11      /* the file changed or was replaced since velkor_open analysed it */
#define VELKOR_ERROR_LINKED 12       /* writing: the file has other hard links and must be replaced
                                        (see VELKOR_SAVE_BREAK_LINKS) */
#define VELKOR_SKIPPED 13            /* a scan with VELKOR_SCAN_REPORT_SKIPPED passed over the entry */

/* The status in plain words: "no such file", "permission denied", ...
 * (static; "unknown status" for a number not listed here). */
VELKOR_API const char *VELKOR_CALL velkor_status_text(int32_t status);

/* Options of velkor_open. */
#define VELKOR_OPEN_COUNT_FRAMES 0x1u /* count every frame (exact figures without a VBR header) */
#define VELKOR_OPEN_WITHOUT_AUDIO 0x2u /* a file without MPEG audio still gives a handle for its tags */
#define VELKOR_OPEN_ALL_FRAMES 0x4u    /* every ID3v2 frame decoded while the file is open, so that
                                          velkor_frame and velkor_file_json need not open it again */

/*
 * Analyses the file at path (UTF-8; on Windows converted to UTF-16 and
 * opened with the wide API, so a name in any script opens). On VELKOR_OK *file
 * is a new handle, else NULL. Reads only what the facts need: pictures are
 * skipped, not read; the small ID3v2 frames and the APEv2 items the common
 * facts come from are decoded.
 *
 * With VELKOR_OPEN_WITHOUT_AUDIO, a file that holds no MPEG audio (only
 * tags, damaged audio, or another format such as FLAC behind an ID3v2 tag)
 * returns VELKOR_ERROR_NO_AUDIO and yet a handle in *file, which the caller
 * closes: its stream figures are -1 (stream_format names the other format
 * found, VELKOR_FORMAT_MPEG when none), its stream texts "", and its
 * ID3v1, ID3v2 and APEv2 tags read as any file's. Without the option a
 * file without audio gives no handle.
 */
VELKOR_API int32_t VELKOR_CALL velkor_open(const char *path, uint32_t options, velkor_file **file);
/*
 * Analyses the size bytes at bytes as a whole file: the same facts, texts,
 * frames and pictures as velkor_open gives, for a file already in memory
 * (velkor_open_stream reads one that comes as a stream). The bytes need
 * not outlive the call: the handle keeps a copy of the ID3v2 tag's bytes
 * (the frames and pictures are read from it) and nothing else. A picture
 * or frame beyond them gives VELKOR_ERROR_READ. VELKOR_ERROR_ARGUMENT for
 * NULL bytes with a size above 0; VELKOR_ERROR_NO_AUDIO as velkor_open.
 */
VELKOR_API int32_t VELKOR_CALL velkor_open_memory(const void *bytes, size_t size, uint32_t options,
                                                  velkor_file **file);
/*
 * Analyses a file that comes as a stream (standard input, a pipe, a
 * socket), read once from start to end by calling read(context, buffer,
 * size): it stores up to size bytes at buffer and returns how many, 0 at
 * the stream's end, or -1 when the stream cannot be read, which ends the
 * call with VELKOR_ERROR_READ (as does a count above size). Every frame is
 * counted as the stream passes, so the figures are those of velkor_open
 * with VELKOR_OPEN_COUNT_FRAMES (frames_exact 1), which option is implied;
 * VELKOR_OPEN_WITHOUT_AUDIO as velkor_open.
 *
 * Memory: the ID3v2 tag whole (at most the 256 MiB its size field can
 * name), the 64 KiB behind it and the stream's last 2 MiB (where the ID3v1,
 * APEv2 and Lyrics3 tags are), with a few MiB more at most, whatever the
 * stream's length; the middle is passed by. The handle keeps a copy of the
 * ID3v2 tag's bytes, where its frames and pictures are read, as
 * velkor_open_memory's does. What lies in the middle is analysed as bytes
 * that cannot be read: a trailing tag reaching beyond the last 2 MiB is
 * not found, and a first frame more than 64 KiB behind the ID3v2 tag gives
 * VELKOR_ERROR_NO_AUDIO.
 */
typedef int32_t (VELKOR_CALL *velkor_read_function)(void *context, void *buffer, int32_t size);
VELKOR_API int32_t VELKOR_CALL velkor_open_stream(velkor_read_function read, void *context, uint32_t options,
                                                  velkor_file **file);
/* Releases the handle and every text it gave out (velkor_text,
 * velkor_picture_text). NULL is ignored. */
VELKOR_API void VELKOR_CALL velkor_close(velkor_file *file);

/* Channel modes, VBR headers. */
#define VELKOR_MODE_STEREO 0
#define VELKOR_MODE_JOINT_STEREO 1
#define VELKOR_MODE_DUAL_CHANNEL 2
#define VELKOR_MODE_SINGLE_CHANNEL 3
#define VELKOR_VBR_NONE 0
#define VELKOR_VBR_XING 1
#define VELKOR_VBR_INFO 2 /* the Xing layout an encoder writes into a CBR stream */
#define VELKOR_VBR_VBRI 3

/* The numeric facts of a file. Unknown figures are -1. */
typedef struct velkor_file_facts {
    uint32_t size;            /* set by the caller: sizeof(velkor_file_facts) */
    int32_t mpeg_version;     /* 10 MPEG-1, 20 MPEG-2, 25 MPEG-2.5 */
    int32_t layer;            /* 1, 2 or 3 */
    int32_t sampling_rate_hz;
    int32_t channel_mode;     /* VELKOR_MODE_... */
    int32_t channels;         /* 1 or 2 */
    int32_t bitrate_kbps;     /* the average when a VBR header, the count or sampled frames give one */
    int32_t vbr_header;       /* VELKOR_VBR_... */
    int32_t frames_exact;     /* 1: frames from a VBR header or counted; 0: estimated */
    int32_t encoder_delay;    /* samples, from the encoder's tag; -1 */
    int32_t encoder_padding;  /* samples, from the encoder's tag; -1 */
    int32_t id3v1;            /* 0 none, 10 ID3v1.0, 11 ID3v1.1 */
    int32_t id3v1_track;      /* ID3v1.1 track, -1 */
    int32_t id3v1_genre;      /* the genre byte, 255 for none */
    int32_t id3v2_version;    /* 0 none, 2, 3 or 4 */
    int32_t picture_count;
    int64_t file_size;
    int64_t first_frame_offset;
    int64_t audio_bytes;      /* from the first frame to the end of the audio */
    int64_t frames;
    int64_t duration_ms;      /* samples / sampling rate, to the nearest ms */
    int64_t gapless_duration_ms; /* of gapless_samples, to the nearest ms; -1 */
    int64_t samples;          /* frames x samples per frame */
    int64_t gapless_samples;  /* less the encoder's delay and padding; -1 */
    int32_t bitrate_varies;   /* 1: VBR (a Xing or VBRI header, or the frames counted or
                                 sampled differ); then frames_exact 0 means the frames
                                 and the length are estimated from the frames sampled */
    int32_t stream_format;    /* VELKOR_FORMAT_...: the container the stream was found in */
    /* The encoder's settings from its tag behind the Xing/Info header (LAME
     * and encoders writing its layout); -1 when the tag does not state them. */
    int32_t lame_vbr_method;  /* VELKOR_LAME_METHOD_... */
    int32_t lame_quality;     /* the Xing quality indicator, 0 to 100 (100 - 10 x V - q) */
    int32_t lame_lowpass_hz;  /* the lowpass filter, in 100 Hz steps */
    int32_t lame_preset;      /* 8 to 320: ABR (or CBR) kbit/s; 410 to 500: V9 to V0 (500 - 10 x V);
                                 1000 to 1007: the named presets (VELKOR_STREAM_LAME_PRESET) */
    int32_t truncated;        /* 1: the file was cut short (the VBR header's frame or byte count
                                 cannot fit in it); the figures then come from the audio the
                                 file holds (estimated, or counted); -1 without audio */
    int32_t reserved;         /* 0 */
} velkor_file_facts;

/* lame_vbr_method: the 4-bit method of the encoder's tag. */
#define VELKOR_LAME_METHOD_UNKNOWN 0
#define VELKOR_LAME_METHOD_CBR 1
#define VELKOR_LAME_METHOD_ABR 2
#define VELKOR_LAME_METHOD_VBR_OLD 3   /* vbr-old, vbr-rh */
#define VELKOR_LAME_METHOD_VBR_NEW 4   /* vbr-new, vbr-mtrh */
#define VELKOR_LAME_METHOD_VBR_MT 5
#define VELKOR_LAME_METHOD_VBR_4 6
#define VELKOR_LAME_METHOD_CBR_2PASS 8
#define VELKOR_LAME_METHOD_ABR_2PASS 9

/* stream_format: where the stream was found, or for a file that is no MPEG
 * audio, the other format its first bytes (or those behind its ID3v2 tag)
 * name. */
#define VELKOR_FORMAT_MPEG 0      /* a plain MPEG audio stream */
#define VELKOR_FORMAT_RIFF_MPEG 1 /* the data chunk of a RIFF (WAVE or RMP3) file */
#define VELKOR_FORMAT_FLAC 2
#define VELKOR_FORMAT_OGG 3
#define VELKOR_FORMAT_AIFF 4
#define VELKOR_FORMAT_MP4 5
#define VELKOR_FORMAT_ELF 6
#define VELKOR_FORMAT_WINDOWS_EXE 7
#define VELKOR_FORMAT_ZIP 8
#define VELKOR_FORMAT_PDF 9
#define VELKOR_FORMAT_PNG 10
#define VELKOR_FORMAT_WAVE 11       /* a WAVE file holding other audio */
#define VELKOR_FORMAT_OTHER_RIFF 12

/* The 64-bit figures start 8-byte aligned on every platform. */
#if defined(__cplusplus)
static_assert(offsetof(velkor_file_facts, file_size) == 64 && sizeof(velkor_file_facts) == 160,
              "velkor_file_facts: no padding");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(offsetof(velkor_file_facts, file_size) == 64 && sizeof(velkor_file_facts) == 160,
               "velkor_file_facts: no padding");
#endif

/* Fills facts (as far as facts->size reaches). */
VELKOR_API int32_t VELKOR_CALL velkor_facts(const velkor_file *file, velkor_file_facts *facts);

/* Texts. VELKOR_ID3V2_* come from the ID3v2 tag (several values of one frame
 * joined by "; "; numeric genre references resolved to names; the comment
 * without a description preferred), VELKOR_ID3V1_* from the ID3v1 tag (Latin-1
 * as stored, converted), the rest from the stream. */
#define VELKOR_ID3V2_TITLE 1
#define VELKOR_ID3V2_ARTIST 2
#define VELKOR_ID3V2_ALBUM 3
#define VELKOR_ID3V2_ALBUM_ARTIST 4
#define VELKOR_ID3V2_YEAR 5     /* TYER, TDRC or TYE as stored ("2004", "2004-05-01") */
#define VELKOR_ID3V2_TRACK 6    /* as stored: "7" or "7/12" */
#define VELKOR_ID3V2_DISC 7
#define VELKOR_ID3V2_GENRE 8
#define VELKOR_ID3V2_COMPOSER 9
#define VELKOR_ID3V2_COMMENT 10
#define VELKOR_ID3V2_DATE 11    /* ISO 8601: TDRC as stored, or TYER, TDAT and TIME
                                   put together ("2004-05-01T12:30") */
#define VELKOR_ID3V1_TITLE 21
#define VELKOR_ID3V1_ARTIST 22
#define VELKOR_ID3V1_ALBUM 23
#define VELKOR_ID3V1_YEAR 24
#define VELKOR_ID3V1_COMMENT 25
#define VELKOR_ID3V1_GENRE 26   /* the genre's name, "not supported" for 126 and up */
#define VELKOR_STREAM_ENCODER 41 /* "LAME3.100" and the like, from the encoder's tag */
#define VELKOR_STREAM_VERSION 42 /* "MPEG 1 Layer III" */
#define VELKOR_STREAM_MODE 43    /* "Joint Stereo" */
#define VELKOR_STREAM_FORMAT 44  /* stream_format's name: "" for a plain stream, "MPEG audio in RIFF", "FLAC" */
#define VELKOR_STREAM_LAME_METHOD 45 /* lame_vbr_method's name: "cbr", "abr", "vbr-old", "vbr-new",
                                        "vbr-mt", "vbr-4", "cbr-2pass", "abr-2pass"; "" unknown */
#define VELKOR_STREAM_LAME_PRESET 46 /* lame_preset's name: "V2", "ABR 128", "CBR 320" (for the
                                        CBR methods), "--preset standard",
                                        "--preset extreme", "--preset insane", "--preset medium",
                                        "--preset fast standard", ..., "--preset r3mix"; "" */
/* The common texts: from the ID3v2 tag, else from the APEv2 tag (keys in
 * brackets, letter case ignored). The first frame of its kind gives each. */
#define VELKOR_TAG_RELEASE_DATE 61    /* TDRL as stored (ISO 8601) */
#define VELKOR_TAG_ORIGINAL_DATE 62   /* TDOR as stored, or TORY [Original Year] */
#define VELKOR_TAG_LYRICS 63          /* the first USLT's text [Lyrics] */
#define VELKOR_TAG_GROUPING 64        /* TIT1, else GRP1 [Grouping] */
#define VELKOR_TAG_KEY 65             /* TKEY ("Am") [Key] */
#define VELKOR_TAG_BPM 66             /* TBPM as stored [BPM] */
#define VELKOR_TAG_ARTIST_SORT 67     /* TSOP [ArtistSort] */
#define VELKOR_TAG_ALBUM_SORT 68      /* TSOA [AlbumSort] */
#define VELKOR_TAG_TITLE_SORT 69      /* TSOT [TitleSort] */
#define VELKOR_TAG_ALBUM_ARTIST_SORT 70 /* TSO2 [AlbumArtistSort] */
#define VELKOR_TAG_MUSICBRAINZ_TRACK_ID 71 /* the UFID of owner "http://musicbrainz.org"
                                              [MUSICBRAINZ_TRACKID] */
#define VELKOR_TAG_MUSICBRAINZ_ALBUM_ID 72          /* TXXX "MusicBrainz Album Id" [MUSICBRAINZ_ALBUMID] */
#define VELKOR_TAG_MUSICBRAINZ_ARTIST_ID 73         /* TXXX "MusicBrainz Artist Id" [MUSICBRAINZ_ARTISTID] */
#define VELKOR_TAG_MUSICBRAINZ_ALBUM_ARTIST_ID 74   /* TXXX "MusicBrainz Album Artist Id"
                                                       [MUSICBRAINZ_ALBUMARTISTID] */
#define VELKOR_TAG_MUSICBRAINZ_RELEASE_GROUP_ID 75  /* TXXX "MusicBrainz Release Group Id"
                                                       [MUSICBRAINZ_RELEASEGROUPID] */
#define VELKOR_TAG_MUSICBRAINZ_RELEASE_TRACK_ID 76  /* TXXX "MusicBrainz Release Track Id"
                                                       [MUSICBRAINZ_RELEASETRACKID] */

/*
 * The text, zero-terminated UTF-8, valid until velkor_close; "" when the
 * file has none. NULL for a NULL handle or an unknown field.
 */
VELKOR_API const char *VELKOR_CALL velkor_text(const velkor_file *file, int32_t field);
/*
 * Copies the text into buffer (size bytes; cut at a character's boundary,
 * always zero-terminated when size > 0). Returns the size the whole text
 * needs, zero byte included, or 0 for a NULL handle or an unknown field.
 */
VELKOR_API int32_t VELKOR_CALL velkor_get_text(const velkor_file *file, int32_t field, char *buffer, int32_t size);

/*
 * The merged view by keys: a field by the name taggers use ("TITLE",
 * "ARTIST", "ALBUMARTIST", "DATE", "TRACKNUMBER", "GENRE", "COMMENT",
 * "MUSICBRAINZ_ALBUMID", "REPLAYGAIN_TRACK_GAIN", ...; doc/keys.md lists
 * every key with its frames and items; letter case ignored). Its values
 * come from the ID3v2 tag, else the APEv2 tag, else the ID3v1 tag: several
 * values stay apart, genre references are resolved ("(4)Rock": "Disco",
 * "Rock"), a track "3/12" stays as stored, DATE is the tag's date as
 * VELKOR_ID3V2_DATE gives it. The view is made when first asked for (it
 * may read frames from the file again, as velkor_frame_text does).
 */
/* Key `index` of the table (index 0 up, in the order of doc/keys.md;
 * static), NULL past the last: the keys the library knows. */
VELKOR_API const char *VELKOR_CALL velkor_key_name(int32_t index);
/* How many values the key has: 0 for none or a key not in the table; -1 for
 * a NULL handle. */
VELKOR_API int32_t VELKOR_CALL velkor_tag_count(const velkor_file *file, const char *key);
/* Value `index` (0 to velkor_tag_count - 1) of the key, zero-terminated
 * UTF-8, valid until velkor_close; NULL for a NULL handle, an unknown key or
 * a bad index. */
VELKOR_API const char *VELKOR_CALL velkor_tag_value(const velkor_file *file, const char *key, int32_t index);
/* The keys the file has values for, index 0 up, in the order of
 * doc/keys.md: the key's name (static), NULL past the last. */
VELKOR_API const char *VELKOR_CALL velkor_tag_key(const velkor_file *file, int32_t index);

/*
 * The common facts as numbers, derived once at velkor_open from the ID3v2
 * frames, the APEv2 items and the encoder's tag. Unknown integers are -1.
 * The ReplayGain figures are meaningful where replaygain_known has their
 * bit (else 0.0); each comes from the first source that gives it: TXXX
 * REPLAYGAIN_TRACK_GAIN, _TRACK_PEAK, _ALBUM_GAIN, _ALBUM_PEAK (description
 * in any letter case), then RVA2 ("track" or "album", the master volume
 * channel), then the APEv2 items of those names, then the encoder's tag
 * (its peak; its radio gain as the track's, its audiophile gain as the
 * album's).
 */
#define VELKOR_REPLAYGAIN_TRACK_GAIN 0x1u
#define VELKOR_REPLAYGAIN_TRACK_PEAK 0x2u
#define VELKOR_REPLAYGAIN_ALBUM_GAIN 0x4u
#define VELKOR_REPLAYGAIN_ALBUM_PEAK 0x8u
typedef struct velkor_tag_facts_info {
    uint32_t size;          /* set by the caller: sizeof(velkor_tag_facts_info) */
    int32_t track;          /* TRCK "3/12" (or TRK), else APEv2 Track, else the ID3v1.1 track */
    int32_t track_total;
    int32_t disc;           /* TPOS "1/2" (TPA), else APEv2 Disc */
    int32_t disc_total;
    int32_t compilation;    /* TCMP or TCP, else APEv2 Compilation: 1 yes, 0 no, -1 unknown */
    int32_t bpm;            /* TBPM (TBP) rounded, else APEv2 BPM */
    int32_t rating;         /* the first POPM: 0 to 255 */
    int32_t year;           /* the recording date: TDRC, or TYER with TDAT and TIME, */
    int32_t month;          /* else APEv2 Year, else the ID3v1 year; each part -1 */
    int32_t day;            /* where the date does not give it */
    int32_t hour;
    int32_t minute;
    int32_t release_year;   /* TDRL */
    int32_t original_year;  /* TDOR, else TORY (TOR) */
    uint32_t replaygain_known; /* VELKOR_REPLAYGAIN_...: the figures below that are given */
    int64_t play_count;     /* the first POPM's counter, else PCNT */
    double track_gain_db;
    double track_peak;      /* 1.0 is full scale */
    double album_gain_db;
    double album_peak;
} velkor_tag_facts_info;

#if defined(__cplusplus)
static_assert(offsetof(velkor_tag_facts_info, play_count) == 64 && sizeof(velkor_tag_facts_info) == 104,
              "velkor_tag_facts_info: no padding");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(offsetof(velkor_tag_facts_info, play_count) == 64 && sizeof(velkor_tag_facts_info) == 104,
               "velkor_tag_facts_info: no padding");
#endif

/* Fills facts (as far as facts->size reaches). VELKOR_ERROR_ARGUMENT for a
 * NULL handle or record, or a size below 4. */
VELKOR_API int32_t VELKOR_CALL velkor_tag_facts(const velkor_file *file, velkor_tag_facts_info *facts);

/* Pictures of the ID3v2 tag, index 0 to picture_count - 1: every APIC (PIC)
 * frame stored plainly or compressed; an encrypted one is no picture (it
 * stays listed among the frames). */
typedef struct velkor_picture_info {
    uint32_t size;     /* set by the caller: sizeof(velkor_picture_info) */
    int32_t type;      /* the APIC picture type: 3 front cover, 4 back cover, ... */
    int32_t bytes;     /* size of the picture data (inflated, for a compressed frame) */
} velkor_picture_info;
#define VELKOR_PICTURE_MIME 1        /* "image/jpeg" */
#define VELKOR_PICTURE_DESCRIPTION 2
VELKOR_API int32_t VELKOR_CALL velkor_picture(const velkor_file *file, int32_t index, velkor_picture_info *picture);
/* The picture's MIME type or description, as velkor_text gives texts
 * (valid until velkor_close). */
VELKOR_API const char *VELKOR_CALL velkor_picture_text(const velkor_file *file, int32_t index, int32_t field);
/*
 * Reads the picture's data from the file into buffer (size bytes). Returns
 * VELKOR_OK when all of it fitted, VELKOR_ERROR_ARGUMENT when buffer is too small
 * (nothing is read), VELKOR_ERROR_CHANGED when the file at the path is no
 * longer the one analysed (its size, modification time or, on POSIX
 * systems, device and inode differ), or the status of the failed read.
 */
VELKOR_API int32_t VELKOR_CALL velkor_read_picture(const velkor_file *file, int32_t index, void *buffer, int32_t size);

/*
 * Every frame of the ID3v2 tag, in the order of the tag: index 0 to
 * velkor_frame_count - 1 (the first 4096 frames; velkor_frame_count gives how
 * many the tag holds). Frames of size 0 and padding are not frames.
 * velkor_open decodes the small frames (up to 16 KiB each and 1 MiB in all;
 * the common facts' own 1 MiB beside) and the pictures (from their first
 * bytes), and keeps the bytes of the others up to 64 KiB each and 2 MiB in
 * all, all from its own reads; any other frame's content is decoded
 * when it is first asked for (velkor_frame, velkor_frame_text) and kept
 * with the handle. A tag with more is read from the file again then: so,
 * like velkor_read_picture, these may read the file again by its path.
 */
#define VELKOR_FRAME_TEXT 0          /* T***: values */
#define VELKOR_FRAME_USER_TEXT 1     /* TXXX: description, values */
#define VELKOR_FRAME_URL 2           /* W***: the URL as value 0 */
#define VELKOR_FRAME_USER_URL 3      /* WXXX: description, the URL as value 0 */
#define VELKOR_FRAME_COMMENT 4       /* COMM: language, description, values */
#define VELKOR_FRAME_LYRICS 5        /* USLT: language, description, the text as value 0 */
#define VELKOR_FRAME_PICTURE 6       /* APIC: description, the MIME type as value 0 */
#define VELKOR_FRAME_POPULARIMETER 7 /* POPM: owner (the e-mail), rating, play_count */
#define VELKOR_FRAME_UNIQUE_ID 8     /* UFID: owner, the identifier as value 0 */
#define VELKOR_FRAME_PRIVATE 9       /* PRIV: owner (the data: velkor_read_frame) */
#define VELKOR_FRAME_CHAPTER 10      /* CHAP: element id, times, offsets, title */
#define VELKOR_FRAME_TOC 11          /* CTOC: element id, toc_flags, children, title */
#define VELKOR_FRAME_OTHER 12        /* anything else: velkor_read_frame */
#define VELKOR_FRAME_PEOPLE 13       /* TIPL, TMCL, IPLS: values in pairs, role then name */

/* How many frames the ID3v2 tag holds (0 without one), or -1 for NULL. */
VELKOR_API int32_t VELKOR_CALL velkor_frame_count(const velkor_file *file);

typedef struct velkor_frame_info {
    uint32_t size;        /* set by the caller: sizeof(velkor_frame_info) */
    uint32_t flags;       /* the header's two flag bytes (0 in ID3v2.2) */
    char id[8];           /* "TIT2"; three letters in ID3v2.2 ("TT2") */
    char id_v24[8];       /* the ID3v2.3/2.4 id ("TIT2" for "TT2"); "" when there is none */
    int32_t kind;         /* VELKOR_FRAME_... */
    int32_t encrypted;    /* 1: stored encrypted; its content cannot be had */
    int32_t compressed;   /* 1: stored compressed (zlib); its content is inflated */
    int32_t value_count;  /* values velkor_frame_text gives (at most 4096) */
    int64_t body_size;    /* the content's bytes (inflated, resynchronised), what
                             velkor_read_frame writes; -1 when it cannot be had */
    int32_t rating;       /* POPM: 0 to 255; else -1 */
    int32_t toc_flags;    /* CTOC: 0x02 top level, 0x01 ordered; else -1 */
    int64_t play_count;   /* POPM, PCNT; -1 when not given */
    int64_t start_ms;     /* CHAP; else -1 */
    int64_t end_ms;
    int64_t start_offset; /* CHAP: bytes; 4294967295 when not given; else -1 */
    int64_t end_offset;
    int32_t child_count;  /* CTOC: child element ids velkor_frame_text gives */
    int32_t truncated;    /* 1: a text was cut at 1 MiB, values were left out, or the
                             handle's frames already hold 64 MiB of texts (this
                             frame then gives none) */
} velkor_frame_info;

#if defined(__cplusplus)
static_assert(offsetof(velkor_frame_info, body_size) == 40 && sizeof(velkor_frame_info) == 104,
              "velkor_frame_info: no padding");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(offsetof(velkor_frame_info, body_size) == 40 && sizeof(velkor_frame_info) == 104,
               "velkor_frame_info: no padding");
#endif

/* Fills info (as far as info->size reaches) for frame `index`. VELKOR_ERROR_ARGUMENT
 * for a bad index; a read failure's status when the file cannot be read again. */
VELKOR_API int32_t VELKOR_CALL velkor_frame(const velkor_file *file, int32_t index, velkor_frame_info *info);

/* Fields of velkor_frame_text. */
#define VELKOR_FRAME_VALUE 1       /* value `value_index` (0 to value_count - 1) */
#define VELKOR_FRAME_DESCRIPTION 2 /* TXXX, WXXX, COMM, USLT, APIC */
#define VELKOR_FRAME_LANGUAGE 3    /* COMM, USLT: "eng" */
#define VELKOR_FRAME_OWNER 4       /* UFID, PRIV, POPM; RVA2: its identification */
#define VELKOR_FRAME_ELEMENT_ID 5  /* CHAP, CTOC */
#define VELKOR_FRAME_CHILD 6       /* CTOC: child `value_index` (0 to child_count - 1) */
#define VELKOR_FRAME_TITLE 7       /* CHAP, CTOC: the embedded TIT2 */
#define VELKOR_FRAME_NAME 8        /* what the frame is: "Title" for TIT2; "" when unknown */
#define VELKOR_FRAME_KIND_NAME 9   /* the kind as a word: "text", "user_text", "people", ... */
#define VELKOR_FRAME_GENRE 10      /* TCON: genre `value_index`, numeric references
                                      resolved ("(4)Rock": "Disco", "Rock"); NULL past the last */
#define VELKOR_FRAME_FIELD 11      /* the tag's text the frame gives: "title", "artist", "album",
                                      "album_artist", "composer", "genre", "track", "disc",
                                      "year", "recorded", "day_month", "time", "comment",
                                      "picture"; "" for any other frame */

/*
 * A text of frame `index`, zero-terminated UTF-8, valid until velkor_close;
 * "" when the frame has none of that field. Several values of a frame stay
 * apart: each is one value_index. NULL for a NULL handle, a bad index,
 * field or value_index, or when the file cannot be read again.
 */
VELKOR_API const char *VELKOR_CALL velkor_frame_text(const velkor_file *file, int32_t index, int32_t field,
                                                     int32_t value_index);
/*
 * The size in bytes of that text, or -1 where velkor_frame_text gives NULL.
 * A unique id's identifier (UFID) is bytes, given one to a character
 * (U+0000 to U+00FF): it may hold zero bytes, which this size takes in.
 */
VELKOR_API int32_t VELKOR_CALL velkor_frame_text_size(const velkor_file *file, int32_t index, int32_t field,
                                                    int32_t value_index);

/*
 * Reads the content of frame `index` into buffer (size bytes): inflated and
 * resynchronised, behind the frame's group and length fields; an encrypted
 * frame's as stored. Returns VELKOR_OK when all of it (body_size bytes)
 * fitted, VELKOR_ERROR_ARGUMENT for a bad index or a buffer too small (nothing
 * is written), or the status of the failed read.
 */
VELKOR_API int32_t VELKOR_CALL velkor_read_frame(const velkor_file *file, int32_t index, void *buffer, int32_t size);

/*
 * The items of the APEv2 tag at the file's end, in the order of the tag:
 * index 0 to velkor_ape_item_count - 1. They are read at velkor_open (the
 * values of text and locator items; a binary item's value is read when
 * asked for). Bounds: at most 4096 items, values of text items read up to
 * 1 MiB each and 16 MiB in all (an item cut there has truncated 1).
 */
#define VELKOR_APE_TEXT 0     /* UTF-8 values */
#define VELKOR_APE_BINARY 1   /* bytes: velkor_read_ape_item */
#define VELKOR_APE_LOCATOR 2  /* an external link (URL) as UTF-8 values */
#define VELKOR_APE_RESERVED 3

/* How many items the APEv2 tag holds (0 without one), or -1 for NULL. */
VELKOR_API int32_t VELKOR_CALL velkor_ape_item_count(const velkor_file *file);

typedef struct velkor_ape_item_info {
    uint32_t size;       /* set by the caller: sizeof(velkor_ape_item_info) */
    int32_t kind;        /* VELKOR_APE_... */
    int32_t read_only;   /* 1: the item's read-only flag is set */
    int32_t value_count; /* text and locator items: values split at zero bytes; else 0 */
    int32_t truncated;   /* 1: only the value's start was read */
    int32_t reserved;    /* 0 */
    int64_t body_size;   /* the value's bytes as stored (what velkor_read_ape_item writes) */
    char key[256];       /* as stored: 2 to 255 printable ASCII characters */
} velkor_ape_item_info;

#if defined(__cplusplus)
static_assert(offsetof(velkor_ape_item_info, body_size) == 24 && sizeof(velkor_ape_item_info) == 288,
              "velkor_ape_item_info: no padding");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(offsetof(velkor_ape_item_info, body_size) == 24 && sizeof(velkor_ape_item_info) == 288,
               "velkor_ape_item_info: no padding");
#endif

/* Fills info (as far as info->size reaches) for item `index`;
 * VELKOR_ERROR_ARGUMENT for a bad index. */
VELKOR_API int32_t VELKOR_CALL velkor_ape_item(const velkor_file *file, int32_t index, velkor_ape_item_info *info);

/* Fields of velkor_ape_item_text. */
#define VELKOR_APE_KEY 1    /* the key (value_index ignored) */
#define VELKOR_APE_VALUE 2  /* value `value_index` (0 to value_count - 1) */

/* A text of item `index`, zero-terminated UTF-8 (invalid bytes replaced by
 * U+FFFD), valid until velkor_close. NULL for a NULL handle, a bad index,
 * field or value_index. */
VELKOR_API const char *VELKOR_CALL velkor_ape_item_text(const velkor_file *file, int32_t index, int32_t field,
                                                        int32_t value_index);

/*
 * Reads the value of item `index` as stored (body_size bytes) into buffer,
 * again from the file by its path (VELKOR_ERROR_CHANGED as for
 * velkor_read_picture). VELKOR_OK when all of it fitted,
 * VELKOR_ERROR_ARGUMENT for a bad index or a buffer too small (nothing is
 * written), or the status of the failed read.
 */
VELKOR_API int32_t VELKOR_CALL velkor_read_ape_item(const velkor_file *file, int32_t index, void *buffer, int32_t size);

/*
 * The file's facts as one JSON object: the line `velkor --json` writes for
 * it, in the layout of doc/json.md, without the line break. *text points at
 * the object's size bytes of UTF-8 (*size; a zero byte follows them), which
 * stay valid until the next velkor_file_json of the handle or its
 * velkor_close; the caller never frees them. A second call with the
 * handle's own path and the same options gives the object written before
 * (as a scan with VELKOR_SCAN_JSON hands it out). path: the name the object
 * gives as "path" (bytes that are not UTF-8 written as U+FFFD, their exact
 * bytes in base64 as "path_bytes"); NULL for the path the handle was opened
 * by. A handle of a file without audio (VELKOR_OPEN_WITHOUT_AUDIO) gives
 * the object of status "no_audio".
 *
 * Every frame of the ID3v2 tag is read for it (as velkor_frame reads them),
 * so it may read the file again by its path, unless the handle was opened
 * with VELKOR_OPEN_ALL_FRAMES. Returns VELKOR_OK;
 * VELKOR_ERROR_ARGUMENT for a NULL handle, text or size or an unknown
 * option; VELKOR_ERROR_NO_MEMORY; or the status of a frame that cannot be
 * read again (VELKOR_ERROR_CHANGED, ...). On a failure *text is NULL and
 * *size 0.
 */
/* The version of the layout: a key renamed, retyped or dropped raises the
 * first number, a key added the second. */
#define VELKOR_JSON_VERSION "1.2"
/* Texts as velkor_text gives them: the "id3v2" object's title, artist,
 * album, album_artist, composer and genre one string each (a frame's
 * values joined by "; "), its track and disc as stored ("7/12"), and each
 * of "comments" with all of its frame's values joined by "; " as "text". */
#define VELKOR_JSON_JOINED_TEXTS 0x1u
/* The frames apart, for a caller that decodes them only when it needs
 * them: the "id3v2" object without its "frames", and behind the object a
 * line break and the array of the frames ([] without a tag). The object
 * itself never holds a line break. */
#define VELKOR_JSON_FRAMES_APART 0x2u
/* Every object of the layout as the array of its members' values, in the
 * layout's order, for a caller that knows the layout and would rather not
 * read the keys again for every file: "path_bytes" always has its place
 * (null for a name in UTF-8); "musicbrainz" and "tags", whose keys are
 * what they tell, stay objects. */
#define VELKOR_JSON_VALUES_ONLY 0x4u
VELKOR_API int32_t VELKOR_CALL velkor_file_json(velkor_file *file, const char *path, uint32_t options,
                                                const char **text, size_t *size);

/*
 * The JSON object `velkor --json` writes for a file that gave no handle:
 * json_version, velkor, path (and path_bytes, as velkor_file_json writes
 * them), status (the failure's name: "not_found", "read", ...), error (its
 * text; NULL writes null) and stream_format when not NULL or empty. The
 * object and a zero byte go into buffer when size bytes hold them; *length
 * is the object's length without the zero byte either way. Returns
 * VELKOR_OK; VELKOR_ERROR_ARGUMENT for a NULL path, status or length or a
 * buffer too small (call again with *length + 1 bytes);
 * VELKOR_ERROR_NO_MEMORY.
 */
VELKOR_API int32_t VELKOR_CALL velkor_failure_json(const char *path, const char *status, const char *error,
                                                   const char *stream_format, char *buffer, size_t size,
                                                   size_t *length);

/* The name of genre number 0 to 191 ("Blues" ... "Psybient"; static), else NULL. */
VELKOR_API const char *VELKOR_CALL velkor_genre_name(int32_t genre);
/* The number of a genre name (letter case ignored), or -1000. */
VELKOR_API int32_t VELKOR_CALL velkor_genre_number(const char *name);

/* Room for any playing time's text, its zero byte included. */
#define VELKOR_DURATION_TEXT_SIZE 24
/* A playing time of `seconds` (a negative one as 0) as "mm:ss", or
 * "hh:mm:ss" from an hour on, the hours growing past two digits as needed:
 * copied into buffer with a zero byte, cut to `size` bytes; returns the room
 * the whole text needs, its zero byte included. */
VELKOR_API int32_t VELKOR_CALL velkor_duration_text(int64_t seconds, char *buffer, int32_t size);

/* What velkor_write_id3v1 stores: the fields named in `fields`; the others keep
 * what the file's tag holds (or are empty when it has none). */
#define VELKOR_FIELD_TITLE 0x01u
#define VELKOR_FIELD_ARTIST 0x02u
#define VELKOR_FIELD_ALBUM 0x04u
#define VELKOR_FIELD_YEAR 0x08u
#define VELKOR_FIELD_COMMENT 0x10u
#define VELKOR_FIELD_TRACK 0x20u
#define VELKOR_FIELD_GENRE 0x40u
typedef struct velkor_id3v1_fields {
    uint32_t size;        /* set by the caller: sizeof(velkor_id3v1_fields), at least 8 */
    uint32_t fields;      /* VELKOR_FIELD_... */
    const char *title;    /* UTF-8, stored as Latin-1 ('?' for others), 30 bytes at most */
    const char *artist;
    const char *album;
    const char *comment;  /* 30 bytes, 28 with a track */
    int32_t year;         /* 0 to 9999 */
    int32_t track;        /* 1 to 255; 0 removes it (ID3v1.0) */
    int32_t genre;        /* 0 to 191 (the genre table); 255 for none */
} velkor_id3v1_fields;

/*
 * Writes the ID3v1 tag of the file at path (UTF-8): over the tag it ends
 * with, or appended (also behind an APEv2 tag whose last 128 bytes begin
 * with "TAG": they are the APE tag's). Nothing else in the file changes, and a failed write
 * leaves the file as it was. VELKOR_ERROR_ARGUMENT for a value out of range
 * or a size below 8. A field past tag->size is not written, as if it were
 * not named in `fields`: the file's tag keeps it.
 *
 * Only the bytes of the fields that change are written, the same way as
 * velkor_edit_save writes (in place within one 4 KiB page, else a new file
 * renamed over the old one, under the same lock), and synced before the
 * call returns, so even a process killed meanwhile leaves the file with its
 * old tag or the whole new one. VELKOR_ERROR_CHANGED when another program
 * changed the file while it was read. VELKOR_ERROR_NOT_REGULAR for anything
 * but a regular file (a device such as /dev/null, a FIFO, a folder);
 * VELKOR_ERROR_NO_SPACE when the disk or the process's file size limit
 * (ulimit -f) has no room for the tag: checked before writing, so the limit
 * never raises SIGXFSZ. VELKOR_OK means the tag is in the file: an error
 * the close reports after the synced write cannot concern its bytes and
 * is not reported.
 */
VELKOR_API int32_t VELKOR_CALL velkor_write_id3v1(const char *path, const velkor_id3v1_fields *tag);

/*
 * Many files at once. A scan analyses the files named in paths (count of
 * them) or, with VELKOR_SCAN_RECURSIVE, the audio files beneath the folders
 * among them (depth first, each folder's entries sorted by name; .mp3,
 * .mp2, .mp1 and .mpga), several at a time
 * on `threads` threads (0: the library's choice; 1: one after the other on
 * the caller's thread), and hands the results out in that order. Memory
 * stays the same however many files there are.
 *
 * A recursive walk passes over: links to folders (unless
 * VELKOR_SCAN_FOLLOW_LINKS), a folder that is one of the folders it is
 * already in (a loop through links), and audio-named entries that are no
 * regular file (FIFOs, sockets, devices, broken links). With
 * VELKOR_SCAN_REPORT_SKIPPED each of them is a result of its own, in its
 * place: its path, no handle and the status VELKOR_SKIPPED.
 */
#define VELKOR_SCAN_RECURSIVE 0x100u
/* Only the walk: each file's path with VELKOR_OK and no handle (a folder's
 * problems as they are), for a caller that analyses the files itself. */
#define VELKOR_SCAN_PATHS_ONLY 0x200u
/* Walk into the folders links lead to, but never into a folder the walk is
 * already in (same device and inode, or volume and file index). */
#define VELKOR_SCAN_FOLLOW_LINKS 0x400u
/* Hand out what the walk passes over as results with VELKOR_SKIPPED. */
#define VELKOR_SCAN_REPORT_SKIPPED 0x800u
/* Each handle comes with its JSON object written on the scan's threads:
 * velkor_file_json of the handle with the path handed out (or NULL) and
 * the options given by VELKOR_SCAN_JSON_OPTIONS (0 without it) gives it
 * without writing it again. */
#define VELKOR_SCAN_JSON 0x1000u
#define VELKOR_SCAN_JSON_OPTIONS(json_options) ((uint32_t)(json_options) << 16)
typedef struct velkor_scan velkor_scan;
/* options: VELKOR_SCAN_... and velkor_open's options. */
VELKOR_API int32_t VELKOR_CALL velkor_scan_open(const char *const *paths, int32_t count, uint32_t options,
                                  int32_t threads, velkor_scan **scan);
/*
 * The next result. Returns
 *    1  a result: *path (valid until the next call or velkor_scan_close) and
 *       either *status VELKOR_OK and *file, a handle the caller closes (it
 *       outlives the scan), or *file NULL and *status saying why the file
 *       (or a folder on the way) could not be analysed; a folder named
 *       without VELKOR_SCAN_RECURSIVE is VELKOR_ERROR_NOT_REGULAR. With
 *       VELKOR_OPEN_WITHOUT_AUDIO a file without audio is *status
 *       VELKOR_ERROR_NO_AUDIO with a handle in *file (its tags), which the
 *       caller closes too;
 *    0  done: every result was handed out (*path and *file NULL, *status
 *       VELKOR_OK);
 *   -1  the scan itself failed and hands out nothing more (*path and *file
 *       NULL; *status VELKOR_ERROR_NO_MEMORY when the walk ran out of
 *       memory, VELKOR_ERROR_READ for any other failure of the walk,
 *       VELKOR_ERROR_ARGUMENT for a NULL argument). Every result before the
 *       failure was handed out; later calls return -1 again.
 * A loop takes results while the call returns 1, then tells the end from a
 * failure by the return.
 */
VELKOR_API int32_t VELKOR_CALL velkor_scan_next(velkor_scan *scan, const char **path, velkor_file **file, int32_t *status);
/* Stops the scan (results not taken are dropped) and releases it. */
VELKOR_API void VELKOR_CALL velkor_scan_close(velkor_scan *scan);

/* Editing tags ---------------------------------------------------------- */

/*
 * An edit reads the tags of one file (velkor_edit_open), collects changes
 * (velkor_edit_set_..., velkor_edit_remove_...), and writes them in one go
 * (velkor_edit_save). A file is edited when it is read as MPEG audio (a
 * confirmed frame, plain or in a RIFF file) or holds nothing but tags. Texts
 * are UTF-8. Nothing reaches the file before velkor_edit_save; the setters
 * only change the edit, so a failed setter leaves the edit as it was.
 *
 * The ID3v2 tag keeps its version: a 2.3 tag is written as 2.3, a 2.4 tag
 * as 2.4. A 2.2 tag is written as 2.3 (as 2.4 with VELKOR_SAVE_ID3V24), its
 * frames under their 2.3 ids (TT2 as TIT2, PIC as APIC, COM as COMM, ...);
 * a 2.2 frame without a 2.3 id is dropped (velkor_save_report counts them).
 * A new tag is 2.3, its texts in ISO-8859-1 where they fit and UTF-16
 * otherwise, or 2.4 with VELKOR_SAVE_ID3V24, its texts in UTF-8. Frame ids
 * are the 2.3/2.4 ones whatever the file holds.
 *
 * Every frame no call changes is written back as stored, in its place
 * (pictures, private and unknown frames, chapters included); one stored
 * compressed or unsynchronised is written plain. The tag is never
 * unsynchronised or compressed, and an extended header is dropped. When the
 * new tag fits into the room of the old one (its header, frames and
 * padding), it is padded to exactly that room, so the audio stays where it
 * is; otherwise it gets fresh padding: 1024 bytes and a sixteenth of its
 * frames' size, at most 4096 bytes in all. A tag left without frames is
 * removed from the file. An APEv2 tag and a Lyrics3 block stay as stored
 * unless removed; the ID3v1 tag follows velkor_edit_set_id3v1.
 */
typedef struct velkor_edit velkor_edit;

/*
 * Reads the tags of the file at path (UTF-8) and remembers which file it
 * is. options: 0 (no options are defined yet). On VELKOR_OK *edit is a new
 * edit, else NULL. VELKOR_ERROR_NOT_REGULAR for anything but a regular file;
 * VELKOR_ERROR_NO_AUDIO for an empty file, a file of another format (FLAC,
 * WAVE without MPEG audio, Ogg, MP4, ...; velkor_open names it in
 * VELKOR_STREAM_FORMAT) and one without a confirmed frame, unless it holds
 * nothing but tags. An ID3v2 header that cannot be trusted with the bytes it
 * claims (a size past the file's end, flags its version does not define, a
 * footer not where its size says) is no tag to replace: a save
 * puts the new tag in front of it and keeps its bytes.
 * The edit holds the bytes of the file's tags (pictures included, the audio
 * not) until velkor_edit_close. A path that is a symbolic link edits the
 * file it names. The edit holds the file's save lock (flock) until
 * velkor_edit_close: another process's velkor_edit_open of the file waits
 * for it (edits in one process share it), so two saves never interleave.
 */
VELKOR_API int32_t VELKOR_CALL velkor_edit_open(const char *path, uint32_t options, velkor_edit **edit);
/* Releases the edit; changes not saved are dropped. NULL is ignored. */
VELKOR_API void VELKOR_CALL velkor_edit_close(velkor_edit *edit);

/*
 * Every setter returns VELKOR_OK, VELKOR_ERROR_ARGUMENT (a NULL edit, a
 * bad id or field, a NULL where a text is needed, a text that is no UTF-8,
 * a number out of range) or VELKOR_ERROR_NO_MEMORY. A frame id is four
 * characters: A to Z and 0 to 9.
 */

/*
 * Gives text frame `id` (T***, not TXXX; also GRP1, MVNM, MVIN) the `count`
 * values; count 0 removes it. The frame replaces every frame with that id,
 * in the place of the first. Several values stay apart: zero-separated in
 * 2.4, joined with "/" in 2.3 (the separator readers of 2.3 expect; the
 * people lists TIPL, TMCL and IPLS keep their pairs zero-separated in both).
 */
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_text(velkor_edit *edit, const char *id, const char *const *values,
                                                    int32_t count);
/* The TXXX frame of `description` (letter case counts) gets the values, as
 * velkor_edit_set_text; count 0 removes it. */
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_user_text(velkor_edit *edit, const char *description,
                                                         const char *const *values, int32_t count);
/* The COMM frame of language ("eng"; three letters; NULL for "eng") and
 * description (NULL for "") gets text; a NULL text removes it. */
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_comment(velkor_edit *edit, const char *language,
                                                       const char *description, const char *text);
/* The same for the USLT frame (unsynchronised lyrics). */
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_lyrics(velkor_edit *edit, const char *language,
                                                      const char *description, const char *text);
/* URL frame `id`: W*** with description NULL; WXXX by description (NULL
 * for ""). A NULL url removes it. */
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_url(velkor_edit *edit, const char *id, const char *description,
                                                   const char *url);
/* Adds an APIC picture: type 0 to 255 (3 front cover), mime ("image/jpeg";
 * NULL or "" for the type the data's first bytes show: JPEG, PNG, GIF, BMP
 * or WebP), description (NULL for ""), size bytes of data (copied; at most
 * 16 MiB, else VELKOR_ERROR_ARGUMENT). It replaces a picture of the same
 * type and description. */
VELKOR_API int32_t VELKOR_CALL velkor_edit_add_picture(velkor_edit *edit, int32_t type, const char *mime,
                                                       const char *description, const void *data, int32_t size);
/* Removes the pictures of `type`; -1 removes all of them. */
VELKOR_API int32_t VELKOR_CALL velkor_edit_remove_pictures(velkor_edit *edit, int32_t type);
/* The POPM frame of email (NULL for ""): rating 0 to 255, play_count 0 and
 * up or -1 for none. A rating of -1 removes the frame. */
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_popularimeter(velkor_edit *edit, const char *email, int32_t rating,
                                                             int64_t play_count);
/* Removes every frame with that id. */
VELKOR_API int32_t VELKOR_CALL velkor_edit_remove_frames(velkor_edit *edit, const char *id);

/* Fields of velkor_edit_set_field beyond VELKOR_ID3V2_TITLE to _DATE. */
#define VELKOR_EDIT_COMPILATION 12 /* TCMP: "1" or "0" */
#define VELKOR_EDIT_BPM 13         /* TBPM */
#define VELKOR_EDIT_LYRICS 14      /* USLT, language "eng", description "" */

/*
 * Sets a common field by its VELKOR_ID3V2_ number (TITLE to DATE) or
 * VELKOR_EDIT_ number; NULL or "" clears it. TITLE TIT2, ARTIST TPE1,
 * ALBUM TALB, ALBUM_ARTIST TPE2, COMPOSER TCOM, TRACK TRCK ("3" or "3/12"),
 * DISC TPOS ("1/2"), GENRE TCON (a name, or a number 0 to 191 stored as its
 * name), COMMENT the COMM of "eng" and "". YEAR and DATE take an ISO 8601
 * date ("2004", "2004-05-01", "2004-05-01T12:30"): TDRC in 2.4; in 2.3
 * TYER, TDAT and TIME as far as given (the others removed).
 */
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_field(velkor_edit *edit, int32_t field, const char *utf8);
/*
 * Sets a key of the merged view (velkor_tag_count) to the `count` values;
 * count 0 removes it. The key's frame of doc/keys.md gets them: a text frame
 * as velkor_edit_set_text, a TXXX by its description as
 * velkor_edit_set_user_text; DATE as velkor_edit_set_field's DATE, COMMENT
 * and LYRICS the COMM and USLT of "eng" and "" (one value each). Where 2.3
 * and 2.4 differ (ORIGINALDATE: TDOR or TORY, the year; MOOD: TMOO or TXXX
 * "MOOD") the frame of the version the tag is written in without options
 * (2.3 for a file without a tag), the other removed. VELKOR_ERROR_ARGUMENT
 * for a key not in the table, MUSICBRAINZ_TRACKID (a UFID: bytes, not text),
 * a NULL value, several values for DATE, COMMENT or LYRICS, or a value the
 * frame does not take (velkor_value_problem).
 */
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_key(velkor_edit *edit, const char *key, const char *const *values,
                                                   int32_t count);
/*
 * Why the setters refuse `utf8` for text frame `id` (a field sets the frame
 * named above: DATE TDRC, TRACK TRCK, GENRE TCON, ...), in words ("a date
 * is ISO 8601 ..."); NULL when they take it. Dates (TDRC, TDOR, TDRL, TDEN,
 * TDTG) are ISO 8601 with a real month, day and time; TYER and TORY four
 * digits; TDAT DDMM and TIME HHMM; TRCK and TPOS a number from 1 with a
 * total from 1 ("3", "3/12"); TCON a name or a number 0 to 191 ("(17)",
 * "RX", "CR"); TCMP "1" or "0"; TLEN, TBPM, TDLY and TSIZ whole numbers;
 * link frames (W...) a URL of printable ASCII without spaces; "APIC" checks
 * a picture's MIME type (image/..., or "-->"), which velkor_edit_add_picture
 * also takes from the data's first bytes (JPEG, PNG, GIF, BMP, WebP).
 * "" clears any frame and is always taken.
 */
VELKOR_API const char *VELKOR_CALL velkor_value_problem(const char *id, const char *utf8);

/* Tags, for velkor_edit_remove_tag and velkor_save_report. */
#define VELKOR_TAG_ID3V1 0x1u
#define VELKOR_TAG_ID3V2 0x2u
#define VELKOR_TAG_APEV2 0x4u
/*
 * Removes the tags named. Frames set after removing the ID3v2 tag make a new
 * one (written as a new tag is); removing the ID3v1 tag is
 * velkor_edit_set_id3v1(edit, VELKOR_ID3V1_REMOVE).
 */
VELKOR_API int32_t VELKOR_CALL velkor_edit_remove_tag(velkor_edit *edit, uint32_t tags);

/*
 * What becomes of the ID3v1 tag. KEEP (the default): a tag the file has is
 * kept, and its fields follow the ID3v2 frames the edit changed (title,
 * artist, album, year, comment, track, genre; texts stored as Latin-1, cut
 * at 30 bytes); without one, none is added. ADD: the same, and a file
 * without one gets one filled from the new ID3v2 tag. REMOVE: none is left.
 */
#define VELKOR_ID3V1_KEEP 0
#define VELKOR_ID3V1_ADD 1
#define VELKOR_ID3V1_REMOVE 2
VELKOR_API int32_t VELKOR_CALL velkor_edit_set_id3v1(velkor_edit *edit, int32_t mode);

/* Options of velkor_edit_save. */
#define VELKOR_SAVE_ID3V24 0x1u      /* write a new tag, or a 2.2 tag, as 2.4 */
#define VELKOR_SAVE_BREAK_LINKS 0x2u /* a file with other hard links is replaced: this name
                                        gets the new file, the other names keep the old one */
#define VELKOR_SAVE_DRY_RUN 0x4u     /* only report how the file would be written */
/* A change in place is written but not synced to storage before the call
 * returns, for a caller that saves many files and syncs them once at the
 * end (fsync, syncfs). Until then a system crash can lose the change, or,
 * as any write in place can, part of it. A replacement is synced before its
 * rename regardless, so the name never holds a file whose bytes are not
 * on the disk. */
#define VELKOR_SAVE_NO_SYNC 0x8u
/* The file keeps its modification (and access) time. */
#define VELKOR_SAVE_PRESERVE_TIMES 0x10u
/* Convert an existing ID3v2.3 or 2.4 tag (or a 2.2 one) to 2.3, or to 2.4
 * with VELKOR_SAVE_ID3V24: TDRC <-> TYER, TDAT, TIME; TDOR <-> TORY; TIPL and
 * TMCL <-> IPLS; genre references "(51)(39)Power Noise" in 2.3 and values
 * apart in 2.4; several values "/"-joined in 2.3, zero-separated in 2.4.
 * Frames the version has no form of (2.3: TDRL, TDTG, TMOO, TPRO, TSST, RVA2,
 * ...; 2.4: TRDA, TSIZ, RVAD, EQUA) and encrypted ones are dropped and
 * counted in dropped_frames. The file is written even without other edits. */
#define VELKOR_SAVE_CONVERT 0x20u

/* How velkor_edit_save wrote the file. */
#define VELKOR_SAVED_NOTHING 0  /* nothing to change */
#define VELKOR_SAVED_IN_PLACE 1 /* the tags changed where they are; no audio byte moved */
#define VELKOR_SAVED_REPLACED 2 /* a new file, written beside the old, took its name */

typedef struct velkor_save_report {
    uint32_t size;          /* set by the caller: sizeof(velkor_save_report) */
    int32_t way;            /* VELKOR_SAVED_... (what would be done, with VELKOR_SAVE_DRY_RUN) */
    int64_t bytes_written;  /* to any file; 0 with VELKOR_SAVE_DRY_RUN */
    int32_t id3v2_version;  /* of the ID3v2 tag now in the file: 3 or 4; 0 for none */
    int32_t dropped_frames; /* frames left out: 2.2 frames without a 2.3 id; with
                               VELKOR_SAVE_CONVERT, frames the version has no form of */
    uint32_t tags;          /* VELKOR_TAG_... the file now holds */
    int32_t id3v2_size;     /* the ID3v2 tag's bytes, header and padding included */
} velkor_save_report;

#if defined(__cplusplus)
static_assert(offsetof(velkor_save_report, bytes_written) == 8 && sizeof(velkor_save_report) == 32,
              "velkor_save_report: no padding");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(offsetof(velkor_save_report, bytes_written) == 8 && sizeof(velkor_save_report) == 32,
               "velkor_save_report: no padding");
#endif

/*
 * Writes the changes (report may be NULL; else filled as far as
 * report->size reaches). The file at the path must still be the one
 * velkor_edit_open read: else VELKOR_ERROR_CHANGED and nothing is written.
 * A file with other hard links is changed in place under all its names
 * when the change fits in place; one that must be replaced (a tag grown
 * past its room, say) gives VELKOR_ERROR_LINKED, unless
 * VELKOR_SAVE_BREAK_LINKS. A failure leaves the whole old file; success
 * means the whole new one is in place. In place means: the changed bytes
 * of the ID3v2 tag, then those of the trailing tags, each within one 4 KiB
 * page of the file, so that a kill leaves each tag whole; anything more is
 * a new file renamed over the old one, with the old one's owner, mode,
 * extended attributes, ACLs and holes. A change by another program since
 * the edit read the file (its size, times, or the bytes of the tags this
 * save replaces) gives VELKOR_ERROR_CHANGED. After a save the edit holds
 * the file as saved, and further changes can be saved again.
 */
VELKOR_API int32_t VELKOR_CALL velkor_edit_save(velkor_edit *edit, uint32_t options, velkor_save_report *report);

/*
 * Removes the temporary files of the saves under way in this process (a
 * save that must replace its file writes the new one beside it, named
 * ".NAME.velkor-XXXXXX"), leaving each file as it was. Async-signal-safe:
 * for a handler of SIGTERM, SIGHUP or SIGINT that then ends the process.
 * A save interrupted so reports nothing; its file keeps its old bytes.
 */
VELKOR_API void VELKOR_CALL velkor_remove_temporary_files(void);

#if defined(_WIN32)
/* The same with UTF-16 paths and texts. velkor_get_text_w returns the UTF-16
 * code units the whole text needs, zero included. */
VELKOR_API int32_t VELKOR_CALL velkor_open_w(const wchar_t *path, uint32_t options, velkor_file **file);
VELKOR_API int32_t VELKOR_CALL velkor_get_text_w(const velkor_file *file, int32_t field, wchar_t *buffer, int32_t size);
VELKOR_API int32_t VELKOR_CALL velkor_write_id3v1_w(const wchar_t *path, const velkor_id3v1_fields *tag);
VELKOR_API int32_t VELKOR_CALL velkor_edit_open_w(const wchar_t *path, uint32_t options, velkor_edit **edit);
#endif

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_H */
