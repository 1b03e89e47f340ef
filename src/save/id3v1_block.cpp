// Making an ID3v1 block from fields, keeping the stored bytes of the fields
// that stay, and taking fields from an edited ID3v2 tag.
#include "save/id3v1_block.h"

#include <cstring>

#include "base/utf8.h"
#include "tags/genre_table.h"
#include "tags/id3v2_tag.h"
#include "tags/tag_record.h"

namespace velkor {

namespace {

constexpr std::size_t kYearAt = 93;
constexpr std::size_t kYearWidth = 4;
constexpr std::size_t kCommentAt = 97;
constexpr std::size_t kTrackMarkAt = 125;

// An ID3v1.1 block: a zero before a track byte that is not zero.
bool has_track(const uint8_t* block) { return block[kTrackMarkAt] == 0 && block[kTrackMarkAt + 1] != 0; }

// The field's bytes without trailing spaces and zeros.
std::string trimmed(const uint8_t* block, std::size_t from, std::size_t to) {
    while (to > from && (block[to - 1] == ' ' || block[to - 1] == 0)) --to;
    return std::string(reinterpret_cast<const char*>(block + from), to - from);
}

// The leading number of a text ("3/12": 3, " 7/12": 7, as every reader of
// the frame takes it), or 0.
int32_t leading_number(const std::string& text, int32_t max) {
    int32_t number = 0;
    const std::size_t first = text.find_first_not_of(' ');
    for (char c : text.substr(first == std::string::npos ? text.size() : first)) {
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

}  // namespace

void keep_unchanged_fields(const uint8_t (&old)[kId3v1BlockSize], uint8_t (&block)[kId3v1BlockSize]) {
    uint8_t fresh[kId3v1BlockSize];
    std::memcpy(fresh, block, sizeof fresh);
    std::memcpy(block, old, sizeof block);
    const auto take = [&](std::size_t from, std::size_t to) { std::memcpy(block + from, fresh + from, to - from); };
    // Title, artist, album and year: fixed fields of their own.
    static constexpr std::size_t kFixed[][2] = {{3, 33}, {33, 63}, {63, 93}, {kYearAt, kYearAt + kYearWidth}};
    for (const auto& field : kFixed) {
        if (trimmed(old, field[0], field[1]) != trimmed(fresh, field[0], field[1])) take(field[0], field[1]);
    }
    // The comment ends where a track begins.
    const bool old_track = has_track(old), new_track = has_track(fresh);
    const std::size_t old_end = old_track ? kTrackMarkAt : kTrackMarkAt + 2;
    const std::size_t new_end = new_track ? kTrackMarkAt : kTrackMarkAt + 2;
    if (old_track != new_track || (new_track && old[kTrackMarkAt + 1] != fresh[kTrackMarkAt + 1])) {
        take(kTrackMarkAt, kTrackMarkAt + 2);
    }
    if (trimmed(old, kCommentAt, old_end) != trimmed(fresh, kCommentAt, new_end)) take(kCommentAt, new_end);
    block[127] = fresh[127];
}

void make_id3v1_block(const uint8_t* old, const Id3v1Edit& edit, uint8_t (&block)[kId3v1BlockSize]) {
    TagRecord record;
    if (old) record.read_id3v1(ByteSpan(old, kId3v1BlockSize));
    const bool kept_year = old && old[kYearAt] != 0;

    const std::size_t room = TagRecord::kTextSize - 1;
    if (edit.fields & Id3v1Edit::kTitle) record.set_title(utf8_to_latin1(edit.title, room).c_str());
    if (edit.fields & Id3v1Edit::kArtist) record.set_artist(utf8_to_latin1(edit.artist, room).c_str());
    if (edit.fields & Id3v1Edit::kAlbum) record.set_album(utf8_to_latin1(edit.album, room).c_str());
    if (edit.fields & Id3v1Edit::kComment) record.set_comment(utf8_to_latin1(edit.comment, room).c_str());
    if (edit.fields & Id3v1Edit::kYear) record.year = edit.year;
    if (edit.fields & Id3v1Edit::kTrack) record.set_track(edit.track == 0 ? kNoTrack : edit.track);
    if (edit.fields & Id3v1Edit::kGenre) record.set_genre(edit.genre);
    // A new tag without a track is an ID3v1.1 tag only when given one.
    if (!old && !(edit.fields & Id3v1Edit::kTrack)) record.set_track(kNoTrack);

    record.to_id3v1(block);
    // Year 0 is no year: the field stays empty rather than "0".
    const bool year_given = (edit.fields & Id3v1Edit::kYear) ? edit.year != 0 : kept_year;
    if (!year_given) std::memset(block + kYearAt, 0, kYearWidth);
    if (old) {
        uint8_t stored[kId3v1BlockSize];
        std::memcpy(stored, old, sizeof stored);
        keep_unchanged_fields(stored, block);
    }
}

void fill_id3v1(const Id3v2Edit& tag, const std::set<std::string>* set, Id3v1Edit& edit,
                std::string (&texts)[4]) {
    auto touched = [&](const char* id) { return set == nullptr || set->count(id) > 0; };
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

}  // namespace velkor
