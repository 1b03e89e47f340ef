// velkor's own interface: a handle per analysed file, its facts as a
// sized record, its texts in UTF-8, its pictures, and the ID3v1 write.
// Nothing here shows a notice or keeps global state; every failure is a
// status, and no exception crosses into the caller.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/decimal_text.h"
#include "base/utf8.h"
#include "interface/file_status.h"
#include "interface/file_memory.h"
#include "interface/memory_file.h"
#include "platform/file_source.h"
#include "platform/wide_text.h"
#include "stream/mp3_file_info.h"
#include "stream/streamed_file.h"
#include "save/id3v1_save.h"
#include "frames/frame_codec.h"
#include "tags/common_facts.h"
#include "tags/genre_table.h"
#include "tags/value_check.h"
#include "velkor.h"

using velkor::Mp3FileInfo;
using velkor::platform::FileSource;

namespace {

// Fields of velkor_text, in the order of their numbers' ranges.
constexpr int32_t kId3v2First = VELKOR_ID3V2_TITLE, kId3v2Last = VELKOR_ID3V2_DATE;
constexpr int32_t kId3v1First = VELKOR_ID3V1_TITLE, kId3v1Last = VELKOR_ID3V1_GENRE;
constexpr int32_t kStreamFirst = VELKOR_STREAM_ENCODER, kStreamLast = VELKOR_STREAM_LAME_PRESET;
constexpr int32_t kCommonFirst = VELKOR_TAG_RELEASE_DATE, kCommonLast = VELKOR_TAG_MUSICBRAINZ_RELEASE_TRACK_ID;
constexpr int32_t kCommonCount = kCommonLast - kCommonFirst + 1;
static_assert(kCommonCount == velkor::CommonFacts::kTextCount &&
                  VELKOR_TAG_MUSICBRAINZ_TRACK_ID - kCommonFirst == velkor::CommonFacts::kMusicBrainzTrack,
              "the common texts are numbered as velkor.h numbers them");
constexpr int32_t kId3v2Count = kId3v2Last - kId3v2First + 1;
constexpr int32_t kId3v1Count = kId3v1Last - kId3v1First + 1;
constexpr int32_t kStreamCount = kStreamLast - kStreamFirst + 1;

static_assert(static_cast<int32_t>(velkor::Id3v2FrameKind::kText) == VELKOR_FRAME_TEXT &&
                  static_cast<int32_t>(velkor::Id3v2FrameKind::kOther) == VELKOR_FRAME_OTHER,
              "frame kinds are numbered as velkor.h numbers them");

// Copies a record of `size` bytes (the caller's) from ours, the size field
// kept as the caller set it.
template <typename Record>
int32_t copy_record(const Record& ours, Record* theirs) {
    if (theirs == nullptr || theirs->size < sizeof(uint32_t)) return VELKOR_ERROR_ARGUMENT;
    const uint32_t size = theirs->size;
    std::memcpy(reinterpret_cast<char*>(theirs) + sizeof(uint32_t),
                reinterpret_cast<const char*>(&ours) + sizeof(uint32_t),
                std::min<std::size_t>(size, sizeof(Record)) - sizeof(uint32_t));
    return VELKOR_OK;
}

// Copies text into buffer, cut at a character's boundary; returns the
// room the whole text needs.
int32_t copy_text(const std::string& text, char* buffer, int32_t size) {
    if (buffer != nullptr && size > 0) {
        std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
        while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int32_t>(std::min<std::size_t>(text.size() + 1, 0x7FFFFFFF));
}

}  // namespace

struct velkor_file {
    Mp3FileInfo info;
    velkor_file_facts facts = {};
    velkor_tag_facts_info tag_facts = {};
    std::string id3v2[kId3v2Count];
    std::string id3v1[kId3v1Count];
    std::string stream[kStreamCount];
    std::string common[kCommonCount];
    velkor::platform::FileIdentity identity;  // the file analysed, for reading its pictures and frames
#if defined(_WIN32)
    std::wstring wide_path;  // pictures are read again by the path opened
#endif

    const std::string* text(int32_t field) const {
        if (field >= kId3v2First && field <= kId3v2Last) return &id3v2[field - kId3v2First];
        if (field >= kId3v1First && field <= kId3v1Last) return &id3v1[field - kId3v1First];
        if (field >= kStreamFirst && field <= kStreamLast) return &stream[field - kStreamFirst];
        if (field >= kCommonFirst && field <= kCommonLast) return &common[field - kCommonFirst];
        return nullptr;
    }

    const velkor::Apev2Item* ape_item(int32_t index) const {
        const auto& items = info.apev2_tag.items;
        return index >= 0 && static_cast<std::size_t>(index) < items.size() ? &items[index] : nullptr;
    }

    // The frames' values as they are asked for: the handle's own cache (a
    // handle is used by one thread at a time).
    mutable std::vector<std::unique_ptr<velkor::Id3v2FrameValues>> frame_values;
    mutable std::size_t frame_text_bytes = 0;  // what their texts hold, at most kMaxFrameTextTotal

    const velkor::Id3v2FrameEntry* frame_entry(int32_t index) const {
        const auto& frames = info.id3v2_tag.frames;
        return index >= 0 && static_cast<std::size_t>(index) < frames.size() ? &frames[index] : nullptr;
    }
    // Frame `index` decoded, read from the file the first time; NULL with
    // the status when it cannot be.
    const velkor::Id3v2FrameValues* frame(int32_t index, int32_t& status) const;
    // Drops the frame's texts when they would take the handle past its budget.
    void keep_within_budget(velkor::Id3v2FrameValues& values) const;
    // Opens the analysed file again: VELKOR_OK, the open's status, or
    // VELKOR_ERROR_CHANGED when the name now holds another file or the file
    // changed, since the offsets kept are the analysed file's.
    int32_t reopen(FileSource& source) const;

    // A handle of velkor_open_memory: the bytes of its ID3v2 tag, where its
    // frames and pictures are read, as it has no file to open again.
    bool from_memory = false;
    std::vector<uint8_t> kept_tag;
    // The bytes frames and pictures are read from: the file opened again,
    // or the kept tag; the status of reopen.
    struct Reread {
        FileSource file;
        velkor::SpanSource kept{velkor::ByteSpan()};
        velkor::ByteSource* source = nullptr;
        int64_t size = 0;
    };
    int32_t reread(Reread& bytes) const {
        if (from_memory) {
            bytes.kept = velkor::SpanSource(velkor::ByteSpan(kept_tag.data(), kept_tag.size()));
            bytes.source = &bytes.kept;
            bytes.size = static_cast<int64_t>(kept_tag.size());
            return VELKOR_OK;
        }
        const int32_t status = reopen(bytes.file);
        bytes.source = &bytes.file;
        bytes.size = bytes.file.size();
        return status;
    }

    const velkor::Id3v2Picture* picture(int32_t index) const {
        const auto& pictures = info.id3v2_tag.pictures;
        return index >= 0 && static_cast<std::size_t>(index) < pictures.size() ? &pictures[index] : nullptr;
    }

    // Fills the facts and texts from the analysis; has_audio false: of a
    // file without MPEG audio, whose stream figures are unknown.
    void gather(bool has_audio);
    // The common facts, from the tags before their texts move out.
    void gather_common();
};

namespace {

int32_t format_number(velkor::FileFormat format) {
    using F = velkor::FileFormat;
    switch (format) {
        case F::kNone: return VELKOR_FORMAT_MPEG;
        case F::kRiffMpeg: return VELKOR_FORMAT_RIFF_MPEG;
        case F::kFlac: return VELKOR_FORMAT_FLAC;
        case F::kOgg: return VELKOR_FORMAT_OGG;
        case F::kAiff: return VELKOR_FORMAT_AIFF;
        case F::kMp4: return VELKOR_FORMAT_MP4;
        case F::kElf: return VELKOR_FORMAT_ELF;
        case F::kWindowsExe: return VELKOR_FORMAT_WINDOWS_EXE;
        case F::kZip: return VELKOR_FORMAT_ZIP;
        case F::kPdf: return VELKOR_FORMAT_PDF;
        case F::kPng: return VELKOR_FORMAT_PNG;
        case F::kWave: return VELKOR_FORMAT_WAVE;
        case F::kOtherRiff: return VELKOR_FORMAT_OTHER_RIFF;
    }
    return VELKOR_FORMAT_MPEG;
}

}  // namespace

void velkor_file::gather_common() {
    velkor::CommonSources sources;
    sources.id3v2 = &info.id3v2_tag;
    sources.apev2 = &info.apev2_tag;
    const velkor::VbrHeader::Settings& lame = info.vbr.settings();
    sources.encoder.known = lame.gains_known;  // the same bits
    sources.encoder.track_gain_db = lame.track_gain_db;
    sources.encoder.album_gain_db = lame.album_gain_db;
    sources.encoder.peak = lame.peak;
    static_assert(velkor::VbrHeader::Settings::kTrackGain == velkor::EncoderGains::kTrackGain &&
                      velkor::VbrHeader::Settings::kTrackPeak == velkor::EncoderGains::kTrackPeak &&
                      velkor::VbrHeader::Settings::kAlbumGain == velkor::EncoderGains::kAlbumGain,
                  "the encoder's gain bits");
    if (info.has_id3v1) {
        sources.id3v1_track = info.tag.get_track();
        sources.id3v1_year = info.tag.year;
    }
    velkor::CommonFacts c = velkor::derive_common_facts(sources);
    velkor_tag_facts_info& t = tag_facts;
    t.size = sizeof(velkor_tag_facts_info);
    t.track = c.track;
    t.track_total = c.track_total;
    t.disc = c.disc;
    t.disc_total = c.disc_total;
    t.compilation = c.compilation;
    t.bpm = c.bpm;
    t.rating = c.rating;
    t.year = c.year;
    t.month = c.month;
    t.day = c.day;
    t.hour = c.hour;
    t.minute = c.minute;
    t.release_year = c.release_year;
    t.original_year = c.original_year;
    t.play_count = c.play_count;
    t.replaygain_known = c.replaygain_known;
    static_assert(velkor::CommonFacts::kTrackGain == VELKOR_REPLAYGAIN_TRACK_GAIN &&
                      velkor::CommonFacts::kTrackPeak == VELKOR_REPLAYGAIN_TRACK_PEAK &&
                      velkor::CommonFacts::kAlbumGain == VELKOR_REPLAYGAIN_ALBUM_GAIN &&
                      velkor::CommonFacts::kAlbumPeak == VELKOR_REPLAYGAIN_ALBUM_PEAK,
                  "the ReplayGain bits");
    t.track_gain_db = c.track_gain_db;
    t.track_peak = c.track_peak;
    t.album_gain_db = c.album_gain_db;
    t.album_peak = c.album_peak;
    for (int32_t i = 0; i < kCommonCount; ++i) common[i] = std::move(c.texts[i]);
}

void velkor_file::gather(bool has_audio) {
    gather_common();
    // The frames decoded at the analysis answer velkor_frame without
    // reading the file again.
    velkor::Id3v2Tag& decoded_tag = info.id3v2_tag;
    frame_values.resize(decoded_tag.frames.size());
    for (velkor::Id3v2DecodedFrame& decoded : decoded_tag.decoded) {
        std::unique_ptr<velkor::Id3v2FrameValues> values(new velkor::Id3v2FrameValues(std::move(decoded.values)));
        keep_within_budget(*values);
        frame_values[decoded.index] = std::move(values);
    }
    decoded_tag.decoded.clear();
    decoded_tag.decoded.shrink_to_fit();

    const velkor::FrameHeader& header = info.header;
    const velkor::Id3v2Tag& v2 = info.id3v2_tag;
    const velkor::VbrHeader& vbr = info.vbr;
    velkor_file_facts& f = facts;
    f.size = sizeof(velkor_file_facts);
    f.mpeg_version = header.version_bits() == 3 ? 10 : header.version_bits() == 2 ? 20 : 25;
    f.layer = header.layer_number();
    f.sampling_rate_hz = info.frequency_hz();
    f.channel_mode = header.mode_bits();
    f.channels = header.mode_bits() == 3 ? 1 : 2;
    f.vbr_header = vbr.kind() == velkor::VbrHeader::Kind::kXing   ? VELKOR_VBR_XING
                   : vbr.kind() == velkor::VbrHeader::Kind::kInfo ? VELKOR_VBR_INFO
                   : vbr.kind() == velkor::VbrHeader::Kind::kVbri ? VELKOR_VBR_VBRI
                                                                  : VELKOR_VBR_NONE;
    const velkor::StreamFigures figures = has_audio ? info.stream_figures() : velkor::StreamFigures();
    f.bitrate_kbps = figures.bitrate_kbps;
    f.frames = figures.frames;
    f.frames_exact = figures.frames_exact ? 1 : 0;
    f.duration_ms = figures.duration_ms;
    f.gapless_duration_ms = figures.gapless_duration_ms;
    f.samples = figures.samples;
    f.gapless_samples = figures.gapless_samples;
    f.bitrate_varies = figures.bitrate_varies ? 1 : 0;
    f.truncated = figures.truncated ? 1 : 0;
    f.stream_format = format_number(info.format.format);
    stream[VELKOR_STREAM_FORMAT - kStreamFirst] = velkor::format_name(info.format.format);
    f.encoder_delay = vbr.delay();
    f.encoder_padding = vbr.padding();
    const bool v11 = info.has_id3v1 && info.tag.get_track() >= 0;
    f.id3v1 = info.has_id3v1 ? (v11 ? 11 : 10) : 0;
    f.id3v1_track = v11 ? info.tag.get_track() : -1;
    f.id3v1_genre = info.has_id3v1 ? info.tag.genre : velkor::kGenreNotSupported;
    f.id3v2_version = v2.version;
    f.picture_count = static_cast<int32_t>(v2.pictures.size());
    f.file_size = info.file_size();
    f.first_frame_offset = info.header_pos - 1;
    f.audio_bytes = info.audio_end - f.first_frame_offset;
    const velkor::VbrHeader::Settings& lame = vbr.settings();
    f.lame_vbr_method = lame.vbr_method;
    f.lame_quality = lame.quality;
    f.lame_lowpass_hz = lame.lowpass_hz;
    f.lame_preset = lame.preset;
    stream[VELKOR_STREAM_LAME_METHOD - kStreamFirst] = velkor::lame_method_name(lame.vbr_method);
    stream[VELKOR_STREAM_LAME_PRESET - kStreamFirst] = velkor::lame_preset_name(lame.preset, lame.vbr_method);
    if (!has_audio) {
        // Nothing of a stream: every figure of it unknown, its texts empty.
        for (int32_t* figure : {&f.mpeg_version, &f.layer, &f.sampling_rate_hz, &f.channel_mode, &f.channels,
                                &f.bitrate_kbps, &f.vbr_header, &f.frames_exact, &f.encoder_delay,
                                &f.encoder_padding, &f.bitrate_varies, &f.truncated, &f.lame_vbr_method, &f.lame_quality,
                                &f.lame_lowpass_hz, &f.lame_preset}) {
            *figure = -1;
        }
        for (int64_t* figure : {&f.first_frame_offset, &f.audio_bytes, &f.frames, &f.duration_ms,
                                &f.gapless_duration_ms, &f.samples, &f.gapless_samples}) {
            *figure = -1;
        }
    }

    // The tag's texts move over; the tag keeps its pictures.
    velkor::Id3v2Tag& tag = info.id3v2_tag;
    std::string* v2_texts[kId3v2Count] = {&tag.title, &tag.artist,  &tag.album, &tag.album_artist,
                                          &tag.year,  &tag.track,   &tag.disc,  &tag.genre,
                                          &tag.composer, &tag.comment, &tag.date};
    for (int32_t i = 0; i < kId3v2Count; ++i) id3v2[i] = std::move(*v2_texts[i]);
    if (info.has_id3v1) {
        const velkor::TagRecord& t = info.tag;
        id3v1[VELKOR_ID3V1_TITLE - kId3v1First] = velkor::latin1_to_utf8(t.title);
        id3v1[VELKOR_ID3V1_ARTIST - kId3v1First] = velkor::latin1_to_utf8(t.artist);
        id3v1[VELKOR_ID3V1_ALBUM - kId3v1First] = velkor::latin1_to_utf8(t.album);
        if (t.year > 0) {
            char year[velkor::kDecimalTextSize];
            velkor::decimal_text(t.year, year);
            id3v1[VELKOR_ID3V1_YEAR - kId3v1First] = year;
        }
        id3v1[VELKOR_ID3V1_COMMENT - kId3v1First] = velkor::latin1_to_utf8(t.comment);
        char genre[velkor::TagRecord::kGenreNameSize];
        t.genre_name(genre);
        id3v1[VELKOR_ID3V1_GENRE - kId3v1First] = genre;
    }
    if (!has_audio) return;
    stream[VELKOR_STREAM_ENCODER - kStreamFirst] = vbr.encoder();
    char version[velkor::FrameHeader::kVersionTextSize];
    info.version_text(version);
    stream[VELKOR_STREAM_VERSION - kStreamFirst] = version;
    char mode[velkor::FrameHeader::kModeNameSize];
    info.mode_text(mode);
    stream[VELKOR_STREAM_MODE - kStreamFirst] = mode;
}

int32_t velkor_file::reopen(FileSource& source) const {
#if defined(_WIN32)
    const velkor::platform::FileProblem opened =
        wide_path.empty() ? source.open_utf8(info.path.c_str()) : source.open_wide(wide_path.c_str());
#else
    const velkor::platform::FileProblem opened = source.open_utf8(info.path.c_str());
#endif
    if (opened != velkor::platform::FileProblem::kNone) return velkor::status_of(opened, VELKOR_ERROR_READ);
    return source.identity() == identity ? VELKOR_OK : VELKOR_ERROR_CHANGED;
}

namespace {

// A cursor over the body of a listed frame, in the source it was found in.
velkor::TagCursor frame_body(velkor::ByteSource& source, const velkor::Id3v2Tag& tag, const velkor::Id3v2FrameEntry& entry) {
    return velkor::TagCursor(source, entry.body_offset, entry.body_offset + entry.stored_size,
                             tag.version <= 3 && tag.unsynchronised);
}

velkor::Id3v2Frame frame_of(const velkor::Id3v2Tag& tag, const velkor::Id3v2FrameEntry& entry) {
    velkor::Id3v2Frame frame;
    std::memcpy(frame.id, entry.id, sizeof frame.id);
    frame.size = entry.size;
    frame.flags = entry.flags;
    frame.version = static_cast<uint8_t>(tag.version);
    frame.tag_unsynchronised = tag.unsynchronised;
    return frame;
}

// What the texts of all of one handle's frames may hold: each frame's are
// bounded (1 MiB of content), but a tag has up to 4096 frames, and
// compressed ones inflate.
constexpr std::size_t kMaxFrameTextTotal = 64 * 1024 * 1024;

std::size_t text_bytes(const velkor::Id3v2FrameValues& v) {
    std::size_t bytes = v.description.size() + v.language.size() + v.owner.size() + v.element_id.size() + v.title.size();
    for (const std::string& value : v.values) bytes += value.size();
    for (const std::string& child : v.children) bytes += child.size();
    for (const std::string& genre : v.genres) bytes += genre.size();
    return bytes;
}

}  // namespace

void velkor_file::keep_within_budget(velkor::Id3v2FrameValues& values) const {
    const std::size_t bytes = text_bytes(values);
    if (frame_text_bytes + bytes <= kMaxFrameTextTotal) {
        frame_text_bytes += bytes;
        return;
    }
    // Past the budget a frame keeps its figures, not its texts.
    values.values.clear();
    values.children.clear();
    values.genres.clear();
    values.description.clear();
    values.language.clear();
    values.owner.clear();
    values.element_id.clear();
    values.title.clear();
    values.truncated = true;
}

const velkor::Id3v2FrameValues* velkor_file::frame(int32_t index, int32_t& status) const {
    const velkor::Id3v2FrameEntry* entry = frame_entry(index);
    status = VELKOR_ERROR_ARGUMENT;
    if (entry == nullptr) return nullptr;
    if (frame_values.size() != info.id3v2_tag.frames.size()) frame_values.resize(info.id3v2_tag.frames.size());
    std::unique_ptr<velkor::Id3v2FrameValues>& cached = frame_values[static_cast<std::size_t>(index)];
    if (!cached) {
        Reread bytes;
        status = reread(bytes);
        if (status != VELKOR_OK) return nullptr;
        velkor::ByteSource& source = *bytes.source;
        // Small stored frames behind it are decoded while the file is open:
        // whoever asks for one frame mostly asks for the next.
        constexpr uint32_t kNeighbourBytes = 16 * 1024;
        const velkor::Id3v2Tag& tag = info.id3v2_tag;
        std::vector<std::size_t> decoded;
        for (std::size_t j = static_cast<std::size_t>(index); j < tag.frames.size(); ++j) {
            const velkor::Id3v2FrameEntry& next = tag.frames[j];
            const velkor::Id3v2Frame frame = frame_of(tag, next);
            if (j != static_cast<std::size_t>(index) &&
                (next.stored_size > kNeighbourBytes || velkor::id3v2_body_layout(frame).compressed)) {
                break;
            }
            if (frame_values[j]) continue;
            frame_values[j].reset(
                new velkor::Id3v2FrameValues(velkor::read_id3v2_frame_values(source, frame, frame_body(source, tag, next))));
            decoded.push_back(j);
        }
        if (bytes.file.read_failed()) {
            // Values read with a gap are not the frame's: none are kept.
            for (std::size_t j : decoded) frame_values[j].reset();
            status = VELKOR_ERROR_READ;
            return nullptr;
        }
        for (std::size_t j : decoded) keep_within_budget(*frame_values[j]);
    }
    status = VELKOR_OK;
    return cached.get();
}

namespace {

// Analyses the size bytes of source into a new handle. `streamed`: source
// is a stream's head and tail, whose frames it counted as they passed.
int32_t analyse_into(velkor::ByteSource& source, int64_t size, const char* utf8_path, uint32_t options,
                     velkor_file** out, velkor::StreamedFile* streamed = nullptr) {
    std::unique_ptr<velkor_file> file(new velkor_file);
    velkor::LoadOptions load;
    load.full = true;
    load.count_frames = (options & VELKOR_OPEN_COUNT_FRAMES) != 0 && streamed == nullptr;
    load.sample_frames = true;
    bool has_audio = file->info.analyse(source, size, utf8_path, load) == velkor::kStatusOk;
    if (has_audio && streamed != nullptr) streamed->give_count(file->info);
    if (!has_audio && (options & VELKOR_OPEN_WITHOUT_AUDIO) == 0) return VELKOR_ERROR_NO_AUDIO;
    file->gather(has_audio);
    *out = file.release();
    return has_audio ? VELKOR_OK : VELKOR_ERROR_NO_AUDIO;
}

constexpr uint32_t kOpenOptions = VELKOR_OPEN_COUNT_FRAMES | VELKOR_OPEN_WITHOUT_AUDIO;

// Opens and analyses; `open` opens the FileSource by the caller's path.
template <typename Open>
int32_t open_file(const char* utf8_path, uint32_t options, velkor_file** out, Open open) {
    if (out == nullptr) return VELKOR_ERROR_ARGUMENT;
    *out = nullptr;
    if (utf8_path == nullptr || (options & ~kOpenOptions) != 0) return VELKOR_ERROR_ARGUMENT;
    try {
        FileSource source;
        const int32_t opened = velkor::status_of(open(source), VELKOR_ERROR_READ);
        if (opened != VELKOR_OK) return opened;
        const int32_t status = analyse_into(source, source.size(), utf8_path, options, out);
        if (source.read_failed()) {
            // Facts read with a gap are no facts of the file: "no tag" or
            // "no audio" may only mean that the file has none.
            velkor_close(*out);
            *out = nullptr;
            return VELKOR_ERROR_READ;
        }
        if (*out != nullptr) (*out)->identity = source.identity();
        return status;
    } catch (const std::bad_alloc&) {
        return VELKOR_ERROR_NO_MEMORY;
    } catch (...) {
        return VELKOR_ERROR_READ;
    }
}

// Reads a picture's data from the file's bytes in source.
int32_t read_picture_data(const velkor::Id3v2Picture& found, velkor::ByteSource& source, int64_t source_size,
                          void* buffer) {
    if (found.compressed) {
        if (found.body_offset + found.stored_size > source_size) return VELKOR_ERROR_READ;
        const std::vector<uint8_t> data = velkor::read_compressed_picture(source, found);
        if (data.empty() && found.bytes > 0) return VELKOR_ERROR_READ;
        if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
        return VELKOR_OK;
    }
    // Resynchronising takes up to twice the bytes the body decodes to.
    const int64_t want = found.unsynchronised ? 2 * static_cast<int64_t>(found.stored_size)
                                              : static_cast<int64_t>(found.stored_size);
    const int64_t count = std::max<int64_t>(0, std::min(want, source_size - found.body_offset));
    std::vector<uint8_t> stored(static_cast<std::size_t>(count));
    const std::size_t got = source.read(found.body_offset, stored.data(), stored.size());
    const std::string data = velkor::picture_data(found, velkor::ByteSpan(stored.data(), got));
    if (static_cast<int64_t>(data.size()) != found.bytes) return VELKOR_ERROR_READ;
    std::memcpy(buffer, data.data(), data.size());
    return VELKOR_OK;
}

// A handle without a file to open again (its bytes came from memory or a
// stream) keeps its ID3v2 tag's bytes, up to the end of the last frame or
// picture the tag lists, from source (size bytes): its frames and pictures
// are read from them. Returns status, or VELKOR_ERROR_NO_MEMORY with the
// handle closed.
int32_t keep_tag(velkor::ByteSource& source, int64_t size, int32_t status, velkor_file** file) {
    try {
        const velkor::Id3v2Tag& tag = (*file)->info.id3v2_tag;
        int64_t end = 0;
        for (const velkor::Id3v2FrameEntry& entry : tag.frames) end = std::max(end, entry.body_offset + entry.stored_size);
        for (const velkor::Id3v2Picture& picture : tag.pictures) {
            end = std::max(end, picture.body_offset + (picture.unsynchronised ? 2 : 1) * int64_t{picture.stored_size});
        }
        end = std::min(end, size);
        std::vector<uint8_t>& kept = (*file)->kept_tag;
        kept.resize(static_cast<std::size_t>(end));
        kept.resize(source.read(0, kept.data(), kept.size()));
        (*file)->from_memory = true;
        return status;
    } catch (const std::bad_alloc&) {
        velkor_close(*file);
        *file = nullptr;
        return VELKOR_ERROR_NO_MEMORY;
    }
}

}  // namespace

extern "C" {

VELKOR_API const char* VELKOR_CALL velkor_status_text(int32_t status) {
    switch (status) {
        case VELKOR_OK: return "success";
        case VELKOR_ERROR_NOT_FOUND: return "no such file";
        case VELKOR_ERROR_NOT_PERMITTED: return "permission denied";
        case VELKOR_ERROR_NOT_REGULAR: return "not a regular file";
        case VELKOR_ERROR_NO_AUDIO: return "no MPEG audio in it";
        case VELKOR_ERROR_READ: return "cannot be read";
        case VELKOR_ERROR_NO_MEMORY: return "out of memory";
        case VELKOR_ERROR_ARGUMENT: return "invalid argument";
        case VELKOR_ERROR_READ_ONLY: return "read-only file system";
        case VELKOR_ERROR_NO_SPACE: return "no space left";
        case VELKOR_ERROR_WRITE: return "cannot be written";
        case VELKOR_ERROR_CHANGED: return "the file changed since it was opened";
        case VELKOR_ERROR_LINKED: return "the file has other hard links";
        case VELKOR_SKIPPED: return "skipped: not a regular file, a link not followed or a loop";
        default: return "unknown status";
    }
}

VELKOR_API int32_t VELKOR_CALL velkor_open(const char* path, uint32_t options, velkor_file** file) {
    return open_file(path, options, file, [&](FileSource& source) { return source.open_utf8(path); });
}

VELKOR_API int32_t VELKOR_CALL velkor_open_memory(const void* bytes, size_t size, uint32_t options,
                                                  velkor_file** file) {
    const auto* data = static_cast<const uint8_t*>(bytes);
    const int32_t status = velkor::open_from_memory(data, size, "", options, file);
    // (VELKOR_OPEN_WITHOUT_AUDIO gives a handle with VELKOR_ERROR_NO_AUDIO.)
    if (file == nullptr || *file == nullptr) return status;
    velkor::SpanSource source(velkor::ByteSpan(data, size));
    return keep_tag(source, static_cast<int64_t>(size), status, file);
}

VELKOR_API int32_t VELKOR_CALL velkor_open_stream(velkor_read_function read, void* context, uint32_t options,
                                                  velkor_file** file) {
    if (file == nullptr) return VELKOR_ERROR_ARGUMENT;
    *file = nullptr;
    if (read == nullptr || (options & ~kOpenOptions) != 0) return VELKOR_ERROR_ARGUMENT;
    try {
        velkor::StreamedFile stream;
        constexpr int32_t kBlock = 64 * 1024;
        std::unique_ptr<uint8_t[]> block(new uint8_t[kBlock]);
        for (;;) {
            const int32_t got = read(context, block.get(), kBlock);
            if (got == 0) break;
            if (got < 0 || got > kBlock) return VELKOR_ERROR_READ;
            stream.add(velkor::ByteSpan(block.get(), static_cast<std::size_t>(got)));
        }
        block.reset();
        stream.finish();
        const int32_t status = analyse_into(stream, stream.size(), "", options | VELKOR_OPEN_COUNT_FRAMES, file,
                                            stream.whole() ? nullptr : &stream);
        if (*file == nullptr) return status;
        return keep_tag(stream, stream.size(), status, file);
    } catch (const std::bad_alloc&) {
        return VELKOR_ERROR_NO_MEMORY;
    } catch (...) {
        return VELKOR_ERROR_READ;
    }
}

VELKOR_API void VELKOR_CALL velkor_close(velkor_file* file) { delete file; }

VELKOR_API int32_t VELKOR_CALL velkor_facts(const velkor_file* file, velkor_file_facts* facts) {
    if (file == nullptr) return VELKOR_ERROR_ARGUMENT;
    return copy_record(file->facts, facts);
}

VELKOR_API const char* VELKOR_CALL velkor_text(const velkor_file* file, int32_t field) {
    const std::string* text = file ? file->text(field) : nullptr;
    return text ? text->c_str() : nullptr;
}

VELKOR_API int32_t VELKOR_CALL velkor_get_text(const velkor_file* file, int32_t field, char* buffer, int32_t size) {
    const std::string* text = file ? file->text(field) : nullptr;
    if (text == nullptr) {
        if (buffer != nullptr && size > 0) buffer[0] = '\0';
        return 0;
    }
    return copy_text(*text, buffer, size);
}

VELKOR_API int32_t VELKOR_CALL velkor_picture(const velkor_file* file, int32_t index, velkor_picture_info* picture) {
    const velkor::Id3v2Picture* found = file ? file->picture(index) : nullptr;
    if (found == nullptr) return VELKOR_ERROR_ARGUMENT;
    velkor_picture_info ours = {};
    ours.type = found->type;
    ours.bytes = static_cast<int32_t>(std::min<int64_t>(found->bytes, 0x7FFFFFFF));
    return copy_record(ours, picture);
}

VELKOR_API const char* VELKOR_CALL velkor_picture_text(const velkor_file* file, int32_t index, int32_t field) {
    const velkor::Id3v2Picture* found = file ? file->picture(index) : nullptr;
    if (found == nullptr) return nullptr;
    if (field == VELKOR_PICTURE_MIME) return found->mime.c_str();
    if (field == VELKOR_PICTURE_DESCRIPTION) return found->description.c_str();
    return nullptr;
}

VELKOR_API int32_t VELKOR_CALL velkor_read_picture(const velkor_file* file, int32_t index, void* buffer, int32_t size) {
    const velkor::Id3v2Picture* found = file ? file->picture(index) : nullptr;
    if (found == nullptr || buffer == nullptr || size < 0 || found->bytes > size) return VELKOR_ERROR_ARGUMENT;
    try {
        velkor_file::Reread bytes;
        const int32_t opened = file->reread(bytes);
        if (opened != VELKOR_OK) return opened;
        return read_picture_data(*found, *bytes.source, bytes.size, buffer);
    } catch (const std::bad_alloc&) {
        return VELKOR_ERROR_NO_MEMORY;
    } catch (...) {
        return VELKOR_ERROR_READ;
    }
}

VELKOR_API int32_t VELKOR_CALL velkor_frame_count(const velkor_file* file) {
    if (file == nullptr) return -1;
    return static_cast<int32_t>(std::min<int64_t>(file->info.id3v2_tag.frame_count, 0x7FFFFFFF));
}

VELKOR_API int32_t VELKOR_CALL velkor_frame(const velkor_file* file, int32_t index, velkor_frame_info* info) {
    if (file == nullptr || info == nullptr) return VELKOR_ERROR_ARGUMENT;
    try {
        int32_t status = VELKOR_OK;
        const velkor::Id3v2FrameValues* values = file->frame(index, status);
        if (values == nullptr) return status;
        const velkor::Id3v2FrameEntry& entry = *file->frame_entry(index);
        const velkor::Id3v2Tag& tag = file->info.id3v2_tag;
        const velkor::Id3v2BodyLayout layout = velkor::id3v2_body_layout(frame_of(tag, entry));
        velkor_frame_info ours = {};
        ours.flags = entry.flags;
        std::memcpy(ours.id, entry.id, sizeof entry.id);
        const char* v24 = tag.version == 2 ? velkor::id3v2_v24_id(entry.id) : entry.id;
        std::memcpy(ours.id_v24, v24, std::strlen(v24));
        ours.kind = static_cast<int32_t>(values->kind);
        ours.encrypted = layout.encrypted ? 1 : 0;
        ours.compressed = layout.compressed ? 1 : 0;
        ours.value_count = static_cast<int32_t>(values->values.size());
        ours.body_size = values->readable || layout.encrypted ? values->content_size : -1;
        ours.rating = values->rating;
        ours.toc_flags = values->toc_flags;
        ours.play_count = values->play_count;
        ours.start_ms = values->start_ms;
        ours.end_ms = values->end_ms;
        ours.start_offset = values->start_offset;
        ours.end_offset = values->end_offset;
        ours.child_count = static_cast<int32_t>(values->children.size());
        ours.truncated = values->truncated ? 1 : 0;
        return copy_record(ours, info);
    } catch (const std::bad_alloc&) {
        return VELKOR_ERROR_NO_MEMORY;
    } catch (...) {
        return VELKOR_ERROR_READ;
    }
}

namespace {

// A text of a frame and its size in bytes (a unique id's identifier may
// hold zero bytes); nullptr where velkor_frame_text gives NULL.
const char* frame_text_of(const velkor_file* file, int32_t index, int32_t field, int32_t value_index,
                          std::size_t& size) {
    if (file == nullptr) return nullptr;
    int32_t status = VELKOR_OK;
    const velkor::Id3v2FrameValues* values = file->frame(index, status);
    if (values == nullptr) return nullptr;
    auto text = [&](const std::string& s) {
        size = s.size();
        return s.c_str();
    };
    auto item = [&](const std::vector<std::string>& list) -> const char* {
        return value_index >= 0 && static_cast<std::size_t>(value_index) < list.size() ? text(list[value_index])
                                                                                     : nullptr;
    };
    auto fixed = [&](const char* s) {
        size = std::strlen(s);
        return s;
    };
    switch (field) {
        case VELKOR_FRAME_VALUE: return item(values->values);
        case VELKOR_FRAME_CHILD: return item(values->children);
        case VELKOR_FRAME_DESCRIPTION: return text(values->description);
        case VELKOR_FRAME_LANGUAGE: return text(values->language);
        case VELKOR_FRAME_OWNER: return text(values->owner);
        case VELKOR_FRAME_ELEMENT_ID: return text(values->element_id);
        case VELKOR_FRAME_TITLE: return text(values->title);
        case VELKOR_FRAME_GENRE: return item(values->genres);
        case VELKOR_FRAME_KIND_NAME: return fixed(velkor::id3v2_kind_name(values->kind));
        case VELKOR_FRAME_NAME:
        case VELKOR_FRAME_FIELD: {
            const velkor::Id3v2FrameEntry& entry = *file->frame_entry(index);
            const velkor::Id3v2FrameRow* row = velkor::id3v2_frame_row(entry.id, file->info.id3v2_tag.version);
            if (row == nullptr) return fixed("");
            return fixed(field == VELKOR_FRAME_NAME ? row->name : velkor::id3v2_field_name(row->field));
        }
        default: return nullptr;
    }
}

}  // namespace

VELKOR_API const char* VELKOR_CALL velkor_frame_text(const velkor_file* file, int32_t index, int32_t field,
                                                   int32_t value_index) {
    try {
        std::size_t size = 0;
        return frame_text_of(file, index, field, value_index, size);
    } catch (...) {
        return nullptr;
    }
}

VELKOR_API int32_t VELKOR_CALL velkor_frame_text_size(const velkor_file* file, int32_t index, int32_t field,
                                                    int32_t value_index) {
    try {
        std::size_t size = 0;
        if (frame_text_of(file, index, field, value_index, size) == nullptr) return -1;
        return static_cast<int32_t>(std::min<std::size_t>(size, 0x7FFFFFFF));
    } catch (...) {
        return -1;
    }
}

VELKOR_API int32_t VELKOR_CALL velkor_read_frame(const velkor_file* file, int32_t index, void* buffer, int32_t size) {
    const velkor::Id3v2FrameEntry* entry = file ? file->frame_entry(index) : nullptr;
    if (entry == nullptr || buffer == nullptr || size < 0) return VELKOR_ERROR_ARGUMENT;
    try {
        velkor_file::Reread reread;
        const int32_t opened = file->reread(reread);
        if (opened != VELKOR_OK) return opened;
        velkor::ByteSource& source = *reread.source;
        const velkor::Id3v2Tag& tag = file->info.id3v2_tag;
        const velkor::Id3v2Frame frame = frame_of(tag, *entry);
        velkor::TagCursor body = frame_body(source, tag, *entry);
        const velkor::Id3v2BodyLayout layout = velkor::id3v2_body_layout(frame);
        if (layout.encrypted) {
            // As stored, behind the prefix: only its owner can decrypt it.
            body.skip(layout.prefix);
            if (body.left() > static_cast<std::size_t>(size)) return VELKOR_ERROR_ARGUMENT;
            body.read(static_cast<uint8_t*>(buffer), body.left());
            return VELKOR_OK;
        }
        velkor::Id3v2FrameContent content(source, frame, body);
        if (!content.ok()) return VELKOR_ERROR_READ;
        velkor::TagCursor& bytes = content.cursor();
        if (bytes.left() > static_cast<std::size_t>(size)) return VELKOR_ERROR_ARGUMENT;
        bytes.read(static_cast<uint8_t*>(buffer), bytes.left());
        return VELKOR_OK;
    } catch (const std::bad_alloc&) {
        return VELKOR_ERROR_NO_MEMORY;
    } catch (...) {
        return VELKOR_ERROR_READ;
    }
}

VELKOR_API int32_t VELKOR_CALL velkor_tag_facts(const velkor_file* file, velkor_tag_facts_info* facts) {
    if (file == nullptr) return VELKOR_ERROR_ARGUMENT;
    return copy_record(file->tag_facts, facts);
}

VELKOR_API int32_t VELKOR_CALL velkor_ape_item_count(const velkor_file* file) {
    if (file == nullptr) return -1;
    return static_cast<int32_t>(file->info.apev2_tag.items.size());
}

VELKOR_API int32_t VELKOR_CALL velkor_ape_item(const velkor_file* file, int32_t index, velkor_ape_item_info* info) {
    const velkor::Apev2Item* item = file ? file->ape_item(index) : nullptr;
    if (item == nullptr) return VELKOR_ERROR_ARGUMENT;
    velkor_ape_item_info ours = {};
    static_assert(static_cast<int32_t>(velkor::Apev2Item::Kind::kExternal) == VELKOR_APE_LOCATOR &&
                      static_cast<int32_t>(velkor::Apev2Item::Kind::kReserved) == VELKOR_APE_RESERVED,
                  "item kinds are numbered as velkor.h numbers them");
    ours.kind = static_cast<int32_t>(item->kind);
    ours.read_only = item->read_only ? 1 : 0;
    ours.value_count = static_cast<int32_t>(item->values.size());
    ours.truncated = item->cut ? 1 : 0;
    ours.body_size = item->value_size;
    std::memcpy(ours.key, item->key.data(), std::min(item->key.size(), sizeof ours.key - 1));
    return copy_record(ours, info);
}

VELKOR_API const char* VELKOR_CALL velkor_ape_item_text(const velkor_file* file, int32_t index, int32_t field,
                                                      int32_t value_index) {
    const velkor::Apev2Item* item = file ? file->ape_item(index) : nullptr;
    if (item == nullptr) return nullptr;
    if (field == VELKOR_APE_KEY) return item->key.c_str();
    if (field != VELKOR_APE_VALUE || value_index < 0 || static_cast<std::size_t>(value_index) >= item->values.size()) {
        return nullptr;
    }
    return item->values[static_cast<std::size_t>(value_index)].c_str();
}

VELKOR_API int32_t VELKOR_CALL velkor_read_ape_item(const velkor_file* file, int32_t index, void* buffer, int32_t size) {
    const velkor::Apev2Item* item = file ? file->ape_item(index) : nullptr;
    if (item == nullptr || buffer == nullptr || size < 0 || item->value_size > static_cast<uint32_t>(size)) {
        return VELKOR_ERROR_ARGUMENT;
    }
    // A handle from memory keeps only its ID3v2 tag's bytes.
    if (file->from_memory) return VELKOR_ERROR_READ;
    try {
        FileSource source;
        const int32_t opened = file->reopen(source);
        if (opened != VELKOR_OK) return opened;
        return source.read(item->value_offset, static_cast<uint8_t*>(buffer), item->value_size) == item->value_size
                   ? VELKOR_OK
                   : VELKOR_ERROR_READ;
    } catch (const std::bad_alloc&) {
        return VELKOR_ERROR_NO_MEMORY;
    } catch (...) {
        return VELKOR_ERROR_READ;
    }
}

VELKOR_API const char* VELKOR_CALL velkor_genre_name(int32_t genre) { return velkor::GenreTable::extended_name(genre); }

VELKOR_API int32_t VELKOR_CALL velkor_genre_number(const char* name) {
    const int32_t number = velkor::GenreTable::find_extended(name);
    return number < 0 ? velkor::kNotAGenre : number;
}

}  // extern "C"

namespace {

// The caller's record as far as its size reaches (a record from an older
// velkor.h is shorter); a field past that is not named, so the file's tag
// keeps it. False when the record is too short to name any field.
bool read_id3v1_fields(const velkor_id3v1_fields& theirs, velkor_id3v1_fields& ours) {
    constexpr std::size_t kLeast = offsetof(velkor_id3v1_fields, fields) + sizeof(uint32_t);
    if (theirs.size < kLeast) return false;
    const std::size_t size = std::min<std::size_t>(theirs.size, sizeof ours);
    ours = velkor_id3v1_fields{};
    ours.genre = 255;
    std::memcpy(&ours, &theirs, size);
    struct Field {
        uint32_t flag;
        std::size_t end;
    };
    static constexpr Field kFields[] = {
        {VELKOR_FIELD_TITLE, offsetof(velkor_id3v1_fields, title) + sizeof(const char*)},
        {VELKOR_FIELD_ARTIST, offsetof(velkor_id3v1_fields, artist) + sizeof(const char*)},
        {VELKOR_FIELD_ALBUM, offsetof(velkor_id3v1_fields, album) + sizeof(const char*)},
        {VELKOR_FIELD_COMMENT, offsetof(velkor_id3v1_fields, comment) + sizeof(const char*)},
        {VELKOR_FIELD_YEAR, offsetof(velkor_id3v1_fields, year) + sizeof(int32_t)},
        {VELKOR_FIELD_TRACK, offsetof(velkor_id3v1_fields, track) + sizeof(int32_t)},
        {VELKOR_FIELD_GENRE, offsetof(velkor_id3v1_fields, genre) + sizeof(int32_t)},
    };
    for (const Field& field : kFields) {
        if (field.end > size) ours.fields &= ~field.flag;
    }
    return true;
}

int32_t write_id3v1(const std::string& path, bool utf8_path, const velkor_id3v1_fields* given) {
    velkor_id3v1_fields tag;
    if (given == nullptr || !read_id3v1_fields(*given, tag)) return VELKOR_ERROR_ARGUMENT;
    if ((tag.fields & ~0x7Fu) != 0 || velkor::id3v1_value_problem(tag.year, tag.track, tag.genre) != nullptr) {
        return VELKOR_ERROR_ARGUMENT;
    }
    velkor::Id3v1Edit edit;
    edit.fields = tag.fields;
    edit.title = tag.title;
    edit.artist = tag.artist;
    edit.album = tag.album;
    edit.comment = tag.comment;
    edit.year = tag.year;
    edit.track = tag.track;
    edit.genre = tag.genre;
    (void)utf8_path;
    try {
        const velkor::Id3v1Saved result =
            velkor::save_id3v1(path, [&edit](const uint8_t* old, uint8_t (&block)[velkor::kId3v1BlockSize]) {
                velkor::make_id3v1_block(old, edit, block);
            });
        switch (result.status) {
            case velkor::SaveStatus::kDone: return VELKOR_OK;
            case velkor::SaveStatus::kChanged: return VELKOR_ERROR_CHANGED;
            case velkor::SaveStatus::kLinked: return VELKOR_ERROR_LINKED;
            default: return velkor::status_of(result.problem, VELKOR_ERROR_WRITE);
        }
    } catch (const std::bad_alloc&) {
        return VELKOR_ERROR_NO_MEMORY;
    } catch (...) {
        return VELKOR_ERROR_WRITE;
    }
}

}  // namespace

extern "C" {

VELKOR_API int32_t VELKOR_CALL velkor_write_id3v1(const char* path, const velkor_id3v1_fields* tag) {
    if (path == nullptr) return VELKOR_ERROR_ARGUMENT;
    return write_id3v1(path, true, tag);
}

#if defined(_WIN32)

VELKOR_API int32_t VELKOR_CALL velkor_open_w(const wchar_t* path, uint32_t options, velkor_file** file) {
    if (path == nullptr) {
        if (file != nullptr) *file = nullptr;
        return VELKOR_ERROR_ARGUMENT;
    }
    std::string utf8;
    try {
        utf8 = velkor::platform::wide_to_utf8(path);
    } catch (...) {
        return VELKOR_ERROR_NO_MEMORY;
    }
    const int32_t status = open_file(utf8.c_str(), options, file,
                                     [&](FileSource& source) { return source.open_wide(path); });
    if (file != nullptr && *file != nullptr) {
        try {
            (*file)->wide_path = path;
        } catch (...) {
            velkor_close(*file);
            *file = nullptr;
            return VELKOR_ERROR_NO_MEMORY;
        }
    }
    return status;
}

VELKOR_API int32_t VELKOR_CALL velkor_get_text_w(const velkor_file* file, int32_t field, wchar_t* buffer, int32_t size) {
    const std::string* text = file ? file->text(field) : nullptr;
    if (buffer != nullptr && size > 0) buffer[0] = L'\0';
    if (text == nullptr) return 0;
    try {
        std::wstring wide;
        velkor::platform::utf8_to_wide(text->c_str(), wide);
        if (buffer != nullptr && size > 0) {
            std::size_t n = std::min(wide.size(), static_cast<std::size_t>(size) - 1);
            // Never split a surrogate pair.
            if (n > 0 && n < wide.size() && wide[n - 1] >= 0xD800 && wide[n - 1] <= 0xDBFF) --n;
            std::memcpy(buffer, wide.data(), n * sizeof(wchar_t));
            buffer[n] = L'\0';
        }
        return static_cast<int32_t>(wide.size() + 1);
    } catch (...) {
        return 0;
    }
}

VELKOR_API int32_t VELKOR_CALL velkor_write_id3v1_w(const wchar_t* path, const velkor_id3v1_fields* tag) {
    if (path == nullptr) return VELKOR_ERROR_ARGUMENT;
    try {
        return write_id3v1(velkor::platform::wide_to_utf8(path), true, tag);
    } catch (...) {
        return VELKOR_ERROR_NO_MEMORY;
    }
}

#endif

}  // extern "C"

namespace velkor {

std::size_t held_bytes(const velkor_file* file) {
    if (file == nullptr) return 0;
    std::size_t held = sizeof *file;
    for (const std::string& text : file->id3v2) held += text.capacity();
    for (const std::string& text : file->id3v1) held += text.capacity();
    for (const std::string& text : file->stream) held += text.capacity();
    const std::vector<Id3v2Picture>& pictures = file->info.id3v2_tag.pictures;
    held += pictures.capacity() * sizeof(Id3v2Picture);
    for (const Id3v2Picture& picture : pictures) held += picture.mime.capacity() + picture.description.capacity();
    held += file->info.id3v2_tag.frames.capacity() * sizeof(Id3v2FrameEntry);
    for (const std::string& text : file->common) held += text.capacity();
    held += file->frame_text_bytes + file->frame_values.capacity() * sizeof(void*);
    for (const auto& values : file->frame_values) held += values ? sizeof(Id3v2FrameValues) : 0;
    for (const Apev2Item& item : file->info.apev2_tag.items) {
        held += sizeof item + item.key.capacity();
        for (const std::string& value : item.values) held += sizeof value + value.capacity();
    }
    return held;
}

int32_t open_from_memory(const uint8_t* data, std::size_t size, const char* path, uint32_t options,
                         velkor_file** file) {
    if (file == nullptr) return VELKOR_ERROR_ARGUMENT;
    *file = nullptr;
    if ((data == nullptr && size > 0) || path == nullptr || (options & ~kOpenOptions) != 0) {
        return VELKOR_ERROR_ARGUMENT;
    }
    try {
        SpanSource source(ByteSpan(data, size));
        return analyse_into(source, static_cast<int64_t>(size), path, options, file);
    } catch (const std::bad_alloc&) {
        return VELKOR_ERROR_NO_MEMORY;
    } catch (...) {
        return VELKOR_ERROR_READ;
    }
}

int32_t read_picture_from(const velkor_file* file, int32_t index, ByteSource& source, int64_t size_of_source,
                          void* buffer, int32_t size) {
    const Id3v2Picture* found = file ? file->picture(index) : nullptr;
    if (found == nullptr || buffer == nullptr || size < 0 || found->bytes > size) return VELKOR_ERROR_ARGUMENT;
    try {
        return read_picture_data(*found, source, size_of_source, buffer);
    } catch (const std::bad_alloc&) {
        return VELKOR_ERROR_NO_MEMORY;
    } catch (...) {
        return VELKOR_ERROR_READ;
    }
}

}  // namespace velkor
