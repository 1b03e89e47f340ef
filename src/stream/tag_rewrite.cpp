// Reading a file's tags for an edit, and laying out the file it makes.
#include "stream/tag_rewrite.h"

#include <algorithm>
#include <cstring>

#include "layout/file_layout.h"
#include "stream/write_back.h"
#include "tags/genre_table.h"
#include "tags/id3v2_tag.h"

namespace velkor {

namespace {

std::vector<uint8_t> read_bytes(ByteSource& source, int64_t from, int64_t to) {
    std::vector<uint8_t> bytes(static_cast<std::size_t>(std::max<int64_t>(to - from, 0)));
    bytes.resize(source.read(from, bytes.data(), bytes.size()));
    return bytes;
}

// The leading number of a text ("3/12": 3), or 0.
int32_t leading_number(const std::string& text, int32_t max) {
    int32_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        number = number * 10 + (c - '0');
        if (number > max) return 0;
    }
    return number;
}

int32_t genre_byte(const std::string& text) {
    const std::string names = resolve_genre(text);
    const std::string first = names.substr(0, names.find("; "));
    const int32_t number = GenreTable::find_extended(first.c_str());
    return number >= 0 ? number : 255;
}

// The ID3v1 fields taken from the ID3v2 frames: those an edit changed, or
// all of them for a new tag.
void fill_id3v1(const Id3v2Edit& tag, bool all, Id3v1Edit& edit, std::string (&texts)[4]) {
    auto touched = [&](const char* id) { return all || tag.touched().count(id) > 0; };
    struct Text {
        const char* id;
        uint32_t field;
        const char** into;
    };
    const Text kTexts[] = {{"TIT2", Id3v1Edit::kTitle, &edit.title},
                           {"TPE1", Id3v1Edit::kArtist, &edit.artist},
                           {"TALB", Id3v1Edit::kAlbum, &edit.album}};
    for (std::size_t i = 0; i < 3; ++i) {
        if (!touched(kTexts[i].id)) continue;
        texts[i] = tag.text(kTexts[i].id);
        *kTexts[i].into = texts[i].c_str();
        edit.fields |= kTexts[i].field;
    }
    if (touched("COMM")) {
        texts[3] = tag.comment();
        edit.comment = texts[3].c_str();
        edit.fields |= Id3v1Edit::kComment;
    }
    if (touched("TYER") || touched("TDRC")) {
        const std::string year = tag.text("TYER").empty() ? tag.text("TDRC") : tag.text("TYER");
        edit.year = year.size() >= 4 ? leading_number(year.substr(0, 4), 9999) : 0;
        edit.fields |= Id3v1Edit::kYear;
    }
    if (touched("TRCK")) {
        edit.track = leading_number(tag.text("TRCK"), 255);
        edit.fields |= Id3v1Edit::kTrack;
    }
    if (touched("TCON")) {
        edit.genre = genre_byte(tag.text("TCON"));
        edit.fields |= Id3v1Edit::kGenre;
    }
}

}  // namespace

TaggedFile read_tagged_file(ByteSource& source, int64_t size) {
    TaggedFile file;
    file.file_size = size;
    const FileLayout layout = describe_file(source, size);
    file.other_format = layout.other_format();
    file.tags_only = layout.tags_only();
    file.has_audio = !file.tags_only && find_first_frame(source, layout) >= 0;
    // Only a tag whose header can be trusted is replaced; the bytes an
    // untrusted header claims (the audio, as often as not) stay where they
    // are behind the new tag.
    if (layout.id3v2.trusted) {
        const std::vector<uint8_t> tag = read_bytes(source, 0, layout.id3v2.end);
        file.id3v2 = Id3v2Edit(ByteSpan(tag.data(), tag.size()));
        file.audio_begin = file.id3v2.room();
    }
    file.audio_end = layout.tags_begin;
    for (auto tag = layout.trailing.rbegin(); tag != layout.trailing.rend(); ++tag) {
        // Only the outermost ID3v1 tag is the file's; copies inside it are
        // kept as stored, like every tag the edit does not change.
        if (tag->kind == TrailingTag::Kind::kId3v1 && tag->begin == layout.id3v1_begin) {
            const std::vector<uint8_t> bytes = read_bytes(source, tag->begin, tag->end);
            file.has_id3v1 = bytes.size() == sizeof file.id3v1;
            if (file.has_id3v1) std::memcpy(file.id3v1, bytes.data(), bytes.size());
            continue;
        }
        file.trailing.push_back({tag->kind, read_bytes(source, tag->begin, tag->end)});
    }
    return file;
}

TagPlan plan_tagged_file(const TaggedFile& file, bool new_as_v24) {
    TagPlan plan;
    Id3v2Written written = file.id3v2.write(new_as_v24);
    if (written.too_large) {
        plan.too_large = true;
        return plan;
    }
    plan.id3v2_version = written.version;
    plan.rewrite.head = std::move(written.bytes);
    plan.rewrite.keep_from = file.audio_begin;
    plan.rewrite.keep_to = file.audio_end;
    std::vector<uint8_t>& tail = plan.rewrite.tail;
    for (const StoredTag& tag : file.trailing) {
        if (tag.kind == TrailingTag::Kind::kApev2) {
            if (file.remove_apev2) continue;
            plan.has_apev2 = true;
        }
        tail.insert(tail.end(), tag.bytes.begin(), tag.bytes.end());
    }
    const bool add = file.id3v1_mode == Id3v1Mode::kAdd && !file.has_id3v1;
    if (file.id3v1_mode != Id3v1Mode::kRemove && (file.has_id3v1 || add)) {
        Id3v1Edit edit;
        std::string texts[4];
        fill_id3v1(file.id3v2, add, edit, texts);
        uint8_t block[128];
        make_id3v1_block(file.has_id3v1 ? file.id3v1 : nullptr, edit, block);
        tail.insert(tail.end(), block, block + sizeof block);
        plan.has_id3v1 = true;
    }
    return plan;
}

}  // namespace velkor
