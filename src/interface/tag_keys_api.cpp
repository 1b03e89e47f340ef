// The merged view by keys: velkor_tag_count, velkor_tag_value and
// velkor_tag_key read a field by the name taggers use (TITLE, ARTIST, ...)
// from the ID3v2 tag, else the APEv2 tag, else the ID3v1 tag;
// velkor_edit_set_key sets it on an edit. The keys and their frames are
// those of frames/tag_keys; everything else goes through the interface's
// own calls, so the view gives what velkor_frame_text and velkor_ape_item_text give.
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "frames/tag_keys.h"
#include "interface/key_hooks.h"
#include "tags/value_check.h"
#include "velkor.h"

namespace {

using velkor::TagKeyRow;
using velkor::TagKeyV1;

// Where a key's values came from: a later source only fills keys an
// earlier one left empty.
enum Source { kNone, kId3v1, kApev2, kId3v2 };

struct KeyValues {
    std::vector<std::string> values;
    Source source = kNone;
    std::string frame;     // ID3v2: the id that gave the values (one id per key)
    bool fallback = false; // COMM/USLT: values of a described frame, kept until one without a description
};

struct KeyView {
    std::vector<KeyValues> keys;  // by the table's rows
    std::vector<const TagKeyRow*> present;
};

const TagKeyRow* rows(int32_t& count) { return velkor::tag_key_rows(count); }

std::size_t row_index(const TagKeyRow* row) {
    int32_t count = 0;
    return static_cast<std::size_t>(row - rows(count));
}

template <typename Iterator>
std::move_iterator<Iterator> moved(Iterator at) {
    return std::make_move_iterator(at);
}

std::string frame_text(const velkor_file* file, int32_t index, int32_t field, int32_t value) {
    const int32_t size = velkor_frame_text_size(file, index, field, value);
    const char* text = velkor_frame_text(file, index, field, value);
    return text != nullptr && size >= 0 ? std::string(text, static_cast<std::size_t>(size)) : std::string();
}

// The row of DATE, the tag's date as a whole, looked up once.
std::size_t date_row() {
    static const std::size_t row = row_index(velkor::tag_key_row("DATE"));
    return row;
}

void read_id3v2(const velkor_file* file, KeyView& view) {
    const int32_t frames = velkor_frame_count(file);
    for (int32_t i = 0; i < frames; ++i) {
        velkor_frame_info info = {};
        info.size = sizeof info;
        if (velkor_frame(file, i, &info) != VELKOR_OK || info.id_v24[0] == '\0') continue;
        const std::string id = info.id_v24;
        const bool described = info.kind == VELKOR_FRAME_USER_TEXT || info.kind == VELKOR_FRAME_UNIQUE_ID;
        std::string description;
        if (info.kind == VELKOR_FRAME_USER_TEXT) description = frame_text(file, i, VELKOR_FRAME_DESCRIPTION, 0);
        if (info.kind == VELKOR_FRAME_UNIQUE_ID) description = frame_text(file, i, VELKOR_FRAME_OWNER, 0);
        const TagKeyRow* row = velkor::tag_key_of_frame(id.c_str(), described ? description.c_str() : nullptr);
        // DATE is the tag's date as a whole (TDRC, or TYER, TDAT and TIME).
        if (row == nullptr || row_index(row) == date_row()) continue;
        KeyValues& key = view.keys[row_index(row)];
        std::vector<std::string> values;
        if (id == "TCON") {
            for (int32_t v = 0;; ++v) {
                const char* genre = velkor_frame_text(file, i, VELKOR_FRAME_GENRE, v);
                if (genre == nullptr) break;
                values.emplace_back(genre);
            }
        } else {
            for (int32_t v = 0; v < info.value_count; ++v) values.push_back(frame_text(file, i, VELKOR_FRAME_VALUE, v));
        }
        if (values.empty()) continue;  // an empty frame leaves the key to the other tags
        if (info.kind == VELKOR_FRAME_COMMENT || info.kind == VELKOR_FRAME_LYRICS) {
            // The frame without a description, as TagLib and mutagen read
            // COMMENT and LYRICS; else the first one there is.
            const bool plain = velkor_frame_text_size(file, i, VELKOR_FRAME_DESCRIPTION, 0) <= 0;
            if (key.source == kId3v2 && !(key.fallback && plain)) {
                if (plain) key.values.insert(key.values.end(), moved(values.begin()), moved(values.end()));
                continue;
            }
            key.values = std::move(values);
            key.source = kId3v2;
            key.fallback = !plain;
            key.frame = id;
            continue;
        }
        if (key.source == kId3v2 && key.frame != id) continue;  // TORY beside TDOR: the first id only
        if (key.values.empty()) {
            key.values = std::move(values);
        } else {
            key.values.insert(key.values.end(), moved(values.begin()), moved(values.end()));
        }
        key.source = kId3v2;
        key.frame = id;
    }
    const char* date = velkor_text(file, VELKOR_ID3V2_DATE);
    if (date != nullptr && date[0] != '\0') {
        view.keys[date_row()].values = {date};
        view.keys[date_row()].source = kId3v2;
    }
}

void read_apev2(const velkor_file* file, KeyView& view) {
    const int32_t items = velkor_ape_item_count(file);
    for (int32_t i = 0; i < items; ++i) {
        velkor_ape_item_info info = {};
        info.size = sizeof info;
        if (velkor_ape_item(file, i, &info) != VELKOR_OK || info.kind != VELKOR_APE_TEXT) continue;
        const TagKeyRow* row = velkor::tag_key_of_ape_item(info.key);
        if (row == nullptr) continue;
        KeyValues& key = view.keys[row_index(row)];
        if (key.source == kId3v2) continue;
        for (int32_t v = 0; v < info.value_count; ++v) {
            const char* text = velkor_ape_item_text(file, i, VELKOR_APE_VALUE, v);
            if (text != nullptr) key.values.emplace_back(text);
        }
        key.source = kApev2;
    }
}

void read_id3v1(const velkor_file* file, KeyView& view) {
    velkor_file_facts facts = {};
    facts.size = sizeof facts;
    if (velkor_facts(file, &facts) != VELKOR_OK || facts.id3v1 == 0) return;
    int32_t count = 0;
    const TagKeyRow* all = rows(count);
    for (int32_t r = 0; r < count; ++r) {
        KeyValues& key = view.keys[r];
        if (all[r].id3v1 == TagKeyV1::kNone || key.source != kNone) continue;
        std::string value;
        switch (all[r].id3v1) {
            case TagKeyV1::kTitle: value = velkor_text(file, VELKOR_ID3V1_TITLE); break;
            case TagKeyV1::kArtist: value = velkor_text(file, VELKOR_ID3V1_ARTIST); break;
            case TagKeyV1::kAlbum: value = velkor_text(file, VELKOR_ID3V1_ALBUM); break;
            case TagKeyV1::kYear: value = velkor_text(file, VELKOR_ID3V1_YEAR); break;
            case TagKeyV1::kComment: value = velkor_text(file, VELKOR_ID3V1_COMMENT); break;
            case TagKeyV1::kGenre: {
                const char* name = velkor_genre_name(facts.id3v1_genre);
                if (name != nullptr) value = name;
                break;
            }
            case TagKeyV1::kTrack:
                if (facts.id3v1_track > 0) value = std::to_string(facts.id3v1_track);
                break;
            case TagKeyV1::kNone: break;
        }
        if (value.empty()) continue;
        key.values = {value};
        key.source = kId3v1;
    }
}

// The handle's view, made on first use; nullptr for NULL or no memory.
const KeyView* view_of(const velkor_file* file) {
    if (file == nullptr) return nullptr;
    std::shared_ptr<void>& slot = velkor::key_view_slot(file);
    if (slot) return static_cast<const KeyView*>(slot.get());
    try {
        auto view = std::make_shared<KeyView>();
        int32_t count = 0;
        const TagKeyRow* all = rows(count);
        view->keys.resize(static_cast<std::size_t>(count));
        read_id3v2(file, *view);
        read_apev2(file, *view);
        read_id3v1(file, *view);
        std::size_t present = 0;
        for (int32_t r = 0; r < count; ++r) present += view->keys[r].values.empty() ? 0 : 1;
        view->present.reserve(present);
        for (int32_t r = 0; r < count; ++r) {
            if (!view->keys[r].values.empty()) view->present.push_back(&all[r]);
        }
        slot = view;
        return view.get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

const KeyValues* values_of(const velkor_file* file, const char* key) {
    const TagKeyRow* row = velkor::tag_key_row(key);
    const KeyView* view = row != nullptr ? view_of(file) : nullptr;
    return view != nullptr ? &view->keys[row_index(row)] : nullptr;
}

bool all_texts(const char* const* values, int32_t count) {
    if (count < 0 || (count > 0 && values == nullptr)) return false;
    for (int32_t i = 0; i < count; ++i) {
        if (values[i] == nullptr) return false;
    }
    return true;
}

// Sets `id` (of the table's row) to the values: TXXX by the row's
// description, any other id as a text frame.
int32_t set_frame(velkor_edit* edit, const TagKeyRow& row, const char* id, const char* const* values,
                  int32_t count) {
    if (std::strcmp(id, "TXXX") == 0) return velkor_edit_set_user_text(edit, row.description, values, count);
    return velkor_edit_set_text(edit, id, values, count);
}

}  // namespace

bool velkor::visit_tags(const velkor_file* file, TagVisit visit, void* context) {
    const KeyView* view = view_of(file);
    if (view == nullptr) return false;
    for (const TagKeyRow* row : view->present) visit(context, row->key, view->keys[row_index(row)].values);
    return true;
}

extern "C" {

VELKOR_API const char* VELKOR_CALL velkor_key_name(int32_t index) {
    int32_t count = 0;
    const TagKeyRow* all = rows(count);
    return index >= 0 && index < count ? all[index].key : nullptr;
}

VELKOR_API int32_t VELKOR_CALL velkor_tag_count(const velkor_file* file, const char* key) {
    if (file == nullptr) return -1;
    const KeyValues* values = values_of(file, key);
    return values != nullptr ? static_cast<int32_t>(values->values.size()) : 0;
}

VELKOR_API const char* VELKOR_CALL velkor_tag_value(const velkor_file* file, const char* key, int32_t index) {
    const KeyValues* values = values_of(file, key);
    if (values == nullptr || index < 0 || static_cast<std::size_t>(index) >= values->values.size()) return nullptr;
    return values->values[static_cast<std::size_t>(index)].c_str();
}

VELKOR_API const char* VELKOR_CALL velkor_tag_key(const velkor_file* file, int32_t index) {
    const KeyView* view = view_of(file);
    if (view == nullptr || index < 0 || static_cast<std::size_t>(index) >= view->present.size()) return nullptr;
    return view->present[static_cast<std::size_t>(index)]->key;
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_set_key(velkor_edit* edit, const char* key, const char* const* values,
                                                   int32_t count) {
    const TagKeyRow* row = velkor::tag_key_row(key);
    if (edit == nullptr || row == nullptr || !all_texts(values, count)) return VELKOR_ERROR_ARGUMENT;
    const std::string frame = row->v24;
    // One value where the frame holds one text.
    const bool single = frame == "TDRC" || frame == "COMM" || frame == "USLT";
    if (single && count > 1) return VELKOR_ERROR_ARGUMENT;
    const char* text = count > 0 ? values[0] : nullptr;
    if (frame == "TDRC") return velkor_edit_set_field(edit, VELKOR_ID3V2_DATE, text);
    if (frame == "COMM") return velkor_edit_set_comment(edit, nullptr, nullptr, text);
    if (frame == "USLT") return velkor_edit_set_lyrics(edit, nullptr, nullptr, text);
    if (frame == "UFID") return VELKOR_ERROR_ARGUMENT;  // an identifier of bytes: no text setter writes it
    if (std::strcmp(row->v24, row->v23) == 0) return set_frame(edit, *row, row->v24, values, count);
    // TDOR or TORY, TMOO or TXXX MOOD: the frame of the version the tag is
    // written in, the other one removed.
    const bool v23 = velkor::edit_written_version(edit) == 3;
    const char* id = v23 ? row->v23 : row->v24;
    const char* other = v23 ? row->v24 : row->v23;
    std::vector<std::string> years;
    std::vector<const char*> given(values, values + count);
    if (std::strcmp(id, "TORY") == 0) {
        // TORY holds the year of the date TDOR would.
        for (int32_t i = 0; i < count; ++i) {
            if (velkor::text_value_problem("TDOR", values[i]) != nullptr) return VELKOR_ERROR_ARGUMENT;
            years.emplace_back(std::string(values[i]).substr(0, 4));
        }
        for (std::size_t i = 0; i < years.size(); ++i) given[i] = years[i].c_str();
    }
    const int32_t status = set_frame(edit, *row, id, given.data(), count);
    if (status != VELKOR_OK) return status;
    return set_frame(edit, *row, other, nullptr, 0);
}

}  // extern "C"
