// The checks of the fuzz targets that drive velkor's own interface: a handle
// opened from memory with its facts, texts and pictures, and the same bytes
// opened as a stream; the frame counter;
// the encoder's header in a whole first frame; the ID3v1 write on a
// temporary file read back; and the scan over a small folder tree the input
// lays out. Shared by fuzz_target.cpp and tests/fuzz_regression_test.cpp.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "base/byte_source.h"
#include "file_checks.h"
#include "interface/memory_file.h"
#include "stream/frame_count.h"
#include "stream/mp3_file_info.h"
#include "stream/streamed_file.h"
#include "stream/vbr_header.h"
#include "tags/tag_record.h"
#include "velkor.h"

namespace velkor::fuzzing {

// Takes the input apart: bytes, numbers and slices in order, zero once it
// runs out.
class InputReader {
public:
    InputReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint32_t number16() { return uint32_t{byte()} << 8 | byte(); }
    // Up to n bytes.
    std::string bytes(std::size_t n) {
        n = std::min(n, size_ - at_);
        std::string out(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return out;
    }
    std::string rest() { return bytes(size_ - at_); }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Closes a handle when it goes.
struct FileCloser {
    void operator()(velkor_file* file) const { velkor_close(file); }
};
using FileHandle = std::unique_ptr<velkor_file, FileCloser>;

inline int32_t open_memory(ByteSpan bytes, uint32_t options, FileHandle& handle) {
    velkor_file* file = nullptr;
    const int32_t status = open_from_memory(bytes.data, bytes.size, "input", options, &file);
    handle.reset(file);
    return status;
}

constexpr int32_t kTextFields[] = {
    VELKOR_ID3V2_TITLE,  VELKOR_ID3V2_ARTIST,   VELKOR_ID3V2_ALBUM,   VELKOR_ID3V2_ALBUM_ARTIST,
    VELKOR_ID3V2_YEAR,   VELKOR_ID3V2_TRACK,    VELKOR_ID3V2_DISC,    VELKOR_ID3V2_GENRE,
    VELKOR_ID3V2_COMPOSER, VELKOR_ID3V2_COMMENT, VELKOR_ID3V2_DATE, VELKOR_ID3V1_TITLE,  VELKOR_ID3V1_ARTIST,
    VELKOR_ID3V1_ALBUM,  VELKOR_ID3V1_YEAR,     VELKOR_ID3V1_COMMENT, VELKOR_ID3V1_GENRE,
    VELKOR_STREAM_ENCODER, VELKOR_STREAM_VERSION, VELKOR_STREAM_MODE, VELKOR_STREAM_FORMAT,
    VELKOR_STREAM_LAME_METHOD, VELKOR_STREAM_LAME_PRESET, VELKOR_TAG_RELEASE_DATE, VELKOR_TAG_ORIGINAL_DATE,
    VELKOR_TAG_LYRICS, VELKOR_TAG_GROUPING, VELKOR_TAG_KEY, VELKOR_TAG_BPM, VELKOR_TAG_ARTIST_SORT,
    VELKOR_TAG_ALBUM_SORT, VELKOR_TAG_TITLE_SORT, VELKOR_TAG_ALBUM_ARTIST_SORT, VELKOR_TAG_MUSICBRAINZ_TRACK_ID,
    VELKOR_TAG_MUSICBRAINZ_ALBUM_ID, VELKOR_TAG_MUSICBRAINZ_ARTIST_ID, VELKOR_TAG_MUSICBRAINZ_ALBUM_ARTIST_ID,
    VELKOR_TAG_MUSICBRAINZ_RELEASE_GROUP_ID, VELKOR_TAG_MUSICBRAINZ_RELEASE_TRACK_ID};

// A file without audio: its size and tags known, every stream figure -1.
inline Failure check_facts_without_audio(const velkor_file_facts& f, int64_t size) {
    VELKOR_FUZZ_CHECK(f.size == sizeof(velkor_file_facts) && f.file_size == size);
    for (const int32_t figure : {f.mpeg_version, f.layer, f.sampling_rate_hz, f.channel_mode, f.channels,
                                 f.bitrate_kbps, f.vbr_header, f.frames_exact, f.encoder_delay, f.encoder_padding,
                                 f.bitrate_varies, f.lame_vbr_method, f.lame_quality, f.lame_lowpass_hz,
                                 f.lame_preset, f.truncated}) {
        VELKOR_FUZZ_CHECK(figure == -1);
    }
    for (const int64_t figure : {f.first_frame_offset, f.audio_bytes, f.frames, f.duration_ms, f.gapless_duration_ms,
                                 f.samples, f.gapless_samples}) {
        VELKOR_FUZZ_CHECK(figure == -1);
    }
    VELKOR_FUZZ_CHECK(f.id3v1 == 0 || f.id3v1 == 10 || f.id3v1 == 11);
    VELKOR_FUZZ_CHECK(f.id3v2_version == 0 || (f.id3v2_version >= 2 && f.id3v2_version <= 4));
    VELKOR_FUZZ_CHECK(f.picture_count >= 0 && (f.id3v2_version != 0 || f.picture_count == 0));
    return nullptr;
}

// The common facts in their ranges, each text the frames or items gave.
inline Failure check_tag_facts(const velkor_file* file) {
    velkor_tag_facts_info t;
    std::memset(&t, 0x5A, sizeof t);
    t.size = sizeof t;
    VELKOR_FUZZ_CHECK(velkor_tag_facts(file, &t) == VELKOR_OK && t.size == sizeof t);
    for (const int32_t number : {t.track, t.track_total, t.disc, t.disc_total, t.bpm, t.release_year,
                                 t.original_year}) {
        VELKOR_FUZZ_CHECK(number >= -1);
    }
    VELKOR_FUZZ_CHECK(t.compilation >= -1 && t.compilation <= 1);
    VELKOR_FUZZ_CHECK(t.rating >= -1 && t.rating <= 255);
    VELKOR_FUZZ_CHECK(t.year >= -1 && t.year <= 9999 && t.month >= -1 && t.month <= 99);
    // A part of the date only where the parts before it are.
    VELKOR_FUZZ_CHECK((t.month == -1 || t.year >= 0) && (t.day == -1 || t.month >= 0) &&
                      (t.hour == -1 || t.day >= 0) && (t.minute == -1 || t.hour >= 0));
    VELKOR_FUZZ_CHECK(t.play_count >= -1);
    VELKOR_FUZZ_CHECK((t.replaygain_known & ~0xFu) == 0);
    for (const double figure : {t.track_gain_db, t.track_peak, t.album_gain_db, t.album_peak}) {
        VELKOR_FUZZ_CHECK(figure == figure);  // never NaN
    }
    if (!(t.replaygain_known & VELKOR_REPLAYGAIN_TRACK_GAIN)) VELKOR_FUZZ_CHECK(t.track_gain_db == 0);
    VELKOR_FUZZ_CHECK(velkor_tag_facts(file, nullptr) == VELKOR_ERROR_ARGUMENT);
    VELKOR_FUZZ_CHECK(velkor_tag_facts(nullptr, &t) == VELKOR_ERROR_ARGUMENT);
    return nullptr;
}

// Every APEv2 item's record and texts, and its value read from the bytes.
inline Failure check_ape_items(const velkor_file* file, ByteSpan bytes) {
    const int32_t count = velkor_ape_item_count(file);
    VELKOR_FUZZ_CHECK(count >= 0 && count <= 4096);
    for (int32_t i = 0; i < count; ++i) {
        velkor_ape_item_info info;
        std::memset(&info, 0x5A, sizeof info);
        info.size = sizeof info;
        VELKOR_FUZZ_CHECK(velkor_ape_item(file, i, &info) == VELKOR_OK);
        VELKOR_FUZZ_CHECK(info.kind >= VELKOR_APE_TEXT && info.kind <= VELKOR_APE_RESERVED);
        VELKOR_FUZZ_CHECK(info.read_only == 0 || info.read_only == 1);
        VELKOR_FUZZ_CHECK(info.body_size >= 0 && info.body_size <= static_cast<int64_t>(bytes.size));
        VELKOR_FUZZ_CHECK(info.value_count >= 0 && info.value_count <= 4096);
        VELKOR_FUZZ_CHECK((info.kind == VELKOR_APE_TEXT || info.kind == VELKOR_APE_LOCATOR) ||
                          info.value_count == 0);
        const char* key = velkor_ape_item_text(file, i, VELKOR_APE_KEY, 0);
        VELKOR_FUZZ_CHECK(key != nullptr && std::strlen(key) >= 2 && std::strlen(key) <= 255);
        VELKOR_FUZZ_CHECK(std::memchr(info.key, 0, sizeof info.key) != nullptr && std::strcmp(key, info.key) == 0);
        for (int32_t v = 0; v < info.value_count; ++v) {
            const char* value = velkor_ape_item_text(file, i, VELKOR_APE_VALUE, v);
            VELKOR_FUZZ_CHECK(value != nullptr && valid_utf8(value));
        }
        VELKOR_FUZZ_CHECK(velkor_ape_item_text(file, i, VELKOR_APE_VALUE, info.value_count) == nullptr);
        VELKOR_FUZZ_CHECK(velkor_ape_item_text(file, i, 3, 0) == nullptr);
        uint8_t byte = 0;
        if (info.body_size > 0) VELKOR_FUZZ_CHECK(velkor_read_ape_item(file, i, &byte, 0) == VELKOR_ERROR_ARGUMENT);
    }
    velkor_ape_item_info none = {};
    none.size = sizeof none;
    VELKOR_FUZZ_CHECK(velkor_ape_item(file, count, &none) == VELKOR_ERROR_ARGUMENT);
    VELKOR_FUZZ_CHECK(velkor_ape_item(file, -1, &none) == VELKOR_ERROR_ARGUMENT);
    VELKOR_FUZZ_CHECK(velkor_ape_item_text(file, count, VELKOR_APE_KEY, 0) == nullptr);
    VELKOR_FUZZ_CHECK(velkor_ape_item_count(nullptr) == -1);
    return nullptr;
}

// Every figure in its range and the figures consistent with each other.
inline Failure check_facts(const velkor_file_facts& f, int64_t size, bool counted) {
    VELKOR_FUZZ_CHECK(f.size == sizeof(velkor_file_facts));
    VELKOR_FUZZ_CHECK(f.file_size == size);
    VELKOR_FUZZ_CHECK(f.first_frame_offset >= 0 && f.first_frame_offset < f.file_size);
    VELKOR_FUZZ_CHECK(f.audio_bytes >= 0 && f.first_frame_offset + f.audio_bytes <= f.file_size);
    VELKOR_FUZZ_CHECK(f.mpeg_version == 10 || f.mpeg_version == 20 || f.mpeg_version == 25);
    VELKOR_FUZZ_CHECK(f.layer >= 1 && f.layer <= 3);
    VELKOR_FUZZ_CHECK(f.sampling_rate_hz >= 8000 && f.sampling_rate_hz <= 48000);
    VELKOR_FUZZ_CHECK(f.channel_mode >= 0 && f.channel_mode <= 3);
    VELKOR_FUZZ_CHECK(f.channels == (f.channel_mode == VELKOR_MODE_SINGLE_CHANNEL ? 1 : 2));
    VELKOR_FUZZ_CHECK(f.bitrate_kbps >= 0);
    VELKOR_FUZZ_CHECK(f.vbr_header >= VELKOR_VBR_NONE && f.vbr_header <= VELKOR_VBR_VBRI);
    VELKOR_FUZZ_CHECK(f.frames_exact == 0 || f.frames_exact == 1);
    if (counted) VELKOR_FUZZ_CHECK(f.frames_exact == 1);
    VELKOR_FUZZ_CHECK((f.encoder_delay == -1) == (f.encoder_padding == -1));
    VELKOR_FUZZ_CHECK(f.encoder_delay >= -1 && f.encoder_delay <= 4095);
    VELKOR_FUZZ_CHECK(f.encoder_padding >= -1 && f.encoder_padding <= 4095);
    VELKOR_FUZZ_CHECK(f.id3v1 == 0 || f.id3v1 == 10 || f.id3v1 == 11);
    VELKOR_FUZZ_CHECK(f.id3v1_track == -1 || (f.id3v1 == 11 && f.id3v1_track >= 1 && f.id3v1_track <= 255));
    VELKOR_FUZZ_CHECK(f.id3v1_genre >= 0 && f.id3v1_genre <= 255);
    VELKOR_FUZZ_CHECK(f.id3v2_version == 0 || (f.id3v2_version >= 2 && f.id3v2_version <= 4));
    VELKOR_FUZZ_CHECK(f.picture_count >= 0 && (f.id3v2_version != 0 || f.picture_count == 0));
    VELKOR_FUZZ_CHECK(f.frames >= 0);
    // A counted stream fits the audio: a frame takes at least 1 byte (a
    // free-format-like zero-length frame cannot be counted twice).
    if (counted) VELKOR_FUZZ_CHECK(f.frames <= f.audio_bytes);
    // Only a VBR header's count can be more than the file holds; what is
    // estimated of a file cut short fits it, 24 bytes the smallest frame.
    VELKOR_FUZZ_CHECK(f.truncated == 0 || (f.truncated == 1 && f.vbr_header != VELKOR_VBR_NONE));
    if (f.truncated == 1 && f.frames_exact == 0) VELKOR_FUZZ_CHECK(f.frames <= f.audio_bytes / 24 + 1);
    VELKOR_FUZZ_CHECK(f.reserved == 0);
    const int64_t per_frame = f.layer == 1 ? 384 : (f.layer == 2 || f.mpeg_version == 10) ? 1152 : 576;
    // Durations are the sample counts rounded to the millisecond.
    const int64_t rate = f.sampling_rate_hz;
    VELKOR_FUZZ_CHECK(f.samples == f.frames * per_frame);
    VELKOR_FUZZ_CHECK(f.duration_ms == (f.samples * 1000 + rate / 2) / rate);
    if (f.gapless_duration_ms != -1) {
        VELKOR_FUZZ_CHECK(f.frames_exact == 1 && f.encoder_delay >= 0);
        VELKOR_FUZZ_CHECK(f.gapless_duration_ms >= 0 && f.gapless_duration_ms <= f.duration_ms);
    }
    return nullptr;
}

// Every text valid UTF-8 without a zero byte, and copied out whole or cut
// at a character's boundary.
inline Failure check_texts(const velkor_file* file) {
    for (const int32_t field : kTextFields) {
        const char* text = velkor_text(file, field);
        VELKOR_FUZZ_CHECK(text != nullptr);
        const std::string whole = text;
        VELKOR_FUZZ_CHECK(valid_utf8(whole));
        VELKOR_FUZZ_CHECK(velkor_get_text(file, field, nullptr, 0) == static_cast<int32_t>(whole.size() + 1));
        for (const int32_t room : {1, 2, 3, 4, 5, 31, 64}) {
            std::vector<char> buffer(static_cast<std::size_t>(room), 'x');
            VELKOR_FUZZ_CHECK(velkor_get_text(file, field, buffer.data(), room) ==
                              static_cast<int32_t>(whole.size() + 1));
            VELKOR_FUZZ_CHECK(std::memchr(buffer.data(), 0, buffer.size()) != nullptr);
            const std::string cut = buffer.data();
            VELKOR_FUZZ_CHECK(whole.compare(0, cut.size(), cut) == 0 && valid_utf8(cut));
            // Only a character that did not fit is left out.
            VELKOR_FUZZ_CHECK(cut.size() == whole.size() || cut.size() + 4 > static_cast<std::size_t>(room - 1));
        }
    }
    for (const int32_t field : {0, 12, 20, 27, 40, 47, 60, 77, -1}) {
        VELKOR_FUZZ_CHECK(velkor_text(file, field) == nullptr);
        char buffer[4] = "xyz";
        VELKOR_FUZZ_CHECK(velkor_get_text(file, field, buffer, sizeof buffer) == 0 && buffer[0] == '\0');
    }
    return nullptr;
}

// Every picture's record, texts and data, the data read from the bytes.
inline Failure check_pictures(const velkor_file* file, const velkor_file_facts& facts, ByteSpan bytes) {
    SpanSource source(bytes);
    const auto size = static_cast<int64_t>(bytes.size);
    for (int32_t i = 0; i < facts.picture_count; ++i) {
        velkor_picture_info info = {};
        info.size = sizeof info;
        VELKOR_FUZZ_CHECK(velkor_picture(file, i, &info) == VELKOR_OK);
        // A compressed picture inflates to at most the inflation's cap.
        VELKOR_FUZZ_CHECK(info.size == sizeof info && info.bytes >= 0 &&
                          (info.bytes <= size || info.bytes <= (int64_t{16} << 20)));
        VELKOR_FUZZ_CHECK(info.type >= 0 && info.type <= 255);
        for (const int32_t field : {VELKOR_PICTURE_MIME, VELKOR_PICTURE_DESCRIPTION}) {
            const char* text = velkor_picture_text(file, i, field);
            VELKOR_FUZZ_CHECK(text != nullptr && valid_utf8(text));
        }
        VELKOR_FUZZ_CHECK(velkor_picture_text(file, i, 3) == nullptr);
        // Exactly the room it needs, so a write past it is reported.
        std::unique_ptr<uint8_t[]> data(new uint8_t[static_cast<std::size_t>(info.bytes) + 1]);
        VELKOR_FUZZ_CHECK(read_picture_from(file, i, source, size, data.get(), info.bytes) == VELKOR_OK);
        if (info.bytes > 0) {
            VELKOR_FUZZ_CHECK(read_picture_from(file, i, source, size, data.get(), info.bytes - 1) ==
                              VELKOR_ERROR_ARGUMENT);
        }
        // The file's first half gives the picture only when it holds all of
        // the frame: then the same data.
        std::unique_ptr<uint8_t[]> again(new uint8_t[static_cast<std::size_t>(info.bytes) + 1]);
        VELKOR_FUZZ_CHECK(info.bytes == 0 ||
                          read_picture_from(file, i, source, size / 2, again.get(), info.bytes) != VELKOR_OK ||
                          std::memcmp(data.get(), again.get(), static_cast<std::size_t>(info.bytes)) == 0);
    }
    velkor_picture_info none = {};
    none.size = sizeof none;
    VELKOR_FUZZ_CHECK(velkor_picture(file, facts.picture_count, &none) == VELKOR_ERROR_ARGUMENT);
    VELKOR_FUZZ_CHECK(velkor_picture(file, -1, &none) == VELKOR_ERROR_ARGUMENT);
    VELKOR_FUZZ_CHECK(velkor_picture_text(file, facts.picture_count, VELKOR_PICTURE_MIME) == nullptr);
    uint8_t byte = 0;
    VELKOR_FUZZ_CHECK(read_picture_from(file, facts.picture_count, source, size, &byte, 1) == VELKOR_ERROR_ARGUMENT);
    return nullptr;
}

// One open of the bytes with the options, and everything the handle gives.
inline Failure check_handle(ByteSpan bytes, uint32_t options, int32_t expected_status) {
    FileHandle file;
    const int32_t status = open_memory(bytes, options, file);
    VELKOR_FUZZ_CHECK(status == expected_status);
    const bool without_audio = (options & VELKOR_OPEN_WITHOUT_AUDIO) != 0;
    VELKOR_FUZZ_CHECK((status == VELKOR_OK || without_audio) == (file != nullptr));
    if (!file) return nullptr;
    velkor_file_facts facts = {};
    facts.size = sizeof facts;
    VELKOR_FUZZ_CHECK(velkor_facts(file.get(), &facts) == VELKOR_OK);
    const bool counted = (options & VELKOR_OPEN_COUNT_FRAMES) != 0;
    if (status != VELKOR_OK) {
        if (Failure failure = check_facts_without_audio(facts, static_cast<int64_t>(bytes.size))) return failure;
    } else if (Failure failure = check_facts(facts, static_cast<int64_t>(bytes.size), counted)) {
        return failure;
    }
    if (Failure failure = check_tag_facts(file.get())) return failure;
    if (Failure failure = check_ape_items(file.get(), bytes)) return failure;
    // A record from an older header is filled no further than its size.
    velkor_file_facts short_record;
    std::memset(&short_record, 0x5A, sizeof short_record);
    short_record.size = offsetof(velkor_file_facts, channels);
    VELKOR_FUZZ_CHECK(velkor_facts(file.get(), &short_record) == VELKOR_OK);
    VELKOR_FUZZ_CHECK(short_record.layer == facts.layer && short_record.channels == 0x5A5A5A5A);
    if (Failure failure = check_texts(file.get())) return failure;
    return check_pictures(file.get(), facts, bytes);
}

// Hands the input out in small blocks of uneven sizes.
struct UnevenFeed {
    ByteSpan bytes;
    std::size_t at = 0;
    std::size_t turn = 0;
    std::size_t next_size() { return ++turn * 7 % 13 + 1; }
};

inline int32_t VELKOR_CALL feed_unevenly(void* context, void* buffer, int32_t size) {
    auto& feed = *static_cast<UnevenFeed*>(context);
    const std::size_t n = std::min({feed.next_size(), static_cast<std::size_t>(size), feed.bytes.size - feed.at});
    if (n > 0) std::memcpy(buffer, feed.bytes.data + feed.at, n);
    feed.at += n;
    return static_cast<int32_t>(n);
}

// The input as a stream: velkor_open_stream gives what velkor_open_memory
// gives with every frame counted (facts, texts, frames, pictures), and the
// count made as the blocks pass, where it fits the analysis, is the count
// of the file's own walk.
inline Failure check_stream_open(ByteSpan bytes) {
    constexpr uint32_t kOptions = VELKOR_OPEN_WITHOUT_AUDIO;
    velkor_file* raw = nullptr;
    const int32_t expected = velkor_open_memory(bytes.data, bytes.size, kOptions | VELKOR_OPEN_COUNT_FRAMES, &raw);
    const FileHandle memory(raw);
    UnevenFeed feed{bytes};
    const int32_t status = velkor_open_stream(feed_unevenly, &feed, kOptions, &raw);
    const FileHandle stream(raw);
    VELKOR_FUZZ_CHECK(status == expected && (memory == nullptr) == (stream == nullptr));
    VELKOR_FUZZ_CHECK(feed.at == bytes.size);
    if (memory) {
        velkor_file_facts a = {}, b = {};
        a.size = b.size = sizeof a;
        velkor_facts(memory.get(), &a);
        velkor_facts(stream.get(), &b);
        VELKOR_FUZZ_CHECK(std::memcmp(&a, &b, sizeof a) == 0);
        for (const int32_t field : kTextFields) {
            VELKOR_FUZZ_CHECK(std::strcmp(velkor_text(memory.get(), field), velkor_text(stream.get(), field)) == 0);
        }
        VELKOR_FUZZ_CHECK(velkor_frame_count(memory.get()) == velkor_frame_count(stream.get()));
        for (int32_t i = 0; i < a.picture_count && i < 4; ++i) {
            velkor_picture_info picture = {};
            picture.size = sizeof picture;
            if (velkor_picture(memory.get(), i, &picture) != VELKOR_OK || picture.bytes > (1 << 20)) continue;
            std::vector<uint8_t> x(static_cast<std::size_t>(picture.bytes)), y(x.size());
            const int32_t size = static_cast<int32_t>(x.size());
            VELKOR_FUZZ_CHECK(velkor_read_picture(memory.get(), i, x.data(), size) ==
                                  velkor_read_picture(stream.get(), i, y.data(), size) &&
                              x == y);
        }
    }

    StreamedFile streamed;
    for (std::size_t at = 0, n = 1; at < bytes.size; at += n, n = n * 5 % 17 + 1) {
        streamed.add(bytes.from(at).first(n));
    }
    streamed.finish();
    LoadOptions options;
    options.full = true;
    Mp3FileInfo info;
    if (info.analyse(streamed, streamed.size(), "", options) != kStatusOk || !streamed.give_count(info)) return nullptr;
    SpanSource whole(bytes);
    options.count_frames = true;
    Mp3FileInfo walked;
    VELKOR_FUZZ_CHECK(walked.analyse(whole, static_cast<int64_t>(bytes.size), "", options) == kStatusOk);
    VELKOR_FUZZ_CHECK(info.counted_frames == walked.counted_frames && info.counted_bytes == walked.counted_bytes &&
                      info.counted_bitrate_varies == walked.counted_bitrate_varies);
    return nullptr;
}

// The input as a whole file opened from memory, with and without the frame
// count: a handle exactly when the analysis finds a frame, then facts in
// range, texts valid UTF-8, pictures readable from the bytes.
inline Failure check_interface(const uint8_t* data, std::size_t size) {
    const ExactCopy copy(data, size);
    const PlainWalk walk = plain_walk(copy.span());
    const int32_t expected = walk.frame >= 0 ? VELKOR_OK : VELKOR_ERROR_NO_AUDIO;
    if (Failure failure = check_handle(copy.span(), 0, expected)) return failure;
    if (Failure failure = check_handle(copy.span(), VELKOR_OPEN_COUNT_FRAMES, expected)) return failure;
    if (Failure failure = check_handle(copy.span(), VELKOR_OPEN_WITHOUT_AUDIO, expected)) return failure;
    FileHandle none;
    VELKOR_FUZZ_CHECK(open_memory(copy.span(), 0x8, none) == VELKOR_ERROR_ARGUMENT && !none);
    return check_stream_open(copy.span());
}

// Frame counter ----------------------------------------------------------------

inline int64_t plain_frame_length(const FrameHeader& h) {
    const int64_t bps = int64_t{h.table_bitrate_kbps()} * 1000, rate = h.sampling_rate_hz();
    const int64_t padding = (h.word >> 9) & 1;
    if (h.layer_number() == 1) return (12 * bps / rate + padding) * 4;
    return (h.layer_number() == 3 && h.version_bits() != 3 ? 72 : 144) * bps / rate + padding;
}

struct PlainCount {
    int64_t frames = 0;
    int64_t bytes = 0;
    bool varies = false;
};

// Frame after frame from `first` while each header is valid and of the
// first one's stream (version, layer, sampling rate), and stands wholly
// before audio_end.
inline PlainCount plain_count(ByteSpan file, int64_t first, int64_t audio_end) {
    PlainCount count;
    FrameHeader head;
    head.set_bytes(file.data + first);
    int64_t next = first;
    while (audio_end - next >= 4) {
        FrameHeader h;
        h.set_bytes(file.data + next);
        if (!h.is_valid() || h.version_bits() != head.version_bits() || h.layer_bits() != head.layer_bits() ||
            h.sampling_index() != head.sampling_index()) {
            break;
        }
        count.varies = count.varies || h.bitrate_index() != head.bitrate_index();
        ++count.frames;
        next += plain_frame_length(h);
    }
    count.bytes = next - first;
    return count;
}

// One file's count: the analysis's against the plain walk, the counter
// fed in windows of `step` bytes against the same, and the facts' figures.
inline Failure check_count_of(ByteSpan file, std::size_t step) {
    const PlainWalk walk = plain_walk(file);
    Mp3FileInfo info;
    SpanSource source(file);
    LoadOptions options;
    options.count_frames = true;
    const int32_t status = info.analyse(source, static_cast<int64_t>(file.size), "input", options);
    VELKOR_FUZZ_CHECK(status == (walk.frame >= 0 ? kStatusOk : kStatusNoFrame));
    if (status != kStatusOk) return nullptr;
    // The audio ends where the file's layout says, for the count as for the
    // scan: a stack of trailing tags (copies of ID3v1 lookalikes included)
    // ends it before them all.
    const int64_t audio_end = walk.audio_end;
    const PlainCount plain = plain_count(file, walk.frame, audio_end);
    VELKOR_FUZZ_CHECK(info.counted_frames == plain.frames);
    VELKOR_FUZZ_CHECK(info.counted_bytes == plain.bytes);
    VELKOR_FUZZ_CHECK(info.counted_bitrate_varies == plain.varies);

    FrameCount count(walk.frame, info.header, audio_end);
    int64_t offset = walk.frame;
    for (;;) {
        const ByteSpan window = file.from(static_cast<std::size_t>(offset)).first(step);
        const bool complete = offset + static_cast<int64_t>(window.size) >= static_cast<int64_t>(file.size);
        if (count.count(window, offset, complete)) break;
        // A window that holds a whole header moves the count on.
        VELKOR_FUZZ_CHECK(count.next() > offset || window.size < 4);
        VELKOR_FUZZ_CHECK(count.next() >= offset);
        offset = count.next();
    }
    VELKOR_FUZZ_CHECK(count.frames() == plain.frames && count.bytes() == plain.bytes);

    const StreamFigures figures = info.stream_figures();
    VELKOR_FUZZ_CHECK(figures.frames_exact);
    VELKOR_FUZZ_CHECK(figures.frames == std::max<int64_t>(0, plain.frames - (info.vbr.kind() != VbrHeader::Kind::kNone)));
    VELKOR_FUZZ_CHECK(figures.bitrate_kbps >= 0);

    FileHandle handle;
    VELKOR_FUZZ_CHECK(open_memory(file, VELKOR_OPEN_COUNT_FRAMES, handle) == VELKOR_OK);
    velkor_file_facts facts = {};
    facts.size = sizeof facts;
    VELKOR_FUZZ_CHECK(velkor_facts(handle.get(), &facts) == VELKOR_OK);
    VELKOR_FUZZ_CHECK(facts.frames == figures.frames && facts.frames_exact == 1);
    return check_facts(facts, static_cast<int64_t>(file.size), true);
}

// The input's first byte sets the counter's window size (4 bytes or more,
// room for a header); the rest is a
// file. Counted as it stands, and with its first frame repeated past the
// loader's 64 KiB reads, so the count crosses from one read to the next.
inline Failure check_frame_count(const uint8_t* data, std::size_t size) {
    if (size == 0) return nullptr;
    const std::size_t step = 4 + data[0] % 97;
    const ExactCopy file(data + 1, size - 1);
    if (Failure failure = check_count_of(file.span(), step)) return failure;

    const ByteSpan bytes = file.span();
    if (bytes.size < 4) return nullptr;
    FrameHeader first;
    first.set_bytes(bytes.data);
    if (!first.is_valid()) return nullptr;
    const auto length = static_cast<std::size_t>(plain_frame_length(first));
    if (length < 4 || length > bytes.size) return nullptr;
    std::vector<uint8_t> repeated;
    while (repeated.size() < 70 * 1024) repeated.insert(repeated.end(), bytes.data, bytes.data + length);
    repeated.insert(repeated.end(), bytes.data + length, bytes.data + bytes.size);
    const ExactCopy longer(repeated.data(), repeated.size());
    return check_count_of(longer.span(), 4096 + step);
}

// Encoder's header in a whole first frame -----------------------------------------

struct PlainVbr {
    VbrHeader::Kind kind = VbrHeader::Kind::kNone;
    int32_t frames = -1;
    std::string encoder;
    int32_t delay = -1, padding = -1;
};

inline uint32_t plain_be32(ByteSpan b, std::size_t at) {
    return uint32_t{b.at(at)} << 24 | uint32_t{b.at(at + 1)} << 16 | uint32_t{b.at(at + 2)} << 8 | b.at(at + 3);
}

inline bool plain_magic(ByteSpan b, std::size_t at, const char* magic) {
    return b.at(at) == magic[0] && b.at(at + 1) == magic[1] && b.at(at + 2) == magic[2] && b.at(at + 3) == magic[3];
}

// The header read step by step from the raw bits and bytes: Xing or Info
// behind the side information (17 or 32 bytes for MPEG-1, 9 or 17 for the
// others; fewer for one channel), its optional fields as its flags say, then
// up to 9 printable bytes of the encoder's name, and for a known encoder 12
// bits of delay and 12 of padding at 21 bytes into its tag; else VBRI at 36.
inline PlainVbr plain_vbr(ByteSpan frame) {
    PlainVbr out;
    const bool mpeg1 = ((frame.at(1) >> 3) & 3) == 3;
    const bool single = (frame.at(3) >> 6) == 3;
    const std::size_t xing = 4 + (mpeg1 ? (single ? 17 : 32) : (single ? 9 : 17));
    const auto count_of = [](uint32_t n) { return n <= 0x7FFFFFFFu ? static_cast<int32_t>(n) : -1; };
    if (plain_magic(frame, xing, "Xing") || plain_magic(frame, xing, "Info")) {
        out.kind = frame.at(xing) == 'X' ? VbrHeader::Kind::kXing : VbrHeader::Kind::kInfo;
        const uint32_t flags = plain_be32(frame, xing + 4);
        std::size_t at = xing + 8;
        if (flags & 1) {
            out.frames = count_of(plain_be32(frame, at));
            at += 4;
        }
        at += (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
        for (std::size_t i = 0; i < 9 && frame.at(at + i) >= 0x20 && frame.at(at + i) <= 0x7E; ++i) {
            out.encoder += static_cast<char>(frame.at(at + i));
        }
        while (!out.encoder.empty() && out.encoder.back() == ' ') out.encoder.pop_back();
        const std::string start = out.encoder.substr(0, 4);
        // "L3.99r": LAME's short form of its name.
        const bool short_lame = out.encoder.size() >= 2 && out.encoder[0] == 'L' && out.encoder[1] >= '0' &&
                                out.encoder[1] <= '9';
        if (start == "LAME" || start == "Lavf" || start == "Lavc" || short_lame) {
            out.delay = frame.at(at + 21) << 4 | frame.at(at + 22) >> 4;
            out.padding = (frame.at(at + 22) & 0x0F) << 8 | frame.at(at + 23);
        } else {
            out.encoder.clear();
        }
    } else if (plain_magic(frame, 36, "VBRI")) {
        out.kind = VbrHeader::Kind::kVbri;
        out.frames = count_of(plain_be32(frame, 36 + 14));
    }
    return out;
}

inline Failure same_vbr(const VbrHeader& vbr, const PlainVbr& plain) {
    VELKOR_FUZZ_CHECK(vbr.kind() == plain.kind);
    VELKOR_FUZZ_CHECK(vbr.frames() == plain.frames);
    VELKOR_FUZZ_CHECK(plain.encoder == vbr.encoder());
    VELKOR_FUZZ_CHECK(vbr.delay() == plain.delay && vbr.padding() == plain.padding);
    return nullptr;
}

// The input as a first frame, header included (up to about 2 KiB): the
// reader against the plain reading; the bytes the loader hands it enough
// for every field; and the same facts through a whole analysis when the
// input is a file whose first frame starts at its first byte.
inline Failure check_vbr_frame(const uint8_t* data, std::size_t size) {
    const ExactCopy frame(data, size);
    FrameHeader header;
    header.set_bytes(frame.span().at(0), frame.span().at(1), frame.span().at(2), frame.span().at(3));
    const PlainVbr plain = plain_vbr(frame.span());
    VbrHeader vbr;
    VELKOR_FUZZ_CHECK(vbr.read(frame.span(), header) == plain.kind);
    if (Failure failure = same_vbr(vbr, plain)) return failure;
    if (Failure failure = check_vbr_read(frame.span())) return failure;
    const ExactCopy handed(data, std::min(size, VbrHeader::kFrameBytes));
    VbrHeader from_loader;
    from_loader.read(handed.span(), header);
    if (Failure failure = same_vbr(from_loader, plain)) return failure;

    FileHandle file;
    if (open_memory(frame.span(), 0, file) != VELKOR_OK) return nullptr;
    velkor_file_facts facts = {};
    facts.size = sizeof facts;
    VELKOR_FUZZ_CHECK(velkor_facts(file.get(), &facts) == VELKOR_OK);
    if (facts.first_frame_offset != 0) return nullptr;
    const int32_t kinds[] = {VELKOR_VBR_NONE, VELKOR_VBR_XING, VELKOR_VBR_VBRI, VELKOR_VBR_INFO};
    VELKOR_FUZZ_CHECK(facts.vbr_header == kinds[static_cast<int>(plain.kind)]);
    VELKOR_FUZZ_CHECK(facts.encoder_delay == plain.delay && facts.encoder_padding == plain.padding);
    VELKOR_FUZZ_CHECK(plain.encoder == velkor_text(file.get(), VELKOR_STREAM_ENCODER));
    // A count the input cannot hold marks it cut short, its frames estimated
    // from its bytes (at least 24 each); else the count stands.
    if (plain.frames > 0 && facts.truncated == 1) {
        VELKOR_FUZZ_CHECK(facts.frames_exact == 0 && facts.frames <= static_cast<int64_t>(size) / 24 + 1);
    } else if (plain.frames > 0) {
        VELKOR_FUZZ_CHECK(facts.frames == plain.frames && facts.frames_exact == 1 && facts.truncated == 0);
    }
    return check_facts(facts, static_cast<int64_t>(size), false);
}

// Temporary files ------------------------------------------------------------------

// A folder of this process's own for the targets that need files: in
// memory (/dev/shm) where there is one, else the system's temporary folder.
inline std::filesystem::path scratch_folder(const char* name) {
    std::error_code error;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, error)) base = std::filesystem::temp_directory_path();
    return base / ("velkor-fuzz-" + std::string(name) + "-" + std::to_string(static_cast<long>(getpid())));
}

inline bool write_whole(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

inline std::string read_whole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// ID3v1 write --------------------------------------------------------------------

// A fixed-width field's bytes less trailing spaces and zeros, as a tag
// reader takes them.
inline std::string trimmed(const std::string& field, std::size_t width) {
    std::size_t end = std::min(width, field.size());
    while (end > 0 && (field[end - 1] == ' ' || field[end - 1] == '\0')) --end;
    return field.substr(0, end);
}

// A record's text field, all of its 30 bytes.
inline std::string field_bytes(const TagRecord::Text& field) { return std::string(field, 30); }

// UTF-8 as Latin-1, restated: a character up to U+00FF as its byte, any
// other character or byte that is no UTF-8 as '?', at most 30 bytes.
inline std::string plain_latin1(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && out.size() < 30;) {
        const auto b = static_cast<uint8_t>(text[i]);
        std::size_t n = b < 0x80 ? 1 : (b >= 0xC2 && b <= 0xDF) ? 2 : (b >= 0xE0 && b <= 0xEF) ? 3
                                                     : (b >= 0xF0 && b <= 0xF4) ? 4 : 0;
        if (n == 0 || i + n > text.size() || !valid_utf8(text.substr(i, n))) {
            out += '?';
            ++i;
            continue;
        }
        uint32_t c = n == 1 ? b : b & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) c = c << 6 | (static_cast<uint8_t>(text[i + k]) & 0x3F);
        out += c <= 0xFF ? static_cast<char>(c) : '?';
        i += n;
    }
    return out;
}

// The input: the fields to write and their values, then the file's bytes.
// The file is written to a temporary path, its tag rewritten and read back:
// every byte before the old tag (or all of the file without one) is
// unchanged, the named fields hold what was given, the others what the old
// tag held. A value out of range changes nothing.
inline Failure check_id3v1_write(const uint8_t* data, std::size_t size) {
    InputReader in(data, size);
    const uint8_t choice = in.byte();
    velkor_id3v1_fields edit = {};
    edit.size = sizeof edit;
    edit.fields = choice & 0x7F;
    const bool out_of_range = (choice & 0x80) != 0 && (in.byte() & 1) != 0;
    edit.year = static_cast<int32_t>(in.number16() % 10000);
    edit.track = in.byte();
    edit.genre = in.byte();
    // Genres past the table (192 to 254) are refused; 255 means none.
    const bool refused = out_of_range || (edit.genre > 191 && edit.genre < 255);
    if (out_of_range) {
        const uint8_t which = in.byte() % 4;
        if (which == 0) edit.year = 10000 + static_cast<int32_t>(in.byte());
        if (which == 1) edit.year = -1 - static_cast<int32_t>(in.byte());
        if (which == 2) edit.track = 256 + static_cast<int32_t>(in.byte());
        if (which == 3) edit.genre = 256 + static_cast<int32_t>(in.byte());
    }
    std::string texts[4];
    for (std::string& text : texts) {
        text = in.bytes(in.byte() % 48);
        text = text.substr(0, text.find('\0'));
    }
    edit.title = texts[0].c_str();
    edit.artist = texts[1].c_str();
    edit.album = texts[2].c_str();
    edit.comment = texts[3].c_str();
    const std::string before = in.rest();

    const std::filesystem::path folder = scratch_folder("write");
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::filesystem::path path = folder / "file.mp3";
    VELKOR_FUZZ_CHECK(write_whole(path, before));
    const int32_t status = velkor_write_id3v1(path.string().c_str(), &edit);
    const std::string after = read_whole(path);
    std::filesystem::remove(path, error);
    if (refused) {
        VELKOR_FUZZ_CHECK(status == VELKOR_ERROR_ARGUMENT && after == before);
        return nullptr;
    }
    VELKOR_FUZZ_CHECK(status == VELKOR_OK);

    const bool replace = before.size() >= 128 && before.compare(before.size() - 128, 3, "TAG") == 0;
    const std::size_t kept = replace ? before.size() - 128 : before.size();
    VELKOR_FUZZ_CHECK(after.size() == kept + 128);
    VELKOR_FUZZ_CHECK(after.compare(0, kept, before, 0, kept) == 0);

    TagRecord old_tag, tag;
    if (replace) old_tag.read_id3v1(ByteSpan(reinterpret_cast<const uint8_t*>(before.data()) + kept, 128));
    const auto* block = reinterpret_cast<const uint8_t*>(after.data()) + kept;
    VELKOR_FUZZ_CHECK(tag.read_id3v1(ByteSpan(block, 128)) == 1);

    const uint32_t named = edit.fields;
    struct Text {
        uint32_t flag;
        const char* written;
        const char* old_field;
        const std::string* given;
    };
    const Text fields[] = {{VELKOR_FIELD_TITLE, tag.title, old_tag.title, &texts[0]},
                           {VELKOR_FIELD_ARTIST, tag.artist, old_tag.artist, &texts[1]},
                           {VELKOR_FIELD_ALBUM, tag.album, old_tag.album, &texts[2]}};
    for (const Text& field : fields) {
        const std::string expected = (named & field.flag) ? trimmed(plain_latin1(*field.given), 30)
                                                          : trimmed(std::string(field.old_field, 30), 30);
        VELKOR_FUZZ_CHECK(trimmed(std::string(field.written, 30), 30) == expected);
    }

    // The track: as given (0 takes it away), else the old tag's.
    const int32_t track = (named & VELKOR_FIELD_TRACK) ? (edit.track == 0 ? -1 : edit.track) : old_tag.get_track();
    VELKOR_FUZZ_CHECK(tag.get_track() == track);
    const std::size_t width = track > 0 ? 28 : 30;
    if (named & VELKOR_FIELD_COMMENT) {
        const std::string latin1 = plain_latin1(texts[3]);
        VELKOR_FUZZ_CHECK(trimmed(field_bytes(tag.comment), 30) == trimmed(latin1, width));
    } else {
        VELKOR_FUZZ_CHECK(trimmed(field_bytes(tag.comment), 30) == trimmed(field_bytes(old_tag.comment), width));
    }

    const int32_t year = (named & VELKOR_FIELD_YEAR) ? edit.year : old_tag.year;
    VELKOR_FUZZ_CHECK(tag.year == year);
    if (year == 0 && (!replace || (named & VELKOR_FIELD_YEAR))) {
        VELKOR_FUZZ_CHECK(block[93] == 0 && block[94] == 0 && block[95] == 0 && block[96] == 0);
    }
    const int32_t genre = (named & VELKOR_FIELD_GENRE) ? edit.genre : replace ? old_tag.genre : 255;
    VELKOR_FUZZ_CHECK(block[127] == genre);
    return nullptr;
}

// Scan over a folder tree -------------------------------------------------------------

// One entry of the tree the input lays out.
struct TreeEntry {
    enum Kind { kFile, kFolder, kLink, kDangling } kind;
    int parent;          // index of the folder it is in, -1 the root
    std::string name;
    std::string bytes;   // a file's
    int target = -1;     // a link's entry
};

// Whether a scan takes the file by its name: .mp3, .mp2, .mp1 or .mpga in
// any letter case.
inline bool audio_name(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == "mp3" || ext == "mp2" || ext == "mp1" || ext == "mpga";
}

// Appends the paths a recursive walk yields under `folder` (its entries
// sorted bytewise, folders entered, files with an audio extension and
// links to such files kept) with each file's entry.
inline void expected_walk(const std::vector<TreeEntry>& tree, int folder, const std::string& path,
                          std::vector<std::pair<std::string, int>>& out) {
    std::vector<int> children;
    for (int i = 0; i < static_cast<int>(tree.size()); ++i) {
        if (tree[i].parent == folder) children.push_back(i);
    }
    std::sort(children.begin(), children.end(), [&](int a, int b) { return tree[a].name < tree[b].name; });
    for (const int i : children) {
        const TreeEntry& entry = tree[i];
        const std::string child = path + "/" + entry.name;
        if (entry.kind == TreeEntry::kFolder) {
            expected_walk(tree, i, child, out);
            continue;
        }
        if (!audio_name(entry.name)) continue;
        int at = i;
        while (at >= 0 && tree[at].kind == TreeEntry::kLink) at = tree[at].target;
        if (at >= 0 && tree[at].kind == TreeEntry::kFile) out.emplace_back(child, at);
    }
}

// The input lays out a tree of up to 8 files, folders and links in a
// scratch folder, then scans it (recursive, some options and a thread
// count from the input): the results come out in the walk's order, each
// file's status and facts those of opening its bytes from memory, a missing
// operand reported as such, and every handle closed (leaks are reported).
inline Failure check_scan(const uint8_t* data, std::size_t size) {
    InputReader in(data, size);
    const uint8_t choice = in.byte();
    const bool paths_only = choice & 1;
    const uint32_t open_options = (choice & 2) ? VELKOR_OPEN_COUNT_FRAMES : 0;
    const int32_t threads = (choice & 4) ? 2 : 1;
    const bool missing_operand = choice & 8;
    const bool stop_early = choice & 16;
    const uint8_t stop_byte = in.byte();
    const std::size_t count = 1 + in.byte() % 8;

    static const char* const kExtensions[] = {".mp3", ".MP3", ".mp2", ".mpga", ".txt", "", ".mp1", ".mP3x"};
    static const char kLetters[] = "aB_z0~.a";
    std::vector<TreeEntry> tree;
    std::vector<int> folders = {-1};
    for (std::size_t i = 0; i < count; ++i) {
        TreeEntry entry;
        const uint8_t kind = in.byte();
        entry.parent = folders[in.byte() % folders.size()];
        const uint8_t name = in.byte();
        entry.name = std::string(1, kLetters[name % 8]) + std::to_string(i) + kExtensions[(name >> 3) % 8];
        switch (kind % 5) {
            case 1: entry.kind = TreeEntry::kFolder; break;
            case 2:
                entry.kind = i > 0 ? TreeEntry::kLink : TreeEntry::kDangling;
                entry.target = i > 0 ? static_cast<int>(in.byte() % i) : -1;
                break;
            case 3: entry.kind = TreeEntry::kDangling; break;
            default: entry.kind = TreeEntry::kFile; entry.bytes = in.bytes(in.number16() % 8192); break;
        }
        if (entry.kind == TreeEntry::kFolder) folders.push_back(static_cast<int>(i));
        tree.push_back(std::move(entry));
    }
    // Files not given bytes of their own take what is left.
    const std::string rest = in.rest();
    for (TreeEntry& entry : tree) {
        if (entry.kind == TreeEntry::kFile && entry.bytes.empty()) entry.bytes = rest;
    }

    const std::filesystem::path root = scratch_folder("scan");
    std::error_code error;
    std::filesystem::remove_all(root, error);
    VELKOR_FUZZ_CHECK(std::filesystem::create_directories(root, error));
    std::vector<std::string> paths(tree.size());
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const TreeEntry& entry = tree[i];
        paths[i] = (entry.parent < 0 ? root.string() : paths[static_cast<std::size_t>(entry.parent)]) + "/" + entry.name;
        switch (entry.kind) {
            case TreeEntry::kFile: VELKOR_FUZZ_CHECK(write_whole(paths[i], entry.bytes)); break;
            case TreeEntry::kFolder: VELKOR_FUZZ_CHECK(std::filesystem::create_directory(paths[i], error)); break;
            case TreeEntry::kLink:
                VELKOR_FUZZ_CHECK(symlink(paths[static_cast<std::size_t>(entry.target)].c_str(), paths[i].c_str()) == 0);
                break;
            case TreeEntry::kDangling: VELKOR_FUZZ_CHECK(symlink("nowhere", paths[i].c_str()) == 0); break;
        }
    }

    std::vector<std::pair<std::string, int>> expected;
    expected_walk(tree, -1, root.string(), expected);
    std::vector<std::string> operands = {root.string()};
    if (missing_operand) {
        operands.push_back(root.string() + "/missing.mp3");
        expected.emplace_back(operands.back(), -1);
    }
    std::vector<const char*> operand_texts;
    for (const std::string& operand : operands) operand_texts.push_back(operand.c_str());

    velkor_scan* scan = nullptr;
    const uint32_t options = VELKOR_SCAN_RECURSIVE | (paths_only ? VELKOR_SCAN_PATHS_ONLY : 0u) | open_options;
    const int32_t opened =
        velkor_scan_open(operand_texts.data(), static_cast<int32_t>(operand_texts.size()), options, threads, &scan);
    VELKOR_FUZZ_CHECK(opened == VELKOR_OK && scan != nullptr);
    const std::size_t stop_after = stop_early ? std::size_t{stop_byte} % (expected.size() + 1) : SIZE_MAX;
    Failure failure = nullptr;
    std::size_t taken = 0;
    for (; taken < stop_after && failure == nullptr; ++taken) {
        const char* path = nullptr;
        velkor_file* got = nullptr;
        int32_t status = -1;
        const int32_t next = velkor_scan_next(scan, &path, &got, &status);
        const FileHandle file(got);
        if (next != 1) {
            failure = next == 0 && status == VELKOR_OK && path == nullptr && !file && taken == expected.size()
                          ? nullptr
                          : "the scan ends early, late or fails";
            break;
        }
        if (taken >= expected.size() || path == nullptr || expected[taken].first != path) {
            failure = "a result out of the walk's order";
            break;
        }
        const int entry = expected[taken].second;
        if (status < VELKOR_OK || status > VELKOR_ERROR_WRITE || (status == VELKOR_OK) != (paths_only || file)) {
            failure = "a status without its handle, or a handle without its status";
            break;
        }
        if (paths_only) {
            if (status != VELKOR_OK || file) failure = "a paths-only result with a handle or a problem";
            continue;
        }
        if (entry < 0) {
            if (status != VELKOR_ERROR_NOT_FOUND) failure = "a missing operand not reported as missing";
            continue;
        }
        const std::string& bytes = tree[static_cast<std::size_t>(entry)].bytes;
        FileHandle alone;
        const int32_t alone_status =
            open_memory(ByteSpan(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), open_options, alone);
        if (status != alone_status) {
            failure = "a scanned file's status is not its own";
            continue;
        }
        if (!file) continue;
        velkor_file_facts a = {}, b = {};
        a.size = b.size = sizeof a;
        velkor_facts(file.get(), &a);
        velkor_facts(alone.get(), &b);
        if (std::memcmp(&a, &b, sizeof a) != 0) failure = "a scanned file's facts are not its own";
        for (const int32_t field : kTextFields) {
            if (std::strcmp(velkor_text(file.get(), field), velkor_text(alone.get(), field)) != 0) {
                failure = "a scanned file's texts are not its own";
            }
        }
    }
    velkor_scan_close(scan);
    std::filesystem::remove_all(root, error);
    return failure;
}

}  // namespace velkor::fuzzing
