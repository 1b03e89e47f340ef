// Opening a file, a buffer or a stream into a handle, and the facts the
// analysis gathers into it.
#include "interface/velkor_file.h"

using velkor::platform::FileSource;

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

std::shared_ptr<void>& velkor::key_view_slot(const velkor_file* file) { return file->key_view; }

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
    frame_values.assign(decoded_tag.frames.size(), nullptr);
    for (velkor::Id3v2DecodedFrame& decoded : decoded_tag.decoded) {
        keep_within_budget(decoded.values);
        frame_values[decoded.index] = &decoded.values;
    }

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
    f.first_frame_offset = info.first_frame_offset;
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
    const velkor::platform::FileProblem opened = source.open_given(info.path, wide_path);
    if (opened != velkor::platform::FileProblem::kNone) return velkor::status_of(opened, VELKOR_ERROR_READ);
    return source.identity() == identity ? VELKOR_OK : VELKOR_ERROR_CHANGED;
}

int32_t analyse_into(velkor::ByteSource& source, int64_t size, const char* utf8_path, uint32_t options,
                     velkor_file** out, velkor::StreamedFile* streamed, bool keep_frames) {
    std::unique_ptr<velkor_file> file(new velkor_file);
    velkor::LoadOptions load;
    load.full = true;
    load.count_frames = (options & VELKOR_OPEN_COUNT_FRAMES) != 0 && streamed == nullptr;
    load.sample_frames = true;
    if (keep_frames) {
        // Kept now, from the bytes the analysis holds: asking for them later
        // then needs no second open, and the tag's frames no second read.
        load.keep = [](velkor::ByteSource& bytes, void* context) {
            velkor_file& kept = *static_cast<velkor_file*>(context);
            kept.kept_frames.keep(bytes, kept.info.id3v2_tag);
        };
        load.keep_context = file.get();
    }
    bool has_audio = file->info.analyse(source, size, utf8_path, load) == velkor::kStatusOk;
    if (has_audio && streamed != nullptr) streamed->give_count(file->info);
    if (!has_audio && (options & VELKOR_OPEN_WITHOUT_AUDIO) == 0) return VELKOR_ERROR_NO_AUDIO;
    file->gather(has_audio);
    *out = file.release();
    return has_audio ? VELKOR_OK : VELKOR_ERROR_NO_AUDIO;
}

namespace {

// A handle without a file to open again (its bytes came from memory or a
// stream) keeps its ID3v2 tag's bytes, up to the end of the last frame or
// picture the tag lists, from source (size bytes): its frames and pictures
// are read from them. Returns status, or VELKOR_ERROR_NO_MEMORY with the
// handle closed.
int32_t keep_tag(velkor::ByteSource& source, int64_t size, int32_t status, velkor_file** file) {
    const int32_t kept = velkor::guarded(VELKOR_ERROR_NO_MEMORY, [&]() -> int32_t {
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
    });
    if (kept == VELKOR_ERROR_NO_MEMORY) {
        velkor_close(*file);
        *file = nullptr;
    }
    return kept;
}

}  // namespace

extern "C" {

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
    return velkor::guarded(VELKOR_ERROR_READ, [&]() -> int32_t {
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
    });
}

VELKOR_API void VELKOR_CALL velkor_close(velkor_file* file) { delete file; }

VELKOR_API int32_t VELKOR_CALL velkor_facts(const velkor_file* file, velkor_file_facts* facts) {
    if (file == nullptr) return VELKOR_ERROR_ARGUMENT;
    return copy_record(file->facts, facts);
}

VELKOR_API int32_t VELKOR_CALL velkor_tag_facts(const velkor_file* file, velkor_tag_facts_info* facts) {
    if (file == nullptr) return VELKOR_ERROR_ARGUMENT;
    return copy_record(file->tag_facts, facts);
}

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
    held += file->frame_text_bytes + file->frame_values.capacity() * sizeof(void*) + file->kept_frames.held();
    held += file->json.capacity();
    held += file->info.id3v2_tag.decoded.capacity() * sizeof(Id3v2DecodedFrame);
    held += file->later_values.capacity() * sizeof(void*) + file->later_values.size() * sizeof(Id3v2FrameValues);
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
    return velkor::guarded(VELKOR_ERROR_READ, [&]() -> int32_t {
        SpanSource source(ByteSpan(data, size));
        return analyse_into(source, static_cast<int64_t>(size), path, options, file);
    });
}

}  // namespace velkor
